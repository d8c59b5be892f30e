# The distribution's hardening, on the interface target vexoflash_hardening:
# vexoflash runs as root, so a memory fault in it must end the run, not
# hand an attacker root. vexoflash_core passes it on to every
# program built from the code, the tests among them, so that they test the
# code as it ships.
#
# Linux: a position-independent executable (ASLR), relocations read-only
# and bound at start (full RELRO), the stack protector, fortified C library
# calls, stack clash protection and, on x86, control-flow protection (CET).
# Windows: ASLR with a relocation section, high-entropy ASLR and DEP. The
# checks of the built binaries are in .ci/steps/70-hardening.sh.
#
# A packager who brings the distribution's own flags (dpkg-buildflags)
# configures with -DVEXOFLASH_HARDENING=OFF.

option(VEXOFLASH_HARDENING "Build with the distribution's hardening flags" ON)
add_library(vexoflash_hardening INTERFACE)

# The sanitizer builds check memory themselves: fortified calls would go
# around AddressSanitizer's interceptors, and a stack protector adds
# nothing to it.
if(NOT VEXOFLASH_HARDENING OR VEXOFLASH_SANITIZE)
  return()
endif()

if(WIN32)
  # GNU ld gives these by default since 2.36; said here so that no older
  # or differently configured linker silently drops them.
  target_link_options(vexoflash_hardening INTERFACE
    LINKER:--dynamicbase,--high-entropy-va,--nxcompat)
  return()
endif()

# _FORTIFY_SOURCE works only when optimising (glibc warns otherwise, an
# error with -Werror), and a compiler default is undefined first so that
# the two never clash.
target_compile_options(vexoflash_hardening INTERFACE
  -fPIE
  -fstack-protector-strong
  -fstack-clash-protection
  -U_FORTIFY_SOURCE
  $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
  target_compile_options(vexoflash_hardening INTERFACE -fcf-protection)
endif()
target_link_options(vexoflash_hardening INTERFACE -pie LINKER:-z,relro,-z,now)
