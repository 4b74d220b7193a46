// Fuzz target: the kernel's USB attributes as the input makes them: the
// binary `descriptors` of each device (the kernel's copy of what the device
// sent), its texts (speed, device number, configuration value, strings) and
// the ports' states, and a hub's hub descriptor. Turning them into the bus
// model, and naming a configuration's first interface, must take any bytes, and the scan of a bus so made, answered through
// the translator, must stay inside its buffers and keep its counts within its
// tables; the hub descriptor is read only when it is whole.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "frame/locks.h"
#include "frame/text.h"
#include "fuzz_input.h"
#include <vostrel/hub_api.h>
#include "backends/bus_sources.h"
#include "usbbus/family_hubs.h"
#include "usbbus/hub_requests.h"
#include "usbbus/kernel_attributes.h"

namespace vostrel::fuzz {
namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::string textOf(FuzzInput& in, std::size_t max) {
    const auto bytes = in.bytes(max);
    return {bytes.begin(), bytes.end()};
}

// A family hub's device descriptor, which the input may start a device's
// `descriptors` with, so that the scan's handling of the family is reached.
usbbus::Bytes familyHubDescriptor(std::uint8_t productHigh) {
    return {18, 1, 0x10, 0x02, 9, 0, 1, 64, 0x24, 0x04, 0x44, productHigh, 0x00, 0x02, 1, 2, 3, 1};
}

class Kernel {
public:
    explicit Kernel(FuzzInput& in) : in_(in) {}

    std::unique_ptr<usbbus::Hub> hub(int depth) {
        auto hub = std::make_unique<usbbus::Hub>();
        hub->kernelName = "1-" + std::to_string(++hubs_);
        hub->portCount = static_cast<std::uint8_t>(in_.below(6));
        hub->superSpeed = in_.flag();
        for (int port = 1; port <= hub->portCount; ++port) {
            switch (in_.below(3)) {
                case 0: {
                    const std::uint16_t status = in_.u16();
                    const std::string state = textOf(in_, 16);
                    const bool attached = usbbus::portStateAttached(state).value_or(false);
                    const std::uint32_t seen = usbbus::statusOfPortWithoutDevice(status);
                    if (attached || seen != usbbus::kNoDeviceConnected) {
                        hub->devices[port].connectionStatus = attached ? usbbus::kDeviceFailedEnumeration : seen;
                    }
                    break;
                }
                case 1:
                    if (auto device = this->device(depth)) hub->devices[port] = std::move(*device);
                    break;
                default: break;
            }
        }
        return hub;
    }

private:
    std::optional<usbbus::Device> device(int depth) {
        usbbus::Bytes raw;
        const int family = in_.below(3);
        if (family != 0) raw = familyHubDescriptor(family == 1 ? 0x27 : 0x57);
        for (int chunks = in_.below(4); chunks > 0; --chunks) {
            const auto chunk = in_.bytes(255);
            raw.insert(raw.end(), chunk.begin(), chunk.end());
        }
        auto descriptors = usbbus::parseDescriptors(raw);
        if (!descriptors) return std::nullopt;
        const std::string speedText = textOf(in_, 12);
        const std::string addressText = textOf(in_, 6);
        const std::string configurationText = textOf(in_, 4);
        const std::uint8_t speed = usbbus::parseSpeed(speedText).value_or(usb::UsbFullSpeed);
        const auto address = usbbus::parseDecimal(addressText, 0xFFFF).value_or(0);
        const auto configuration = usbbus::parseDecimal(configurationText, 0xFF).value_or(0);

        const auto sources = usbbus::stringSources(*descriptors, static_cast<std::uint8_t>(configuration));
        if (usbbus::firstInterfaceNumber(*descriptors, static_cast<std::uint8_t>(configuration))) {
            check(!descriptors->configurations.empty());
        }
        usbbus::Device device = usbbus::deviceFromKernel(std::move(*descriptors), speed,
                                                         static_cast<std::uint16_t>(address),
                                                         static_cast<std::uint8_t>(configuration));
        for (const usbbus::StringSource& source : sources) {
            // Sometimes a serial shared with an earlier hub, so identities join.
            const std::string text = in_.below(4) == 0 ? std::string("S") + char('0' + in_.below(3)) : textOf(in_, 255);
            usbbus::addString(device, source.index, text);
        }
        if (device.isHub && configuration != 0 && depth < 3 && in_.flag()) device.hub = hub(depth + 1);
        return device;
    }

    FuzzInput& in_;
    int hubs_ = 0;
};

class FuzzedSource final : public backends::BusSource {
public:
    explicit FuzzedSource(std::shared_ptr<const usbbus::Bus> bus) : bus_(std::move(bus)) {}
    std::shared_ptr<const usbbus::Bus> read() override { return bus_; }

private:
    std::shared_ptr<const usbbus::Bus> bus_;
};

}  // namespace
}  // namespace vostrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel;
    using fuzz::check;
    [[maybe_unused]] static const bool locksReady = (createLocks(), true);

    fuzz::FuzzInput in(data, size);
    fuzz::Kernel kernel(in);
    auto bus = std::make_shared<usbbus::Bus>();
    bus->opensByName = false;
    for (int c = in.below(3) + 1; c > 0; --c) bus->controllers.emplace_back().rootHub = kernel.hub(0);
    fuzz::FuzzedSource source(bus);
    backends::useBusSource(&source);

    const auto hubs = usbbus::walkFamilyHubs(*bus);
    check(hubs.size() <= static_cast<std::size_t>(kMaxHubs));
    for (const usbbus::FamilyHub& hub : hubs) check(hub.serial.size() < kTextUnits);
    const auto block = std::make_unique<DeviceInfoBlock>();
    Hub_GetDeviceInfo(block.get());
    check(block->hubCount <= kMaxHubs);
    for (const PortInfoRecord& port : block->ports) {
        check(textLength(port.product) < kTextUnits && textLength(port.manufacturer) < kTextUnits);
    }
    backends::useBusSource(nullptr);

    // What is left: a hub's answer to the hub descriptor request, which the
    // native vendor library reads before it switches a port through `disable`,
    // and that the listing of every hub shows.
    const auto answer = in.bytes(64);
    for (const bool superSpeed : {false, true}) {
        if (usbbus::hubPortPowerSwitching(answer, superSpeed)) check(answer.size() >= 5);
    }
    return 0;
}
