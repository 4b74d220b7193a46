#include "program_core/status_line.h"

#include "program_core/log_line.h"
#include "program_core/recovery_notices.h"

namespace vostrel::program {

std::string statusLineText(bool autoRecoveryRunning, const std::string& lastLogLine) {
    std::string text = autoRecoveryRunning ? "Auto recovery running" : "Auto recovery stopped";
    text += "  \u00b7  ";
    if (lastLogLine.empty()) return text + "No event logged";
    const LogLine event = readLogLine(lastLogLine);
    return text + "Last event " + event.dateTime + ": " + loggedDeviceName(event) + ", " + eventName(event.eventCode);
}

}  // namespace vostrel::program
