// Fuzz target: a bus described by the input, whose every answer the input
// may then fail, shorten, lengthen beyond its buffer or overwrite. The
// Windows reader must stay inside its buffers and close every handle it
// opens; the walk's records of the bus it read, and the views built from
// them, must keep their counts within the tables and their texts within
// their fields.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "backends/bus_sources.h"
#include "backends/usb_stack_reader.h"
#include "bus_records.h"
#include "frame/locks.h"
#include "frame/text.h"
#include "fuzz_input.h"
#include <vostrel/hub_api.h>
#include "scan/monitor_view.h"
#include "usb_stack_double.h"

namespace vostrel::fuzz {
namespace {

using test::UsbDeviceDouble;
using test::UsbHubDouble;

void check(bool condition) {
    if (!condition) std::abort();
}

void checkText(const char16_t (&text)[kTextUnits]) { check(textLength(text) < kTextUnits); }

// Reads past the end of the input give 0, and 0 picks the ordinary case: a
// root hub with four family hubs, each with names and serials of their own
// and four connected devices.
struct Bus {
    std::u16string hubName() { return pick(u'N', names); }

    void describeHub(UsbHubDouble hub, int depth) {
        hub->olderDriver = in.below(8) == 1;
        hub->answersNodeInformation = in.below(16) != 1;
        const int ports = (in.below(9) + 4) % 9;
        for (int port = 1; port <= ports; ++port) {
            // 0: a hub on the root hub, a device further down; 1: a device;
            // 2: a hub; 3: nothing.
            const int kind = in.below(4);
            if (kind == 3) continue;
            if (kind == 1 || depth >= 3 || (kind == 0 && depth > 0)) {
                describeDevice(hub.plug(port));
                continue;
            }
            const std::u16string name = hubName();
            UsbDeviceDouble device = hub.plugHub(port, name, (in.below(9) + 4) % 9);
            describeDevice(device);
            describeHub(device.hub(), depth + 1);
        }
    }

    // Changes the answer the double made.
    void spoil(test::IoctlAnswer& answer) {
        switch (in.below(16)) {
        case 11: answer.ok = false; break;
        case 12: answer.bytesReturned = in.u32(); break;
        case 13: answer.bytesReturned = in.u32() % (answer.out.size() + 1); break;
        case 14:
        case 15:
            for (int n = in.below(8) + 1; n > 0 && !answer.out.empty(); --n) {
                const std::size_t at = in.u16() % answer.out.size();
                answer.out[at] = in.byte();
            }
            break;
        default: break;
        }
    }

    static constexpr std::uint16_t kLanguages[] = {0x0409, 0x0411, 0x0407, 0x0000};

    // Now and then a text from a small pool, so hubs meet themselves and
    // each other and identities are shared; else one of its own.
    std::u16string pick(char16_t prefix, int& counter) {
        if (in.below(4) == 1) return {prefix, static_cast<char16_t>(u'0' + in.below(4))};
        const int n = counter++;
        return {prefix, static_cast<char16_t>(u'A' + n % 26), static_cast<char16_t>(u'A' + n / 26 % 26)};
    }

    // One value read per statement: argument evaluation order differs
    // between compilers, and a saved input must describe the same bus.
    void describeDevice(UsbDeviceDouble device) {
        const int ids = in.below(4);  // 0, 1: a family hub's; 2: another product; 3: another make
        const std::uint16_t productId = ids == 0 ? 0x2744 : ids == 1 ? 0x5744 : in.u16();
        device.ids(ids == 3 ? 0x05E3 : 0x0424, productId);
        const int status = in.below(8);
        device.status(status == 0 ? 1u : status == 1 ? 0u : status == 6 ? in.u32() : status % 6u);

        std::vector<std::uint16_t> languages((in.below(4) + 1) % 4);
        for (auto& id : languages) id = kLanguages[in.below(4)];
        device.languages(languages);
        if (!in.flag()) device.manufacturer(in.text(130));
        if (!in.flag()) device.product(in.text(130));
        if (!in.flag()) device.serial(pick(u'S', serials));
        if (in.flag()) {
            device.descriptor().iManufacturer = in.byte();
            device.descriptor().iProduct = in.byte();
            device.descriptor().iSerialNumber = in.byte();
        }
        for (int n = in.below(6); n > 0; --n) {  // strings answered with these bytes, or refused
            const std::uint8_t index = in.byte();
            const std::uint16_t language = kLanguages[in.below(4)];
            device.rawString(index, language, in.flag() ? std::nullopt : std::optional(in.bytes(260)));
        }
        const int configuration = in.below(4);
        if (configuration == 1) {
            const std::uint8_t iConfiguration = in.byte();
            device.configuration(UsbDeviceDouble::configurationWith(iConfiguration, in.byte()));
        }
        if (configuration == 2) device.configuration(in.bytes(64));
        if (configuration == 3) device.configuration(std::nullopt);
    }

    FuzzInput& in;
    int names = 0;
    int serials = 0;
};

}  // namespace
}  // namespace vostrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel;
    using fuzz::check;
    using fuzz::checkText;
    [[maybe_unused]] static const bool locksReady = (createLocks(), true);

    fuzz::FuzzInput in(data, size);
    fuzz::Bus bus{in};
    test::UsbStackDouble stack;
    for (int c = in.below(3) + 1; c > 0; --c) {
        test::UsbControllerDouble setup;
        if (in.below(4) != 1) setup.number = in.below(10);
        if (in.flag()) setup.interfacePath = u"\\\\?\\IF" + std::u16string(1, static_cast<char16_t>(u'0' + c));
        if (in.below(4) == 1) setup.driverKey.reset();
        if (setup.driverKey) setup.driverKey = {u'K', static_cast<char16_t>(u'0' + in.below(3))};
        test::UsbControllerHandle controller = stack.addController(std::move(setup));
        if (in.below(8) != 1) {
            const std::u16string name = bus.hubName();
            bus.describeHub(controller.rootHub(name, (in.below(9) + 4) % 9), 0);
        }
    }
    stack.interfaceListFails = in.below(8) == 1;
    stack.addFault([&bus](const test::IoctlCall&, test::IoctlAnswer& answer) { bus.spoil(answer); });

    const auto read = backends::readBusThroughUsbStack(stack);
    check(stack.openHandles() == 0 && stack.badCloses() == 0);
    DeviceSerials serials;
    const auto scan = test::walkRecords(read, &serials);
    check(scan->count5744 <= kMaxHubs && scan->count2744 <= kMaxHubs && scan->identityCount <= kMaxHubs);
    for (const auto& slot : scan->serials) checkText(slot);
    for (const auto& serial : serials.ports2744) check(serial.size() < kTextUnits);
    for (const auto& serial : serials.ports5744) check(serial.size() < kTextUnits);

    // The library's exports over the bus as read.
    const auto source = test::sourceOf(read);
    backends::useBusSource(source.get());

    const auto block = std::make_unique<DeviceInfoBlock>();
    Hub_GetDeviceInfo(block.get());
    check(block->hubCount <= kMaxHubs);
    for (const PortInfoRecord& port : block->ports) {
        checkText(port.product);
        checkText(port.manufacturer);
    }
    BuildMonitorSnapshot(block.get());
    for (int h = -1; h <= kMaxHubs; ++h) {
        for (int p = -1; p <= kPortsPerHub; ++p) {
            DeviceInfoRecord record;
            const bool inside = h >= 0 && p >= 0 && p < kPortsPerHub;
            check(Hub_GetDeviceInfo_Index_and_Port(&record, h, p) == 0 || inside);
            check(GetMonitorPortInfo(h, &record, p) == 0 || inside);
            checkText(record.product);
        }
    }
    backends::useBusSource(nullptr);
    return 0;
}
