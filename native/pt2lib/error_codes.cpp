#include "error_codes.h"

#include <vostrel/pt2lib_errors.h>

namespace vostrel::native {

std::uint32_t pt2ErrorOf(std::error_code error) {
    if (!error) return PT2_OK;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) {
        return PT2_ERROR_PERMISSION_DENIED;
    }
    if (error == std::errc::no_such_file_or_directory || error == std::errc::no_such_device ||
        error == std::errc::no_such_device_or_address) {
        return PT2_ERROR_HUB_GONE;
    }
    if (error == std::errc::broken_pipe) return PT2_ERROR_NO_PORT_POWER_CONTROL;
    return PT2_ERROR_NOT_WRITTEN;
}

}  // namespace vostrel::native
