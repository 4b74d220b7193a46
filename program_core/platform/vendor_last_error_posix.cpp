#include "program_core/platform/vendor_last_error.h"

#include <dlfcn.h>

#include <vostrel/vendor_library_name.h>
#include <vostrel/pt2lib_api.h>

namespace vostrel::program::platform {

VendorLastError vendorLastError() {
    // RTLD_NOLOAD: only the library the hub library loaded, never another.
    void* const vendor = ::dlopen(vostrel::platform::kVendorLibraryName, RTLD_NOW | RTLD_NOLOAD);
    if (vendor == nullptr) return {};
    const auto lastError = reinterpret_cast<MchpUsbGetLastErr_t>(::dlsym(vendor, "MchpUsbGetLastErr"));
    VendorLastError error{VendorLastError::Kind::Unreported, 0};
    if (lastError != nullptr) error = {VendorLastError::Kind::Reported, lastError(-1)};
    ::dlclose(vendor);
    return error;
}

}  // namespace vostrel::program::platform
