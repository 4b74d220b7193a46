// The recovery event log as the program reads it: lines of comma-separated
// fields (date and time, event code, hub index, port number, vendor ID,
// product ID, manufacturer, product).
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace talvern {

// The log the library appends to: "vostrel.log" in the current directory.
QString logFilePath();

// Every line of the file in file order, without its line break (LF, or CR
// LF). A last line without a line break counts. Empty when the file cannot
// be opened.
QStringList readLogLines(const QString& path);

// The file's last line that is not empty, or an empty string when there is
// none or the file cannot be opened. Reads only the end of the file.
QString readLastLogLine(const QString& path);

// One line's bytes as text: UTF-8 when they are valid UTF-8 (what the library
// writes under a UTF-8 locale), otherwise one character per byte; control
// characters shown as "\x1b" and the like.
QString decodeLogLine(QByteArrayView bytes);

// One line of the log. Every field is the line's text as written; a short
// line leaves the fields it lacks empty.
struct LogEvent {
    QString dateTime;
    QString eventCode;
    QString hubIndex;
    QString portNumber;
    QString vendorId;
    QString productId;
    QString manufacturer;
    QString product;
};

// The six fields the library formats itself stand at the left and never hold
// a comma, so they are read from the left. The device's two texts take the
// rest of the line and are written as they are, commas included: they are
// parted at the last comma that no blank follows (a text's own comma is
// usually followed by one, as in "Acme, Inc."), else at the last comma.
LogEvent parseLogLine(const QString& line);

}  // namespace talvern
