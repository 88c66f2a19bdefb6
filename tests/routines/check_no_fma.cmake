# The library holds no fused multiply-add: every result is defined by the order of separate
# multiplications and additions, and a fused one rounds once where they round twice.
#   cmake -DLIBRARY=<libquil.a> -DCOMPILE_COMMANDS=<compile_commands.json> -DOBJDUMP=<objdump>
#         -DPROCESSOR=<x86_64|i686|aarch64|wasm32> -P check_no_fma.cmake
# Fails when a library source is compiled without -ffp-contract=off or with fast-math, -mfma or
# -march, when the library's code holds an FMA instruction of the processor, or on 32-bit x86
# an arithmetic instruction of the x87 unit (whose registers are wider than double).

foreach(var LIBRARY COMPILE_COMMANDS OBJDUMP PROCESSOR)
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

# Per processor: its fused instructions, the wider arithmetic it must not use, and a vector
# multiplication of the kernels, which shows that the check looked at them.
if(PROCESSOR MATCHES "^(x86_64|AMD64)$")
    set(fused_forms "vfn?m(add|sub)[0-9a-z]*[ps][sd]")  # FMA3 and FMA4
    set(vector_code "vmulpd[^\n]*%ymm" "vmulpd[^\n]*%zmm")
elseif(PROCESSOR MATCHES "^i[3-6]86$")
    set(fused_forms "vfn?m(add|sub)[0-9a-z]*[ps][sd]")
    set(wide_forms "fi?(add|sub|subr|mul|div|divr)[pslt]?|f(sqrt|prem1?|scale|rndint|yl2x|patan|2xm1)")
    set(vector_code "mulpd[\t ][^\n]*%xmm")
elseif(PROCESSOR MATCHES "^(aarch64|arm64)$")
    # Scalar, Advanced SIMD and SVE forms.
    set(fused_forms "f(n?m(add|sub)|mla|mls|mlal2?|mlsl2?|mad|msb|nmad|nmsb|nmla|nmls)")
    set(vector_code "fmul[\t ]+v[0-9]+\\.2d")
elseif(PROCESSOR STREQUAL "wasm32")
    # Relaxed SIMD's fused forms (named fma and fms at first, madd and nmadd later).
    set(fused_forms "f(32x4|64x2)\\.relaxed_(n?madd|fm[as])")
    set(vector_code "f64x2\\.mul")
else()
    message(FATAL_ERROR "check_no_fma: the fused multiply-adds of ${PROCESSOR} are not known here")
endif()

execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${LIBRARY}"
    OUTPUT_VARIABLE code RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}: ${errors}")
endif()
string(REGEX MATCH "[\t ](${fused_forms})[\t \n][^\n]*" fused "${code}")
if(NOT fused STREQUAL "")
    message(FATAL_ERROR "${LIBRARY} holds a fused multiply-add: ${fused}")
endif()
if(DEFINED wide_forms)
    string(REGEX MATCH "[\t ](${wide_forms})[\t \n][^\n]*" wide "${code}")
    if(NOT wide STREQUAL "")
        message(FATAL_ERROR "${LIBRARY} holds x87 arithmetic: ${wide}")
    endif()
endif()
foreach(pattern ${vector_code})
    if(NOT code MATCHES "${pattern}")
        message(FATAL_ERROR "${LIBRARY} holds no ${pattern}: did the kernels build?")
    endif()
endforeach()
message(STATUS "${library_sources} library sources compiled without contraction; no FMA in ${LIBRARY}")
