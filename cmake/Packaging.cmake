# Install rules, the Debian package and the RPM.
#
#   cmake --install build/release --prefix /usr/local   # program, manual, docs
#   cd build/release && cpack -G DEB                     # vexoflash_<version>-1_<arch>.deb
#   cd build/release && cpack -G RPM                     # vexoflash-<version>-1.<arch>.rpm
#
# The default install is what an operator needs: the program (in sbin, an
# administrator's command with its manual in section 8), its manual page
# and its documentation. Left out of it, in components of their own: what
# both packages add (component "packaged": the working directory
# /var/lib/vexoflash, root's alone) and what only the Debian package needs
# (component "debian"; its purge script is a control file, below). Test
# helpers (a simulated vxtool and the like) must be installed, if at all,
# with EXCLUDE_FROM_ALL in a component of their own, so that neither the
# default install nor a package carries them.

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
# The working directory that the manual recommends, made by the packages
# (an absolute path, which cpack puts in the package as it is):
# owned by root, mode 0700, so that no other user can even take its lock.
file(MAKE_DIRECTORY ${VEXOFLASH_STAGE}/var/vexoflash)
install(DIRECTORY ${VEXOFLASH_STAGE}/var/vexoflash DESTINATION /var/lib
        DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        COMPONENT packaged EXCLUDE_FROM_ALL)

# The packages: cpack -G DEB or -G RPM in the build tree. Both hold the
# default install and the component "packaged"; the .deb also "debian".
set(CPACK_PACKAGE_NAME vexoflash)
set(CPACK_PACKAGE_VENDOR "the vexoflash developers")
set(CPACK_PACKAGE_CONTACT "vexoflash developers <vexoflash@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update utility for the Vexo3 device")
set(CPACK_PACKAGE_DESCRIPTION
    "vexoflash updates the firmware of the Vexo3 device built into the system
it runs on. It drives the vendor's programming tool vxtool: it scans the
device, writes the firmware image the device does not run, and reports
the outcome with a fixed message, power-cycle advice and an exit status
that scripts can act on.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vexoflash)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_VEXOFLASH_PROJECTS_DEB
    "${CMAKE_BINARY_DIR};vexoflash;ALL;/;${CMAKE_BINARY_DIR};vexoflash;packaged;/;${CMAKE_BINARY_DIR};vexoflash;debian;/")
set(CPACK_VEXOFLASH_PROJECTS_RPM
    "${CMAKE_BINARY_DIR};vexoflash;ALL;/;${CMAKE_BINARY_DIR};vexoflash;packaged;/")
# Picks the components of each generator's package at cpack time.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/CPackProjects.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A purge removes /var/lib/vexoflash with what is left in it (images,
# reports); a remove keeps it. The RPM has no purge: rpm -e keeps the
# directory while it holds files the package does not own.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/postrm)

# The RPM, for RHEL-family systems. Its dependencies come from rpmbuild's
# own dependency generator. It owns no directory that the system's
# filesystem package owns, only its documentation directory and its
# working directory. Not relocatable: an administrator's command stays in
# /usr/sbin. No /usr/lib/.build-id links: there is no debuginfo package
# for them to lead to.
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_SUMMARY "Firmware update utility for the Vexo3 device")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_SPEC_MORE_DEFINE
    "%define packager ${CPACK_PACKAGE_CONTACT}\n%define _build_id_links none")
set(CPACK_RPM_CHANGELOG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog.rpm)
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/sbin /usr/share/man /usr/share/man/man8 /var /var/lib)
set(CPACK_RPM_USER_FILELIST
    "%doc /usr/${VEXOFLASH_DOCDIR}/README.md"
    "%license /usr/${VEXOFLASH_DOCDIR}/copyright"
    "%dir %attr(0700,root,root) /var/lib/vexoflash")
include(CPack)
