// SIGTERM, SIGHUP and SIGINT - a desktop session ending, a terminal closed,
// Ctrl+C - taken as requests to end the program the way "EXIT(&X)" does,
// so that the hub library's unload steps run (they store the settings).
#pragma once

namespace talvern::platform {

// From construction on, each of those signals makes descriptor() readable,
// whichever thread it reaches; the handlers stay for the rest of the
// process. One object per process.
class TerminationRequests {
public:
    TerminationRequests();
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

    // Readable once a request has come; -1 when none can be received.
    int descriptor() const;

    // Takes the requests that came off the descriptor.
    void acknowledge();
};

}  // namespace talvern::platform
