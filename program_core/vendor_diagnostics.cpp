#include "program_core/vendor_diagnostics.h"

#include <vostrel/vendor_library_name.h>
#include <vostrel/pt2lib_errors.h>
#include "program_core/platform/vendor_last_error.h"
#include "program_core/platform/vendor_library_search.h"

namespace vostrel::program {

std::string vendorErrorText(std::uint32_t code) {
    switch (code) {
        case PT2_OK: return "the vendor library reports no error";
        case PT2_ERROR_INVALID_HANDLE: return "the vendor library did not know the hub's handle";
        case PT2_ERROR_HUB_GONE: return "the hub is no longer on the bus";
        case PT2_ERROR_NO_SUCH_PIN: return "the hub has no such port pin";
        case PT2_ERROR_BAD_ARGUMENT: return "the vendor library refused an argument";
        case PT2_ERROR_NOT_WRITTEN: return "the change could not be stored";
        case PT2_ERROR_PERMISSION_DENIED:
            return "permission denied (run as root, or install the udev rule udev/60-vostrel-hubs.rules so that "
                   "your user may switch the hubs' ports)";
        case PT2_ERROR_NOT_SUPPORTED: return "the vendor library cannot do this";
        case PT2_ERROR_NO_PORT_POWER_CONTROL: return "the kernel cannot switch this hub's ports";
        default: return "the vendor library reports error " + std::to_string(code);
    }
}

std::string lastVendorErrorText() {
    const platform::VendorLastError error = platform::vendorLastError();
    switch (error.kind) {
        case platform::VendorLastError::Kind::NotLoaded:
            return std::string("the vendor library ") + vostrel::platform::kVendorLibraryName + " is not loaded";
        case platform::VendorLastError::Kind::Unreported:
            return "the vendor library does not say why (it lacks MchpUsbGetLastErr)";
        case platform::VendorLastError::Kind::Reported: break;
    }
    return vendorErrorText(error.code);
}

bool lastVendorErrorIsPermission() {
    const platform::VendorLastError error = platform::vendorLastError();
    return error.kind == platform::VendorLastError::Kind::Reported && error.code == PT2_ERROR_PERMISSION_DENIED;
}

std::string vendorLibrarySearchText(const void* hubLibraryCode) {
    const platform::VendorLibrarySearch search = platform::vendorLibrarySearch(hubLibraryCode);
    std::string text = "The hub library looks for " + search.fileName + " in this order:";
    for (const std::string& place : search.places) text += "\n\u2022 " + place;
    return text + "\nIt was found in none of them, or it lacks functions the hub library needs.";
}

std::string portPermissionAdvice() {
    return "The udev rule udev/60-vostrel-hubs.rules lets the users of group plugdev switch them.\n"
           "The package installs it; built from the sources, copy it:\n"
           "    sudo cp udev/60-vostrel-hubs.rules /etc/udev/rules.d/\n"
           "Then load it and join the group (which applies at your next login):\n"
           "    sudo udevadm control --reload-rules && sudo udevadm trigger\n"
           "    sudo usermod -aG plugdev $USER";
}

}  // namespace vostrel::program
