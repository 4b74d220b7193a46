#include "record_format.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "text/visible_text.h"

namespace talvern {

QString recordText(const char16_t (&text)[vostrel::kTextUnits]) {
    const auto end = std::find(std::begin(text), std::end(text), u'\0');
    return QString::fromStdU16String(
        vostrel::text::visibleText(std::u16string_view(text, static_cast<std::size_t>(end - std::begin(text)))));
}

QString hexId(std::uint32_t id) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

QString deviceName(const QString& manufacturer, const QString& product) {
    return manufacturer + QLatin1Char(' ') + product;
}

QString connectionStatusName(std::uint32_t status) {
    static constexpr const char* kNames[] = {"NoDeviceConnected",       "DeviceConnected",
                                             "DeviceFailedEnumeration", "DeviceGeneralFailure",
                                             "DeviceCausedOvercurrent", "DeviceNotEnoughPower"};
    if (status < std::size(kNames)) return QString::fromLatin1(kNames[status]);
    return QStringLiteral("unknown status %1").arg(status);
}

QString speedName(std::uint8_t speed) {
    static constexpr const char* kNames[] = {"low speed (1.5 Mbit/s)", "full speed (12 Mbit/s)",
                                             "high speed (480 Mbit/s)", "SuperSpeed (5 Gbit/s)"};
    if (speed < std::size(kNames)) return QString::fromLatin1(kNames[speed]);
    return QStringLiteral("unknown speed %1").arg(speed);
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
