// `vostrel-sim demo`: the product's main job end to end, without hardware
// and without a display. The hub library is loaded on a copy of a bench in
// a temporary folder, watches one device with auto recovery enabled, and the
// device wedges; the monitor's log lines and the port's power show as they
// happen, until the device works again.
#pragma once

#include <optional>
#include <string>

namespace vostrel::sim {

struct DemoOptions {
    std::optional<std::string> bench;   // else VOSTREL_SIM_BENCH's, else the built-in bench
    std::optional<std::string> device;  // else the first working device on a hub of the family
    double timeoutSeconds = 30;
};

// 0 once the device works again; 1 when it does not within the time, or the
// demo cannot run (the message says why).
int runDemo(const DemoOptions& options);

// The bench the demo runs on when none is named.
extern const char* const kBuiltInBench;

}  // namespace vostrel::sim
