#!/usr/bin/env bash
# The programs that ship carry the hardening of cmake/Hardening.cmake: the
# release build's and the Debian package's vexoflash (readelf, objdump),
# vexoflash.exe as built and as in the ZIP (mingw-w64 objdump). Prints a
# table per format; a missing protection fails the step.
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

cmake --preset release >/dev/null
cmake --build --preset release --target vexoflash >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target vexoflash >/dev/null

# The packages come from the builds the package steps (40, 60) use; made
# here only when missing or older than their program.
package() { # package BUILD PROGRAM GENERATOR NAME-PATTERN: its path in $found
  found=$(find "$1" -maxdepth 1 -name "$4" | head -n 1)
  if [ -z "$found" ] || [ "$1/$2" -nt "$found" ]; then
    cmake --build "$1" >/dev/null
    (cd "$1" && cpack -G "$3" >/dev/null)
    found=$(find "$1" -maxdepth 1 -name "$4" | head -n 1)
  fi
  [ -n "$found" ] || { echo "FAIL: cpack -G $3 in $1 made no package" >&2; exit 1; }
}
package build/release vexoflash DEB 'vexoflash_*.deb'
dpkg-deb -x "$found" "$work/deb"
package build/windows vexoflash.exe ZIP 'vexoflash-*-win64.zip'
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
# it, the program cannot have it; then a release program's main must
# begin with endbr64 (built with -fcf-protection).
start_file=$(readlink -f "$(g++ -print-file-name=Scrt1.o)")
start_notes=$(readelf -nW "$start_file")
cet_possible=0
if grep -q 'x86 feature: IBT, SHSTK' <<<"$start_notes"; then
  cet_possible=1
fi

elf_row() { # elf_row NAME FILE
  local header dyn phdrs syms notes pie relro now ssp fortified cet code
  header=$(readelf -hW "$2")
  dyn=$(readelf -dW "$2")
  phdrs=$(readelf -lW "$2")
  syms=$(readelf --dyn-syms -W "$2")
  notes=$(readelf -nW "$2")
  is_pie() { grep -qE 'Type: +DYN' <<<"$header" && grep -qE '\(FLAGS_1\).* PIE' <<<"$dyn"; }
  flag "$1" "not a position-independent executable" is_pie
  pie=$v
  flag "$1" "no GNU_RELRO segment" grep -q GNU_RELRO <<<"$phdrs"
  relro=$v
  flag "$1" "no BIND_NOW" grep -qE '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' <<<"$dyn"
  now=$v
  flag "$1" "no stack protector (__stack_chk_fail)" grep -q ' __stack_chk_fail' <<<"$syms"
  ssp=$v
  fortified=$(grep -oE ' __[a-z0-9_]+_chk' <<<"$syms" | grep -v __stack_chk | sort -u |
    paste -sd, - | tr -d ' ' || true)
  flag "$1" "no fortified call (__*_chk)" [ -n "$fortified" ]
  [ -n "$fortified" ] || fortified=NO
  if grep -q 'x86 feature: IBT, SHSTK' <<<"$notes"; then
    cet="IBT,SHSTK"
  elif [ "$cet_possible" -eq 1 ]; then
    flag "$1" "no CET note (IBT, SHSTK)" false
    cet=NO
  elif grep -q ' T main$' <<<"$(nm "$2" 2>/dev/null || true)"; then
    code=$(objdump -d --no-show-raw-insn --disassemble=main "$2")
    begins_with_endbr() { [[ $(grep -A1 '<main>:' <<<"$code" | tail -n 1) == *endbr64* ]]; }
    flag "$1" "main does not begin with endbr64" begins_with_endbr
    cet="no note; main: endbr64"
    [ "$v" = yes ] || cet=NO
  else
    cet="no note; stripped"
  fi
  printf '%-10s %-4s %-6s %-9s %-16s %-23s %s\n' "$1" "$pie" "$relro" "$now" "$ssp" "$cet" "$fortified"
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

echo "--- hardening: Linux (readelf, objdump; CET start files: $start_file)"
printf '%-10s %-4s %-6s %-9s %-16s %-23s %s\n' binary PIE RELRO BIND_NOW "stack protector" CET \
  "fortified calls"
elf_row release build/release/vexoflash
elf_row package "$work/deb/usr/sbin/vexoflash"
echo "--- hardening: Windows (x86_64-w64-mingw32-objdump -p)"
printf '%-10s %-13s %-16s %-10s %s\n' binary DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT .reloc
pe_row exe build/windows/vexoflash.exe
pe_row zip "$work/zip/vexoflash.exe"

[ "$failed" -eq 0 ] || { echo "FAIL: a program lacks its hardening" >&2; exit 1; }
echo "hardening: release, package and Windows programs checked"
