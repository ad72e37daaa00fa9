# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Tests run under Wine, which CMake uses as the emulator for test executables.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVEL_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix-thread compilers: the win32-thread ones have no std::thread.
set(CMAKE_C_COMPILER ${KORVEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEL_MINGW_TRIPLE}-windres)

# Besides the toolchain's own folder, those of CMAKE_PREFIX_PATH as they are: the
# Qt built for Windows by scripts/qt-mingw.sh, for one.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEL_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the executables then run without the MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(KORVEL_WINE wine)
if(KORVEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${KORVEL_WINE}")
endif()
