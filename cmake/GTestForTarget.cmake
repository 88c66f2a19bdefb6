# GoogleTest as the targets GTest::gtest and GTest::gtest_main. A native build takes the build
# machine's package; a cross build compiles Debian's googletest sources (package googletest) with
# the target's compiler, since the installed library is the build machine's.
if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest REQUIRED)
    return()
endif()

set(QUIL_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH
    "GoogleTest's sources, compiled for a cross target")
if(NOT EXISTS ${QUIL_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${QUIL_GTEST_SOURCE_DIR}: install the Debian "
                        "package googletest, or set QUIL_GTEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF)
add_subdirectory(${QUIL_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main)
    # Its own code is not held to this project's warning flags.
    target_compile_options(${lib} PRIVATE -w)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
