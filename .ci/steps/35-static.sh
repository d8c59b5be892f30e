#!/usr/bin/env bash
# Static analysis and formatting: clang-tidy (.clang-tidy) and cppcheck
# must report nothing, every source must be clang-format clean, and every
# shell script shellcheck clean (warnings and errors).
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need clang++ clang
need clang-tidy clang-tidy
need run-clang-tidy clang-tidy
need cppcheck cppcheck
need clang-format clang-format
need shellcheck shellcheck
install_needed

scripts=$(git ls-files 'scripts/*' '.ci/*' 'tests/ansible/*.sh' 'bench/*.sh' packaging/postrm)
echo "shellcheck: $(echo "$scripts" | wc -l) files"
# shellcheck disable=SC2086
shellcheck -S warning $scripts

sources=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
echo "clang-format: $(echo "$sources" | wc -l) files"
# shellcheck disable=SC2086
clang-format --dry-run -Werror $sources

# One compilation database for every program, the fuzzer and benchmarks too.
cmake --preset analysis >/dev/null

# clang-tidy reads the programs, the simulator, the fuzzer and benchmarks.
# Not the tests: their GoogleTest tables took four fifths of its time,
# some four minutes of CI's two cores; cppcheck and both compilers' warnings
# (as errors), with the sanitizers at run time, still check them.
echo "clang-tidy"
run-clang-tidy -quiet -p build/analysis "$PWD/(src|tools|bench|fuzz)/" >build/analysis/tidy.log 2>&1 ||
  {
    grep -E 'warning:|error:' -A3 build/analysis/tidy.log | head -n 200
    echo "clang-tidy found problems"
    exit 1
  }

echo "cppcheck"
# Not reported: system headers it does not have; in tests, members of the
# case tables, which it cannot see used through GoogleTest's parameters;
# its advice to turn plain loops into algorithms.
cppcheck --project=build/analysis/compile_commands.json --library=googletest --library=posix \
  --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
  --suppress=missingIncludeSystem --suppress="unusedStructMember:tests/*" \
  --suppress=useStlAlgorithm --error-exitcode=1 --quiet -j2
echo "static analysis and formatting: clean"
