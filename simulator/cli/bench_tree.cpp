#include "cli/bench_tree.h"

#include <cstdio>

#include "core/descriptors.h"
#include "usbbus/utf.h"

namespace vostrel::sim {

namespace {

constexpr const char* kSpeedNames[] = {"low", "full", "high", "super"};

std::string hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    return buffer;
}

std::string seconds(std::int64_t ms) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f s", static_cast<double>(ms) / 1000.0);
    return buffer;
}

// A string in the device's first language, as a tree shows it.
std::string firstText(const Device& device, const std::optional<LocalizedText>& text) {
    if (!text) return "";
    const std::u16string* value = nullptr;
    for (std::uint16_t language : device.languages) {
        if ((value = text->in(language)) != nullptr) break;
    }
    if (value == nullptr && text->anyLanguage) value = &*text->anyLanguage;
    if (value == nullptr && !text->byLanguage.empty()) value = &text->byLanguage.front().second;
    if (value == nullptr) return "";
    // Appended piece by piece: GCC 12 takes `"\"" + text` for an overlapping
    // copy (-Wrestrict) in release builds.
    std::string quoted = "\"";
    quoted += usbbus::utf16ToUtf8(*value);
    quoted += '"';
    return quoted;
}

std::string statusText(std::uint32_t status) {
    const char* name = statusName(status);
    return "status " + std::to_string(status) + (*name != '\0' ? std::string(" (") + name + ")" : "");
}

// Why a device that is plugged in does not show on the bus.
std::string missingBecause(const BusView& view, const Device& device) {
    const Device* child = &device;
    for (const Device* parent = parentOf(view.bench(), device); parent != nullptr;
         child = parent, parent = parentOf(view.bench(), *parent)) {
        if (parent->kind == Kind::FamilyHub && !parent->portPower[child->port - 1]) {
            return child == &device ? "its port has no power" : "a port above it has no power";
        }
        const PortView* seen = view.portOf(*parent);
        if (seen == nullptr || !isWorking(*seen)) return "the hub above it does not work";
    }
    return "it does not show";
}

class TreeWriter {
public:
    explicit TreeWriter(const BusView& view) : view_(view) {}

    std::string write() {
        for (const Controller& controller : view_.bench().controllers) writeController(controller);
        const std::size_t hubs = view_.familyHubs().size();
        out_ += std::to_string(hubs) + (hubs == 1 ? " hub" : " hubs") + " of the family on the bus\n";
        return out_;
    }

private:
    void line(int depth, const std::string& text) { out_ += std::string(2 * depth, ' ') + text + "\n"; }

    void writeController(const Controller& controller) {
        std::string text = "controller " + std::to_string(controller.position);
        if (!controller.id.empty()) text += " " + controller.id;
        text += ":";
        if (controller.number) text += " \\\\.\\HCD" + std::to_string(*controller.number);
        if (!controller.interfacePath.empty()) {
            text += std::string(controller.number ? "," : "") + " interface " + usbbus::utf16ToUtf8(controller.interfacePath);
        }
        text += std::string(controller.usb3 ? ", USB 3" : ", USB 2.0") + " root hub with " +
                std::to_string(controller.portCount) + (controller.portCount == 1 ? " port" : " ports");
        line(0, text);
        for (const Device& device : controller.devices) writeDevice(device, nullptr, 1);
    }

    void writeDevice(const Device& device, const Device* parent, int depth) {
        std::string text = "port " + std::to_string(device.port);
        if (parent != nullptr && parent->kind == Kind::FamilyHub) {
            text += parent->portPower[device.port - 1] ? " (on)" : " (off)";
        }
        text += ": " + (device.id.empty() ? std::string() : device.id + " ") + "[" + device.location + "] ";
        if (device.kind == Kind::FamilyHub) {
            const int index = view_.hubIndexOf(device);
            text += index >= 0 ? "hub " + std::to_string(index) + ", family hub" : "family hub";
            const std::string serial = usbbus::utf16ToUtf8(serialAsRead(device));
            text += serial.empty() ? ", no serial number" : ", serial \"" + serial + "\"";
            if (device.programmed) {
                text += ", programmed with configuration " + std::to_string(device.programmed->configuration) +
                        " and serial " + std::to_string(device.programmed->serial);
            }
        } else {
            text += hex(device.vendorId) + ":" + hex(device.productId);
            if (device.kind == Kind::Hub) {
                text += " hub";
                if (device.hasSuperSpeedSide()) text += " (SuperSpeed " + hex(device.superSpeedProductId) + ")";
                text += ", " + std::to_string(device.portCount) + " ports";
            } else {
                for (const auto* field : {&device.manufacturer, &device.product}) {
                    if (const std::string shown = firstText(device, *field); !shown.empty()) text += " " + shown;
                }
                text += ", " + std::string(kSpeedNames[static_cast<int>(device.speed)]) + " speed";
                if (const PortView* seen = view_.portOf(device); seen != nullptr && seen->speed != device.speed) {
                    text += std::string(" (") + kSpeedNames[static_cast<int>(seen->speed)] + " here)";
                }
            }
        }
        text += ", " + stateText(view_, device);
        line(depth, text);

        if (device.kind == Kind::FamilyHub) {
            for (int port = 1; port <= kFamilyPortCount; ++port) {
                const Device* child = nullptr;
                for (const Device& candidate : device.devices) {
                    if (candidate.port == port) child = &candidate;
                }
                if (child != nullptr) writeDevice(*child, &device, depth + 1);
                else line(depth + 1, "port " + std::to_string(port) + (device.portPower[port - 1] ? " (on)" : " (off)") +
                                         ": nothing attached");
            }
        } else {
            for (const Device& child : device.devices) writeDevice(child, &device, depth + 1);
        }
    }

    const BusView& view_;
    std::string out_;
};

}  // namespace

std::string benchTree(const BusView& view) { return TreeWriter(view).write(); }

const char* statusName(std::uint32_t status) {
    switch (status) {
        case 0: return "NoDeviceConnected";
        case 1: return "DeviceConnected";
        case 2: return "DeviceFailedEnumeration";
        case 3: return "DeviceGeneralFailure";
        case 4: return "DeviceCausedOvercurrent";
        case 5: return "DeviceNotEnoughPower";
        default: return "";
    }
}

std::string stateText(const BusView& view, const Device& device) {
    std::string text;
    const State state = device.stateAt(view.now());
    switch (state) {
        case State::Present: text = "working"; break;
        case State::Unplugged: return "unplugged";
        case State::Failed: text = "failed, " + statusText(device.failStatus); break;
        case State::Unconfigured: text = "not configured"; break;
        case State::Wedged:
            text = device.wedgedAs == WedgeMode::Unconfigured
                       ? "wedged: not configured until its port is power-cycled"
                       : "wedged: fails with " + statusText(device.failStatus) + " until its port is power-cycled";
            break;
    }
    if (device.flakyMs) {
        if (state == State::Present && device.wedgesAt) {
            text += "; flaky, wedges in " + seconds(*device.wedgesAt - view.now());
        } else {
            text += "; flaky, wedges " + seconds(*device.flakyMs) + " after each heal";
        }
    }
    if (view.portOf(device) == nullptr) text += "; not on the bus: " + missingBecause(view, device);
    return text;
}

}  // namespace vostrel::sim
