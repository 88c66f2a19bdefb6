# WebAssembly with Debian's Emscripten (package emscripten): the library, the programs and the
# tests built with em++, run under Node.js. scripts/install-deps.sh web installs both.
#   cmake --toolchain cmake/toolchains/wasm32-emscripten.cmake -S . -B build-web
set(EMSCRIPTEN_SYSTEM_PROCESSOR wasm32)
if(DEFINED ENV{EMSCRIPTEN})
    set(QUIL_EMSCRIPTEN_ROOT $ENV{EMSCRIPTEN})
else()
    set(QUIL_EMSCRIPTEN_ROOT /usr/share/emscripten)
endif()
include(${QUIL_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)

# WebAssembly's 128-bit vectors, which every current browser and Node.js run: the kernels'
# portable two-double code becomes vector code, as with SSE2 and NEON.
set(CMAKE_C_FLAGS_INIT "-msimd128")
set(CMAKE_CXX_FLAGS_INIT "-msimd128")
# Every program starts through EmscriptenHost.js: under Node.js it reads its .wasm from the file
# system and takes the process's environment, in a page the query string's parameters.
set(CMAKE_EXE_LINKER_FLAGS_INIT "--pre-js ${CMAKE_CURRENT_LIST_DIR}/../EmscriptenHost.js")

# em++ links through Node.js scripts that need Debian's acorn, which a Node.js not built by
# Debian (NodeSource's) does not look for in /usr/share/nodejs.
find_program(QUIL_NODE NAMES node nodejs REQUIRED)
execute_process(COMMAND ${QUIL_NODE} -e "require('acorn')" RESULT_VARIABLE quil_no_acorn
    OUTPUT_QUIET ERROR_QUIET)
if(quil_no_acorn AND EXISTS /usr/share/nodejs/acorn)
    set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUIL_NODE} CACHE STRING
    "How the build machine runs the target's programs")
# The disassembler that reads WebAssembly (the check for fused multiply-adds).
find_program(CMAKE_OBJDUMP NAMES llvm-objdump llvm-objdump-14)
