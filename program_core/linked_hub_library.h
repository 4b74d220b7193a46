// The hub library's exports for a program linked with the library at load
// time (Talvern): their addresses are known when the program starts.
#pragma once

#include "program_core/hub_library.h"

namespace vostrel::program {

inline const HubLibrary& linkedHubLibrary() {
    static const HubLibrary library{&Hub_InitPt2lib,
                                    &Hub_SetHubPortStatus,
                                    &Hub_GetHubPortStatus,
                                    &Hub_GetDeviceInfo,
                                    &Hub_GetDeviceInfo_Index_and_Port,
                                    &Hub_GetAutoCheckTimeInfo,
                                    &Hub_SetAutoCheckTimeInfo,
                                    &Hub_SetAutoCheckDeviceInfo,
                                    &Hub_GetAutoCheckDeviceInfo,
                                    &Hub_GetNextAutoCheckDeviceInfo,
                                    &Hub_GetAutoCheckDeviceInfoIndex,
                                    &Hub_GetAutoCheckDeviceInfo_Index_and_Port,
                                    &Hub_DeleteAutoCheckDeviceInfo,
                                    &Hub_StartAutoRecovery,
                                    &Hub_StopAutoRecovery,
                                    &Hub_GetAutoRecoveryStatus,
                                    &Hub_CleanupInfoList};
    return library;
}

}  // namespace vostrel::program
