// The main window's status line: whether auto recovery runs, and the time
// and device of the last event in the log.
#pragma once

#include <string>

namespace vostrel::program {

// `lastLogLine`: the log's last line, empty when nothing is logged.
std::string statusLineText(bool autoRecoveryRunning, const std::string& lastLogLine);

}  // namespace vostrel::program
