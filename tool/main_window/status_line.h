// The main window's status line: whether auto recovery runs, and the time and
// device of the last event in the log.
#pragma once

#include <QString>

namespace talvern {

// `lastLogLine`: the log's last line, empty when nothing is logged.
QString statusLineText(bool autoRecoveryRunning, const QString& lastLogLine);

}  // namespace talvern
