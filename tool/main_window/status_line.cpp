#include "main_window/status_line.h"

#include "log_viewer/log_file.h"
#include "record_format.h"

namespace talvern {
namespace {

QString eventName(const QString& code) {
    if (code == u"1") return QStringLiteral("not configured");
    if (code == u"2") return QStringLiteral("other device");
    if (code == u"3") return QStringLiteral("no device");
    return QStringLiteral("event %1").arg(code);
}

QString lastEventText(const QString& line) {
    if (line.isEmpty()) return QStringLiteral("No event logged");
    const LogEvent event = parseLogLine(line);
    QString device = deviceName(event.manufacturer, event.product).trimmed();
    if (device.isEmpty()) device = QStringLiteral("VID:PID %1:%2").arg(event.vendorId, event.productId);
    return QStringLiteral("Last event %1: %2, %3").arg(event.dateTime, device, eventName(event.eventCode));
}

}  // namespace

QString statusLineText(bool autoRecoveryRunning, const QString& lastLogLine) {
    const QString recovery =
        autoRecoveryRunning ? QStringLiteral("Auto recovery running") : QStringLiteral("Auto recovery stopped");
    return recovery + QStringLiteral("  \u00b7  ") + lastEventText(lastLogLine);
}

}  // namespace talvern
