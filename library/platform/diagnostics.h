// Reports of failed operating-system calls, for someone investigating why
// the library sees no bus, cannot switch a port or keeps no settings. The
// exports themselves stay silent, as their contract requires; only with the
// environment variable VOSTREL_DEBUG set to 1 does the library write one
// line per failure to standard error.
#pragma once

#include <string_view>

namespace vostrel::platform {

// Whether VOSTREL_DEBUG=1 is set. Read at each call: reports are rare.
bool diagnosticsEnabled();

// Writes "vostrel: <operation> <path>: <error>" as one line when enabled.
void reportFailure(std::string_view operation, std::string_view path, std::string_view error);

// The same with the text of the calling thread's last operating-system error
// (errno, or GetLastError on Windows). Call it right after the failed call,
// before anything else can change that error.
void reportSystemFailure(std::string_view operation, std::string_view path);

}  // namespace vostrel::platform
