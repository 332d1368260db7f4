# Installation and the Debian package.
#
# Included from the top-level CMakeLists.txt after the programs' folders, so
# that the editor's target exists when the GUI is built. jbxtool installs
# itself (cli/CMakeLists.txt).

include(GNUInstallDirs)

if(TARGET jbxmaker)
    install(TARGETS jbxmaker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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
set(CPACK_GENERATOR DEB)
include(CPack)
