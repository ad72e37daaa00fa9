# SPDX-License-Identifier: GPL-3.0-or-later
# Windows resources of every executable: the version record, the application
# icon (group 128, a multi-size .ico made from res/icon_*.png at build time)
# and the manifest (caller's rights, per-monitor DPI, common controls v6).
if(NOT WIN32)
    function(korvel_windows_resources)
    endfunction()
    return()
endif()

enable_language(RC)
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
    message(FATAL_ERROR "Python 3 is needed to make the Windows icon from res/icon_*.png")
endif()

set(_korvel_icon "${CMAKE_BINARY_DIR}/packaging/korvel.ico")
set(_korvel_icon_pngs "")
foreach(size IN ITEMS 16 24 32 48 64 128 256)
    list(APPEND _korvel_icon_pngs "${PROJECT_SOURCE_DIR}/res/icon_${size}.png")
endforeach()
add_custom_command(
    OUTPUT "${_korvel_icon}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
    COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/packaging/windows/make_ico.py"
            "${_korvel_icon}" ${_korvel_icon_pngs}
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/windows/make_ico.py" ${_korvel_icon_pngs}
    VERBATIM)
add_custom_target(korvel_icon DEPENDS "${_korvel_icon}")

# korvel_windows_resources(<target> <file name> <description>)
function(korvel_windows_resources target file_name description)
    set(KORVEL_RC_FILE_NAME "${file_name}")
    set(KORVEL_RC_DESCRIPTION "${description}")
    string(REPLACE "." "," KORVEL_RC_VERSION_COMMAS "${PROJECT_VERSION}")
    set(KORVEL_RC_ICON "${_korvel_icon}")
    set(KORVEL_RC_MANIFEST "${PROJECT_SOURCE_DIR}/packaging/windows/korvel.manifest")
    set(rc "${CMAKE_BINARY_DIR}/packaging/${target}.rc")
    configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in" "${rc}" @ONLY)
    target_sources(${target} PRIVATE "${rc}")
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS
        "${_korvel_icon};${KORVEL_RC_MANIFEST}")
    if(MSVC)
        # The linker writes the manifest; it takes ours in.
        set_source_files_properties("${rc}" PROPERTIES COMPILE_DEFINITIONS
            KORVEL_MANIFEST_FROM_LINKER)
        target_sources(${target} PRIVATE "${KORVEL_RC_MANIFEST}")
    endif()
    add_dependencies(${target} korvel_icon)
endfunction()
