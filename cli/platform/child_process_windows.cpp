#include "platform/child_process.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "platform/folders.h"

namespace vostrel::cli::platform {
namespace {

// Windows cannot fork: the child is this program started again with the same
// command line, and this variable tells it to run the body where the parent
// started it.
constexpr wchar_t kChildMarker[] = L"VOSTREL_RUN_IN_CHILD";

std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw std::runtime_error("cannot start a process: " + lastErrorText());
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

int runInChildProcess(const std::function<int()>& body) {
    if (::GetEnvironmentVariableW(kChildMarker, nullptr, 0) != 0) {
        ::SetEnvironmentVariableW(kChildMarker, nullptr);
        std::exit(body());
    }
    // Nothing buffered may be written twice, by both processes.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const std::wstring program = programPath();
    std::wstring commandLine = ::GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    ::SetEnvironmentVariableW(kChildMarker, L"1");
    const BOOL started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    const DWORD error = ::GetLastError();
    ::SetEnvironmentVariableW(kChildMarker, nullptr);
    if (!started) {
        ::SetLastError(error);
        throw std::runtime_error("cannot start a process: " + lastErrorText());
    }
    ::CloseHandle(process.hThread);
    DWORD status = 1;
    const bool ended = ::WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    if (!ended) throw std::runtime_error("cannot wait for a process: " + lastErrorText());
    return static_cast<int>(status);
}

}  // namespace vostrel::cli::platform
