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
build/bench/bench/make_report 1 "$work/busscan.out"
(cd "$work" && "$OLDPWD/build/bench/bench/read_report" >/dev/null)
echo "benchmark programs: built and working"
