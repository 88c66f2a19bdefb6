# Each Windows program at a prompt: program.exe is a desktop program, program.com the same
# program for the console (which a prompt prefers and waits for); the .com writes the batch
# report and hands on the real exit status; a pipe whose reader has gone is no failure.
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<dir/name> -DLINES=<report lines> -P programs.cmake
#         -- <emulator command>...
set(emulator)
set(past_separator OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
    if(past_separator)
        list(APPEND emulator "${CMAKE_ARGV${i}}")
    elseif(CMAKE_ARGV${i} STREQUAL "--")
        set(past_separator ON)
    endif()
endforeach()

foreach(suffix_subsystem ".exe;Windows GUI" ".com;Windows CUI")
    list(GET suffix_subsystem 0 suffix)
    list(GET suffix_subsystem 1 subsystem)
    execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}${suffix} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
    if(NOT headers MATCHES "Subsystem[^\n]*\\(${subsystem}\\)")
        message(FATAL_ERROR "${PROGRAM}${suffix} is not a ${subsystem} program")
    endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E env QUIL_RENDERER=batch ${emulator} ${PROGRAM}.com
                OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REGEX MATCHALL "\n" ends "${report}")
list(LENGTH ends lines)
if(NOT status EQUAL 0 OR NOT lines EQUAL LINES OR NOT errors STREQUAL "")
    message(FATAL_ERROR "${PROGRAM}.com in batch: status ${status}, ${lines} lines, not 0 and ${LINES}\n${errors}")
endif()

execute_process(COMMAND ${emulator} ${PROGRAM}.com --bogus OUTPUT_QUIET ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 2 OR NOT errors MATCHES "unknown option '--bogus'")
    message(FATAL_ERROR "${PROGRAM}.com --bogus: status ${status}, not 2\n${errors}")
endif()

# The reader is gone before the program writes its first line.
foreach(suffix .exe .com)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env QUIL_RENDERER=batch ${emulator} ${PROGRAM}${suffix}
                    COMMAND ${CMAKE_COMMAND} -E true
                    ERROR_VARIABLE errors RESULTS_VARIABLE statuses)
    list(GET statuses 0 status)
    if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
        message(FATAL_ERROR "${PROGRAM}${suffix} into a pipe nobody reads: status ${status}, not 0\n${errors}")
    endif()
endforeach()
message(STATUS "${PROGRAM}: .exe for the desktop, .com for the prompt (${LINES} lines, status handed on)")
