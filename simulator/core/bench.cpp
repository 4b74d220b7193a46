#include "core/bench.h"

namespace vostrel::sim {

const std::u16string* LocalizedText::in(std::uint16_t language) const {
    for (const auto& [id, text] : byLanguage) {
        if (id == language) return &text;
    }
    return anyLanguage ? &*anyLanguage : nullptr;
}

State Device::stateAt(std::int64_t nowMs) const {
    if (state == State::Present && wedgesAt && nowMs >= *wedgesAt) return State::Wedged;
    return state;
}

const Device* findDevice(const Bench& bench, std::string_view pointer) {
    const Device* found = nullptr;
    forEachDevice(bench, [&](const Device& device) {
        if (device.pointer == pointer) found = &device;
    });
    return found;
}

const Device* parentOf(const Bench& bench, const Device& device) {
    const Device* parent = nullptr;
    forEachDevice(bench, [&](const Device& candidate) {
        for (const Device& child : candidate.devices) {
            if (&child == &device) parent = &candidate;
        }
    });
    return parent;
}

}  // namespace vostrel::sim
