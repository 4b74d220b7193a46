#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include <vostrel/hub_api.h>

namespace {

using ClearingExport = std::int32_t (*)(void*);

std::int32_t viaNext(void* b) { return Hub_GetNextDeviceInfo(b); }
std::int32_t viaIndex(void* b) { return Hub_GetDeviceInfoIndex(b, 7); }
std::int32_t viaSerial(void* b) { return Hub_GetDeviceInfoSerial(b, -1); }
std::int32_t viaAutoCheckSerial(void* b) { return Hub_GetAutoCheckDeviceInfoSerial(b, 0); }

TEST(ClearingExports, ClearExactly1552BytesAndReturnZero) {
    for (ClearingExport call : {viaNext, viaIndex, viaSerial, viaAutoCheckSerial}) {
        std::array<unsigned char, 1600> buffer;
        buffer.fill(0xA5);
        EXPECT_EQ(call(buffer.data()), 0);
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], i < 1552 ? 0 : 0xA5) << "byte " << i;
        }
    }
}

}  // namespace
