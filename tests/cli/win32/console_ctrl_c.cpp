// Starts a program on a console of this program's own and presses Ctrl+C
// there once the program says it runs, then prints its exit code:
//   console_ctrl_c OUTPUT READY PROGRAM ARGUMENTS...
// The program's output goes to the file OUTPUT; READY is the text it
// writes there once it runs. Every wait ends after a minute at most, as a
// failure.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kPatienceMs = 60000;

[[noreturn]] void fail(const char* why) {
    std::fprintf(stderr, "console_ctrl_c: %s (error %lu)\n", why, ::GetLastError());
    std::exit(1);
}

std::wstring toWide(const char* text) {
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), units);
    wide.resize(static_cast<std::size_t>(units > 0 ? units - 1 : 0));
    return wide;
}

bool fileHolds(const std::wstring& path, const char* text) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char content[4096] = {};
    DWORD read = 0;
    ::ReadFile(file, content, sizeof content - 1, &read, nullptr);
    ::CloseHandle(file);
    return std::strstr(content, text) != nullptr;
}

template <typename Condition>
void waitUntil(const char* what, Condition condition) {
    const ULONGLONG start = ::GetTickCount64();
    while (!condition()) {
        if (::GetTickCount64() - start > kPatienceMs) fail(what);
        ::Sleep(50);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: console_ctrl_c OUTPUT READY PROGRAM ARGUMENTS...\n");
        return 2;
    }
    const std::wstring output = toWide(argv[1]);
    const char* ready = argv[2];
    std::wstring commandLine = L"\"" + toWide(argv[3]) + L"\"";
    for (int argument = 4; argument < argc; ++argument) commandLine += L" \"" + toWide(argv[argument]) + L"\"";

    ::FreeConsole();
    if (!::AllocConsole()) fail("cannot make a console");

    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE out = ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                     CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) fail("cannot make the output file");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started)) {
        fail("cannot start the program");
    }
    ::CloseHandle(out);
    ::CloseHandle(started.hThread);
    // The event reaches every process on the console; this one ignores it,
    // which a program started after this call would inherit.
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    waitUntil("the program did not start", [&] {
        return fileHolds(output, ready) || ::WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0;
    });
    const bool sent = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
    if (!sent || ::WaitForSingleObject(started.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(started.hProcess, 99);
        fail(sent ? "the program did not end" : "cannot press Ctrl+C");
    }
    DWORD code = 0;
    ::GetExitCodeProcess(started.hProcess, &code);
    std::printf("%lu\n", code);
    return 0;
}
