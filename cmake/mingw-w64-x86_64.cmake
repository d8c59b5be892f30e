# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads):
#
#   cmake --preset windows     # uses this file
#
# Test programs run under wine (wine64), in a private prefix inside the
# build tree, so that ctest works on the build machine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# wine, quiet, with its prefix (its C: drive and registry) in the build tree.
find_program(VEXOFLASH_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(VEXOFLASH_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
set(VEXOFLASH_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(VEXOFLASH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEDEBUG=-all WINEPREFIX=${VEXOFLASH_WINEPREFIX} WINEDLLOVERRIDES=mscoree,mshtml=
      ${VEXOFLASH_WINE})
endif()
