// The one translator from a bus model to the Windows USB stack's answers:
// the device I/O controls the topology scan sends to a host controller or a
// hub, answered byte for byte in the Windows layouts. The input is read whole
// before any output is written, so `in` and `out` may share one buffer; no
// answer writes past `out`.
#pragma once

#include <cstdint>
#include <span>

#include "usbbus/bus_model.h"

namespace vostrel::usbbus {

// A host controller: its driver key name and its root hub's name.
bool answerController(const Controller& controller, std::uint32_t code, std::span<const std::uint8_t> in,
                      std::span<std::uint8_t> out, std::uint32_t& returned);

// A hub: node information, connection information (both forms), descriptors
// of attached devices, names of attached hubs.
bool answerHub(const Hub& hub, std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
               std::uint32_t& returned);

}  // namespace vostrel::usbbus
