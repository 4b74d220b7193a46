// The choice of the USB stack: a module named by VOSTREL_USBSTACK, or the
// host's own stack, chosen at the first scan after load.
#include <gtest/gtest.h>

#include <algorithm>
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

    // Loads again with VOSTREL_USBSTACK naming `module` (nullptr: unset).
    void reloadWithModule(const char* module) {
        libraryUnload();
        module != nullptr ? ::setenv("VOSTREL_USBSTACK", module, 1) : ::unsetenv("VOSTREL_USBSTACK");
        libraryLoad();
    }
};

TEST_F(StackChoice, ModuleNamedBeforeTheFirstScanAnswersLikeTheSameBusInProcess) {
    reloadWithModule(nullptr);
    ::setenv("VOSTREL_USBSTACK", FULL_MODULE, 1);  // after load, before the first scan
    const auto viaModule = deviceInfo();
    EXPECT_EQ(std::u16string(viaModule->port(0, 1).product), u"Module Widget");
    ::setenv("VOSTREL_USBSTACK", "", 1);  // chosen once
    EXPECT_EQ(deviceInfo()->hubCount, 1);

    UsbStackDouble inProcess;
    buildModuleTopology(inProcess);
    platform::useUsbStack(&inProcess);
    const auto direct = deviceInfo();
    platform::useUsbStack(nullptr);
    EXPECT_EQ(std::memcmp(viaModule.get(), direct.get(), sizeof(DeviceInfoBlock)), 0);
}

// The host stack of this system has no controllers either.
TEST_F(StackChoice, ModuleThatDoesNotLoadOrLacksAFunctionFindsNothing) {
    for (const char* module : {INCOMPLETE_MODULE, "/nonexistent/libusbstack.so", "", "not a path"}) {
        reloadWithModule(module);
        const auto block = deviceInfo();
        const auto* bytes = reinterpret_cast<const unsigned char*>(block.get());
        EXPECT_TRUE(std::all_of(bytes, bytes + sizeof *block, [](unsigned char b) { return b == 0; })) << module;
    }
}

}  // namespace
}  // namespace vostrel::test
