// A hub library for the core's tests: the exports of HubLibrary over a bus
// and a watch list that each test sets, recording the port switches asked.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "program_core/hub_library.h"

namespace vostrel::program::test {

struct FakePort {
    std::uint32_t status = HUB_NO_DEVICE_CONNECTED;
    std::uint8_t configuration = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::u16string manufacturer;
    std::u16string product;
};

struct FakeHub {
    FakePort ports[HUB_PORTS_PER_HUB];
    int poweredPins = 4;      // what Hub_GetHubPortStatus reads
    bool answersPower = true;  // Hub_GetHubPortStatus succeeds
};

struct Switch {
    int hub, port, on;
};

struct FakeBus {
    std::vector<FakeHub> hubs;
    bool scans = true;
    bool refusesSwitches = false;
    std::vector<DeviceInfoRecord> watched;
    std::vector<Switch> switches;
    std::size_t cursor = 0;
};

inline FakeBus& fakeBus() {
    static FakeBus bus;
    return bus;
}

// The fake's exports, bound to fakeBus().
const HubLibrary& fakeHubLibrary();

template <std::size_t N>
void copyText(HubChar16 (&field)[N], const std::u16string& text) {
    std::memset(field, 0, sizeof field);
    for (std::size_t i = 0; i < text.size() && i + 1 < N; ++i) field[i] = static_cast<HubChar16>(text[i]);
}

}  // namespace vostrel::program::test
