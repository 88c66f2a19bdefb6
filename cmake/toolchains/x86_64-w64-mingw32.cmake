# 64-bit Windows with Debian's MinGW-w64 cross compiler (posix-threads flavour, so that
# std::thread works), the programs and tests run by Wine.
#   cmake -G Ninja -S . -B build-windows \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUIL_TARGET_ROOT /usr/x86_64-w64-mingw32)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-root.cmake)

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
