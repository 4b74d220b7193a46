// Changes to a bench, made on its description document so that the rest of
// the file stays as its author wrote it. `device` and `hub` come from the
// bench built from that same document.
#pragma once

#include <cstdint>

#include "core/bench.h"
#include "core/description.h"

namespace vostrel::sim {

// A device that becomes present starts a flaky device's time anew.
void setState(Document& document, const Device& device, State state, std::int64_t nowMs);

void setFailStatus(Document& document, const Device& device, std::uint32_t status);

// Switches a family hub's port (1 to 4). Power coming back heals every
// wedged device below the port.
void setPortPower(Document& document, const Device& hub, int port, bool on, std::int64_t nowMs);

// A hub reset power-cycles all four ports and leaves them on.
void resetHub(Document& document, const Device& hub, std::int64_t nowMs);

void recordProgramming(Document& document, const Device& hub, const Programming& programming);

}  // namespace vostrel::sim
