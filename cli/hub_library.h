// The hub library's exports that the program calls, bound at run time.
#pragma once

#include <vostrel/hub_api.h>

namespace vostrel::cli {

struct HubLibrary {
    decltype(&Hub_InitPt2lib) initVendorLibrary;
    decltype(&Hub_SetHubPortStatus) setPortPower;
    decltype(&Hub_GetDeviceInfo) getDeviceInfo;
    decltype(&Hub_GetDeviceInfo_Index_and_Port) getPortInfo;
    decltype(&Hub_GetAutoCheckTimeInfo) getTimes;
    decltype(&Hub_SetAutoCheckTimeInfo) setTimes;
    decltype(&Hub_SetAutoCheckDeviceInfo) addWatched;
    decltype(&Hub_GetAutoCheckDeviceInfo) firstWatched;
    decltype(&Hub_GetNextAutoCheckDeviceInfo) nextWatched;
    decltype(&Hub_GetAutoCheckDeviceInfo_Index_and_Port) watchedAt;
    decltype(&Hub_DeleteAutoCheckDeviceInfo) removeWatched;
    decltype(&Hub_StartAutoRecovery) startRecovery;
    decltype(&Hub_StopAutoRecovery) stopRecovery;
    decltype(&Hub_GetAutoRecoveryStatus) recoveryStored;
};

inline constexpr char kHubLibraryName[] = "libVostrel_4.so";

// Loads the hub library by name, found as an installed program finds it
// (LD_LIBRARY_PATH, then this program's run path: its own folder in the
// build tree, the system's library folder once installed), and binds every
// export above. The library's load steps run now, in the current folder,
// and its unload steps when the program exits. All or nothing: a library
// that lacks one of them is unloaded again. Throws a CommandError (1).
HubLibrary loadHubLibrary();

}  // namespace vostrel::cli
