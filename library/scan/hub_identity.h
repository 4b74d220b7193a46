// What makes a hub of the family the same hub from one scan to the next:
// its serial number string, which its two hub devices share. A hub index
// only says where a scan met the hub; when another hub comes or goes, the
// same hub may get another index.
#pragma once

#include <vostrel/hub_api.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "usbbus/family_hubs.h"

namespace vostrel {

// A 32-bit digest of a serial number string (FNV-1a over its UTF-16LE
// units), as a watch entry keeps it. Never 0, which stands for "not known";
// an empty serial has a digest of its own.
std::uint32_t hubSerialHash(std::u16string_view serial);

// The digests of the hubs of one scan, by hub index.
struct HubIdentities {
    int count;
    std::uint32_t serialHash[HUB_MAX_HUBS];
};

void identitiesOfHubs(const std::vector<usbbus::FamilyHub>& hubs, HubIdentities& identities);

// The lowest hub index whose digest is `serialHash`, or -1.
int findHubBySerialHash(const HubIdentities& identities, std::uint32_t serialHash);

// One hub as a front end shows it.
struct ScannedHub {
    std::u16string serial;
    std::string location;
};

// The hubs on the bus now, by a scan of the caller's own, for a program that
// must tell whether the hub at an index is still the hub it showed there.
// None when the scan cannot be made. The caller holds no lock of the library
// and runs no other scan meanwhile: the bus is read from the chosen source
// (backends/bus_sources.h) without the general lock.
std::vector<ScannedHub> scanHubsNow();

}  // namespace vostrel
