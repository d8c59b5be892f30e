#!/usr/bin/env bash
# Benchmarks, run by hand (CI only builds the programs):
#   bench/run.sh [ROUNDS]
# 1. A whole run of vexoflash with a no-op vxtool against the floor of the
#    design: a program that only runs the same two commands with std::system.
# 2. The same with a 50 MB scan report whose key lines come last, against
#    the floor and two `grep -F -m1` passes over the report (image line,
#    level line), plus the run's peak memory for reports of 1, 50 and 200 MB.
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
export PATH="$tools:$PATH"
run=("$bin/vexoflash" 0x50 image1.bin image2.bin)
floor=("$tools/floor" 0x50 image1.bin image2.bin)

echo "== whole run, no-op tool ($rounds rounds): vexoflash :: floor"
"$tools/timeit" "$rounds" "${run[@]}" :: "${floor[@]}"

reads=$(( rounds / 10 > 5 ? rounds / 10 : 5 ))
echo "== whole run, 50 MB report, key lines last ($reads rounds): vexoflash :: floor, grep -F -m1 twice"
BENCH_REPORT_MB=50 "$tools/timeit" "$reads" "${run[@]}" :: "${floor[@]}" -- \
  grep -F -m1 "Reserved bytes  =" busscan.out -- grep -F -m1 "Firmware level  =" busscan.out

echo "== whole run, peak memory by report size"
for size in 1 50 200; do
  printf '%4d MB: ' "$size"
  BENCH_REPORT_MB=$size "$tools/timeit" 3 "${run[@]}" :: true | sed -n 's/^side 1: //p'
done
