// The process's environment variables.
#pragma once

#include <optional>
#include <string>

namespace vostrel::platform {

// The value of the variable `name`, or nothing when it is not set.
std::optional<std::string> environmentVariable(const char* name);

}  // namespace vostrel::platform
