# 32-bit x86 Linux with Debian's cross compiler (g++-i686-linux-gnu); tests and programs run on
# the machine's own processor where it runs 32-bit x86 programs, else under qemu-i386.
# scripts/install-deps.sh i686-linux-gnu installs both.
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
# An x86-64 machine whose kernel runs 32-bit programs runs them natively through the target's
# own loader and libraries. Elsewhere qemu-i386 runs them; Debian 12's qemu-i386 (7.2) cannot
# start a thread, so there the tests that divide work over threads hang (QUIL_NUM_THREADS=1
# keeps the library on one thread).
execute_process(COMMAND ${QUIL_TARGET_ROOT}/lib/ld-linux.so.2 --version
    RESULT_VARIABLE quil_native_i686 OUTPUT_QUIET ERROR_QUIET)
if(quil_native_i686 EQUAL 0)
    set(quil_i686_runner ${QUIL_TARGET_ROOT}/lib/ld-linux.so.2 --library-path ${QUIL_TARGET_ROOT}/lib)
else()
    set(quil_i686_runner qemu-i386 -L ${QUIL_TARGET_ROOT})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${quil_i686_runner} CACHE STRING
    "How the build machine runs the target's programs")
