// The bound vendor library and the one hub it has open: library-wide state
// under the general lock. Every function here expects the caller to hold it.
// Binding and release are declared in portctl/port_switch.h.
#pragma once

#include <cstdint>
#include <optional>

#include "frame/locks.h"
#include "portctl/vendor_library.h"

namespace vostrel {

// A hub just opened, with the functions to reach it.
struct OpenHub {
    const VendorFunctions& vendor;
    Pt2Handle handle;
};

// How every hub operation begins: closes the open hub, lists the hubs and
// opens this one by its index, unchanged. Nothing while unbound or when
// either vendor call fails. The hub stays open until the next opening,
// closeHubLocked, a rebinding or the release; no later operation uses its
// handle again, each opens its hub anew.
std::optional<OpenHub> openHubLocked(std::int32_t hubIndex) REQUIRES(generalLock);

// Closes the open hub. True when none was open or the vendor library closed
// it; when the vendor's close fails the hub stays recorded as open.
bool closeHubLocked() REQUIRES(generalLock);

}  // namespace vostrel
