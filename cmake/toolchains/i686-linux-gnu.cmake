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
# own loader and libraries. Elsewhere qemu-i386 runs them; Debian 12's qemu-i386 (7.2) hangs
# when a program starts a thread, so there the tests run with QUIL_NUM_THREADS=1 and skip what
# needs a second thread (QUIL_EMULATOR_STARTS_NO_THREADS). QUIL_I686_RUNNER=loader or qemu in
# the environment takes one way whatever the machine can do (make cross-check I686_RUNNER=qemu
# measures the emulated run on a machine that has both).
set(quil_i686_runner_choice "$ENV{QUIL_I686_RUNNER}")
if(NOT quil_i686_runner_choice)
    execute_process(COMMAND ${QUIL_TARGET_ROOT}/lib/ld-linux.so.2 --version
        RESULT_VARIABLE quil_native_i686 OUTPUT_QUIET ERROR_QUIET)
    if(quil_native_i686 EQUAL 0)
        set(quil_i686_runner_choice loader)
    else()
        set(quil_i686_runner_choice qemu)
    endif()
endif()
if(quil_i686_runner_choice STREQUAL "loader")
    set(quil_i686_runner ${QUIL_TARGET_ROOT}/lib/ld-linux.so.2 --library-path ${QUIL_TARGET_ROOT}/lib)
    set(QUIL_EMULATOR_STARTS_NO_THREADS OFF)
elseif(quil_i686_runner_choice STREQUAL "qemu")
    set(quil_i686_runner qemu-i386 -L ${QUIL_TARGET_ROOT})
    set(QUIL_EMULATOR_STARTS_NO_THREADS ON)
else()
    message(FATAL_ERROR "QUIL_I686_RUNNER=${quil_i686_runner_choice}: loader or qemu")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${quil_i686_runner} CACHE STRING
    "How the build machine runs the target's programs" FORCE)
