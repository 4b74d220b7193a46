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

std::vector<Notice> RecoveryFollower::logRead(const std::vector<std::string>& lines) {
    std::vector<Notice> notices;
    if (lines.size() < linesSeen_) linesSeen_ = 0;
    if (!started_) {
        started_ = true;
        linesSeen_ = lines.size();
        return notices;
    }
    // A last line still being written comes again whole: it counts once it is whole.
    for (std::size_t i = linesSeen_; i < lines.size(); ++i) {
        const LogLine line = readLogLine(lines[i]);
        const auto event = interpretLogLine(line);
        if (!event) continue;
        notices.push_back(powerCycleNotice(line));
        // Only the family's hubs are on the bus this follower reads.
        if (event->hubLocation.empty()) {
            std::erase_if(awaited_, [&](const Awaited& awaited) {
                return awaited.hubIndex == event->hubIndex && awaited.portIndex == event->portNumber - 1;
            });
            awaited_.push_back({event->hubIndex, event->portNumber - 1, event->vendorId, event->productId});
        }
        linesSeen_ = i + 1;
    }
    return notices;
}

std::vector<Notice> RecoveryFollower::busRead(const BusView& bus) {
    std::vector<Notice> notices;
    std::erase_if(awaited_, [&](const Awaited& awaited) {
        const PortView* port = bus.port(awaited.hubIndex, awaited.portIndex);
        if (port == nullptr || port->state != PortState::Working || port->vendorId != awaited.vendorId ||
            port->productId != awaited.productId) {
            return false;
        }
        notices.push_back(recoveredNotice(*port));
        return true;
    });
    return notices;
}

}  // namespace vostrel::program
