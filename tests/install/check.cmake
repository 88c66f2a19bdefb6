# Installs the build into a scratch prefix, then builds and runs a consumer project against it,
# once through find_package and once through pkg-config.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
    set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component Unspecified)

# The installed headers hold the public interface only: none declares the internal kernels.
file(GLOB_RECURSE headers ${prefix}/include/*.h)
foreach(header ${headers})
    file(STRINGS ${header} internal REGEX
        "LUDcmp|LUBksb|LUSolve|LUReSolve|BalanceMtrxNN|BalSolve|CopyMtrxNN|quil::detail")
    if(internal)
        message(FATAL_ERROR "${header} declares internals: ${internal}")
    endif()
endforeach()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)
if(NOT LAST_OUTPUT MATCHES "consumer: ok")
    message(FATAL_ERROR "consumer printed: ${LAST_OUTPUT}")
endif()

# pkg-config: compile the same source by hand with the flags it gives.
find_program(PKG_CONFIG pkg-config REQUIRED)
file(GLOB_RECURSE pcfile ${prefix}/*/quil.pc)
get_filename_component(pcdir "${pcfile}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pcdir})
run(${PKG_CONFIG} --define-prefix --cflags --libs quil)
string(STRIP "${LAST_OUTPUT}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
find_program(CXX NAMES c++ g++ REQUIRED)
run(${CXX} -std=c++20 ${SOURCE_DIR}/consumer/main.cpp ${flags} -o ${WORK_DIR}/consumer-pc)
run(${WORK_DIR}/consumer-pc)
if(NOT LAST_OUTPUT MATCHES "consumer: ok")
    message(FATAL_ERROR "pkg-config consumer printed: ${LAST_OUTPUT}")
endif()
