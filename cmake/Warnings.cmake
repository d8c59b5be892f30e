# The compiler warnings the code is held to, on the interface target
# vexoflash_warnings. Only the project's own targets link it (the program
# and its core, the tests, the simulated vxtool, the benchmarks, the
# fuzzer): GoogleTest, when built from its sources, keeps its own flags.
#
# Warnings become errors through CMAKE_COMPILE_WARNING_AS_ERROR, which
# the developer and CI presets set; a packager whose newer compiler warns
# where ours did not builds anyway with --compile-no-warning-as-error.

add_library(vexoflash_warnings INTERFACE)
target_compile_options(vexoflash_warnings INTERFACE -Wall -Wextra -Wpedantic)
