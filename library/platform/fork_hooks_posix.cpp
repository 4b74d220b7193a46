#include "platform/fork_hooks.h"

#include <pthread.h>

#include <cstring>

#include "platform/diagnostics.h"

namespace vostrel::platform {

void registerForkHandlers(void (*prepare)(), void (*parent)(), void (*child)()) {
    if (const int error = ::pthread_atfork(prepare, parent, child); error != 0) {
        reportFailure("pthread_atfork", "", std::strerror(error));
    }
}

}  // namespace vostrel::platform
