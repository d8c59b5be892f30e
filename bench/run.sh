#!/usr/bin/env bash
# Benchmarks, run by hand (CI only builds the programs):
#   bench/run.sh [ROUNDS]
# 1. A whole run of vexoflash with a no-op vxtool against the floor of the
#    design: a program that only runs the same two commands with std::system.
# 2. Reading a 50 MB scan report whose key lines come last (image digit and
#    level, as a run does) against two `grep -F -m1` passes over the file,
#    plus the reader's peak memory for reports of 1, 50 and 200 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-200}

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
bin=$PWD/build/bench
tools=$bin/bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "== whole run, no-op tool ($rounds rounds): vexoflash :: floor"
PATH="$tools:$PATH" "$tools/timeit" "$rounds" \
  "$bin/vexoflash" 0x50 image1.bin image2.bin :: "$tools/floor" 0x50 image1.bin image2.bin

reads=$(( rounds / 10 > 5 ? rounds / 10 : 5 ))
"$tools/make_report" 50 busscan.out
echo "== 50 MB report, key lines last ($reads rounds): reader :: grep -F -m1 twice"
"$tools/timeit" "$reads" "$tools/read_report" :: \
  grep -F -m1 "Reserved bytes  =" busscan.out -- grep -F -m1 "Firmware level  =" busscan.out

echo "== reader peak memory by report size"
for size in 1 50 200; do
  "$tools/make_report" "$size" busscan.out
  printf '%4d MB: ' "$size"
  "$tools/timeit" 3 "$tools/read_report" :: true | sed -n 's/^side 1: //p'
done
