#include "platform/termination_requests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace talvern::platform {
namespace {

// The pipe's two ends; the handler only writes, which is safe in a signal handler.
int g_pipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const int savedErrno = errno;
    const char request = 1;
    // A full pipe already holds a request.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &request, 1);
    errno = savedErrno;
}

}  // namespace

TerminationRequests::TerminationRequests() {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}

int TerminationRequests::descriptor() const { return g_pipe[0]; }

void TerminationRequests::acknowledge() {
    char requests[16];
    while (::read(g_pipe[0], requests, sizeof requests) > 0) {
    }
}

}  // namespace talvern::platform
