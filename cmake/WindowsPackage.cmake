# The Windows package: cpack -G ZIP in the windows build tree makes
# vexoflash-<version>-win64.zip with vexoflash.exe, and the README, the
# licence and the manual as text files with CR LF line ends, which any
# Windows editor opens. The simulated vxtool is never in it.

install(TARGETS vexoflash RUNTIME DESTINATION .)

set(VEXOFLASH_STAGE ${CMAKE_CURRENT_BINARY_DIR}/install-stage)
find_program(GROFF_PROGRAM groff)
if(NOT GROFF_PROGRAM)
  message(FATAL_ERROR "The Windows package needs groff (Debian groff-base) to render the manual")
endif()

set(windows_texts)
foreach(pair README.md:README.txt LICENSE:LICENSE.txt docs/vexoflash.8:vexoflash-manual.txt)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 source)
  list(GET pair 1 target)
  set(groff "")
  if(source MATCHES "\\.8$")
    set(groff -DGROFF=${GROFF_PROGRAM})
  endif()
  add_custom_command(
    OUTPUT ${VEXOFLASH_STAGE}/${target}
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_SOURCE_DIR}/${source}
            -DOUT=${VEXOFLASH_STAGE}/${target} ${groff}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows-text.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows-text.cmake
    COMMENT "Writing ${target} with CR LF line ends"
    VERBATIM)
  list(APPEND windows_texts ${VEXOFLASH_STAGE}/${target})
endforeach()
add_custom_target(vexoflash_windows_texts ALL DEPENDS ${windows_texts})
install(FILES ${windows_texts} DESTINATION .)

set(CPACK_PACKAGE_NAME vexoflash)
set(CPACK_PACKAGE_VENDOR "the vexoflash developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update utility for the Vexo3 device")
set(CPACK_PACKAGE_FILE_NAME vexoflash-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
