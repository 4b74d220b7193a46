#include "log_viewer/log_file.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

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

QString decodeLogLine(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

std::array<QString, kLogFields> splitLogLine(const QString& line) {
    std::array<QString, kLogFields> fields;
    qsizetype start = 0;
    for (int k = 0; k < kLogFields - 1; ++k) {
        const qsizetype comma = line.indexOf(u',', start);
        if (comma < 0) {
            fields[k] = line.mid(start);
            return fields;
        }
        fields[k] = line.mid(start, comma - start);
        start = comma + 1;
    }
    fields[kLogFields - 1] = line.mid(start);
    return fields;
}

}  // namespace talvern
