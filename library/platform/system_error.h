// The text of the operating system's last error on the calling thread.
#pragma once

#include <string>

namespace vostrel::platform {

// Reads the error at once: call it before anything else can change it.
std::string lastSystemErrorText();

}  // namespace vostrel::platform
