#include "platform/termination_signals.h"

#include <windows.h>

namespace vostrel::cli::platform {
namespace {

HANDLE requested() {
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// Runs on a thread of the system's. Ctrl+C and Ctrl+Break are taken as
// requests to finish. After a console's close, a logoff or a shutdown the
// system ends the process once this returns, so it waits until the program
// has finished and ends the process itself (the system's own limit applies).
BOOL WINAPI onControl(DWORD event) {
    ::SetEvent(requested());
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) ::Sleep(INFINITE);
    return TRUE;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    requested();
    // A process started by a parent that ignores Ctrl+C, or in a process
    // group of its own, inherits that; the monitor is ended by Ctrl+C all
    // the same.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(&onControl, TRUE);
}

bool TerminationSignals::wait(std::chrono::milliseconds timeout) {
    return ::WaitForSingleObject(requested(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

}  // namespace vostrel::cli::platform
