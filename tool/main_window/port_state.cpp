#include "main_window/port_state.h"

#include <QStringList>

#include "record_format.h"

namespace talvern {

PortState portState(const vostrel::PortInfoRecord& record, bool switchedOff, bool powered) {
    if (switchedOff && !powered) return PortState::PoweredOff;
    if (record.connectionStatus == vostrel::NoDeviceConnected) return PortState::Empty;
    if (record.connectionStatus == vostrel::DeviceConnected && record.configurationValue != 0) {
        return PortState::Working;
    }
    return PortState::NotWorking;
}

QString portToolTip(const vostrel::PortInfoRecord& record, PortState state, bool watched) {
    QStringList lines;
    switch (state) {
        case PortState::PoweredOff: lines << QStringLiteral("Powered off"); break;
        case PortState::Empty: lines << QStringLiteral("Empty"); break;
        case PortState::Working: lines << QStringLiteral("Working"); break;
        case PortState::NotWorking:
            lines << (record.connectionStatus == vostrel::DeviceConnected
                          ? QStringLiteral("Attached, not working: not configured")
                          : QStringLiteral("Attached, not working"));
            break;
    }
    lines << QStringLiteral("Connection status: %1").arg(connectionStatusName(record.connectionStatus));
    if (record.connectionStatus != vostrel::NoDeviceConnected) {
        lines << QStringLiteral("Speed: %1").arg(speedName(record.speed));
        lines << QStringLiteral("VID:PID: %1:%2").arg(hexId(record.vendorId), hexId(record.productId));
        // The library's records carry no serial number.
        lines << QStringLiteral("Serial number: not reported by the hub library");
    }
    switch (state) {
        case PortState::PoweredOff: lines << QStringLiteral("Port power: switched off from this window"); break;
        case PortState::Working: lines << QStringLiteral("Port power: on"); break;
        default: lines << QStringLiteral("Port power: not switched off from this window"); break;
    }
    if (watched) lines << QStringLiteral("On the auto recovery list");
    return lines.join(u'\n');
}

}  // namespace talvern
