#include "vendor_error.h"

#include "platform/dynamic_library.h"
#include "platform/vendor_library_name.h"
#include "portctl/pt2lib_api.h"
#include "portctl/pt2lib_errors.h"

namespace vostrel::cli {

std::string vendorErrorText(std::uint32_t code) {
    switch (code) {
    case PT2_OK:
        return "the vendor library reports no error";
    case PT2_ERROR_INVALID_HANDLE:
        return "the vendor library did not know the hub's handle";
    case PT2_ERROR_HUB_GONE:
        return "the hub is no longer on the bus";
    case PT2_ERROR_NO_SUCH_PIN:
        return "the hub has no such port pin";
    case PT2_ERROR_BAD_ARGUMENT:
        return "the vendor library refused an argument";
    case PT2_ERROR_NOT_WRITTEN:
        return "the change could not be stored";
    case PT2_ERROR_PERMISSION_DENIED:
        return "permission denied (run as root, or install the udev rule udev/60-vostrel-hubs.rules so that "
               "your user may switch the hubs' ports)";
    case PT2_ERROR_NOT_SUPPORTED:
        return "the vendor library cannot do this";
    case PT2_ERROR_NO_PORT_POWER_CONTROL:
        return "the kernel cannot switch this hub's ports";
    default:
        return "the vendor library reports error " + std::to_string(code);
    }
}

std::string lastVendorError() {
    void* vendor = platform::loadedLibrary(vostrel::platform::kVendorLibraryName);
    if (vendor == nullptr) {
        return std::string("the vendor library ") + vostrel::platform::kVendorLibraryName + " is not loaded";
    }
    const auto lastError = reinterpret_cast<MchpUsbGetLastErr_t>(platform::findSymbol(vendor, "MchpUsbGetLastErr"));
    // -1: the calling thread's last call, whatever hub handle it used.
    const std::string text = lastError != nullptr ? vendorErrorText(lastError(-1))
                                                  : "the vendor library does not say why (it lacks MchpUsbGetLastErr)";
    platform::unloadLibrary(vendor);
    return text;
}

}  // namespace vostrel::cli
