// A loaded library whose scans walk the bus of a test double.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include <vostrel/hub_api.h>

#include "backends/bus_sources.h"
#include "frame/records.h"
#include "loaded_library.h"
#include "usb_stack_double.h"

namespace vostrel::test {

class ScanTest : public LoadedLibrary {
protected:
    void SetUp() override {
        LoadedLibrary::SetUp();
        backends::useBusSource(&stack_);
    }
    void TearDown() override {
        // Every handle the scan opened is closed again, and only once.
        EXPECT_EQ(stack_.openHandles(), 0u);
        EXPECT_EQ(stack_.badCloses(), 0u);
        backends::useBusSource(nullptr);
        LoadedLibrary::TearDown();
    }

    UsbStackDouble stack_;
};

inline std::unique_ptr<DeviceInfoBlock> deviceInfo() {
    auto block = std::make_unique<DeviceInfoBlock>();
    EXPECT_EQ(Hub_GetDeviceInfo(block.get()), 1);
    return block;
}

}  // namespace vostrel::test
