// The last error of the hub chip vendor's library on the calling thread
// (MchpUsbGetLastErr with handle -1), asked only of a library the hub
// library has loaded already.
#pragma once

#include <cstdint>

namespace vostrel::program::platform {

struct VendorLastError {
    enum class Kind {
        NotLoaded,   // the hub library has not bound the vendor library
        Unreported,  // it has no MchpUsbGetLastErr
        Reported,
    };
    Kind kind = Kind::NotLoaded;
    std::uint32_t code = 0;
};

VendorLastError vendorLastError();

}  // namespace vostrel::program::platform
