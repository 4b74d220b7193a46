#include "program_core/hub_library.h"

namespace vostrel::program {
namespace {

class Binder {
public:
    explicit Binder(const std::function<void*(const char*)>& find) : find_(find) {}

    template <typename Function>
    void operator()(Function& function, const char* name) {
        function = reinterpret_cast<Function>(find_(name));
        if (function == nullptr && missing_ == nullptr) missing_ = name;
    }

    const char* missing() const { return missing_; }

private:
    const std::function<void*(const char*)>& find_;
    const char* missing_ = nullptr;
};

}  // namespace

const char* bindHubLibrary(HubLibrary& library, const std::function<void*(const char* name)>& find) {
    Binder bind(find);
    bind(library.initVendorLibrary, "Hub_InitPt2lib");
    bind(library.setPortPower, "Hub_SetHubPortStatus");
    bind(library.getHubPower, "Hub_GetHubPortStatus");
    bind(library.getDeviceInfo, "Hub_GetDeviceInfo");
    bind(library.getPortInfo, "Hub_GetDeviceInfo_Index_and_Port");
    bind(library.getTimes, "Hub_GetAutoCheckTimeInfo");
    bind(library.setTimes, "Hub_SetAutoCheckTimeInfo");
    bind(library.addWatched, "Hub_SetAutoCheckDeviceInfo");
    bind(library.firstWatched, "Hub_GetAutoCheckDeviceInfo");
    bind(library.nextWatched, "Hub_GetNextAutoCheckDeviceInfo");
    bind(library.watchedAtIndex, "Hub_GetAutoCheckDeviceInfoIndex");
    bind(library.watchedAt, "Hub_GetAutoCheckDeviceInfo_Index_and_Port");
    bind(library.removeWatched, "Hub_DeleteAutoCheckDeviceInfo");
    bind(library.startRecovery, "Hub_StartAutoRecovery");
    bind(library.stopRecovery, "Hub_StopAutoRecovery");
    bind(library.recoveryStored, "Hub_GetAutoRecoveryStatus");
    bind(library.cleanup, "Hub_CleanupInfoList");
    return bind.missing();
}

}  // namespace vostrel::program
