# The levels of the library below its routines include nothing above them: the heap, the arrays,
# the records, the work storage, the scaled numbers, the kernels and the report.
#   cmake -DLIB=<lib folder of the checkout> -P check_include_levels.cmake
# Each quoted include is looked up beside the including file, then under lib/, as the compiler
# finds it; it fails unless it names a file of the same levels.
cmake_minimum_required(VERSION 3.25)
file(REAL_PATH ${LIB} LIB)
file(GLOB low RELATIVE ${LIB} ${LIB}/QuilExport.h ${LIB}/report/* ${LIB}/routines/kernels/*
     ${LIB}/routines/Heap.* ${LIB}/routines/Arrays.* ${LIB}/routines/Records.*
     ${LIB}/routines/Work.* ${LIB}/routines/Scaled.*)
if(NOT "routines/Work.h" IN_LIST low OR NOT "routines/kernels/Kernels.cpp" IN_LIST low)
    message(FATAL_ERROR "the low levels are not under ${LIB}: ${low}")
endif()
set(upward "")
foreach(file ${low})
    get_filename_component(dir ${LIB}/${file} DIRECTORY)
    file(STRINGS ${LIB}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" name "${line}")
        if(EXISTS ${dir}/${name})
            file(REAL_PATH ${dir}/${name} found)
        else()
            file(REAL_PATH ${LIB}/${name} found)
        endif()
        file(RELATIVE_PATH found ${LIB} ${found})
        if(NOT found IN_LIST low)
            string(APPEND upward "\n  ${file}: ${line}")
        endif()
    endforeach()
endforeach()
if(upward)
    message(FATAL_ERROR "includes above the low levels:${upward}")
endif()
