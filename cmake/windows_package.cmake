# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows folder of KORVEL: the programs with the Qt DLLs, Qt's Windows
# platform and style plugins and the compiler's runtime DLLs beside them, so
# that it runs on a Windows machine with nothing else installed. The window's
# build folder gets the same DLLs after each link (it runs from there too);
# `cmake --install` writes the folder, and `cpack` makes the installer
# KORVEL-<version>-win64.exe (-G NSIS) and a zip of the folder (-G ZIP).
install(TARGETS korvel-sweep korvel-sim korvel-bridge RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)

if(KORVEL_BUILD_GUI)
    install(TARGETS korvel RUNTIME DESTINATION .)

    # The executables link the runtime statically; Qt's DLLs need it as DLLs.
    set(_korvel_runtime "")
    if(MINGW)
        foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}
                            OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
                message(FATAL_ERROR "${dll} of ${CMAKE_CXX_COMPILER} not found")
            endif()
            list(APPEND _korvel_runtime "${path}")
        endforeach()
    endif()
    set(_korvel_dlls $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
                     ${_korvel_runtime})
    set(_korvel_platform $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>)
    set(_korvel_style $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>)

    # Qt looks for its plugins in these folders beside the executable.
    set(_korvel_dir $<TARGET_FILE_DIR:korvel>)
    add_custom_command(TARGET korvel POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_korvel_dlls} "${_korvel_dir}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${_korvel_dir}/platforms" "${_korvel_dir}/styles"
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_korvel_platform} "${_korvel_dir}/platforms"
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_korvel_style} "${_korvel_dir}/styles"
        VERBATIM)
    install(FILES ${_korvel_dlls} DESTINATION .)
    install(FILES ${_korvel_platform} DESTINATION platforms)
    install(FILES ${_korvel_style} DESTINATION styles)
endif()

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
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "DeleteRegKey SHCTX 'Software\\${CPACK_PACKAGE_VENDOR}\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}'
  DeleteRegKey /ifempty SHCTX 'Software\\${CPACK_PACKAGE_VENDOR}'")
if(KORVEL_BUILD_GUI)
    set(CPACK_PACKAGE_EXECUTABLES KORVEL "KORVEL")
    set(CPACK_NSIS_INSTALLED_ICON_NAME KORVEL.exe)
    set(CPACK_NSIS_MUI_ICON "${CMAKE_BINARY_DIR}/packaging/korvel.ico")
    set(CPACK_NSIS_MUI_UNIICON "${CMAKE_BINARY_DIR}/packaging/korvel.ico")
endif()
# The zip holds the same folder, under KORVEL-<version>-win64/.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
