// The choice of the USB stack: a module named by VOSTREL_USBSTACK, or the
// host's own stack, chosen at the first scan after load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "scan_fixture.h"

namespace vostrel::test {
namespace {

class StackChoice : public LoadedLibrary {
protected:
    void TearDown() override {
        ::unsetenv("VOSTREL_USBSTACK");
        LoadedLibrary::TearDown();
    }

    // Unloads, points VOSTREL_USBSTACK at `module` (nullptr: unset) and loads.
    void reloadWithModule(const char* module) {
        libraryUnload();
        if (module != nullptr) {
            ::setenv("VOSTREL_USBSTACK", module, 1);
        } else {
            ::unsetenv("VOSTREL_USBSTACK");
        }
        libraryLoad();
    }

    std::unique_ptr<DeviceInfoBlock> deviceInfo() {
        auto block = std::make_unique<DeviceInfoBlock>();
        EXPECT_EQ(Hub_GetDeviceInfo(block.get()), 1);
        return block;
    }

    bool isEmpty(const DeviceInfoBlock& block) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&block);
        return std::all_of(bytes, bytes + sizeof block, [](unsigned char b) { return b == 0; });
    }
};

TEST_F(StackChoice, ModuleAnswersLikeTheSameBusInProcess) {
    reloadWithModule(FULL_MODULE);
    const auto viaModule = deviceInfo();
    EXPECT_EQ(viaModule->hubCount, 1);
    EXPECT_EQ(std::u16string(viaModule->port(0, 1).product), u"Module Widget");

    UsbStackDouble inProcess;
    buildModuleTopology(inProcess);
    platform::useUsbStack(&inProcess);
    const auto direct = deviceInfo();
    platform::useUsbStack(nullptr);
    EXPECT_EQ(std::memcmp(viaModule.get(), direct.get(), sizeof(DeviceInfoBlock)), 0);
}

TEST_F(StackChoice, StackIsChosenOnceAtTheFirstScanAfterLoad) {
    reloadWithModule(nullptr);
    ::setenv("VOSTREL_USBSTACK", FULL_MODULE, 1);  // after load, before the first scan
    EXPECT_EQ(deviceInfo()->hubCount, 1);
    ::setenv("VOSTREL_USBSTACK", "", 1);
    EXPECT_EQ(deviceInfo()->hubCount, 1);
    reloadWithModule("");
    EXPECT_TRUE(isEmpty(*deviceInfo()));
}

TEST_F(StackChoice, ModuleThatDoesNotLoadOrLacksAFunctionFindsNothing) {
    for (const char* module : {INCOMPLETE_MODULE, "/nonexistent/libusbstack.so", "not a path"}) {
        SCOPED_TRACE(module);
        reloadWithModule(module);
        EXPECT_TRUE(isEmpty(*deviceInfo()));
    }
}

TEST_F(StackChoice, WithoutAModuleTheHostStackOfThisSystemHasNoControllers) {
    reloadWithModule(nullptr);
    EXPECT_TRUE(isEmpty(*deviceInfo()));
}

}  // namespace
}  // namespace vostrel::test
