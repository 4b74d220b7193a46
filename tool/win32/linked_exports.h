// The hub library's exports that Talvern calls, linked at load time: the
// program imports these 16 and no others. It never asks a hub's power
// (Hub_GetHubPortStatus), so the bus view tells a port's power only from
// what is attached to it.
#pragma once

#include "program_core/hub_library.h"

namespace talvern {

inline const vostrel::program::HubLibrary& linkedExports() {
    static const vostrel::program::HubLibrary library = [] {
        vostrel::program::HubLibrary exports{};
        exports.initVendorLibrary = &Hub_InitPt2lib;
        exports.setPortPower = &Hub_SetHubPortStatus;
        exports.getDeviceInfo = &Hub_GetDeviceInfo;
        exports.getPortInfo = &Hub_GetDeviceInfo_Index_and_Port;
        exports.getTimes = &Hub_GetAutoCheckTimeInfo;
        exports.setTimes = &Hub_SetAutoCheckTimeInfo;
        exports.addWatched = &Hub_SetAutoCheckDeviceInfo;
        exports.firstWatched = &Hub_GetAutoCheckDeviceInfo;
        exports.nextWatched = &Hub_GetNextAutoCheckDeviceInfo;
        exports.watchedAtIndex = &Hub_GetAutoCheckDeviceInfoIndex;
        exports.watchedAt = &Hub_GetAutoCheckDeviceInfo_Index_and_Port;
        exports.removeWatched = &Hub_DeleteAutoCheckDeviceInfo;
        exports.startRecovery = &Hub_StartAutoRecovery;
        exports.stopRecovery = &Hub_StopAutoRecovery;
        exports.recoveryStored = &Hub_GetAutoRecoveryStatus;
        exports.cleanup = &Hub_CleanupInfoList;
        return exports;
    }();
    return library;
}

}  // namespace talvern
