#include "platform/termination_signals.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>

namespace vostrel::cli::platform {
namespace {

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool TerminationSignals::wait(std::chrono::milliseconds timeout) {
    const sigset_t set = terminationSet();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    timespec limit{};
    limit.tv_sec = static_cast<std::time_t>(seconds.count());
    limit.tv_nsec = static_cast<long>(std::chrono::nanoseconds(timeout - seconds).count());
    for (;;) {
        if (::sigtimedwait(&set, nullptr, &limit) > 0) return true;
        if (errno != EINTR) return false;  // EAGAIN: the time is up
    }
}

}  // namespace vostrel::cli::platform
