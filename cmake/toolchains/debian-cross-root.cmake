# Shared by the toolchain files of Debian's cross compilers: libraries, headers and packages
# come from the target's root (QUIL_TARGET_ROOT, where Debian's cross packages install),
# programs from the build machine. A package installed only for the build machine (Qt 6,
# ncurses, GoogleTest) is therefore not found, and the build leaves out what needs it.
set(CMAKE_FIND_ROOT_PATH ${QUIL_TARGET_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
