// The file name of the hub chip vendor's control library. It is loaded by the
// platform's ordinary search for a library named without a folder.
#pragma once

namespace vostrel::platform {

#if defined(_WIN32)
inline constexpr char kVendorLibraryName[] = "pt2lib.dll";
#else
inline constexpr char kVendorLibraryName[] = "libpt2lib.so";
#endif

}  // namespace vostrel::platform
