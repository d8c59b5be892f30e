#!/usr/bin/env bash
# The Windows build: cross-compiled with mingw-w64, every test run under
# wine, then the ZIP package checked for its contents and vexoflash.exe for
# the DLLs it needs (only the system's own).
set -euo pipefail
. scripts/prereqs.sh
need cmake cmake
need ninja ninja-build
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need /usr/lib/wine/wine64 wine64
need /usr/src/googletest/CMakeLists.txt googletest
need groff groff-base
need unzip unzip
install_needed --no-install-recommends

build=build/windows
work=$(mktemp -d)
stop_wine() {
  WINEPREFIX="$PWD/$build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap stop_wine EXIT

# Configure, build and test; CTest's "Total Test time" is the wine run.
started=$(date +%s)
CMAKE_BUILD_PARALLEL_LEVEL=2 cmake --workflow --preset windows
echo "--- windows: workflow $(($(date +%s) - started)) s"

echo "--- windows: the compile flags (compile_commands.json)"
# The project's own sources get its warnings, as errors; GoogleTest's,
# built here from its sources, get neither.
grep '"command":' "$build/compile_commands.json" >"$work/commands"
grep -v ' -c /usr/src/googletest/' "$work/commands" >"$work/own" || true
grep ' -c /usr/src/googletest/' "$work/commands" >"$work/gtest" || true
for flag in -Wall -Wextra -Wpedantic -Werror; do
  if grep -v -- " $flag " "$work/own"; then
    echo "FAIL: the project's sources above are compiled without $flag" >&2
    exit 1
  fi
done
if [ ! -s "$work/gtest" ] || grep -E -- ' -(Werror|Wpedantic) ' "$work/gtest"; then
  echo "FAIL: GoogleTest is not built, or built with the project's warning flags" >&2
  exit 1
fi
echo "$(wc -l <"$work/own") own sources: -Wall -Wextra -Wpedantic -Werror; $(wc -l <"$work/gtest") of GoogleTest: its own"

echo "--- windows: the DLLs vexoflash.exe imports"
x86_64-w64-mingw32-objdump -p "$build/vexoflash.exe" | sed -n 's/^\tDLL Name: //p' | tee "$work/dlls"
if grep -viE '^(kernel32|advapi32|msvcrt|shell32|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$' "$work/dlls"; then
  echo "FAIL: vexoflash.exe needs a DLL beyond the system's own" >&2
  exit 1
fi

echo "--- windows: the ZIP package"
(cd "$build" && cpack -G ZIP >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip="$build/vexoflash-$version-win64.zip"
top="vexoflash-$version-win64"
unzip -Z1 "$zip" | sort | tee "$work/contents"
printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/vexoflash-manual.txt" \
  "$top/vexoflash.exe" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/contents"; then
  echo "FAIL: the ZIP package holds other files than the program and its documents" >&2
  exit 1
fi
unzip -q "$zip" -d "$work/unpacked"
for text in LICENSE.txt README.txt vexoflash-manual.txt; do
  file="$work/unpacked/$top/$text"
  lines=$(wc -l <"$file")
  crlf=$(grep -c $'\r$' "$file" || true)
  if [ "$lines" -eq 0 ] || [ "$lines" -ne "$crlf" ]; then
    echo "FAIL: $text has $lines lines, $crlf of them ending in CR LF" >&2
    exit 1
  fi
done
grep -q $'^WINDOWS\r$' "$work/unpacked/$top/vexoflash-manual.txt"
echo "--- windows: package $zip checked"
