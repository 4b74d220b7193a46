#include "program_core/platform/vendor_last_error.h"

#include <windows.h>

#include <vostrel/vendor_library_name.h>
#include <vostrel/pt2lib_api.h>

namespace vostrel::program::platform {

VendorLastError vendorLastError() {
    // Only a module already in the process: GetModuleHandle loads nothing
    // and takes no reference.
    const HMODULE vendor = ::GetModuleHandleA(vostrel::platform::kVendorLibraryName);
    if (vendor == nullptr) return {};
    const auto lastError =
        reinterpret_cast<MchpUsbGetLastErr_t>(reinterpret_cast<void*>(::GetProcAddress(vendor, "MchpUsbGetLastErr")));
    if (lastError == nullptr) return {VendorLastError::Kind::Unreported, 0};
    return {VendorLastError::Kind::Reported, lastError(-1)};
}

}  // namespace vostrel::program::platform
