# The library holds no fused multiply-add: every result is defined by the order of separate
# multiplications and additions, and a fused one rounds once where they round twice.
#   cmake -DLIBRARY=<libquil.a> -DCOMPILE_COMMANDS=<compile_commands.json> -DOBJDUMP=<objdump>
#         [-DEXPECT_VECTOR_CODE=ON] -P check_no_fma.cmake
# Fails when a library source is compiled without -ffp-contract=off or with fast-math, -mfma or
# -march, or when the library's code holds an FMA instruction.

foreach(var LIBRARY COMPILE_COMMANDS OBJDUMP)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "check_no_fma: ${var} is not set")
    endif()
endforeach()

# The flags of every library source.
file(READ "${COMPILE_COMMANDS}" commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
set(library_sources 0)
foreach(i RANGE ${last})
    string(JSON file GET "${commands}" ${i} file)
    string(JSON command GET "${commands}" ${i} command)
    # The library's own objects (not copies of its sources built for a test).
    if(NOT file MATCHES "/lib/(routines|objects)/[^/]+\\.cpp$" OR NOT command MATCHES "/quil\\.dir/")
        continue()
    endif()
    math(EXPR library_sources "${library_sources} + 1")
    if(NOT command MATCHES "-ffp-contract=off")
        message(FATAL_ERROR "${file} is compiled without -ffp-contract=off")
    endif()
    foreach(bad "-ffast-math" "-Ofast" "-mfma" "-march=" "-ffp-contract=fast" "-funsafe-math")
        string(FIND "${command}" "${bad}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${file} is compiled with ${bad}")
        endif()
    endforeach()
endforeach()
if(library_sources EQUAL 0)
    message(FATAL_ERROR "no library source in ${COMPILE_COMMANDS}")
endif()

# The instructions themselves (FMA3 and FMA4 forms).
execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${LIBRARY}"
    OUTPUT_VARIABLE code RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}: ${errors}")
endif()
string(REGEX MATCH "[\t ]vfn?m(add|sub)[0-9a-z]*[ps][sd][\t ][^\n]*" fused "${code}")
if(NOT fused STREQUAL "")
    message(FATAL_ERROR "${LIBRARY} holds a fused multiply-add: ${fused}")
endif()
# The check must have looked at the kernels: their wide multiplications are there.
if(EXPECT_VECTOR_CODE)
    foreach(wide "vmulpd[^\n]*%ymm" "vmulpd[^\n]*%zmm")
        if(NOT code MATCHES "${wide}")
            message(FATAL_ERROR "${LIBRARY} holds no ${wide}: did the kernels build?")
        endif()
    endforeach()
endif()
message(STATUS "${library_sources} library sources compiled without contraction; no FMA in ${LIBRARY}")
