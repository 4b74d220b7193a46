#include "portctl/vendor_library.h"

#include "platform/dynamic_library.h"
#include <vostrel/vendor_library_name.h>

namespace vostrel {

std::optional<VendorLibrary> loadVendorLibrary() {
    void* module = platform::loadLibrary(platform::kVendorLibraryName);
    if (module == nullptr) return std::nullopt;

    using platform::resolve;
    VendorFunctions call{};
    // Resolved one after another; the first missing name ends the binding.
    const bool complete = resolve(module, "MchpUsbGetAllHubs", call.getAllHubs) &&
                          resolve(module, "MchpUsbOpen", call.open) &&
                          resolve(module, "MchpUsbClose", call.close) &&
                          resolve(module, "MchpEnableLogging", call.enableLogging) &&
                          resolve(module, "MchpUsbGetLastErr", call.getLastError) &&
                          resolve(module, "MchpUsbGetVersion", call.getVersion) &&
                          resolve(module, "MchpUsbDeviceReset", call.deviceReset) &&
                          resolve(module, "MchpUsbConfigureGPIO", call.configureGpio) &&
                          resolve(module, "MchpUsbGpioGet", call.gpioGet) &&
                          resolve(module, "MchpUsbGpioSet", call.gpioSet) &&
                          resolve(module, "MchpProgramFileWithSerial", call.programFileWithSerial) &&
                          resolve(module, "MchpUsbProgramFileWithUsb3Serial", call.programFileWithUsb3Serial);
    if (!complete) {
        platform::unloadLibrary(module);
        return std::nullopt;
    }
    return VendorLibrary{module, call};
}

void unloadVendorLibrary(const VendorLibrary& library) { platform::unloadLibrary(library.module); }

}  // namespace vostrel
