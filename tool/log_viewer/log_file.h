// Where the program finds the recovery event log.
#pragma once

#include <QString>

namespace talvern {

// The log the library appends to: "vostrel.log" in the current directory.
QString logFilePath();

}  // namespace talvern
