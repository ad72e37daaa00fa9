# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages made at build time from each program's --help (help2man), so
# they always list the options the program takes. Nothing is made when
# help2man is missing (scripts/setup.sh package installs it), when the
# programs cannot run here (a cross-build) or in a sanitizer build, which is
# not installed.
find_program(KORVEL_HELP2MAN help2man)
find_program(KORVEL_GZIP gzip)

set(KORVEL_MAN_PAGES "")

# korvel_man_page(<target> <one-line description>)
function(korvel_man_page target description)
    if(CMAKE_CROSSCOMPILING OR KORVEL_SANITIZE OR NOT KORVEL_HELP2MAN OR NOT KORVEL_GZIP)
        return()
    endif()
    set(page "${CMAKE_BINARY_DIR}/man/${target}.1")
    # The window's --help is answered before any window system is opened, so
    # this runs on a machine without a display too.
    add_custom_command(
        OUTPUT "${page}.gz"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
        COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                "${KORVEL_HELP2MAN}" --no-info --section=1
                "--version-string=${PROJECT_VERSION}" "--name=${description}"
                "--output=${page}" "$<TARGET_FILE:${target}>"
        # -n: no time stamp in the archive, so the page is the same every build.
        COMMAND "${KORVEL_GZIP}" -9nf "${page}"
        DEPENDS ${target}
        VERBATIM)
    set_property(GLOBAL APPEND PROPERTY KORVEL_MAN_PAGES "${page}.gz")
endfunction()

# Called once every program has its page: builds them with the programs and
# installs them.
function(korvel_install_man_pages)
    get_property(pages GLOBAL PROPERTY KORVEL_MAN_PAGES)
    if(NOT pages)
        if(NOT CMAKE_CROSSCOMPILING AND NOT KORVEL_SANITIZE)
            message(STATUS "Manual pages skipped: they need help2man "
                           "(scripts/setup.sh package installs it)")
        endif()
        return()
    endif()
    add_custom_target(korvel_man_pages ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endfunction()
