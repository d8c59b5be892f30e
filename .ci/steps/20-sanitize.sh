# The whole test suite under AddressSanitizer (with leak checking) and
# UndefinedBehaviorSanitizer: any finding fails the test that caused it.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need clang++ clang
need /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.asan-x86_64.a libclang-rt-14-dev
install_needed
cmake --workflow --preset asan
