#include "program_core/port_texts.h"

#include <iterator>

#include "program_core/text.h"
#include "text/visible_text.h"

namespace vostrel::program {
namespace {

std::string portPrefix(const PortView& port) { return "[Port" + std::to_string(port.portIndex + 1) + "] "; }

std::string ids(const PortView& port) { return "VID:" + hexId(port.vendorId) + " PID:" + hexId(port.productId); }

std::string stateLine(PortState state) {
    switch (state) {
        case PortState::Working: return "Working";
        case PortState::Empty: return "Empty";
        case PortState::Failed: return "Attached, not working";
        case PortState::NotConfigured: return "Attached, not working: not configured";
        case PortState::SwitchedOff: return "Switched off";
    }
    return {};
}

std::string powerLine(PortPower power) {
    switch (power) {
        case PortPower::On: return "Port power: on";
        case PortPower::Off: return "Port power: off (the hub reports none of its ports powered)";
        case PortPower::Unknown:
            return "Port power: not known (the hub reports only whether any of its ports is powered)";
    }
    return {};
}

}  // namespace

std::string connectionStatusName(std::uint32_t status) {
    static constexpr const char* kNames[] = {"NoDeviceConnected",       "DeviceConnected",
                                             "DeviceFailedEnumeration", "DeviceGeneralFailure",
                                             "DeviceCausedOvercurrent", "DeviceNotEnoughPower"};
    if (status < std::size(kNames)) return kNames[status];
    return "unknown status " + std::to_string(status);
}

std::string speedName(std::uint8_t speed) {
    static constexpr const char* kNames[] = {"low speed (1.5 Mbit/s)", "full speed (12 Mbit/s)",
                                             "high speed (480 Mbit/s)", "SuperSpeed (5 Gbit/s)"};
    if (speed < std::size(kNames)) return kNames[speed];
    return "unknown speed " + std::to_string(speed);
}

std::string deviceName(const std::string& manufacturer, const std::string& product) {
    return manufacturer + ' ' + product;
}

std::string hubLabel(int hubIndex) { return "Orvique [" + std::to_string(hubIndex) + "]"; }

std::string hubToolTip(const HubView& hub) {
    if (!hub.identity) return {};
    const std::string serial = hub.identity->serial.empty() ? "none reported" : text::visibleText(hub.identity->serial);
    return "Serial number: " + serial + "\nLocation: " + hub.identity->location;
}

std::string portLabel(const PortView& port) {
    switch (port.state) {
        case PortState::Working:
            return portPrefix(port) + deviceName(port.manufacturer, port.product) + " - " + ids(port);
        case PortState::NotConfigured:
            return portPrefix(port) + connectionStatusName(port.connectionStatus) + ", not configured - " + ids(port);
        case PortState::Failed: return portPrefix(port) + connectionStatusName(port.connectionStatus);
        case PortState::Empty:
        case PortState::SwitchedOff: break;
    }
    return portPrefix(port) + "NoDeviceConnected";
}

std::string portToolTip(const PortView& port) {
    std::string tip = stateLine(port.state);
    tip += "\nConnection status: " + connectionStatusName(port.connectionStatus);
    if (port.connectionStatus != HUB_NO_DEVICE_CONNECTED) {
        tip += "\nSpeed: " + speedName(port.speed);
        tip += "\nVID:PID: " + hexId(port.vendorId) + ':' + hexId(port.productId);
    }
    tip += '\n' + powerLine(port.power);
    if (port.watched) tip += "\nOn the auto recovery list";
    return tip;
}

}  // namespace vostrel::program
