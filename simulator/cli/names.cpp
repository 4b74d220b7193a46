#include "cli/names.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "core/descriptors.h"
#include "usbbus/utf.h"

namespace vostrel::sim {

namespace {

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// The device directly on `port` of `parent`'s children, or null.
const Device* onPort(const std::vector<Device>& devices, int port) {
    for (const Device& device : devices) {
        if (device.port == port) return &device;
    }
    return nullptr;
}

std::string hubRange(const BusView& view) {
    const std::size_t count = view.familyHubs().size();
    if (count == 0) return "the bus shows no hub of the family";
    if (count == 1) return "the bus shows hub 0 only";
    return "the bus shows hubs 0 to " + std::to_string(count - 1);
}

const Device& hubAtIndex(const BusView& view, std::string_view text) {
    const auto index = number(text);
    if (!index || static_cast<std::size_t>(*index) >= view.familyHubs().size()) {
        throw NameError("no hub " + std::string(text) + ": " + hubRange(view));
    }
    return *view.familyHubs()[*index];
}

const Device* atLocation(const Bench& bench, std::string_view text) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) return nullptr;
    const auto controller = number(text.substr(0, dash));
    if (!controller || static_cast<std::size_t>(*controller) >= bench.controllers.size()) return nullptr;
    const std::vector<Device>* devices = &bench.controllers[*controller].devices;
    const Device* found = nullptr;
    std::string_view rest = text.substr(dash + 1);
    for (;;) {
        const auto dot = rest.find('.');
        const auto port = number(rest.substr(0, dot));
        if (!port || (found = onPort(*devices, *port)) == nullptr) return nullptr;
        if (dot == std::string_view::npos) return found;
        devices = &found->devices;
        rest = rest.substr(dot + 1);
    }
}

const Device* withId(const Bench& bench, std::string_view id) {
    const Device* found = nullptr;
    forEachDevice(bench, [&](const Device& device) {
        if (device.id == id) found = &device;
    });
    return found;
}

std::string knownIds(const Bench& bench, bool hubsOnly) {
    std::string list;
    forEachDevice(bench, [&](const Device& device) {
        if (device.id.empty() || (hubsOnly && device.kind != Kind::FamilyHub)) return;
        list += (list.empty() ? "" : ", ") + device.id;
    });
    return list.empty() ? "" : " (ids: " + list + ")";
}

}  // namespace

const Device& deviceNamed(const BusView& view, std::string_view name) {
    if (const Device* device = withId(view.bench(), name)) return *device;
    if (const auto colon = name.find(':'); colon != std::string_view::npos) {
        const Device& hub = hubAtIndex(view, name.substr(0, colon));
        const auto port = number(name.substr(colon + 1));
        if (!port || *port < 1 || *port > kFamilyPortCount) {
            throw NameError("no port " + std::string(name.substr(colon + 1)) + " on hub " +
                            std::string(name.substr(0, colon)) + ": ports are 1 to 4");
        }
        if (const Device* device = onPort(hub.devices, *port)) return *device;
        throw NameError("nothing is attached to port " + std::to_string(*port) + " of hub " +
                        std::string(name.substr(0, colon)));
    }
    if (const Device* device = atLocation(view.bench(), name)) return *device;
    throw NameError("no device \"" + std::string(name) + "\" on the bench" + knownIds(view.bench(), false) +
                    "; a device is named by its id, by HUB:PORT such as 0:2, or by its location such as 0-1.2");
}

const Device& familyHubNamed(const BusView& view, std::string_view name) {
    if (number(name)) return hubAtIndex(view, name);
    const Device* hub = withId(view.bench(), name);
    if (hub == nullptr) hub = atLocation(view.bench(), name);
    if (hub == nullptr) {
        forEachDevice(view.bench(), [&](const Device& device) {
            if (hub == nullptr && device.kind == Kind::FamilyHub && usbbus::utf16ToUtf8(serialAsRead(device)) == name) {
                hub = &device;
            }
        });
    }
    if (hub == nullptr) {
        throw NameError("no hub \"" + std::string(name) + "\" on the bench" + knownIds(view.bench(), true) +
                        "; a hub is named by its index (" + hubRange(view) + "), id, location or serial number");
    }
    if (hub->kind != Kind::FamilyHub) {
        throw NameError(std::string(name) + " is not a hub of the family: only those switch port power");
    }
    return *hub;
}

std::string placeOf(const BusView& view, const Device& device) {
    const Device* parent = parentOf(view.bench(), device);
    const int index = parent != nullptr ? view.hubIndexOf(*parent) : -1;
    if (index < 0) return "at " + device.location;
    return "hub " + std::to_string(index) + " port " + std::to_string(device.port);
}

}  // namespace vostrel::sim
