#include "log_viewer/log_file.h"

#include <QDir>

#include "program_core/log_file.h"

namespace talvern {

QString logFilePath() { return QDir::current().filePath(QString::fromLatin1(vostrel::program::kEventLogFileName)); }

}  // namespace talvern
