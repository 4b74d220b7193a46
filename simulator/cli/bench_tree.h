// The bench as a tree of text for `vostrel-sim show`: controllers, hubs and
// devices with port power, states and what the scan makes of them.
#pragma once

#include <string>

#include "core/bus_view.h"

namespace vostrel::sim {

std::string benchTree(const BusView& view);

// "failed, status 4 (DeviceCausedOvercurrent)" and the like.
std::string stateText(const BusView& view, const Device& device);

// The name of a connection status, or "" for values without one.
const char* statusName(std::uint32_t status);

}  // namespace vostrel::sim
