# The distribution's hardening, on the interface target vexoflash_hardening:
# vexoflash runs as root, so a memory fault in it must end the run, not
# hand an attacker root. vexoflash_core passes it on to every
# program built from the code, the tests among them, so that they test the
# code as it ships.
#
# Linux: a position-independent executable (ASLR), relocations read-only
# and bound at start (full RELRO), the stack protector, fortified C library
# calls, stack clash protection and, where the compiler has them (x86),
# control-flow protection (CET). Windows: ASLR with a relocation section,
# high-entropy ASLR and DEP. .ci/steps/70-hardening.sh checks what lintian
# does not.
#
# The packager's flags win: each flag is added only when the flags in
# effect (CXXFLAGS, LDFLAGS, the build type's, the compiler's own defaults)
# say nothing about it, so a distribution's -D_FORTIFY_SOURCE=3 or
# -fno-stack-protector stays as it chose. -DVEXOFLASH_HARDENING=OFF adds
# none of them.

option(VEXOFLASH_HARDENING "Add the hardening flags that the flags in effect lack" ON)
add_library(vexoflash_hardening INTERFACE)
if(NOT VEXOFLASH_HARDENING)
  return()
endif()

string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(given_compile "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}")
set(given_link "${CMAKE_EXE_LINKER_FLAGS} ${CMAKE_EXE_LINKER_FLAGS_${build_type}}")

# harden(compile|link REGEX FLAG...): adds the FLAGs unless the given flags
# of that kind match REGEX (the flag, its negation or another level of it).
function(harden kind regex)
  if(given_${kind} MATCHES "${regex}")
    return()
  elseif(kind STREQUAL "compile")
    target_compile_options(vexoflash_hardening INTERFACE ${ARGN})
  else()
    target_link_options(vexoflash_hardening INTERFACE ${ARGN})
  endif()
endfunction()

if(WIN32)
  # GNU ld gives these by default since 2.36; said here so that no older
  # or differently configured linker silently drops them.
  harden(link "dynamicbase" LINKER:--dynamicbase)
  harden(link "high-entropy-va" LINKER:--high-entropy-va)
  harden(link "nxcompat" LINKER:--nxcompat)
  return()
endif()

harden(compile "-f(no-)?(pie|PIE|pic|PIC)( |$)" -fPIE)
harden(link "-(no-|static-)?pie( |$)" -pie)
harden(link "relro" LINKER:-z,relro)
harden(link "-z[, ](now|lazy)" LINKER:-z,now)
harden(compile "-f(no-)?stack-protector" -fstack-protector-strong)

# Only where the compiler takes them: stack clash protection and CET exist
# for some architectures only.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fstack-clash-protection VEXOFLASH_HAS_STACK_CLASH_PROTECTION)
if(VEXOFLASH_HAS_STACK_CLASH_PROTECTION)
  harden(compile "-f(no-)?stack-clash-protection" -fstack-clash-protection)
endif()
check_cxx_compiler_flag(-fcf-protection VEXOFLASH_HAS_CF_PROTECTION)
if(VEXOFLASH_HAS_CF_PROTECTION)
  harden(compile "-f(no-)?cf-protection" -fcf-protection)
endif()

# _FORTIFY_SOURCE works only when optimising (glibc warns otherwise, an
# error with -Werror). Level 2 when no flag and not the compiler itself
# (Ubuntu's g++ sets 3 when optimising) set a level: a second definition
# would be a warning, and a -U would undo the packager's choice. The
# sanitizer builds go without: fortified calls would go around
# AddressSanitizer's interceptors.
if(VEXOFLASH_SANITIZE)
  return()
endif()
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS -O2)
set(CMAKE_REQUIRED_QUIET ON)
check_cxx_source_compiles("
#ifdef _FORTIFY_SOURCE
#error the compiler or CXXFLAGS set a level
#endif
int main() { return 0; }" VEXOFLASH_FORTIFY_UNSET)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_QUIET)
if(VEXOFLASH_FORTIFY_UNSET)
  harden(compile "_FORTIFY_SOURCE" $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
endif()
