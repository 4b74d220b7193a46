// The tooltip of the notification-area icon.
#pragma once

#include <optional>
#include <string>

#include "program_core/hub_library.h"

namespace vostrel::program {

struct TrayCounts {
    int hubs = 0;
    int watchedDevices = 0;
};

// One scan for the hubs and one walk of the watch list; nothing when the
// scan fails.
std::optional<TrayCounts> readTrayCounts(const HubLibrary& library);

// The program's name on the first line, "RAV_UVIDARO_4"; then, when the hubs
// have been counted, how many hubs and watched devices there are, and
// whether auto recovery runs.
std::string trayTip(const std::optional<TrayCounts>& counts, bool autoRecoveryRunning);

}  // namespace vostrel::program
