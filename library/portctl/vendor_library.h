// The hub chip vendor's control library, loaded and resolved as a whole.
#pragma once

#include <optional>

#include <vostrel/pt2lib_api.h>

namespace vostrel {

// All twelve functions. MchpUsbGetLastErr and MchpProgramFileWithSerial are
// never called, but a library without them is not the one we can work with.
struct VendorFunctions {
    MchpUsbGetAllHubs_t getAllHubs;
    MchpUsbOpen_t open;
    MchpUsbClose_t close;
    MchpEnableLogging_t enableLogging;
    MchpUsbGetLastErr_t getLastError;
    MchpUsbGetVersion_t getVersion;
    MchpUsbDeviceReset_t deviceReset;
    MchpUsbConfigureGPIO_t configureGpio;
    MchpUsbGpioGet_t gpioGet;
    MchpUsbGpioSet_t gpioSet;
    MchpProgramFileWithSerial_t programFileWithSerial;
    MchpUsbProgramFileWithUsb3Serial_t programFileWithUsb3Serial;
};

struct VendorLibrary {
    void* module;
    VendorFunctions call;
};

// Loads the library by name and resolves its twelve functions in a fixed
// order. All or nothing: when the library cannot be loaded or a name is
// missing, whatever was loaded is unloaded again and nothing is returned.
std::optional<VendorLibrary> loadVendorLibrary();

void unloadVendorLibrary(const VendorLibrary& library);

}  // namespace vostrel
