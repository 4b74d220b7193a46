#include "fake_hub_library.h"

namespace vostrel::program::test {
namespace {

bool knownPort(int hub, int port) {
    return hub >= 0 && hub < static_cast<int>(fakeBus().hubs.size()) && port >= 0 && port < HUB_PORTS_PER_HUB;
}

template <typename Record>
void fill(Record& record, const FakePort& port) {
    record.connectionStatus = port.status;
    record.configurationValue = port.configuration;
    record.vendorId = port.vendorId;
    record.productId = port.productId;
    copyText(record.manufacturer, port.manufacturer);
    copyText(record.product, port.product);
}

int32_t HUB_CALL initVendorLibrary() { return 1; }

int32_t HUB_CALL setPortPower(int32_t hub, int32_t port, int32_t on) {
    fakeBus().switches.push_back({hub, port, on});
    return fakeBus().refusesSwitches ? 0 : 1;
}

int32_t HUB_CALL getHubPower(int32_t hub, uint8_t* status) {
    if (!knownPort(hub, 0) || !fakeBus().hubs[static_cast<std::size_t>(hub)].answersPower) return 0;
    *status = fakeBus().hubs[static_cast<std::size_t>(hub)].poweredPins > 0 ? 1 : 0;
    return 1;
}

int32_t HUB_CALL getDeviceInfo(DeviceInfoBlock* block) {
    if (!fakeBus().scans) return 0;
    std::memset(block, 0, sizeof *block);
    block->hubCount = static_cast<std::uint8_t>(fakeBus().hubs.size());
    for (std::size_t h = 0; h < fakeBus().hubs.size() && h < HUB_MAX_HUBS; ++h) {
        for (int p = 0; p < HUB_PORTS_PER_HUB; ++p) fill(block->ports[h * HUB_PORTS_PER_HUB + p], fakeBus().hubs[h].ports[p]);
    }
    return 1;
}

int32_t HUB_CALL getPortInfo(DeviceInfoRecord* record, int32_t hub, int32_t port) {
    if (!knownPort(hub, port)) return 0;
    std::memset(record, 0, sizeof *record);
    record->hubIndex = hub;
    record->portIndex = port;
    fill(*record, fakeBus().hubs[static_cast<std::size_t>(hub)].ports[port]);
    return 1;
}

int32_t HUB_CALL getTimes(uint8_t*, uint8_t*) { return 1; }
int32_t HUB_CALL setTimes(uint8_t, uint8_t) { return 1; }

int32_t HUB_CALL addWatched(const DeviceInfoRecord* record) {
    fakeBus().watched.push_back(*record);
    return 1;
}

int32_t HUB_CALL watchedAtIndex(DeviceInfoRecord* record, uint8_t index) {
    if (index >= fakeBus().watched.size()) return 0;
    *record = fakeBus().watched[index];
    return 1;
}

int32_t HUB_CALL firstWatched(DeviceInfoRecord* record) {
    fakeBus().cursor = 0;
    return watchedAtIndex(record, 0);
}

int32_t HUB_CALL nextWatched(DeviceInfoRecord* record) {
    return watchedAtIndex(record, static_cast<uint8_t>(++fakeBus().cursor));
}

int32_t HUB_CALL watchedAt(DeviceInfoRecord* record, int32_t hub, int32_t port) {
    for (const DeviceInfoRecord& entry : fakeBus().watched) {
        if (entry.hubIndex == hub && entry.portIndex == port) {
            *record = entry;
            return 1;
        }
    }
    return 0;
}

int32_t HUB_CALL removeWatched(const DeviceInfoRecord* record) {
    auto& watched = fakeBus().watched;
    for (auto entry = watched.begin(); entry != watched.end(); ++entry) {
        if (entry->hubIndex == record->hubIndex && entry->portIndex == record->portIndex) {
            watched.erase(entry);
            return 1;
        }
    }
    return 0;
}

int32_t HUB_CALL startRecovery() { return 1; }
int32_t HUB_CALL stopRecovery() { return 1; }
int32_t HUB_CALL recoveryStored() { return 0; }
int32_t HUB_CALL cleanup() { return 1; }

}  // namespace

const HubLibrary& fakeHubLibrary() {
    static const HubLibrary library{&initVendorLibrary, &setPortPower,   &getHubPower,   &getDeviceInfo,
                                    &getPortInfo,       &getTimes,       &setTimes,      &addWatched,
                                    &firstWatched,      &nextWatched,    &watchedAtIndex, &watchedAt,
                                    &removeWatched,     &startRecovery,  &stopRecovery,  &recoveryStored,
                                    &cleanup};
    return library;
}

}  // namespace vostrel::program::test
