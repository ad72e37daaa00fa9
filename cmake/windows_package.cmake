# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows folder of KORVEL: the programs, and beside the window the DLLs
# and plugins it needs (cmake/windows_deploy.cmake). `cmake --install` writes
# the folder, and `cpack` makes the installer KORVEL-<version>-win64.exe
# (-G NSIS) and a zip of the folder (-G ZIP).
install(TARGETS korvel-sweep korvel-sim korvel-bridge RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME KORVEL)
set(CPACK_PACKAGE_VENDOR "The KORVEL developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front-end for the KDX7720C USB HF antenna analyzer")
set(CPACK_PACKAGE_INSTALL_DIRECTORY KORVEL)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY KORVEL)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)

# A 64-bit installer (a 32-bit one would not start on a 64-bit-only system)
# into "Program Files", with the Start-menu entry "KORVEL" and the uninstaller.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_PACKAGE_NAME "KORVEL")
set(CPACK_NSIS_DISPLAY_NAME "KORVEL")
set(CPACK_NSIS_URL_INFO_ABOUT "${KORVEL_HOMEPAGE_URL}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The uninstaller removes the vendor's registry key too, once it is empty
# (CPack's own uninstaller leaves it behind).
set(_korvel_vendor_key "Software\\\\${CPACK_PACKAGE_VENDOR}")  # a backslash in the script
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "DeleteRegKey SHCTX '${_korvel_vendor_key}\\\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}'
  DeleteRegKey /ifempty SHCTX '${_korvel_vendor_key}'")
if(KORVEL_BUILD_GUI)
    set(CPACK_PACKAGE_EXECUTABLES KORVEL "KORVEL")
    set(CPACK_NSIS_INSTALLED_ICON_NAME KORVEL.exe)
    set(CPACK_NSIS_MUI_ICON "${CMAKE_BINARY_DIR}/packaging/korvel.ico")
    set(CPACK_NSIS_MUI_UNIICON "${CMAKE_BINARY_DIR}/packaging/korvel.ico")
endif()
# The zip holds the same folder, under KORVEL-<version>-win64/.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
