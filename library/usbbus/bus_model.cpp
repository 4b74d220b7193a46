#include "usbbus/bus_model.h"

#include <algorithm>

namespace vostrel::usbbus {
namespace {

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

const Hub* findBelow(const Hub& hub, std::u16string_view name, int depthLeft) {
    if (sameName(hub.name, name)) return &hub;
    // A model may nest without end only by mistake; the scan stops far
    // earlier than this.
    if (depthLeft == 0) return nullptr;
    for (const auto& [port, device] : hub.devices) {
        if (!device.hub) continue;
        if (const Hub* found = findBelow(*device.hub, name, depthLeft - 1)) return found;
    }
    return nullptr;
}

}  // namespace

const Bytes* Device::string(std::uint8_t index, std::uint16_t language) const {
    auto found = strings.find({index, language});
    if (found == strings.end()) found = strings.find({index, kEveryLanguage});
    if (found == strings.end() || !found->second) return nullptr;
    return &*found->second;
}

const Device* Hub::device(int port) const {
    const auto found = devices.find(port);
    return found == devices.end() ? nullptr : &found->second;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

const Hub* findHub(const Bus& bus, std::u16string_view name) {
    constexpr int kDeepestModel = 32;
    for (const Controller& controller : bus.controllers) {
        if (!controller.rootHub) continue;
        if (const Hub* found = findBelow(*controller.rootHub, name, kDeepestModel)) return found;
    }
    return nullptr;
}

const Controller* findController(const Bus& bus, std::u16string_view path) {
    constexpr std::u16string_view numbered = u"\\\\.\\HCD";
    if (path.size() == numbered.size() + 1 && sameName(path.substr(0, numbered.size()), numbered) &&
        path.back() >= u'0' && path.back() <= u'9') {
        const int number = path.back() - u'0';
        for (const Controller& controller : bus.controllers) {
            if (controller.number == number) return &controller;
        }
        return nullptr;
    }
    for (const Controller& controller : bus.controllers) {
        if (!controller.interfacePath.empty() && sameName(controller.interfacePath, path)) return &controller;
    }
    return nullptr;
}

}  // namespace vostrel::usbbus
