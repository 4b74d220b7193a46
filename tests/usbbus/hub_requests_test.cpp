// Hub class requests and the answers a hub gives to them, as untrusted
// input.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "usbbus/hub_requests.h"

namespace vostrel::usbbus {
namespace {

TEST(HubRequests, RequestsGoOnTheWireLittleEndian) {
    using Bytes8 = std::array<std::uint8_t, 8>;
    EXPECT_EQ(setupBytes(portPowerRequest(3, false)), (Bytes8{0x23, 0x01, 0x08, 0x00, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(setupBytes(portPowerRequest(0x0104, true)), (Bytes8{0x23, 0x03, 0x08, 0x00, 0x04, 0x01, 0x00, 0x00}));
    EXPECT_EQ(setupBytes(portStatusRequest(2)), (Bytes8{0xA3, 0x00, 0x00, 0x00, 0x02, 0x00, 0x04, 0x00}));
    EXPECT_EQ(setupBytes(hubDescriptorRequest(true)), (Bytes8{0xA0, 0x06, 0x00, 0x2A, 0x00, 0x00, 0x0C, 0x00}));
    EXPECT_TRUE(isDeviceToHost(portStatusRequest(1)));
    EXPECT_FALSE(isDeviceToHost(portPowerRequest(1, true)));
}

// The power bit is bit 8 of a USB 2.0 hub's port status and bit 9 of a
// SuperSpeed hub's; each hub's other bit means something else.
TEST(HubRequests, EachKindOfHubHasItsOwnPowerBit) {
    EXPECT_TRUE(portPowered(0x0100, false));
    EXPECT_FALSE(portPowered(0x0200, false));  // low speed on a USB 2.0 hub
    EXPECT_TRUE(portPowered(0x0200, true));
    EXPECT_FALSE(portPowered(0x0100, true));   // a link state bit on a SuperSpeed hub
}

TEST(HubRequests, TheHubDescriptorTellsHowPortPowerIsSwitched) {
    using enum PortPowerSwitching;
    const struct {
        const char* label;
        std::vector<std::uint8_t> answer;
        bool superSpeed;
        std::optional<PortPowerSwitching> each;
    } cases[] = {
        {"each port switched", {9, 0x29, 4, 0x09, 0x00, 50, 100, 0, 0xFF}, false, EachPort},
        {"SuperSpeed, each port", {12, 0x2A, 4, 0x01, 0x00, 50, 100, 0, 0, 0, 0, 0}, true, EachPort},
        {"ganged", {9, 0x29, 4, 0x08, 0x00, 50, 100, 0, 0xFF}, false, Ganged},
        {"SuperSpeed, ganged", {12, 0x2A, 4, 0x00, 0x00, 50, 100, 0, 0, 0, 0, 0}, true, Ganged},
        {"no switching", {9, 0x29, 4, 0x0A, 0x00, 50, 100, 0, 0xFF}, false, None},
        {"no switching, 1.x", {9, 0x29, 4, 0x0B, 0x00, 50, 100, 0, 0xFF}, false, None},
        {"the other kind of descriptor", {12, 0x2A, 4, 0x01, 0x00}, false, std::nullopt},
        {"cut before the characteristics", {9, 0x29, 4, 0x09}, false, std::nullopt},
        {"a length shorter than itself", {4, 0x29, 4, 0x09, 0x00}, false, std::nullopt},
        {"nothing", {}, false, std::nullopt},
    };
    for (const auto& [label, answer, superSpeed, each] : cases) {
        EXPECT_EQ(hubPortPowerSwitching(answer, superSpeed), each) << label;
    }
}

}  // namespace
}  // namespace vostrel::usbbus
