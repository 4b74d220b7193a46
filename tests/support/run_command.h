// Runs a command through the system's shell (sh, or cmd on Windows) and
// collects what it prints.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <utility>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace vostrel::test {

struct CommandResult {
    int exitCode = -1;  // -1 when the command did not exit normally
    std::string output;
};

// `text` as one word for the shell.
inline std::string shellQuoted(const std::string& text) {
#if defined(_WIN32)
    return "\"" + text + "\"";
#else
    return "'" + text + "'";
#endif
}

// `command` goes to the shell as is; add " 2>&1" to collect stderr too.
inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
#if defined(_WIN32)
    // cmd /c drops the first and the last quote of a line that starts with
    // one: an extra pair keeps the command's own quotes.
    FILE* pipe = ::_popen(("\"" + command + "\"").c_str(), "rb");
#else
    FILE* pipe = ::popen(command.c_str(), "r");
#endif
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), got);
#if defined(_WIN32)
    result.exitCode = ::_pclose(pipe);
    // Programs print their lines in text mode, ending them with "\r\n": they
    // come back ending with "\n", as on POSIX.
    std::string lines;
    for (std::size_t i = 0; i < result.output.size(); ++i) {
        if (result.output[i] != '\r' || i + 1 == result.output.size() || result.output[i + 1] != '\n') {
            lines += result.output[i];
        }
    }
    result.output = std::move(lines);
#else
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

}  // namespace vostrel::test
