// Why the vendor library refused a port switch that the hub library asked
// of it on this thread.
#pragma once

#include <cstdint>
#include <string>

namespace vostrel::cli {

// The vendor library's last-error code in words, with what to do about it
// where there is something to do, e.g. "permission denied (...)".
std::string vendorErrorText(std::uint32_t code);

// The calling thread's last error, as the vendor library that the hub
// library has bound reports it, in words; it is asked only if it is loaded
// already.
std::string lastVendorError();

}  // namespace vostrel::cli
