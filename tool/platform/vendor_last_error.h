// Why the hub chip vendor's library refused the last call made on this
// thread, as that library tells it (MchpUsbGetLastErr with handle -1), for a
// program whose port switch failed inside the hub library.
#pragma once

#include <cstdint>
#include <optional>

namespace talvern::platform {

// Nothing when the vendor library is not loaded (the hub library has not
// bound it) or cannot tell.
std::optional<std::uint32_t> vendorLastError();

}  // namespace talvern::platform
