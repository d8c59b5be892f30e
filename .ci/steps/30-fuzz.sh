#!/usr/bin/env bash
# Fuzzes the scan report readers under the sanitizers, half a minute on
# each core (-fork); a crash, a sanitizer finding or a difference from the
# fuzzer's model of the report fails the step.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need_clang_runtime fuzzer,address,undefined
install_needed
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target report_fuzz

seconds=${FUZZ_SECONDS:-30}
jobs=${FUZZ_JOBS:-$(nproc)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
# The fuzzer works in a directory of its own: every path it gets is absolute,
# its own too, as -fork starts it again in each of its processes. Its
# standard output (the readers' messages) is closed to keep the log short.
if ! "$PWD/build/fuzz/fuzz/report_fuzz" -fork="$jobs" -max_total_time="$seconds" -timeout=10 -max_len=8192 \
  -close_fd_mask=1 -print_final_stats=1 -dict="$PWD/fuzz/report.dict" \
  -artifact_prefix="$work/" "$work/corpus" "$PWD/fuzz/corpus" >"$work/log" 2>&1; then
  tail -n 60 "$work/log"
  for crash in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
    [ -e "$crash" ] || continue
    echo "--- $(basename "$crash") (base64):"
    base64 "$crash" | head -c 4000
    echo
  done
  echo "fuzzing found a fault"
  exit 1
fi
grep -E '^#[0-9]+: cov: ' "$work/log" | tail -n 1
echo "fuzzing: no finding in ${seconds}s on $jobs processes"
