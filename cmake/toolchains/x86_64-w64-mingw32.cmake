# 64-bit Windows with Debian's MinGW-w64 cross compiler (posix-threads flavour, so that
# std::thread works), the programs and tests run by Wine.
#   cmake -G Ninja -S . -B build-windows \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUIL_TARGET_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUIL_TARGET_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUIL_TARGET_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUIL_TARGET_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUIL_TARGET_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs what was built (tests, test discovery), in a prefix of the build's own that
# tests/CMakeLists.txt sets up before the first run. Quiet, without the Mono and Gecko
# installers, and without a display: only the window test gets one.
find_program(QUIL_WINE64 wine64 PATHS /usr/lib/wine /usr/lib64/wine)
if(QUIL_WINE64)
    set(QUIL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(QUIL_WINE_ENVIRONMENT WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env --unset=DISPLAY
        --unset=WAYLAND_DISPLAY ${QUIL_WINE_ENVIRONMENT} WINEPREFIX=${QUIL_WINEPREFIX}
        ${QUIL_WINE64})
endif()
