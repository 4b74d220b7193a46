#include "recovery/monitor.h"

namespace vostrel {

// The monitor thread is not built yet: there is never a thread to start or stop.
bool startMonitor(StartDelay) { return false; }

bool stopMonitor(ClearEnabled) { return false; }

}  // namespace vostrel
