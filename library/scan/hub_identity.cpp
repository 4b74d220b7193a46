#include "scan/hub_identity.h"

#include <memory>
#include <new>

#include "frame/text.h"
#include "scan/block_merge.h"
#include "scan/usb_tree_scan.h"

namespace vostrel {

std::uint32_t hubSerialHash(std::u16string_view serial) {
    std::uint32_t hash = 2166136261u;
    for (const char16_t unit : serial) {
        for (const unsigned byte : {unit & 0xFFu, unsigned(unit) >> 8}) {
            hash ^= byte;
            hash *= 16777619u;
        }
    }
    return hash == 0 ? 1 : hash;
}

void identitiesOfScan(const ScanBuffer& scan, HubIdentities& identities) {
    identities.count = scannedHubCount(scan);
    for (int k = 0; k < identities.count; ++k) {
        identities.serialHash[k] = hubSerialHash({scan.serials[k], textLength(scan.serials[k])});
    }
}

int findHubBySerialHash(const HubIdentities& identities, std::uint32_t serialHash) {
    for (int k = 0; k < identities.count && k < kMaxHubs; ++k) {
        if (identities.serialHash[k] == serialHash) return k;
    }
    return -1;
}

std::vector<ScannedHub> scannedHubs(const ScanBuffer& scan) {
    std::vector<ScannedHub> hubs;
    for (int k = 0; k < scannedHubCount(scan); ++k) {
        std::string location(scan.locations[k], kLocationChars);
        location.resize(location.find('\0') == std::string::npos ? kLocationChars : location.find('\0'));
        hubs.push_back({std::u16string(scan.serials[k], textLength(scan.serials[k])), std::move(location)});
    }
    return hubs;
}

// For the programs, which run the scan code in a copy of their own, apart
// from the library they load: that copy's locks are never created, so there
// is none to take, and the caller runs no other scan meanwhile.
std::vector<ScannedHub> scanHubsNow() NO_THREAD_SAFETY_ANALYSIS {
    const std::unique_ptr<ScanBuffer> scan(new (std::nothrow) ScanBuffer());
    if (!scan) return {};
    ScanUsbTree(*scan);
    return scannedHubs(*scan);
}

}  // namespace vostrel
