# Makes Wine's prefix for the build's test runs: Wine's first start, which reports at length
# what it creates, with its output kept unless it fails.
#   cmake -DWINE64=<wine64> -DWINEPREFIX=<dir> -DSTAMP=<file> -P wine_prefix.cmake -- <NAME=VALUE>...
set(environment)
set(past_separator OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
    if(past_separator)
        list(APPEND environment "${CMAKE_ARGV${i}}")
    elseif(CMAKE_ARGV${i} STREQUAL "--")
        set(past_separator ON)
    endif()
endforeach()

file(REMOVE_RECURSE ${WINEPREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
        ${environment} WINEPREFIX=${WINEPREFIX} ${WINE64} wineboot --init
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "Wine could not set up ${WINEPREFIX} (${status}):\n${output}")
endif()
file(TOUCH ${STAMP})
