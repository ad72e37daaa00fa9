# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` and the Debian package put on a Linux system: the
# programs, the desktop entry, the icons, the AppStream data, the manual pages,
# the udev rule template and the licence.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/man_pages.cmake)

set(KORVEL_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule template goes, relative to the install prefix")

install(TARGETS korvel-sweep korvel-sim korvel-bridge RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
korvel_man_page(korvel-sweep "headless sweeps with the KDX7720C antenna analyzer")
korvel_man_page(korvel-sim "the simulated KDX7720C antenna analyzer on a socket")
korvel_man_page(korvel-bridge "serve a local KDX7720C antenna analyzer on a socket")

if(KORVEL_BUILD_GUI)
    install(TARGETS korvel RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    korvel_man_page(korvel "front-end for the KDX7720C USB HF antenna analyzer")

    set(_korvel_packaging "${PROJECT_SOURCE_DIR}/packaging/linux")
    configure_file("${_korvel_packaging}/app.desktop.in"
                   "${CMAKE_BINARY_DIR}/packaging/${KORVEL_APP_ID}.desktop" @ONLY)
    configure_file("${_korvel_packaging}/app.metainfo.xml.in"
                   "${CMAKE_BINARY_DIR}/packaging/${KORVEL_APP_ID}.metainfo.xml" @ONLY)
    install(FILES "${CMAKE_BINARY_DIR}/packaging/${KORVEL_APP_ID}.desktop"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${CMAKE_BINARY_DIR}/packaging/${KORVEL_APP_ID}.metainfo.xml"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    foreach(size IN ITEMS 16 24 32 48 64 128 256)
        install(FILES "${PROJECT_SOURCE_DIR}/res/icon_${size}.png"
                DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
                RENAME "${KORVEL_APP_ID}.png")
    endforeach()
endif()

korvel_install_man_pages()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/linux/70-korvel.rules"
            DESTINATION "${KORVEL_UDEV_RULES_DIR}")
endif()

# Debian's layout for the licence and the change log of a native package.
set(_korvel_changelog "${CMAKE_BINARY_DIR}/packaging/changelog")
configure_file("${PROJECT_SOURCE_DIR}/packaging/linux/changelog.in" "${_korvel_changelog}" @ONLY)
find_program(KORVEL_GZIP gzip)
if(KORVEL_GZIP)
    add_custom_command(OUTPUT "${_korvel_changelog}.gz"
                       COMMAND "${KORVEL_GZIP}" -9nkf "${_korvel_changelog}"
                       DEPENDS "${_korvel_changelog}"
                       VERBATIM)
    add_custom_target(korvel_changelog ALL DEPENDS "${_korvel_changelog}.gz")
    install(FILES "${_korvel_changelog}.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
endif()
install(FILES "${PROJECT_SOURCE_DIR}/packaging/linux/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
