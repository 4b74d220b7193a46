/* A plain C99 program against the built library: the public header compiles
   as C, its records have the library's layout, and the exports link and
   answer. Exits 0 when every check holds. */
#include <stdio.h>
#include <string.h>

#include <vostrel/hub_api.h>

static int failures = 0;

static void check(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

int main(void) {
    static DeviceInfoBlock block;
    static unsigned char cleared[HUB_CLEARED_BUFFER_BYTES + 1];
    DeviceInfoRecord record;
    uint8_t interval = 0;
    uint8_t offTime = 0;

    check(Hub_GetAutoCheckTimeInfo(&interval, &offTime) == 1, "Hub_GetAutoCheckTimeInfo returns 1");
    check(interval != 0 && offTime != 0, "stored times are never 0 after load");

    memset(&record, 0xAB, sizeof record);
    check(Hub_GetDeviceInfo_Index_and_Port(&record, HUB_MAX_HUBS, 0) == 0, "hub 32 is refused");
    check(record.hubIndex == 0 && record.connectionStatus == HUB_NO_DEVICE_CONNECTED, "a refused record is zeroed");

    memset(&block, 0xAB, sizeof block);
    check(Hub_GetDeviceInfo(&block) == 1, "Hub_GetDeviceInfo returns 1");
    check(block.hubCount <= HUB_MAX_HUBS, "at most 32 hubs");

    memset(cleared, 0xAB, sizeof cleared);
    check(Hub_GetNextDeviceInfo(cleared) == 0, "Hub_GetNextDeviceInfo returns 0");
    check(cleared[0] == 0 && cleared[HUB_CLEARED_BUFFER_BYTES - 1] == 0, "1552 bytes cleared");
    check(cleared[HUB_CLEARED_BUFFER_BYTES] == 0xAB, "no byte past 1552 touched");

    check(Hub_GetStatus(7, 9) == 1, "Hub_GetStatus returns 1");

    if (failures == 0) puts("the C client sees the library as documented");
    return failures == 0 ? 0 : 1;
}
