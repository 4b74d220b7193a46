// The library's load steps in a fresh current folder before each test, its
// unload steps after it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/text.h"
#include "library_lifecycle.h"
#include "recovery/settings.h"
#include "scratch_dir.h"

namespace vostrel::test {

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override { libraryLoad(); }
    void TearDown() override { libraryUnload(); }

    // Unloads, replaces the settings file with `block` and loads again.
    void reloadWith(const AutoCheckSettings& block) {
        libraryUnload();
        writeBytes("vostrel.dat", &block, sizeof block);
        libraryLoad();
    }

    ScratchDir dir_;
};

// The settings block as it stands, copied under the general lock: a monitor
// thread may be changing it.
inline AutoCheckSettings settingsNow() {
    LockGuard lock(generalLock);
    return settings();
}

inline void setText(char16_t (&field)[kTextUnits], std::u16string_view text) {
    std::memset(field, 0, sizeof field);
    text.copy(field, kTextUnits - 1);
}

// A watch-list record, or (as Record) a watch-list entry, with these fields.
template <typename Record = DeviceInfoRecord>
Record makeRecord(int hub, int port, std::uint16_t vid = 0x1234, std::uint16_t pid = 0x5678,
                  std::u16string_view product = u"Widget", std::u16string_view manufacturer = u"Maker") {
    Record record{};
    record.hubIndex = hub;
    record.portIndex = port;
    record.vendorId = vid;
    record.productId = pid;
    setText(record.product, product);
    setText(record.manufacturer, manufacturer);
    return record;
}

}  // namespace vostrel::test
