# Header-only libraries from the build machine's packages: Asio (sockets),
# CLI11 (options) and nlohmann/json (JSON), as the targets korvel::asio,
# korvel::cli11 and korvel::json; libusb as korvel::libusb.
#
# A cross-build (MinGW) must not see the build machine's /usr/include as a
# whole, so each library's headers are linked into a folder of their own.
set(_korvel_third_party_dir "${CMAKE_BINARY_DIR}/third_party/include")

function(korvel_header_only_library target header)
    find_path(_korvel_dir_${target} "${header}" NO_CMAKE_FIND_ROOT_PATH
              HINTS /usr/include /usr/local/include /opt/homebrew/include)
    set(dir "${_korvel_dir_${target}}")
    if(NOT dir)
        message(FATAL_ERROR "${header} not found: run scripts/setup.sh (Debian packages "
                            "libasio-dev, libcli11-dev, nlohmann-json3-dev)")
    endif()
    if(CMAKE_CROSSCOMPILING)
        file(MAKE_DIRECTORY "${_korvel_third_party_dir}")
        foreach(entry IN LISTS ARGN)
            if(NOT EXISTS "${_korvel_third_party_dir}/${entry}")
                file(CREATE_LINK "${dir}/${entry}" "${_korvel_third_party_dir}/${entry}" SYMBOLIC)
            endif()
        endforeach()
        set(dir "${_korvel_third_party_dir}")
    endif()
    add_library(korvel_${target} INTERFACE)
    target_include_directories(korvel_${target} SYSTEM INTERFACE "${dir}")
    add_library(korvel::${target} ALIAS korvel_${target})
endfunction()

korvel_header_only_library(asio asio.hpp asio.hpp asio)
korvel_header_only_library(cli11 CLI/CLI.hpp CLI)
korvel_header_only_library(json nlohmann/json.hpp nlohmann)

# Standalone Asio: no Boost; on Windows it needs Winsock and Windows 7 or later.
target_compile_definitions(korvel_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
if(WIN32)
    target_compile_definitions(korvel_asio INTERFACE _WIN32_WINNT=0x0601)
    target_link_libraries(korvel_asio INTERFACE ws2_32 mswsock)
endif()

# libusb-1.0 (the USB device layer of every system but Windows, which has a
# layer of its own): Debian's libusb-1.0-0-dev, Homebrew's libusb.
if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(KORVEL_LIBUSB IMPORTED_TARGET GLOBAL libusb-1.0)
    if(NOT KORVEL_LIBUSB_FOUND)
        message(FATAL_ERROR "libusb-1.0 not found: run scripts/setup.sh (Debian package "
                            "libusb-1.0-0-dev; Homebrew: brew install libusb pkg-config)")
    endif()
    add_library(korvel::libusb ALIAS PkgConfig::KORVEL_LIBUSB)
endif()
