// Answers to the device I/O controls the scan sends, from the bench's bus
// view, byte for byte in the Windows layouts. The input is read whole before
// any output is written, so `in` and `out` may share one buffer.
#pragma once

#include <cstdint>
#include <span>

#include "core/bus_view.h"

namespace vostrel::sim {

// A host controller: its driver key name and its root hub's name.
bool answerController(const ControllerView& controller, const BusView& view, std::uint32_t code,
                      std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::uint32_t& returned);

// A hub: node information, connection information (both forms), descriptors
// of attached devices, names of attached hubs.
bool answerHub(const HubView& hub, const BusView& view, std::uint32_t code, std::span<const std::uint8_t> in,
               std::span<std::uint8_t> out, std::uint32_t& returned);

}  // namespace vostrel::sim
