#!/usr/bin/env bash
# The benchmark programs must build and work; they are timed by hand
# (bench/run.sh), never here.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
install_needed
cmake --preset bench >/dev/null
cmake --build --preset bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && BENCH_REPORT_MB=1 PATH="$OLDPWD/build/bench/bench:$PATH" \
  "$OLDPWD/build/bench/vexoflash" 0x50 image1.bin image2.bin >/dev/null)
echo "benchmark programs: built and working"
