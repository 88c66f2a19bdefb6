# 32-bit x86 Linux with Debian's cross compiler (g++-i686-linux-gnu); tests and programs run
# under qemu-i386. scripts/install-deps.sh i686-linux-gnu installs both.
#   cmake --toolchain cmake/toolchains/i686-linux-gnu.cmake -S . -B build-i686
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUIL_TARGET_ROOT /usr/i686-linux-gnu)

set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
# Double arithmetic in SSE2 registers, never in the x87 unit's wider ones: the library refuses
# to compile where double expressions would be evaluated wider (FLT_EVAL_METHOD other than 0).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-root.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L ${QUIL_TARGET_ROOT} CACHE STRING
    "How the build machine runs the target's programs")
