// The hub library's exports that the control programs call. A program that
// links the library at load time takes them from linked_hub_library.h; one
// that loads it at run time binds each by name (bindHubLibrary).
#pragma once

#include <functional>

#include <vostrel/hub_api.h>

namespace vostrel::program {

struct HubLibrary {
    decltype(&Hub_InitPt2lib) initVendorLibrary;
    decltype(&Hub_SetHubPortStatus) setPortPower;
    decltype(&Hub_GetHubPortStatus) getHubPower;
    decltype(&Hub_GetDeviceInfo) getDeviceInfo;
    decltype(&Hub_GetDeviceInfo_Index_and_Port) getPortInfo;
    decltype(&Hub_GetAutoCheckTimeInfo) getTimes;
    decltype(&Hub_SetAutoCheckTimeInfo) setTimes;
    decltype(&Hub_SetAutoCheckDeviceInfo) addWatched;
    decltype(&Hub_GetAutoCheckDeviceInfo) firstWatched;
    decltype(&Hub_GetNextAutoCheckDeviceInfo) nextWatched;
    decltype(&Hub_GetAutoCheckDeviceInfoIndex) watchedAtIndex;
    decltype(&Hub_GetAutoCheckDeviceInfo_Index_and_Port) watchedAt;
    decltype(&Hub_DeleteAutoCheckDeviceInfo) removeWatched;
    decltype(&Hub_StartAutoRecovery) startRecovery;
    decltype(&Hub_StopAutoRecovery) stopRecovery;
    decltype(&Hub_GetAutoRecoveryStatus) recoveryStored;
    decltype(&Hub_CleanupInfoList) cleanup;
};

// Fills `library` with what `find` gives for each export's name. Returns
// the first name it had no address for, or null when it had them all.
const char* bindHubLibrary(HubLibrary& library, const std::function<void*(const char* name)>& find);

}  // namespace vostrel::program
