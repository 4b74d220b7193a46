#include "record_format.h"

#include <algorithm>

namespace talvern {

QString recordText(const char16_t (&text)[vostrel::kTextUnits]) {
    const auto end = std::find(std::begin(text), std::end(text), u'\0');
    return QString::fromUtf16(text, end - std::begin(text));
}

QString hexId(std::uint32_t id) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

QString deviceName(const QString& manufacturer, const QString& product) {
    return manufacturer + QLatin1Char(' ') + product;
}

QString hubLabel(int hubIndex) { return QStringLiteral("Orvique [%1]").arg(hubIndex); }

QString portLabel(int portIndex, const vostrel::PortInfoRecord& port) {
    const QString number = QString::number(portIndex + 1);
    if (port.connectionStatus == vostrel::NoDeviceConnected || port.configurationValue == 0) {
        return QStringLiteral("[Port%1] NoDeviceConnected").arg(number);
    }
    // One multi-argument substitution, so a % in a device's texts is shown as it is.
    return QStringLiteral("[Port%1] %2 %3 - VID:%4 PID:%5")
        .arg(number, recordText(port.manufacturer), recordText(port.product), hexId(port.vendorId),
             hexId(port.productId));
}

}  // namespace talvern
