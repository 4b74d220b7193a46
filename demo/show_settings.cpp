// Prints the auto-recovery settings and the watch list that the hub library
// keeps in the current folder, through the library's own exports.
#include <cstdint>
#include <cstdio>
#include <string>

#include <vostrel/hub_api.h>

#include "frame/records.h"

namespace {

std::string narrow(const char16_t* text) {
    std::string out;
    for (std::size_t i = 0; i < vostrel::kTextUnits && text[i] != u'\0'; ++i) {
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    return out;
}

}  // namespace

int main() {
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    std::printf("interval %u ticks, off time %u ticks, auto recovery %s\n", interval, offTime,
                Hub_GetAutoRecoveryStatus() ? "enabled" : "disabled");

    vostrel::DeviceInfoRecord record{};
    int shown = 0;
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
        std::printf("watched: hub %d port %d  VID 0x%04X PID 0x%04X  %s %s\n", record.hubIndex,
                    record.portIndex + 1, record.vendorId, record.productId,
                    narrow(record.manufacturer).c_str(), narrow(record.product).c_str());
        ++shown;
    }
    if (shown == 0) std::printf("the watch list is empty\n");
    return 0;
}
