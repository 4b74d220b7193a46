// Runs part of a test in a forked child process: for cases that could hang
// (a test that fails must not block the suite), that change the process
// (limits, signals, user), or that are about fork itself. The child gets a
// copy of the test's state, and its standard error is collected.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <thread>

namespace vostrel::test {

struct ChildResult {
    bool finished = false;  // false: killed after the time limit, or it crashed
    std::string problems;   // what the body returned; empty when all was well
    std::string errors;     // what the child wrote to standard error
};

namespace detail {

inline std::string readAll(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, got);
    return text;
}

}  // namespace detail

// Runs `body` in a child and waits at most `limit` for it. The body returns
// its problems as text (empty: none); use no test assertions inside it.
inline ChildResult runInChild(const std::function<std::string()>& body,
                              std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    ChildResult result;
    std::FILE* const report = std::tmpfile();
    std::FILE* const errors = std::tmpfile();
    if (report == nullptr || errors == nullptr) {
        result.problems = "no temporary file";
        return result;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::fileno(errors), STDERR_FILENO);
        std::string problems;
        try {
            problems = body();
        } catch (const std::exception& error) {
            problems = std::string("exception: ") + error.what();
        }
        std::fwrite(problems.data(), 1, problems.size(), report);
        std::fflush(nullptr);
        ::_exit(0);
    }
    if (child < 0) {
        result.problems = "fork failed";
    } else {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (ended == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            result.problems = "the child did not end within the time limit";
        } else {
            result.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            result.problems = detail::readAll(report);
            if (!result.finished) result.problems += "the child crashed";
        }
        result.errors = detail::readAll(errors);
    }
    std::fclose(report);
    std::fclose(errors);
    return result;
}

}  // namespace vostrel::test
