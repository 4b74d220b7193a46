// Setting and removing the process's environment variables, for both the
// system's block (which the hub library reads on Windows) and the C
// runtime's copy (which std::getenv reads).
#pragma once

#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vostrel::test {

inline void setVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    ::SetEnvironmentVariableA(name, value.c_str());
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

inline void removeVariable(const char* name) {
#if defined(_WIN32)
    ::SetEnvironmentVariableA(name, nullptr);
    ::_putenv_s(name, "");  // an empty value removes it from the C runtime's copy
#else
    ::unsetenv(name);
#endif
}

}  // namespace vostrel::test
