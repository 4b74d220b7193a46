#include "program_core/tray_tip.h"

#include <algorithm>
#include <memory>

#include "program_core/program_messages.h"
#include "program_core/watch_list.h"

namespace vostrel::program {
namespace {

std::string counted(int count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

std::optional<TrayCounts> readTrayCounts(const HubLibrary& library) {
    const auto block = std::make_unique<DeviceInfoBlock>();
    if (library.getDeviceInfo(block.get()) == 0) return std::nullopt;
    return TrayCounts{std::min<int>(block->hubCount, HUB_MAX_HUBS), static_cast<int>(readWatchList(library).size())};
}

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
