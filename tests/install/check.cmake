# An outside project (consumer/) takes the library in one of three ways:
#   FindsLibrary          the build installed into a scratch prefix: find_package(quil),
#                         pkg-config as the README compiles with it, <quil/quil.h> with the
#                         include folder alone, and a C++17 program's one clear error
#   FetchesSharedLibrary  FetchContent from the checkout, built shared; that build installed
#                         into a scratch prefix: find_package(Quil), pkg-config and <quil/quil.h>
#                         against libquil.so
#   UsesDebianPackages    the Debian packages of the build, checked and unpacked with dpkg-deb -x
#                         into a scratch root (nothing is installed into the machine):
#                         find_package(quil), pkg-config, <quil/quil.h> from usr/include, the
#                         C++17 error, and the packaged programs' reports
# Variables: WAY, BUILD_DIR, CHECKOUT, WORK_DIR, GENERATOR, CXX, NM, OBJDUMP, PROGRAMS, SOVERSION.
file(REMOVE_RECURSE ${WORK_DIR})
set(consumer_source ${CHECKOUT}/tests/install/consumer)
find_program(PKG_CONFIG pkg-config REQUIRED)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
    set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

# Runs the consumer program (with env as "VAR=value" when given); it prints "consumer: ok".
function(run_consumer program)
    run(${CMAKE_COMMAND} -E env ${ARGN} ${program})
    if(NOT LAST_OUTPUT MATCHES "consumer: ok")
        message(FATAL_ERROR "${program} printed: ${LAST_OUTPUT}")
    endif()
endfunction()

# The consumer built with CMake against the package under prefix, found by name (Quil or quil).
function(consumer_by_package prefix build name)
    run(${CMAKE_COMMAND} -S ${consumer_source} -B ${build} -G "${GENERATOR}"
        -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
        -DQUIL_PACKAGE_NAME=${name})
    run(${CMAKE_COMMAND} --build ${build})
    run_consumer(${build}/consumer)
endfunction()

# The consumer compiled as the README shows, with PKG_CONFIG_PATH naming pcdir only:
# c++ -std=c++20 main.cpp $(pkg-config --cflags --libs quil); run with the library's folder
# (pcdir/..) on LD_LIBRARY_PATH, for a shared build.
function(consumer_by_pkg_config pcdir program)
    set(ENV{PKG_CONFIG_PATH} ${pcdir})
    set(ENV{PKG_CONFIG_LIBDIR} ${pcdir})
    run(${PKG_CONFIG} --cflags --libs quil)
    separate_arguments(flags UNIX_COMMAND "${LAST_OUTPUT}")
    run(${CXX} -std=c++20 ${consumer_source}/main.cpp ${flags} -o ${program})
    get_filename_component(libdir ${pcdir} DIRECTORY)
    run_consumer(${program} LD_LIBRARY_PATH=${libdir})
endfunction()

# The consumer with #include <quil/quil.h>, compiled with the folder above the headers alone
# (-I<prefix>/include, as /usr/include is searched without one) and the library file given.
function(consumer_by_include_folder include library program)
    run(${CXX} -std=c++20 -DCONSUMER_QUIL_FOLDER ${consumer_source}/main.cpp -I${include} ${library}
        -pthread -o ${program})
    get_filename_component(libdir ${library} DIRECTORY)
    run_consumer(${program} LD_LIBRARY_PATH=${libdir})
endfunction()

# A C++17 program that includes the header (with quil.pc's flags) stops at one clear error.
function(check_needs_cxx20 pcdir)
    set(ENV{PKG_CONFIG_PATH} ${pcdir})
    set(ENV{PKG_CONFIG_LIBDIR} ${pcdir})
    run(${PKG_CONFIG} --cflags quil)
    separate_arguments(flags UNIX_COMMAND "${LAST_OUTPUT}")
    execute_process(COMMAND ${CXX} -std=c++17 -c ${consumer_source}/cxx17.cpp ${flags} -o /dev/null
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REGEX MATCHALL "error:" errors "${err}")
    list(LENGTH errors count)
    if(rc EQUAL 0 OR NOT err MATCHES "QUIL needs C\\+\\+20" OR NOT count EQUAL 1)
        message(FATAL_ERROR "C++17 gave (${rc}, ${count} errors):\n${out}\n${err}")
    endif()
endfunction()

# No installed header declares an internal of the library.
function(check_headers prefix)
    file(GLOB_RECURSE headers ${prefix}/include/*.h)
    if(NOT headers)
        message(FATAL_ERROR "no headers under ${prefix}/include")
    endif()
    foreach(header ${headers})
        file(STRINGS ${header} internal REGEX
            "LUDcmp[A-Z]|LUBksb|LUSolve|LUReSolve|BalanceMtrxNN|BalSolve|CopyMtrxNN|quil::detail")
        if(internal)
            message(FATAL_ERROR "${header} declares internals: ${internal}")
        endif()
    endforeach()
endfunction()

# Every symbol the library defines for others to link with is a quil:: name, so that none can
# collide with a program's own; of those, a shared library exports the public API only. Weak
# symbols (template instances, inline functions) collide with nothing and are passed over.
function(check_symbols library dynamic)
    if(dynamic)
        run(${NM} -D -C --defined-only ${library})
    else()
        run(${NM} -g -C --defined-only ${library})
    endif()
    string(REGEX MATCHALL "[^\n]* [BDGRST] [^\n]*" strong "${LAST_OUTPUT}")
    if(NOT strong)
        message(FATAL_ERROR "${library} defines no symbol:\n${LAST_OUTPUT}")
    endif()
    foreach(line ${strong})
        if(NOT line MATCHES " [BDGRST] ((typeinfo|typeinfo name|vtable|guard variable|TLS init function|TLS wrapper function) for )?quil::")
            message(FATAL_ERROR "${library} defines a symbol outside namespace quil: ${line}")
        endif()
    endforeach()
    if(dynamic)
        set(internals "LUDcmp[A-Z]|LUBksb|LUSolve|BalanceMtrxNN|BalSolve|CopyMtrxNN|quil::detail|Allocate")
        string(REGEX MATCHALL "[^\n]*(${internals})[^\n]*" internal "${LAST_OUTPUT}")
        if(internal)
            message(FATAL_ERROR "${library} exports internals: ${internal}")
        endif()
    endif()
endfunction()

if(WAY STREQUAL "FindsLibrary")
    # Configured as the README's commands do it, with no build type: an optimised build.
    run(${CMAKE_COMMAND} -S ${CHECKOUT} -B ${WORK_DIR}/default -G "${GENERATOR}"
        -DQUIL_BUILD_PROGRAMS=OFF -DQUIL_BUILD_TESTS=OFF -DQUIL_BUILD_EXAMPLES=OFF)
    file(STRINGS ${WORK_DIR}/default/CMakeCache.txt build_type REGEX "^CMAKE_BUILD_TYPE:")
    if(NOT build_type STREQUAL "CMAKE_BUILD_TYPE:STRING=Release")
        message(FATAL_ERROR "configured without a build type, the project chose '${build_type}'")
    endif()
    set(prefix ${WORK_DIR}/prefix)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component library)
    check_headers(${prefix})
    file(GLOB_RECURSE library ${prefix}/*/libquil.a)
    check_symbols(${library} FALSE)
    consumer_by_package(${prefix} ${WORK_DIR}/consumer quil)
    # Installed elsewhere than the build's own prefix: the pkg-config file must follow.
    file(GLOB_RECURSE pcfile ${prefix}/*/quil.pc)
    get_filename_component(pcdir "${pcfile}" DIRECTORY)
    consumer_by_pkg_config(${pcdir} ${WORK_DIR}/consumer-pc)
    consumer_by_include_folder(${prefix}/include ${library} ${WORK_DIR}/consumer-include)
    check_needs_cxx20(${pcdir})

elseif(WAY STREQUAL "FetchesSharedLibrary")
    run(${CMAKE_COMMAND} -S ${consumer_source} -B ${WORK_DIR}/fetched -G "${GENERATOR}"
        -DQUIL_CHECKOUT=${CHECKOUT} -DBUILD_SHARED_LIBS=ON -DQUIL_INSTALL=ON
        -DCMAKE_BUILD_TYPE=RelWithDebInfo)
    run(${CMAKE_COMMAND} --build ${WORK_DIR}/fetched)
    run_consumer(${WORK_DIR}/fetched/consumer)

    set(prefix ${WORK_DIR}/prefix)
    run(${CMAKE_COMMAND} --install ${WORK_DIR}/fetched --prefix ${prefix} --component library)
    check_headers(${prefix})
    # libquil.so names its major version, and exports the public routines and classes only.
    file(GLOB library ${prefix}/lib/libquil.so.${SOVERSION}.*)
    if(NOT library OR NOT EXISTS ${prefix}/lib/libquil.so.${SOVERSION}
       OR NOT EXISTS ${prefix}/lib/libquil.so)
        message(FATAL_ERROR "no libquil.so, libquil.so.${SOVERSION} and libquil.so.${SOVERSION}.x.y in ${prefix}/lib")
    endif()
    run(${OBJDUMP} -p ${library})
    if(NOT LAST_OUTPUT MATCHES "SONAME +libquil\\.so\\.${SOVERSION}\n")
        message(FATAL_ERROR "${library} has no SONAME libquil.so.${SOVERSION}:\n${LAST_OUTPUT}")
    endif()
    check_symbols(${library} TRUE)

    consumer_by_package(${prefix} ${WORK_DIR}/consumer Quil)
    run(${OBJDUMP} -p ${WORK_DIR}/consumer/consumer)
    if(NOT LAST_OUTPUT MATCHES "NEEDED +libquil\\.so\\.${SOVERSION}\n")
        message(FATAL_ERROR "the consumer does not load libquil.so.${SOVERSION}:\n${LAST_OUTPUT}")
    endif()
    consumer_by_pkg_config(${prefix}/lib/pkgconfig ${WORK_DIR}/consumer-pc)
    consumer_by_include_folder(${prefix}/include ${prefix}/lib/libquil.so ${WORK_DIR}/consumer-include)

elseif(WAY STREQUAL "UsesDebianPackages")
    run(cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/packages)
    file(GLOB library_deb ${WORK_DIR}/packages/libquil-dev_*.deb)
    if(NOT library_deb)
        message(FATAL_ERROR "cpack wrote no libquil-dev package:\n${LAST_OUTPUT}")
    endif()
    run(dpkg-deb --contents ${library_deb})
    foreach(file include/quil/quil.h include/quil/QuilExport.h include/quil/report/MessageBox.h
                 cmake/Quil/quil-config.cmake pkgconfig/quil.pc)
        if(NOT LAST_OUTPUT MATCHES "\\./usr/[^\n]*${file}\n")
            message(FATAL_ERROR "${library_deb} lacks ${file}:\n${LAST_OUTPUT}")
        endif()
    endforeach()

    set(root ${WORK_DIR}/root)
    run(dpkg-deb -x ${library_deb} ${root})
    check_headers(${root}/usr)
    consumer_by_package(${root}/usr ${WORK_DIR}/consumer quil)
    file(GLOB_RECURSE pcfile ${root}/*/quil.pc)
    get_filename_component(pcdir "${pcfile}" DIRECTORY)
    consumer_by_pkg_config(${pcdir} ${WORK_DIR}/consumer-pc)
    # <quil/quil.h> from the folder the package installs to, which a compiler searches by itself.
    file(GLOB_RECURSE library ${root}/usr/*/libquil.a)
    consumer_by_include_folder(${root}/usr/include ${library} ${WORK_DIR}/consumer-include)
    check_needs_cxx20(${pcdir})

    if(PROGRAMS)
        file(GLOB programs_deb ${WORK_DIR}/packages/quil-programs_*.deb)
        run(dpkg-deb --field ${programs_deb} Depends)
        # Computed from the binaries: the C and C++ runtimes at least.
        if(NOT LAST_OUTPUT MATCHES "libc6 \\(>= [^)]+\\)"
           OR NOT LAST_OUTPUT MATCHES "libstdc\\+\\+6")
            message(FATAL_ERROR "${programs_deb} depends on: ${LAST_OUTPUT}")
        endif()
        run(dpkg-deb -x ${programs_deb} ${root})
        foreach(program quadrun linrun)
            run(${CMAKE_COMMAND} -E env QUIL_RENDERER=batch LD_LIBRARY_PATH=${root}/usr/lib
                ${root}/usr/bin/${program})
            string(REGEX MATCHALL "\n" lines "${LAST_OUTPUT}")
            list(LENGTH lines count)
            list(APPEND counts ${count})
        endforeach()
        if(NOT counts STREQUAL "211;138")
            message(FATAL_ERROR "the packaged quadrun and linrun wrote ${counts} lines")
        endif()
    endif()

else()
    message(FATAL_ERROR "unknown WAY '${WAY}'")
endif()
