#include "program_core/tray_tip.h"

#include "program_core/program_messages.h"

namespace vostrel::program {
namespace {

std::string counted(int count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

std::string trayTip(const std::optional<TrayCounts>& counts, bool autoRecoveryRunning) {
    std::string tip = instanceName();
    if (counts) {
        tip += '\n' + counted(counts->hubs, "hub", "hubs") + ", " +
               counted(counts->watchedDevices, "watched device", "watched devices");
    }
    tip += autoRecoveryRunning ? "\nAuto recovery running" : "\nAuto recovery stopped";
    return tip;
}

}  // namespace vostrel::program
