#include "hub_library.h"

#include <string>

#include "command_error.h"
#include "platform/dynamic_library.h"

namespace vostrel::cli {
namespace {

class Binder {
public:
    explicit Binder(void* library) : library_(library) {}

    template <typename Function>
    void bind(Function& function, const char* name) {
        function = reinterpret_cast<Function>(platform::findSymbol(library_, name));
        if (function == nullptr && missing_.empty()) missing_ = name;
    }

    const std::string& missing() const { return missing_; }

private:
    void* library_;
    std::string missing_;
};

}  // namespace

HubLibrary loadHubLibrary() {
    std::string why;
    void* library = platform::loadLibrary(kHubLibraryName, why);
    if (library == nullptr) throw failure(std::string("cannot load the hub library: ") + why);

    HubLibrary hub{};
    Binder binder(library);
    binder.bind(hub.initVendorLibrary, "Hub_InitPt2lib");
    binder.bind(hub.setPortPower, "Hub_SetHubPortStatus");
    binder.bind(hub.getDeviceInfo, "Hub_GetDeviceInfo");
    binder.bind(hub.getPortInfo, "Hub_GetDeviceInfo_Index_and_Port");
    binder.bind(hub.getTimes, "Hub_GetAutoCheckTimeInfo");
    binder.bind(hub.setTimes, "Hub_SetAutoCheckTimeInfo");
    binder.bind(hub.addWatched, "Hub_SetAutoCheckDeviceInfo");
    binder.bind(hub.firstWatched, "Hub_GetAutoCheckDeviceInfo");
    binder.bind(hub.nextWatched, "Hub_GetNextAutoCheckDeviceInfo");
    binder.bind(hub.watchedAt, "Hub_GetAutoCheckDeviceInfo_Index_and_Port");
    binder.bind(hub.removeWatched, "Hub_DeleteAutoCheckDeviceInfo");
    binder.bind(hub.startRecovery, "Hub_StartAutoRecovery");
    binder.bind(hub.stopRecovery, "Hub_StopAutoRecovery");
    binder.bind(hub.recoveryStored, "Hub_GetAutoRecoveryStatus");
    if (!binder.missing().empty()) {
        platform::unloadLibrary(library);
        throw failure(std::string(kHubLibraryName) + " lacks " + binder.missing() + ": it is not this version's hub library");
    }
    return hub;
}

}  // namespace vostrel::cli
