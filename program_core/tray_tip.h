// The tooltip of the notification-area icon.
#pragma once

#include <optional>
#include <string>

namespace vostrel::program {

struct TrayCounts {
    int hubs = 0;
    int watchedDevices = 0;
};

// The program's name on the first line, "RAV_UVIDARO_4"; then, when the hubs
// have been counted, how many hubs and watched devices there are, and
// whether auto recovery runs.
std::string trayTip(const std::optional<TrayCounts>& counts, bool autoRecoveryRunning);

}  // namespace vostrel::program
