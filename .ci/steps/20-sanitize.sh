#!/usr/bin/env bash
# The whole test suite under AddressSanitizer (with leak checking) and
# UndefinedBehaviorSanitizer: any finding fails the test that caused it.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need_clang_runtime address,undefined
install_needed
cmake --workflow --preset asan
