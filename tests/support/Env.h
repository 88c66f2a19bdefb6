// Setting and removing environment variables in tests, on POSIX systems and on Windows.
#pragma once

#include <cstdlib>

namespace testenv {

inline void Set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);  // an empty value removes the variable there
#else
    setenv(name, value, 1);
#endif
}

inline void Unset(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

}  // namespace testenv
