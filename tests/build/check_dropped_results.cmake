# Every result the library marks [[nodiscard]] draws a warning where a caller drops it.
#   cmake -DCXX=<compiler> -DSOURCE=<dropped_results.cpp> "-DINCLUDES=<dirs>" "-DDEFINES=<defs>"
#         -P check_dropped_results.cmake
# Fails unless every line of SOURCE marked "dropped" is named in a nodiscard warning.
set(args -std=c++20 -fsyntax-only)
foreach(dir ${INCLUDES})
    list(APPEND args "-I${dir}")
endforeach()
foreach(def ${DEFINES})
    list(APPEND args "-D${def}")
endforeach()
execute_process(COMMAND ${CXX} ${args} ${SOURCE} ERROR_VARIABLE diagnostics OUTPUT_QUIET
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${SOURCE} does not compile:\n${diagnostics}")
endif()
file(STRINGS ${SOURCE} lines)
set(number 0)
set(missing "")
foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "// dropped" AND NOT diagnostics MATCHES ":${number}:[0-9]+: warning:[^\n]*nodiscard")
        string(APPEND missing "\n  line ${number}: ${line}")
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "dropped results without a warning:${missing}\n${diagnostics}")
endif()
