// Built without the service manager's library: the service runs as
// Type=simple, which expects no notification.
#include "platform/readiness.h"

namespace vostrel::cli::platform {

void notifyReady(const std::string&) {}

void notifyStopping() {}

}  // namespace vostrel::cli::platform
