# 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu); tests and programs run
# under qemu-aarch64. scripts/install-deps.sh aarch64-linux-gnu installs both.
#   cmake --toolchain cmake/toolchains/aarch64-linux-gnu.cmake -S . -B build-arm
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(QUIL_TARGET_ROOT /usr/aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-root.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${QUIL_TARGET_ROOT} CACHE STRING
    "How the build machine runs the target's programs")
