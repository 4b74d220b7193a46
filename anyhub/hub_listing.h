// The host's hubs listed whole, for `vostrel hubs` and for finding a device
// on any hub, besides switching their ports as every HubPorts does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "any_hub.h"
#include "hub_ports.h"

namespace vostrel::anyhub {

class HubListing : public HubPorts {
public:
    // Every hub as the last refresh() saw it, in the kernel's name order.
    virtual const std::vector<AnyHub>& hubs() const = 0;

    // Asks each hub device seen by the last refresh() how it switches its
    // ports' power, once per device instance (a class request through
    // usbfs), and shows the answers in hubs(). The answers are kept for the
    // life of this object and, where `memoFile` names one, in that file for
    // later processes (power_switching_memo.h). A hub device that cannot be
    // asked (no access to its node) stays unknown, and is asked again at the
    // next call.
    virtual void learnPowerSwitching(const std::string& memoFile) = 0;
};

// On Linux the kernel's hubs (sysfs, usbfs); null where this build has none.
std::unique_ptr<HubListing> makeHostHubListing();

}  // namespace vostrel::anyhub
