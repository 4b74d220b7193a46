// Helpers shared by the hub port control tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>

#include "frame/locks.h"
#include "hub_api.h"
#include "portctl/port_switch.h"

namespace vostrel::test {

// Every operation that needs a bound vendor library fails, the port index
// without a pin included, and closing finds nothing open.
inline void expectEveryHubOperationFails() {
    std::uint8_t status = 7;
    EXPECT_EQ(Hub_OpenHubDevice(0), 0);
    EXPECT_EQ(Hub_GetHubPortStatus(0, &status), 0);
    EXPECT_EQ(status, 7);
    EXPECT_EQ(Hub_InitHubDevice(0), 0);
    EXPECT_EQ(Hub_SetHubPortStatus(0, 1, 1), 0);
    EXPECT_EQ(Hub_SetHubPortStatus(0, 4, 1), 0);
    EXPECT_EQ(Hub_Program_CFG_w_Serial(0, 1, 2), 0);
    EXPECT_EQ(Hub_Reset_Device(0), 0);
    {
        std::lock_guard lock(generalLock());
        EXPECT_FALSE(switchPortLocked(0, 1, false));
    }
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
}

}  // namespace vostrel::test
