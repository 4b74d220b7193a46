#include "core/bench_edits.h"

namespace vostrel::sim {

namespace {

constexpr const char* kStateNames[] = {"present", "unplugged", "failed", "unconfigured", "wedged"};

Document& nodeOf(Document& document, const Device& device) {
    return document.at(Document::json_pointer(device.pointer));
}

void healBelow(Document& document, const Device& device, std::int64_t nowMs) {
    if (device.stateAt(nowMs) == State::Wedged) setState(document, device, State::Present, nowMs);
    for (const Device& child : device.devices) healBelow(document, child, nowMs);
}

void healPort(Document& document, const Device& hub, int port, std::int64_t nowMs) {
    for (const Device& child : hub.devices) {
        if (child.port == port) healBelow(document, child, nowMs);
    }
}

void writePower(Document& document, const Device& hub, const std::vector<bool>& power) {
    Document list = Document::array();
    for (bool on : power) list.push_back(on);
    nodeOf(document, hub)["portPower"] = std::move(list);
}

}  // namespace

void setState(Document& document, const Device& device, State state, std::int64_t nowMs) {
    Document& node = nodeOf(document, device);
    node["state"] = kStateNames[static_cast<int>(state)];
    if (state == State::Present && device.flakyMs) {
        node["wedgesAt"] = nowMs + *device.flakyMs;
    } else {
        node.erase("wedgesAt");
    }
}

void setFailStatus(Document& document, const Device& device, std::uint32_t status) {
    nodeOf(document, device)["failStatus"] = status;
}

void setPortPower(Document& document, const Device& hub, int port, bool on, std::int64_t nowMs) {
    std::vector<bool> power = hub.portPower;
    const bool wasOn = power[port - 1];
    power[port - 1] = on;
    writePower(document, hub, power);
    if (on && !wasOn) healPort(document, hub, port, nowMs);
}

void resetHub(Document& document, const Device& hub, std::int64_t nowMs) {
    writePower(document, hub, std::vector<bool>(hub.portPower.size(), true));
    for (int port = 1; port <= static_cast<int>(hub.portPower.size()); ++port) healPort(document, hub, port, nowMs);
}

void recordProgramming(Document& document, const Device& hub, const Programming& programming) {
    nodeOf(document, hub)["programmed"] = {{"configuration", programming.configuration},
                                           {"serial", programming.serial},
                                           {"serial2", programming.serial2}};
}

}  // namespace vostrel::sim
