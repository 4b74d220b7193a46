// The simulator's two shared libraries on their own: the simulated USB stack
// and the stand-in vendor library refuse what is not there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "environment_variables.h"
#include "usbbus/usb_ioctl.h"
#include <vostrel/pt2lib_errors.h>
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using namespace vostrel::usb;

class SharedLibrary : public ::testing::Test {
protected:
    // Names a bench with `text` for both libraries.
    std::string use(const std::string& text) {
        const std::string bench = test::writeText("bench.json", text);
        vostrel::test::setVariable("VOSTREL_SIM_BENCH", bench.c_str());
        return bench;
    }
    void TearDown() override { vostrel::test::removeVariable("VOSTREL_SIM_BENCH"); }

    vostrel::test::ScratchDir dir_;
};

void* open(const char16_t* name) {
    return test::symbol<void*(const std::uint16_t*)>(SIM_STACK_MODULE, "UsbStack_Open")(
        reinterpret_cast<const std::uint16_t*>(name));
}

TEST_F(SharedLibrary, TheUsbStackRefusesWhatItCannotAnswer) {
    EXPECT_EQ(open(u"\\\\.\\HCD0"), nullptr);  // no bench named
    use(R"({"controllers": [
      {"number": 0, "rootHubName": "ROOT", "devices": [{"port": 1, "vendorId": 1, "productId": 2}]}]})");
    void* controller = open(u"\\\\.\\hcd0");  // names in any case
    void* root = open(u"\\\\.\\root");
    ASSERT_TRUE(controller != nullptr && root != nullptr);
    int bogus = 0;

    using Control =
        std::int32_t(void*, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*);
    const auto control = test::symbol<Control>(SIM_STACK_MODULE, "UsbStack_DeviceIoControl");
    // Asks about a port's connection: the bytes answered, or -1 when refused (with none returned).
    const auto ask = [&](void* handle, std::uint32_t code, std::uint32_t port, std::uint32_t inSize,
                         std::uint32_t outSize, bool withInput = true) {
        USB_NODE_CONNECTION_INFORMATION_EX info{};
        info.ConnectionIndex = port;
        std::uint32_t returned = 7;
        const bool answered = control(handle, code, withInput ? &info : nullptr, inSize, &info, outSize, &returned);
        return answered ? static_cast<int>(returned) : returned == 0 ? -1 : -2;
    };
    constexpr std::uint32_t kAsk = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX;
    constexpr std::uint32_t kAll = sizeof(USB_NODE_CONNECTION_INFORMATION_EX);
    EXPECT_EQ(ask(root, kAsk, 1, kAll, kAll), 35 + 11);  // the fixed part and one pipe
    EXPECT_EQ(ask(root, kAsk, 0, kAll, kAll), -1);
    EXPECT_EQ(ask(root, kAsk, 9, kAll, kAll), -1);  // four ports, each twice
    EXPECT_EQ(ask(root, kAsk, 1, 3, kAll), -1);     // no whole port number
    EXPECT_EQ(ask(root, kAsk, 1, 4, kAll, false), -1);  // a size without its area
    EXPECT_EQ(ask(root, kAsk, 1, kAll, 34), -1);   // no room for the fixed part
    EXPECT_EQ(ask(root, 0x220000, 1, kAll, kAll), -1);
    EXPECT_EQ(ask(controller, kAsk, 1, kAll, kAll), -1);               // a hub's question
    EXPECT_EQ(ask(root, IOCTL_GET_HCD_DRIVERKEY_NAME, 0, 6, 6), -1);  // a controller's question
    EXPECT_EQ(ask(&bogus, kAsk, 1, kAll, kAll), -1);                   // never given out
    for (void* handle : {static_cast<void*>(&bogus), root, controller}) {
        test::symbol<void(void*)>(SIM_STACK_MODULE, "UsbStack_Close")(handle);
    }
}

constexpr std::uint32_t kPin = 17;  // port 1; pins 17 to 20 switch ports 1 to 4

TEST_F(SharedLibrary, TheStandInSwitchesOnlyHubsOnTheBusAndRefusesWhatIsNotThere) {
    char list[2048];
    ASSERT_NE(PT2(MchpUsbGetAllHubs)(list), 0);
    EXPECT_STREQ(list, "");  // no bench named
    const std::string bench = use(R"({"controllers": [{"number": 0, "devices": [
      {"id": "first", "port": 1, "kind": "family-hub", "serial": "F", "devices": [
        {"id": "lower", "port": 3, "kind": "family-hub", "serial": "L"}]}]}]})");
    const Pt2Handle first = PT2(MchpUsbOpen)(0);
    const Pt2Handle lower = PT2(MchpUsbOpen)(1);
    EXPECT_EQ(PT2(MchpUsbOpen)(2), -1);

    ASSERT_NE(PT2(MchpUsbGpioSet)(first, kPin + 2, 0), 0);  // the lower hub loses power
    ASSERT_NE(PT2(MchpUsbGetAllHubs)(list), 0);
    EXPECT_STREQ(list, "0 0-1 first\n");
    const std::string before = test::readText(bench);
    EXPECT_EQ(PT2(MchpUsbGpioSet)(lower, kPin, 0), 0);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(lower), PT2_ERROR_HUB_GONE);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(-1), PT2_ERROR_HUB_GONE);  // the thread's last call
    EXPECT_EQ(test::readText(bench), before);  // a refused switch writes nothing
    ASSERT_NE(PT2(MchpUsbGpioSet)(first, kPin + 2, 1), 0);
    ASSERT_NE(PT2(MchpUsbGetAllHubs)(list), 0);
    EXPECT_STREQ(list, "0 0-1 first\n1 0-1.3 lower\n");
    std::uint32_t state = 0;
    EXPECT_NE(PT2(MchpUsbGpioGet)(lower, kPin, &state), 0);
    EXPECT_EQ(state, 1u);

    EXPECT_EQ(PT2(MchpUsbConfigureGPIO)(first, kPin - 1), 0);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(first), PT2_ERROR_NO_SUCH_PIN);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(lower), PT2_OK);
    EXPECT_EQ(PT2(MchpUsbGpioSet)(first, kPin + 4, 0), 0);
    EXPECT_EQ(PT2(MchpUsbGpioGet)(first, kPin, nullptr), 0);
    test::writeText("bench.json", "{ not json");
    EXPECT_EQ(PT2(MchpUsbGpioSet)(first, kPin, 0), 0);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(first), PT2_ERROR_NOT_WRITTEN);
    EXPECT_EQ(test::readText(bench), "{ not json");
    EXPECT_NE(PT2(MchpUsbClose)(first), 0);
    EXPECT_EQ(PT2(MchpUsbGpioSet)(first, kPin, 0), 0);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(first), PT2_ERROR_INVALID_HANDLE);
    EXPECT_EQ(PT2(MchpUsbGetLastErr)(-1), PT2_ERROR_INVALID_HANDLE);
    PT2(MchpUsbClose)(lower);
}

}  // namespace
}  // namespace vostrel::sim
