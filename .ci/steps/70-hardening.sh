#!/usr/bin/env bash
# The hardening of what ships, where lintian (40-package.sh) does not look:
# the stack protector and CET of the Debian package's vexoflash (readelf,
# objdump), and ASLR, high-entropy ASLR, DEP and a relocation section of
# the ZIP's vexoflash.exe (mingw-w64 objdump). The packages come from the
# trees that 40-package.sh and 60-windows.sh built. Then a packager's
# build: a plain configure with CXXFLAGS="-O2 -D_FORTIFY_SOURCE=3" and no
# GoogleTest compiles with level 3, builds the program alone and says that
# the tests are off. Prints a table per format; a missing protection fails.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need readelf binutils
need python3 python3
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

# package PRESET PROGRAM GENERATOR NAME-PATTERN: the package that the
# preset's tree holds (made here only when missing or older than its
# program), its path in $found.
package() {
  local build=build/$1
  built_tree "$1" "$2"
  found=$(find "$build" -maxdepth 1 -name "$4" | head -n 1)
  if [ -z "$found" ] || [ "$build/$2" -nt "$found" ]; then
    cmake --build "$build" >/dev/null
    (cd "$build" && cpack -G "$3" >/dev/null)
    found=$(find "$build" -maxdepth 1 -name "$4" | head -n 1)
  fi
  [ -n "$found" ] || { echo "FAIL: cpack -G $3 in $build made no package" >&2; exit 1; }
}
package release vexoflash DEB 'vexoflash_*.deb'
dpkg-deb -x "$found" "$work/deb"
package windows vexoflash.exe ZIP 'vexoflash-*-win64.zip'
unzip -q -j "$found" '*/vexoflash.exe' -d "$work/zip"

flag() { # flag NAME FAULT TEST...: $v is yes when TEST passes, else NO (the step fails)
  if "${@:3}"; then
    v=yes
  else
    v=NO
    echo "FAIL: $1: $2" >&2
    failed=1
  fi
}

# The linker marks a program for CET (IBT, SHSTK) only when every object
# has the mark, the C library's start files among them. When those lack
# it, the program cannot have it; then the release build's main must
# begin with endbr64 (built with -fcf-protection).
start_file=$(readlink -f "$(g++ -print-file-name=Scrt1.o)")
cet_possible=0
if readelf -nW "$start_file" | grep -q 'x86 feature: IBT, SHSTK'; then
  cet_possible=1
fi

elf_row() { # elf_row NAME FILE UNSTRIPPED-FILE
  local ssp cet code
  flag "$1" "no stack protector (__stack_chk_fail)" grep -q ' __stack_chk_fail' \
    <<<"$(readelf --dyn-syms -W "$2")"
  ssp=$v
  if readelf -nW "$2" | grep -q 'x86 feature: IBT, SHSTK'; then
    cet="IBT,SHSTK"
  elif [ "$cet_possible" -eq 1 ]; then
    flag "$1" "no CET note (IBT, SHSTK)" false
    cet=NO
  else
    code=$(objdump -d --no-show-raw-insn --disassemble=main "$3")
    begins_with_endbr() { [[ $(grep -A1 '<main>:' <<<"$code" | tail -n 1) == *endbr64* ]]; }
    flag "$1" "main does not begin with endbr64" begins_with_endbr
    cet="no note; main: endbr64"
    [ "$v" = yes ] || cet=NO
  fi
  printf '%-10s %-16s %s\n' "$1" "$ssp" "$cet"
}

pe_row() { # pe_row NAME FILE
  local headers sections dllchars dynbase heva nx reloc
  headers=$(x86_64-w64-mingw32-objdump -p "$2")
  sections=$(x86_64-w64-mingw32-objdump -h "$2")
  dllchars=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' <<<"$headers")
  dll() { grep -qw "$1" <<<"$dllchars"; }
  flag "$1" "no ASLR (DYNAMIC_BASE)" dll DYNAMIC_BASE
  dynbase=$v
  flag "$1" "no high-entropy ASLR (HIGH_ENTROPY_VA)" dll HIGH_ENTROPY_VA
  heva=$v
  flag "$1" "no DEP (NX_COMPAT)" dll NX_COMPAT
  nx=$v
  relocatable() { grep -qE ' \.reloc ' <<<"$sections" && ! grep -q 'relocations stripped' <<<"$headers"; }
  flag "$1" "no relocation section: ASLR cannot move it" relocatable
  reloc=$v
  printf '%-10s %-13s %-16s %-10s %s\n' "$1" "$dynbase" "$heva" "$nx" "$reloc"
}

echo "--- hardening: Linux, beyond lintian's tags (readelf, objdump; CET start files: $start_file)"
printf '%-10s %-16s %s\n' binary "stack protector" CET
elf_row package "$work/deb/usr/sbin/vexoflash" build/release/vexoflash
echo "--- hardening: Windows (x86_64-w64-mingw32-objdump -p)"
printf '%-10s %-13s %-16s %-10s %s\n' binary DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT .reloc
pe_row zip "$work/zip/vexoflash.exe"

echo "--- a packager's build: CXXFLAGS=\"-O2 -D_FORTIFY_SOURCE=3\", no GoogleTest"
plain=build/packager
rm -rf "$plain"
CXXFLAGS="-O2 -D_FORTIFY_SOURCE=3" cmake -S . -B "$plain" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >"$work/configure.log"
grep -x -- '-- Tests are off: .*' "$work/configure.log" ||
  { echo "FAIL: no notice that the tests are off" >&2; failed=1; }
cmake --build "$plain" >/dev/null
if [ ! -x "$plain/vexoflash" ] || [ -e "$plain/sim" ]; then
  echo "FAIL: the plain build must build vexoflash, and no simulated vxtool without the tests" >&2
  failed=1
fi
# main.cpp's compile command as the build ran it: its _FORTIFY_SOURCE
# flags, and the level that glibc's headers take from them
# (__USE_FORTIFY_LEVEL), with that command preprocessing <cstdio>.
echo '#include <cstdio>' >"$work/probe.cpp"
python3 - "$plain/compile_commands.json" "$work/probe.cpp" >"$work/fortify" <<'PY'
import json, re, shlex, subprocess, sys
entry = next(e for e in json.load(open(sys.argv[1])) if e["file"].endswith("/src/app/main.cpp"))
argv = shlex.split(entry["command"])
print(" ".join(a for a in argv if "_FORTIFY_SOURCE" in a))
i = argv.index("-o")
argv = argv[:i] + ["-dM", "-E", sys.argv[2]]
macros = subprocess.run(argv, cwd=entry["directory"], capture_output=True, text=True, check=True).stdout
print(" ".join(re.findall(r"^#define __USE_FORTIFY_LEVEL (\d+)$", macros, re.M)))
PY
{ read -r flags; read -r level; } <"$work/fortify"
echo "main.cpp: $flags; __USE_FORTIFY_LEVEL $level"
if [ "$flags" != "-D_FORTIFY_SOURCE=3" ] || [ "$level" != 3 ]; then
  echo "FAIL: the packager's -D_FORTIFY_SOURCE=3 did not win" >&2
  failed=1
fi

[ "$failed" -eq 0 ] || { echo "FAIL: a program lacks its hardening" >&2; exit 1; }
echo "hardening: package, Windows package and a packager's build checked"
