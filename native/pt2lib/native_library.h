// The vendor library's twelve functions for the family's hubs on Linux, over
// the kernel's port power control (port_power.h). The exports
// (pt2lib_exports.cpp) call these, one for one; tests call them in-process.
//
// Hubs are numbered as the hub library's scan numbers them. A handle names
// the hub that its index named when it was opened; every later call checks
// that hub's own folders, so a hub that went (or came again as another
// device) fails with PT2_ERROR_HUB_GONE. Pins 17 to 20 are ports 1 to 4,
// switched on both hub devices of a USB 3 hub, whose port keeps its power
// while either side's port has it.
//
// Thread-safe. Every call sets the last error of its handle and of the
// calling thread (MchpUsbGetLastErr(-1)).
#pragma once

#include <cstdint>

#include <vostrel/pt2lib_api.h>

namespace vostrel::native {

// What MchpUsbGetVersion writes, NUL included; fits the 2048-byte buffer.
extern const char kVersionText[];

std::int32_t getAllHubs(char* buffer);
Pt2Handle open(std::uint32_t hubIndex);
std::int32_t close(Pt2Handle hub);
std::int32_t enableLogging(std::int32_t enable);
std::uint32_t lastError(Pt2Handle hub);
std::int32_t version(char* buffer);
std::int32_t reset(Pt2Handle hub);
std::int32_t configurePin(Pt2Handle hub, std::uint32_t pin);
std::int32_t getPin(Pt2Handle hub, std::uint32_t pin, std::uint32_t* state);
std::int32_t setPin(Pt2Handle hub, std::uint32_t pin, std::uint32_t state);
// Both programming functions: not done here.
std::int32_t program(Pt2Handle hub);

}  // namespace vostrel::native
