// The choice of the USB stack: a module named by VOSTREL_USBSTACK, or the
// host's own stack, chosen at the first scan after load.
#include <gtest/gtest.h>

#include <cstdlib>

#include "environment_variables.h"
#include "scan_fixture.h"

namespace vostrel::test {
namespace {

class StackChoice : public LoadedLibrary {
protected:
    void TearDown() override {
        removeVariable("VOSTREL_USBSTACK");
        LoadedLibrary::TearDown();
    }

    // Loads again with VOSTREL_USBSTACK naming `module` (nullptr: unset).
    void reloadWithModule(const char* module) {
        libraryUnload();
        module != nullptr ? setVariable("VOSTREL_USBSTACK", module) : removeVariable("VOSTREL_USBSTACK");
        libraryLoad();
    }
};

TEST_F(StackChoice, ModuleNamedBeforeTheFirstScanIsChosenOnce) {
    reloadWithModule(nullptr);
    setVariable("VOSTREL_USBSTACK", FULL_MODULE);  // after load, before the first scan
    EXPECT_EQ(std::u16string(portRecord(*deviceInfo(), 0, 1).product), u"Module Widget");
    setVariable("VOSTREL_USBSTACK", "");
    EXPECT_EQ(deviceInfo()->hubCount, 1);
}

TEST_F(StackChoice, ModuleThatDoesNotLoadOrLacksAFunctionFindsNothing) {
    for (const char* module : {INCOMPLETE_MODULE, "/nonexistent/libusbstack.so", "", "not a path"}) {
        reloadWithModule(module);
        EXPECT_EQ(deviceInfo()->hubCount, 0) << module;
    }
}

}  // namespace
}  // namespace vostrel::test
