#include "platform/vendor_last_error.h"

#include <dlfcn.h>

#include "portctl/pt2lib_api.h"

namespace talvern::platform {

std::optional<std::uint32_t> vendorLastError() {
    // Only the library the hub library loaded: RTLD_NOLOAD never loads one.
    void* const vendor = ::dlopen("libpt2lib.so", RTLD_NOW | RTLD_NOLOAD);
    if (vendor == nullptr) return std::nullopt;
    const auto lastError = reinterpret_cast<MchpUsbGetLastErr_t>(::dlsym(vendor, "MchpUsbGetLastErr"));
    std::optional<std::uint32_t> error;
    if (lastError != nullptr) error = lastError(-1);
    ::dlclose(vendor);
    return error;
}

}  // namespace talvern::platform
