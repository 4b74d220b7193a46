// Every export holds the general lock from its first vendor call to its last,
// so the vendor calls of two operations, or of an operation and the
// monitor's switch, never interleave. The double stops the export's thread
// inside a vendor call while the test tries to take the lock.
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "frame/locks.h"
#include "vendor_double_fixture.h"

namespace vostrel::test {
namespace {

struct Checkpoint {
    const char* function;
    std::uint32_t nth;  // which call of the function
};

struct LockedExport {
    const char* name;
    std::int32_t (*run)();
    Checkpoint firstCall;
    Checkpoint lastCall;
};

void PrintTo(const LockedExport& e, std::ostream* out) { *out << e.name; }

class GeneralLock : public VendorDouble, public ::testing::WithParamInterface<LockedExport> {};

TEST_P(GeneralLock, IsHeldAtTheFirstAndTheLastVendorCall) {
    const LockedExport& e = GetParam();
    bind();
    for (const Checkpoint& at : {e.firstCall, e.lastCall}) {
        ASSERT_EQ(Hub_OpenHubDevice(0), 1);  // something for Hub_CloseHubDevice to close
        pt2DoublePauseAt(at.function, at.nth);
        std::int32_t result = 0;
        std::thread caller([&] {
            result = e.run();
            pt2DoubleCancelPause();
        });
        const bool paused = pt2DoubleWaitForPause() == 1;
        const bool free = paused && generalLock().try_lock();
        if (free) generalLock().unlock();
        pt2DoubleResume();
        caller.join();
        ASSERT_TRUE(paused) << "no call " << at.nth << " of " << at.function;
        EXPECT_FALSE(free) << "in " << at.function << " call " << at.nth;
        EXPECT_EQ(result, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Exports, GeneralLock,
    ::testing::Values(
        LockedExport{"InitPt2lib", [] { return Hub_InitPt2lib(); }, {"MchpUsbClose", 1}, {"MchpEnableLogging", 1}},
        LockedExport{"OpenHubDevice", [] { return Hub_OpenHubDevice(0); }, {"MchpUsbClose", 1}, {"MchpUsbOpen", 1}},
        LockedExport{"CloseHubDevice", [] { return Hub_CloseHubDevice(); }, {"MchpUsbClose", 1}, {"MchpUsbClose", 1}},
        LockedExport{"GetHubPortStatus",
                     [] {
                         std::uint8_t status = 0;
                         return Hub_GetHubPortStatus(0, &status);
                     },
                     {"MchpUsbClose", 1},
                     {"MchpUsbGpioGet", 4}},
        LockedExport{"InitHubDevice", [] { return Hub_InitHubDevice(0); }, {"MchpUsbClose", 1}, {"MchpUsbGpioSet", 4}},
        LockedExport{"SetHubPortStatus", [] { return Hub_SetHubPortStatus(0, 2, 0); }, {"MchpUsbClose", 1},
                     {"MchpUsbGpioSet", 1}},
        LockedExport{"Program_CFG_w_Serial", [] { return Hub_Program_CFG_w_Serial(0, 1, 2); }, {"MchpUsbClose", 1},
                     {"MchpUsbProgramFileWithUsb3Serial", 1}},
        LockedExport{"Reset_Device", [] { return Hub_Reset_Device(0); }, {"MchpUsbClose", 1},
                     {"MchpUsbDeviceReset", 1}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vostrel::test
