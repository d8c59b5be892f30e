# Install rules and the Debian package.
#
#   cmake --install build/release --prefix /usr/local   # program, manual, docs
#   cd build/release && cpack -G DEB                     # vexoflash_<version>-1_<arch>.deb
#
# The default install is what an operator needs: the program (in sbin, an
# administrator's command with its manual in section 8), its manual page
# and its documentation. What only the Debian package needs is in the
# component "debian", left out of the default install. Test helpers (a
# simulated vxtool and the like) must be installed, if at all, with
# EXCLUDE_FROM_ALL in a component of their own, so that neither the default
# install nor the package carries them.

if(WIN32)
  include(cmake/WindowsPackage.cmake)
  return()
endif()

include(GNUInstallDirs)

install(TARGETS vexoflash RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})

set(VEXOFLASH_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/vexoflash)
set(VEXOFLASH_STAGE ${CMAKE_CURRENT_BINARY_DIR}/install-stage)

# Manual pages and the Debian changelog ship compressed, as Debian wants
# (gzip -n: no name or time stamp, so the package builds reproducibly).
find_program(GZIP_PROGRAM gzip)
function(vexoflash_gzipped source target_name out_var)
  get_filename_component(name ${source} NAME)
  if(NOT GZIP_PROGRAM)
    set(${out_var} ${source} PARENT_SCOPE)
    return()
  endif()
  set(out ${VEXOFLASH_STAGE}/${target_name}.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VEXOFLASH_STAGE}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${VEXOFLASH_STAGE}/${target_name}
    COMMAND ${GZIP_PROGRAM} -9nf ${VEXOFLASH_STAGE}/${target_name}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

vexoflash_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/docs/vexoflash.8 vexoflash.8 VEXOFLASH_MANPAGE)
vexoflash_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog.Debian changelog.Debian
                  VEXOFLASH_CHANGELOG)
add_custom_target(vexoflash_docs ALL DEPENDS ${VEXOFLASH_MANPAGE} ${VEXOFLASH_CHANGELOG})

install(FILES ${VEXOFLASH_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES README.md packaging/copyright DESTINATION ${VEXOFLASH_DOCDIR})
# Debian's own files: the package's changelog, and the lintian override
# (the package is not meant for the Debian archive, so it closes no ITP
# bug). A plain install leaves them out.
install(FILES ${VEXOFLASH_CHANGELOG} DESTINATION ${VEXOFLASH_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME vexoflash COMPONENT debian EXCLUDE_FROM_ALL)

# Debian package: cpack -G DEB in the build tree.
set(CPACK_PACKAGE_NAME vexoflash)
set(CPACK_PACKAGE_VENDOR "the vexoflash developers")
set(CPACK_PACKAGE_CONTACT "vexoflash developers <vexoflash@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update utility for the Vexo3 device")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vexoflash)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
# The package holds the default install and the Debian-only files.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};vexoflash;ALL;/;${CMAKE_BINARY_DIR};vexoflash;debian;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vexoflash updates the firmware of the Vexo3 device built into the system
it runs on. It drives the vendor's programming tool vxtool: it scans the
device, writes the firmware image the device does not run, and reports
the outcome with a fixed message, power-cycle advice and an exit status
that scripts can act on.")
include(CPack)
