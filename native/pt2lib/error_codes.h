// The last-error codes (<vostrel/pt2lib_errors.h>) of failed operating-system
// calls.
#pragma once

#include <cstdint>
#include <system_error>

namespace vostrel::native {

// Refused for want of rights: PT2_ERROR_PERMISSION_DENIED; the device or
// its folder gone: PT2_ERROR_HUB_GONE; the hub stalled a port power request:
// PT2_ERROR_NO_PORT_POWER_CONTROL; anything else: PT2_ERROR_NOT_WRITTEN.
// PT2_OK for no error.
std::uint32_t pt2ErrorOf(std::error_code error);

}  // namespace vostrel::native
