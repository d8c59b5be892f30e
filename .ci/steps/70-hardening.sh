#!/usr/bin/env bash
# The hardening of what ships, where lintian (40-package.sh) does not look:
# the stack protector and CET of the .deb's vexoflash (readelf, objdump),
# and ASLR, high-entropy ASLR, DEP and a relocation section of the ZIP's
# vexoflash.exe (mingw-w64 objdump), from the trees and packages that
# 40-package.sh and 60-windows.sh made. Then a packager's plain build
# (CXXFLAGS="-O2 -D_FORTIFY_SOURCE=3", no GoogleTest): it says the tests
# are off, builds vexoflash and no simulated tool, and keeps level 3.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need readelf binutils
need x86_64-w64-mingw32-objdump binutils-mingw-w64-x86-64
need dpkg-shlibdeps dpkg-dev
need file file
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need /usr/src/googletest/CMakeLists.txt googletest
need groff groff-base
need unzip unzip
install_needed --no-install-recommends

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

package() { # package PRESET PROGRAM GENERATOR NAME-PATTERN: the tree's package, in $found
  built_tree "$1"
  found=$(find "build/$1" -maxdepth 1 -name "$4" -newer "build/$1/$2" | head -n 1)
  [ -n "$found" ] || (cd "build/$1" && cpack -G "$3" >/dev/null) # missing, or older than PROGRAM
  found=$(find "build/$1" -maxdepth 1 -name "$4" | head -n 1)
}
package release vexoflash DEB 'vexoflash_*.deb'
dpkg-deb -x "$found" "$work/deb"
package windows vexoflash.exe ZIP 'vexoflash-*-win64.zip'
unzip -q -j "$found" '*/vexoflash.exe' -d "$work/zip"

flag() { # flag NAME FAULT TEST...: prints yes when TEST passes, else NO (the step fails)
  if "${@:3}"; then echo yes; else
    echo NO
    echo "FAIL: $1: $2" >&2
  fi
}

# The linker marks a program for CET (IBT, SHSTK) only when every object,
# the C library's start files among them, has the mark. Where those lack
# it, the release build's main must begin with endbr64 (-fcf-protection).
echo "--- hardening: Linux, beyond lintian's tags (readelf, objdump)"
elf=$work/deb/usr/sbin/vexoflash
ssp=$(flag package "no stack protector" grep -q ' __stack_chk_fail' <<<"$(readelf --dyn-syms -W "$elf")")
if readelf -nW "$elf" | grep -q 'x86 feature: IBT, SHSTK'; then
  cet="IBT,SHSTK"
elif readelf -nW "$(g++ -print-file-name=Scrt1.o)" | grep -q 'x86 feature: IBT, SHSTK'; then
  cet=$(flag package "no CET note (IBT, SHSTK)" false)
else
  main=$(objdump -d --no-show-raw-insn --disassemble=main build/release/vexoflash | grep -A1 '<main>:')
  cet="no note (the C library's start files have none); main: endbr64"
  [[ $main == *endbr64* ]] || cet=$(flag package "main does not begin with endbr64" false)
fi
printf '%-10s %-16s %s\n' binary "stack protector" CET package "$ssp" "$cet"

echo "--- hardening: Windows (x86_64-w64-mingw32-objdump -p)"
headers=$(x86_64-w64-mingw32-objdump -p "$work/zip/vexoflash.exe")
sections=$(x86_64-w64-mingw32-objdump -h "$work/zip/vexoflash.exe")
dllchars=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' <<<"$headers")
row=(zip)
for mark in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  row+=("$(flag zip "no $mark" grep -qw "$mark" <<<"$dllchars")")
done
relocatable() { grep -qE ' \.reloc ' <<<"$sections" && ! grep -q 'relocations stripped' <<<"$headers"; }
row+=("$(flag zip "no relocation section: ASLR cannot move it" relocatable)")
printf '%-10s %-13s %-16s %-10s %s\n' binary DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT .reloc "${row[@]}"
case " $ssp $cet ${row[*]} " in *" NO "*) failed=1 ;; esac

echo "--- a packager's build: CXXFLAGS=\"-O2 -D_FORTIFY_SOURCE=3\", no GoogleTest"
plain=build/packager
rm -rf "$plain"
CXXFLAGS="-O2 -D_FORTIFY_SOURCE=3" cmake -S . -B "$plain" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON | grep -x -- '-- Tests are off: .*' ||
  { echo "FAIL: no notice that the tests are off" >&2; failed=1; }
cmake --build "$plain" >/dev/null
[ -x "$plain/vexoflash" ] && [ ! -e "$plain/sim" ] ||
  { echo "FAIL: the plain build must build vexoflash, and no simulated vxtool" >&2; failed=1; }
# main.cpp's compile command: its _FORTIFY_SOURCE flags, and the level
# glibc's headers take from it (__USE_FORTIFY_LEVEL).
command=$(sed -n 's|^ *"command": "\(.*\) -o [^ ]* -c [^ ]*/src/app/main\.cpp",$|\1|p' \
  "$plain/compile_commands.json")
flags=$(grep -oE -- '-[DU] ?_FORTIFY_SOURCE[^ ]*' <<<"$command" | paste -sd' ')
# shellcheck disable=SC2086 # the command's words, as the build ran them
level=$(echo '#include <cstdio>' | $command -dM -E -x c++ - | sed -n 's/^#define __USE_FORTIFY_LEVEL //p')
echo "main.cpp: $flags; __USE_FORTIFY_LEVEL $level"
[ "$flags" = "-D_FORTIFY_SOURCE=3" ] && [ "$level" = 3 ] ||
  { echo "FAIL: the packager's -D_FORTIFY_SOURCE=3 did not win" >&2; failed=1; }

[ "$failed" -eq 0 ] || { echo "FAIL: a program lacks its hardening" >&2; exit 1; }
echo "hardening: package, Windows package and a packager's build checked"
