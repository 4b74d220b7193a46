// Why the hub chip vendor's library refused a port switch that the hub
// library asked of it on this thread, in words, for every front end.
#pragma once

#include <cstdint>
#include <string>

namespace vostrel::program {

// The vendor library's last-error code in words, e.g. "the hub is no longer
// on the bus"; for missing rights, with what to do about it.
std::string vendorErrorText(std::uint32_t code);

// The calling thread's last error as the vendor library that the hub
// library has bound reports it, in words; that library is asked only when
// it is loaded already.
std::string lastVendorErrorText();

// True when the calling thread's last vendor-library error is missing rights.
bool lastVendorErrorIsPermission();

// Where the hub library looked for the vendor library, and that it found
// none there, told below the message that it cannot be loaded.
// `hubLibraryCode`: the address of one of the hub library's exports.
std::string vendorLibrarySearchText(const void* hubLibraryCode);

// What a user who may not switch the ports does about it: the udev rule and
// the group, step by step.
std::string portPermissionAdvice();

}  // namespace vostrel::program
