// The usbfs nodes of a bed's hub devices as umockdev emulates them: each
// answers the requests that reach it through the kernel's interface
// (USBDEVFS_CONTROL, USBDEVFS_CLAIM_PORT, USBDEVFS_RELEASE_PORT) as a hub
// of four ports would, with the power switching its wHubCharacteristics
// say, and records them. Reached through the kernel's interface, it answers
// the native library in the test process and in a library loaded by path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mock_bus.h"

namespace vostrel::test {

// wHubCharacteristics: each port switched on its own, all together, none.
inline constexpr std::uint16_t kEachPortSwitched = 0x0009;
inline constexpr std::uint16_t kGangedSwitching = 0x0008;
inline constexpr std::uint16_t kNoSwitching = 0x000A;

class EmulatedHubs {
public:
    EmulatedHubs();
    ~EmulatedHubs();
    EmulatedHubs(const EmulatedHubs&) = delete;
    EmulatedHubs& operator=(const EmulatedHubs&) = delete;

    // The node `node` answers as a USB 2.0 or a SuperSpeed hub.
    void attach(MockBus& bus, const std::string& node, bool superSpeed, std::uint16_t characteristics);
    // Every hub device of the family on the bed, as native::readFamilyHubs finds them.
    void attachFamilyHubs(MockBus& bus, std::uint16_t characteristics = kEachPortSwitched);

    // What reached the nodes since the last call: "<node> <setup bytes>",
    // "<node> claim <port>", "<node> release <port>".
    std::vector<std::string> take();

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace vostrel::test
