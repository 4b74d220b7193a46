// Telling the service manager how the monitor is doing. Without the service
// manager's library at build time, and outside a service, nothing is sent.
#pragma once

#include <string>

namespace vostrel::cli::platform {

// The service is up; `status` is shown by the service manager.
void notifyReady(const std::string& status);

void notifyStopping();

}  // namespace vostrel::cli::platform
