// Running part of a command in a process of its own.
#pragma once

#include <functional>

namespace vostrel::cli::platform {

// Runs `body` in a child process that then exits normally (atexit handlers
// and the unload steps of loaded libraries run) with the status `body`
// returns; returns that status once the child has ended, or 1 when it was
// killed. Throws std::runtime_error when no process can be started.
int runInChildProcess(const std::function<int()>& body);

}  // namespace vostrel::cli::platform
