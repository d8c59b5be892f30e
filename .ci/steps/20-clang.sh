#!/usr/bin/env bash
# The clang++ step: the whole test suite built with clang++, warnings as
# errors and the hardening flags (all but _FORTIFY_SOURCE), under
# AddressSanitizer (with leak checking) and UndefinedBehaviorSanitizer:
# any finding fails the test that caused it.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need_clang_runtime address,undefined
install_needed
cmake --workflow --preset asan
