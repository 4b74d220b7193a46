// Each downstream port's power switch is one general-purpose I/O pin of the
// hub chip: port index p (0 to 3) is pin 17 + p. A pin at 1 powers its port.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "frame/records.h"

namespace vostrel {

inline constexpr std::array<std::uint32_t, kPortsPerHub> kPortPins{17, 18, 19, 20};

inline constexpr std::uint32_t kPinOff = 0;
inline constexpr std::uint32_t kPinOn = 1;

// The pin of a port index, or nothing for an index outside 0 to 3.
constexpr std::optional<std::uint32_t> pinOfPort(std::int32_t portIndex) {
    if (portIndex < 0 || portIndex >= kPortsPerHub) return std::nullopt;
    return kPortPins[static_cast<std::size_t>(portIndex)];
}

}  // namespace vostrel
