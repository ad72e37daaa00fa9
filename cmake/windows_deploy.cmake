# SPDX-License-Identifier: GPL-3.0-or-later
# Beside KORVEL.exe: the Qt DLLs, Qt's Windows platform and style plugins and
# the compiler's runtime DLLs, so that the folder runs on a Windows machine
# with nothing else installed. The build folder gets them after each link of
# the window (it runs from there too); the install rules put them in the
# installed folder. Included from the folder that makes the window.
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
# The toolchain's runtime DLLs come with their debugging information (20 MB).
foreach(path IN LISTS _korvel_runtime)
    get_filename_component(dll "${path}" NAME)
    set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${dll}")
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" \"${installed}\")
    endif()")
endforeach()
install(FILES ${_korvel_platform} DESTINATION platforms)
install(FILES ${_korvel_style} DESTINATION styles)
