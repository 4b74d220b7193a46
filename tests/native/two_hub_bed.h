// The two-hub bench as a umockdev bed, with the native vendor library
// writing the kernel's `disable` attributes, and hub A able to leave it: a
// hub that leaves a real bus renumbers the hubs after it.
#pragma once

#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include <vostrel/hub_api.h>

#include "emulated_hubs.h"
#include "loaded_library.h"
#include "native_bed.h"
#include "platform/clock.h"
#include "recovery/monitor.h"
#include "stepped_clock.h"

namespace vostrel::test {

class TwoHubBed : public LoadedLibrary {
protected:
    void SetUp() override {
        ::unsetenv("VOSTREL_USBSTACK");
        native_ = ::dlopen(NATIVE_PT2LIB, RTLD_NOW | RTLD_GLOBAL);
        ASSERT_NE(native_, nullptr) << ::dlerror();
        bus_.load(bedOf(exampleBench("two-hubs-usb3.json")));
        emulated_.attachFamilyHubs(bus_);
        hubs_ = native::readFamilyHubs();
        ASSERT_EQ(hubs_.size(), 2u);
        ASSERT_EQ(hubs_[0].serial, u"VH0002A");
        useMonitorClock(clock_);
        LoadedLibrary::SetUp();
    }
    void TearDown() override {
        LoadedLibrary::TearDown();
        useMonitorClock(platform::realClock());
        if (native_ != nullptr) ::dlclose(native_);
    }

    // Hub A leaves the bus, both of its hub devices with everything below.
    void unplugHubA() {
        for (const native::HubSide& side : hubs_[0].sides) {
            bus_.uevent(side.device, "remove");
            bus_.remove(side.device);
        }
        ASSERT_EQ(native::readFamilyHubs().size(), 1u);
    }

    // Port `port` (1 to 4) of hub B's USB 2.0 hub device: "1" while switched off.
    std::string hubBDisable(int port) const {
        return fileText(hubs_[1].sides.front().ports.at(static_cast<std::size_t>(port - 1)) + "/disable");
    }
    std::string hubADisable(int port) const {
        return fileText(hubs_[0].sides.front().ports.at(static_cast<std::size_t>(port - 1)) + "/disable");
    }

    void* native_ = nullptr;
    MockBus bus_;
    EmulatedHubs emulated_;
    std::vector<native::NativeHub> hubs_;
    SteppedClock clock_;
};

}  // namespace vostrel::test
