# Installation and the Debian package; for a Windows target, the installer
# and ZIP of WindowsPackaging.cmake instead.
#
# Included from the top-level CMakeLists.txt after the programs' folders, so
# that the editor's target exists when the GUI is built. jbxtool installs
# itself (cli/CMakeLists.txt).

include(GNUInstallDirs)

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
    return()
endif()

if(TARGET jbxmaker)
    install(TARGETS jbxmaker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET jbxmaker-player)
    install(TARGETS jbxmaker-player LIBRARY DESTINATION ${JBX_PLAYER_MODULE_INSTALL_DIR})
endif()

if(NOT (UNIX AND NOT APPLE))
    return()
endif()

# The data a freedesktop desktop looks for: the menu entry that also opens
# banks, the bank file type, the icons and the software centre's description.
set(JBX_METAINFO_ID org.example.JBXMaker)
set(JBX_METAINFO_FILE ${PROJECT_SOURCE_DIR}/resources/${JBX_METAINFO_ID}.metainfo.xml)
set(JBX_PROGRAM_ICON ${PROJECT_SOURCE_DIR}/resources/icons/jbxmaker.svg)

configure_file(${PROJECT_SOURCE_DIR}/resources/jbxmaker.desktop.in
    ${PROJECT_BINARY_DIR}/jbxmaker.desktop @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/jbxmaker.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/jbxmaker-mime.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME jbxmaker.xml)
install(FILES ${JBX_METAINFO_FILE}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The program icon also serves as the icon of bank files. OPTIONAL: the icon
# is looked for when installing, not when configuring.
install(FILES ${JBX_PROGRAM_ICON}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    OPTIONAL)
install(FILES ${JBX_PROGRAM_ICON}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes
    RENAME application-x-jbx.svg
    OPTIONAL)

# The release this tree builds, as the changelog and the metainfo's
# <releases> give it; the manual pages carry its month.
set(JBX_RELEASE_DATE 2026-12-06)
string(SUBSTRING ${JBX_RELEASE_DATE} 0 4 _year)
string(SUBSTRING ${JBX_RELEASE_DATE} 5 2 _month)
math(EXPR _month "${_month} - 1")
set(_months January February March April May June July August September October November December)
list(GET _months ${_month} _month)
set(JBX_RELEASE_MONTH "${_month} ${_year}")
set(JBX_PACKAGE_FILES ${PROJECT_SOURCE_DIR}/resources/package)
set(JBX_MAN_DIR ${PROJECT_BINARY_DIR}/man)

# Debian wants documentation compressed with gzip -9n: no name or time
# stamp inside, so that the package does not change between builds.
function(jbx_gzip_file input output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9nc ${input} > ${output}
        DEPENDS ${input}
        VERBATIM)
endfunction()

# jbxtool's page is made from its own help: --help and --version by
# help2man, each command's --help by jbxtool-commands.cmake, so that page and
# help never disagree. jbxtool.h2m adds what the help has no room for.
# help2man takes the page's date from SOURCE_DATE_EPOCH.
find_program(JBX_HELP2MAN help2man REQUIRED)
execute_process(COMMAND date -u -d "${JBX_RELEASE_DATE}" +%s
    OUTPUT_VARIABLE JBX_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
add_custom_command(OUTPUT ${JBX_MAN_DIR}/jbxtool.1
    COMMAND ${CMAKE_COMMAND} -E make_directory ${JBX_MAN_DIR}
    COMMAND ${CMAKE_COMMAND} -DJBXTOOL=$<TARGET_FILE:jbxtool> -DOUTPUT=${JBX_MAN_DIR}/jbxtool-commands.h2m
        -P ${JBX_PACKAGE_FILES}/jbxtool-commands.cmake
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${JBX_RELEASE_EPOCH}
        ${JBX_HELP2MAN} --no-info --section=1 --include=${JBX_PACKAGE_FILES}/jbxtool.h2m
        --include=${JBX_MAN_DIR}/jbxtool-commands.h2m --output=${JBX_MAN_DIR}/jbxtool.1 $<TARGET_FILE:jbxtool>
    DEPENDS jbxtool ${JBX_PACKAGE_FILES}/jbxtool.h2m ${JBX_PACKAGE_FILES}/jbxtool-commands.cmake
    VERBATIM)
configure_file(${JBX_PACKAGE_FILES}/jbxmaker.1.in ${JBX_MAN_DIR}/jbxmaker.1 @ONLY)
jbx_gzip_file(${JBX_MAN_DIR}/jbxtool.1 ${JBX_MAN_DIR}/jbxtool.1.gz)
jbx_gzip_file(${JBX_MAN_DIR}/jbxmaker.1 ${JBX_MAN_DIR}/jbxmaker.1.gz)
jbx_gzip_file(${JBX_PACKAGE_FILES}/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_target(jbx_package_docs ALL DEPENDS
    ${JBX_MAN_DIR}/jbxtool.1.gz ${JBX_MAN_DIR}/jbxmaker.1.gz ${PROJECT_BINARY_DIR}/changelog.gz)

install(FILES ${JBX_MAN_DIR}/jbxtool.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET jbxmaker)
    install(FILES ${JBX_MAN_DIR}/jbxmaker.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Where bash-completion looks for a command's completion when it is first
# needed: <prefix>/share/bash-completion/completions/<command>.
install(FILES ${JBX_PACKAGE_FILES}/jbxtool.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME jbxtool)

# The licence, as the machine-readable copyright file Debian looks for, and
# the changelog of the version.
install(FILES ${JBX_PACKAGE_FILES}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/jbxmaker)

# cpack -G DEB. The MIME, desktop and icon caches are refreshed by the
# triggers of shared-mime-info, desktop-file-utils and the icon theme, so the
# package needs no maintainer scripts of its own.
set(CPACK_PACKAGE_NAME jbxmaker)
set(CPACK_PACKAGE_VENDOR "JBX Maker")
set(CPACK_PACKAGE_CONTACT "JBX Maker <jbxmaker@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for JBX sound banks")
set(CPACK_PACKAGE_DESCRIPTION
    "JBX Maker opens, plays, edits and saves JBX sound banks, the files from\n"
    "which games with the JeerBox feature take ten short sounds. Sounds can be\n"
    "replaced with WAVE files or Creative Voice Files and extracted to files.\n"
    "The package also holds jbxtool, a command-line companion for batch work.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://example.org/jbxmaker")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
# Folders 0755 and files 0644 or 0755 whatever the builder's umask, and the
# control files as dpkg expects them.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
