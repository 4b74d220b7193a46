#include "log_viewer/log_file.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <algorithm>

#include "text/visible_text.h"

namespace talvern {

QString logFilePath() { return QDir::current().filePath(QStringLiteral("vostrel.log")); }

QStringList readLogLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    QStringList lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        const qsizetype next = end < 0 ? data.size() : end + 1;
        if (end < 0) end = data.size();
        else if (end > start && data[end - 1] == '\r') --end;
        lines.append(decodeLogLine(QByteArrayView(data).sliced(start, end - start)));
        start = next;
    }
    return lines;
}

QString readLastLogLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const qint64 size = file.size();
    // A line is at most about a kilobyte; the window grows until it holds
    // the whole last line, or the whole file.
    for (qint64 window = 4096;; window *= 4) {
        const qint64 start = std::max<qint64>(0, size - window);
        if (!file.seek(start)) return {};
        QByteArray tail = file.read(size - start);
        while (!tail.isEmpty() && (tail.endsWith('\n') || tail.endsWith('\r'))) tail.chop(1);
        const qsizetype lineStart = tail.lastIndexOf('\n') + 1;
        if (lineStart > 0 || start == 0) return decodeLogLine(QByteArrayView(tail).sliced(lineStart));
    }
}

QString decodeLogLine(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return QString::fromStdU16String(vostrel::text::visibleText(text.toStdU16String()));
}

LogEvent parseLogLine(const QString& line) {
    LogEvent event;
    QString* const leftFields[] = {&event.dateTime,   &event.eventCode, &event.hubIndex,
                                   &event.portNumber, &event.vendorId,  &event.productId};
    qsizetype start = 0;
    for (QString* field : leftFields) {
        const qsizetype comma = line.indexOf(u',', start);
        if (comma < 0) {
            *field = line.mid(start);
            return event;
        }
        *field = line.mid(start, comma - start);
        start = comma + 1;
    }
    const QString texts = line.mid(start);
    qsizetype separator = -1;
    for (qsizetype i = texts.size() - 1; i >= 0; --i) {
        if (texts[i] != u',') continue;
        if (separator < 0) separator = i;
        if (i + 1 == texts.size() || texts[i + 1] != u' ') {
            separator = i;
            break;
        }
    }
    if (separator < 0) {
        event.manufacturer = texts;
        return event;
    }
    event.manufacturer = texts.left(separator);
    event.product = texts.mid(separator + 1);
    return event;
}

}  // namespace talvern
