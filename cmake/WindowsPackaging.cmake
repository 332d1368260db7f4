# The Windows programs' packages, cross-built on Linux:
#
#   cmake --build --preset windows --target package
#
# gives build/windows/JBXMaker-<version>-win64.exe, an installer made by
# Debian's makensis from cmake/windows/NSIS.template.in, and
# JBXMaker-<version>-win64.zip with the same files to run from any folder.
# Included from Packaging.cmake for a Windows target.

# Flat, as Windows programs are laid out: both programs, the read-me and
# the licence side by side.
install(TARGETS jbxmaker RUNTIME DESTINATION .)
configure_file(${PROJECT_SOURCE_DIR}/resources/package/windows-readme.txt
    ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE WIN32)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt
    @ONLY NEWLINE_STYLE WIN32)
install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

set(CPACK_PACKAGE_NAME JBXMaker)
set(CPACK_PACKAGE_VENDOR Brackwater)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for JBX sound banks")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://example.org/jbxmaker")
set(CPACK_PACKAGE_FILE_NAME JBXMaker-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "JBX Maker")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY JBXMaker)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR NSIS64 ZIP)

# The installer's version resource: its product texts are the programs'
# (win32/jbxmaker.rc, cli/jbxtool.rc), its version in Windows' four parts.
set(CPACK_JBX_COPYRIGHT "Copyright 2026 The JBX Maker developers")
set(CPACK_JBX_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)

set(CPACK_NSIS_EXECUTABLE makensis)
set(CPACK_NSIS_PACKAGE_NAME "JBX Maker")
set(CPACK_NSIS_DISPLAY_NAME "JBX Maker")
set(CPACK_NSIS_INSTALLED_ICON_NAME jbxmaker.exe)
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/icons/jbxmaker.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/icons/jbxmaker.ico)
# CPack takes NSIS.template.in from its module path before its own; ours
# is built on MultiUser.nsh, which CPack's is not, and leaves the editor's
# settings alone on uninstalling, which CPack's does not.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/windows)

# Authenticode signing (cmake/windows/sign.cmake): a certificate and its key
# here or, when running cpack, in the environment variables of the same names.
set(JBX_SIGN_CERT "" CACHE FILEPATH "Certificate (PEM or DER) to sign the Windows programs and installer with")
set(JBX_SIGN_KEY "" CACHE FILEPATH "Private key of JBX_SIGN_CERT")
set(CPACK_JBX_SIGN_CERT "${JBX_SIGN_CERT}")
set(CPACK_JBX_SIGN_KEY "${JBX_SIGN_KEY}")
set(CPACK_JBX_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/windows/sign.cmake)
set(CPACK_JBX_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_PROJECT_CONFIG_FILE ${CPACK_JBX_SIGN_SCRIPT})
file(WRITE ${PROJECT_BINARY_DIR}/sign-staged.cmake
    "set(JBX_SIGN_STAGED TRUE)\ninclude(\"${CPACK_JBX_SIGN_SCRIPT}\")\n")
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/sign-staged.cmake)

# The file names of the packages, for the installer's test.
set(JBX_WINDOWS_INSTALLER ${CPACK_PACKAGE_FILE_NAME}.exe)

include(CPack)
