#include "program_core/recovery_notices.h"

#include "program_core/port_texts.h"

namespace vostrel::program {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string loggedDeviceName(const LogLine& line) {
    const std::string name = trimmed(deviceName(line.manufacturer, line.product));
    if (!name.empty()) return name;
    return "VID:PID " + line.vendorId + ':' + line.productId;
}

Notice powerCycleNotice(const LogLine& line) {
    return {"Auto recovery: power-cycling a port",
            loggedDeviceName(line) + " (" + eventName(line.eventCode) + ") on hub " + line.hubIndex + ", port " +
                line.portNumber + ": its port is switched off and on again."};
}

Notice recoveredNotice(const PortView& port) {
    return {"Auto recovery: device back",
            trimmed(deviceName(port.manufacturer, port.product)) + " works again on hub " +
                std::to_string(port.hubIndex) + ", port " + std::to_string(port.portIndex + 1) + "."};
}

}  // namespace vostrel::program
