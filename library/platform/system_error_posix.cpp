#include "platform/system_error.h"

#include <cerrno>
#include <system_error>

namespace vostrel::platform {

std::string lastSystemErrorText() {
    const int error = errno;
    return std::generic_category().message(error) + " (errno " + std::to_string(error) + ")";
}

}  // namespace vostrel::platform
