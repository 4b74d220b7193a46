// Loads the shared library like any program that links it, reports what the
// load steps left, optionally changes the times, and exits, which runs the
// unload steps. Used by the load and unload tests, one process per case.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <vostrel/hub_api.h>

#include "frame/records.h"

int main(int argc, char** argv) {
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    vostrel::DeviceInfoRecord record{};
    int count = 0;
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
        ++count;
    }
    std::printf("interval=%u offtime=%u enabled=%d count=%d\n", interval, offTime,
                Hub_GetAutoRecoveryStatus(), count);
    if (argc == 4 && std::strcmp(argv[1], "set-times") == 0) {
        Hub_SetAutoCheckTimeInfo(static_cast<std::uint8_t>(std::atoi(argv[2])),
                                 static_cast<std::uint8_t>(std::atoi(argv[3])));
    }
    return 0;
}
