#include <systemd/sd-daemon.h>

#include "platform/readiness.h"

namespace vostrel::cli::platform {

// sd_notify does nothing when NOTIFY_SOCKET is not set, that is outside a
// service of Type=notify.
void notifyReady(const std::string& status) { ::sd_notify(0, ("READY=1\nSTATUS=" + status).c_str()); }

void notifyStopping() { ::sd_notify(0, "STOPPING=1"); }

}  // namespace vostrel::cli::platform
