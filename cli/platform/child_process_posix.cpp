#include "platform/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "platform/folders.h"

namespace vostrel::cli::platform {

int runInChildProcess(const std::function<int()>& body) {
    // Nothing buffered may be written twice, by both processes.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("cannot start a process: " + lastErrorText());
    if (child == 0) std::exit(body());
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("cannot wait for a process: " + lastErrorText());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace vostrel::cli::platform
