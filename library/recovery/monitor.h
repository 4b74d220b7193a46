// The auto-recovery monitor: one background thread while enabled.
#pragma once

namespace vostrel {

enum class StartDelay { No, Yes };
enum class ClearEnabled { No, Yes };

// Starts the monitor thread, sets the enabled flag and saves the settings.
// False when a monitor thread exists already.
bool startMonitor(StartDelay delay);

// Stops the monitor thread, clears the enabled flag when asked and saves the
// settings. False when no monitor thread exists.
bool stopMonitor(ClearEnabled clear);

}  // namespace vostrel
