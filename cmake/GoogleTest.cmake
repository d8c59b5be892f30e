# CTest's BUILD_TESTING (on by default; -DBUILD_TESTING=OFF turns the tests
# off) and GoogleTest for the tests. Sets vexoflash_testing when the tests
# are built: BUILD_TESTING is on and GoogleTest is there, either installed
# (Debian libgtest-dev) or as sources in VEXOFLASH_GTEST_SOURCE (the Windows
# cross build uses Debian's /usr/src/googletest). Without GoogleTest the
# tests are off, with a one-line notice, and the program still builds.

# No CDash dashboard targets (Experimental, Nightly, ...): CTest alone.
set_property(GLOBAL PROPERTY CTEST_TARGETS_ADDED 1)
include(CTest)

set(VEXOFLASH_GTEST_SOURCE "" CACHE PATH "GoogleTest sources to build with the tests")
set(vexoflash_testing OFF)
if(NOT BUILD_TESTING)
  return()
endif()

if(VEXOFLASH_GTEST_SOURCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Defines GTest::gtest and GTest::gtest_main as an installed one would,
  # its headers as system headers, built with GoogleTest's own flags: our
  # warnings, as errors, are ours.
  set(CMAKE_COMPILE_WARNING_AS_ERROR OFF)
  add_subdirectory(${VEXOFLASH_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  unset(CMAKE_COMPILE_WARNING_AS_ERROR)
else()
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    message(STATUS "Tests are off: GoogleTest not found (Debian libgtest-dev); building the program alone")
    return()
  endif()
endif()
set(vexoflash_testing ON)
