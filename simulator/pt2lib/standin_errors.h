// What MchpUsbGetLastErr reports for a handle of the stand-in vendor library:
// the cause of the handle's last failed call, or 0 after a call that worked.
#pragma once

#include <cstdint>

namespace vostrel::sim {

inline constexpr std::uint32_t kNoError = 0;
inline constexpr std::uint32_t kErrorInvalidHandle = 1;
inline constexpr std::uint32_t kErrorHubGone = 2;          // the hub no longer shows on the bus
inline constexpr std::uint32_t kErrorNoSuchPin = 3;        // only pins 17 to 20 exist
inline constexpr std::uint32_t kErrorBadArgument = 4;
inline constexpr std::uint32_t kErrorBenchNotWritten = 5;  // the bench file could not be changed

}  // namespace vostrel::sim
