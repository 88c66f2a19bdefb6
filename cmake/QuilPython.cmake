# quil_find_python(var): the Python interpreter the module is built for, in var; empty when
# none has what the module needs, pybind11 and NumPy. Python_EXECUTABLE when given (pip's build
# passes the interpreter it runs under), else the first of python3 on PATH and /usr/bin/python3
# that has both: a python3 first on PATH (pyenv's, say) often has neither, Debian's has them
# from python3-pybind11 and python3-numpy.
function(quil_find_python var)
    if(Python_EXECUTABLE)
        set(candidates ${Python_EXECUTABLE})
    else()
        find_program(path_python python3 NO_CACHE)
        set(candidates ${path_python} /usr/bin/python3)
    endif()
    foreach(python IN LISTS candidates)
        execute_process(COMMAND ${python} -c "import numpy, pybind11"
                        RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
        if(NOT failed)
            set(${var} ${python} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${var} "" PARENT_SCOPE)
endfunction()
