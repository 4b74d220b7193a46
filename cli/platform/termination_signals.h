// SIGTERM and SIGINT, taken as requests to finish rather than as the end of
// the process.
#pragma once

#include <chrono>

namespace vostrel::cli::platform {

// From construction on, both signals are held for this thread and every
// thread it starts later (the hub library's monitor among them), so none of
// them is cut off; the program picks them up with wait().
class TerminationSignals {
public:
    TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Waits at most `timeout` for one of them; true when one came.
    bool wait(std::chrono::milliseconds timeout);
};

}  // namespace vostrel::cli::platform
