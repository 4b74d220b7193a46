// A bench as a umockdev test bed: the text `umockdev-record` writes for a
// machine whose kernel shows that bench (P:, N:, E:, A: and H: lines, one
// block per device), so that the library's Linux stack can scan the bench
// under umockdev as it would the real machine.
//
// What the kernel shows differs from what the simulated stack answers where
// a real kernel cannot know more:
// - a device that failed (failStatus 2, 3) has no device folder; its port's
//   `state` is "default" (something attached, not enumerated), so the scan
//   sees DeviceFailedEnumeration without identifiers;
// - an over-current (failStatus 4) leaves the port empty ("not attached");
// - a device short of power (failStatus 5) is enumerated but not configured;
// - strings are those the kernel reads: in the device's first language only,
//   none when the device refuses its language list;
// - controllers the scan never reaches (neither numbered nor listed, or the
//   interface list unavailable) are left out; the rest get bus numbers in the
//   scan's order, the USB 2 root hub before the SuperSpeed one.
// Devices, interfaces and port folders carry the attributes a 6.12 kernel
// shows (those of the active configuration as empty files while there is
// none), but for `dev`, `remove`, `bos_descriptors` and the `power` folders;
// counters and quirks read 0.
// The port folders' `state` and `disable`, which umockdev-record leaves out
// (a port folder is a device without a subsystem), are written as attributes
// of the hub interface: `state` as on a kernel from 6.5 on, `disable` (1 for
// a port of a family hub whose power is off, else 0) as from 6.0 on; without
// them the bed shows an older kernel.
#pragma once

#include <string>

#include "core/bus_view.h"

namespace vostrel::sim {

struct BedOptions {
    bool portStates = true;
    bool portSwitches = true;
};

std::string umockdevBed(const BusView& view, const BedOptions& options = {});

}  // namespace vostrel::sim
