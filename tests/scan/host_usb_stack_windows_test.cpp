// The real Windows USB stack on a machine without USB host controllers (as
// under Wine): nothing opens, SetupAPI lists no interface rather than
// failing, and a scan reports no hub.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "environment_variables.h"
#include "platform/usb_stack.h"
#include "scan_fixture.h"

namespace vostrel::test {
namespace {

TEST(HostUsbStack, WithoutHostControllersOpensNothingAndListsNoInterface) {
    const auto stack = platform::makeHostUsbStack();
    EXPECT_EQ(stack->open(u"\\\\.\\HCD0"), nullptr);
    std::array<char16_t, 8> path{u'x'};
    EXPECT_EQ(stack->hostControllerInterface(0, path.data(), path.size()), 0);
    EXPECT_EQ(stack->hostControllerInterface(1, path.data(), path.size()), 0);
    EXPECT_EQ(path[0], u'x');
}

class HostScan : public LoadedLibrary {
protected:
    void SetUp() override {
        removeVariable("VOSTREL_USBSTACK");
        LoadedLibrary::SetUp();
    }
};

TEST_F(HostScan, FindsNoHubAndHandsBackTheEmptyBlock) {
    auto block = std::make_unique<DeviceInfoBlock>();
    std::memset(block.get(), 0xA5, sizeof *block);
    EXPECT_EQ(Hub_GetDeviceInfo(block.get()), 1);
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.get());
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof *block, [](unsigned char b) { return b == 0; }));
}

}  // namespace
}  // namespace vostrel::test
