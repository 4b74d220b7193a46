#include "platform/diagnostics.h"

#include <cstdio>
#include <string>

#include "platform/environment.h"
#include "platform/system_error.h"

namespace vostrel::platform {

bool diagnosticsEnabled() {
    const auto value = environmentVariable("VOSTREL_DEBUG");
    return value && *value == "1";
}

void reportFailure(std::string_view operation, std::string_view path, std::string_view error) {
    if (!diagnosticsEnabled()) return;
    std::string line = "vostrel: ";
    line.append(operation);
    if (!path.empty()) line.append(" ").append(path);
    line.append(": ").append(error).append("\n");
    // One write per line, so reports of concurrent threads never interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void reportSystemFailure(std::string_view operation, std::string_view path) {
    const std::string error = lastSystemErrorText();
    reportFailure(operation, path, error);
}

}  // namespace vostrel::platform
