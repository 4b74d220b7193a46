// The recovery event log as the program reads it: lines of eight
// comma-separated fields (date and time, event code, hub index, port number,
// vendor ID, product ID, manufacturer, product).
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>

namespace talvern {

inline constexpr int kLogFields = 8;

// The log the library appends to: "vostrel.log" in the current directory.
QString logFilePath();

// Every line of the file in file order, without its line break (LF, or CR
// LF). A last line without a line break counts. Empty when the file cannot
// be opened.
QStringList readLogLines(const QString& path);

// One line's bytes as text: UTF-8 when they are valid UTF-8 (what the library
// writes under a UTF-8 locale), otherwise one character per byte.
QString decodeLogLine(QByteArrayView bytes);

// Fields 0 to 6 end at the next comma; field 7 is the whole rest of the line
// after the seventh comma. Fields a short line lacks are empty.
std::array<QString, kLogFields> splitLogLine(const QString& line);

}  // namespace talvern
