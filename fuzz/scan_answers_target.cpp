// Fuzz target: a bus described by the input, whose every answer the input
// may then fail, shorten, lengthen beyond its buffer or overwrite. The scan
// and the views built from it must stay inside their buffers, keep their
// counts within the tables, and close every handle they open.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "frame/locks.h"
#include "frame/text.h"
#include "fuzz_input.h"
#include "hub_api.h"
#include "platform/usb_stack.h"
#include "scan/monitor_view.h"
#include "scan/scan_buffer.h"
#include "scan/usb_tree_scan.h"
#include "usb_stack_double.h"

namespace vostrel::fuzz {
namespace {

using test::UsbDeviceDouble;
using test::UsbHubDouble;
using test::UsbStackDouble;

void check(bool condition) {
    if (!condition) std::abort();
}

// Every read past the end of the input gives 0, and 0 picks the ordinary
// case: an input runs out into a root hub with four family hubs, each with
// names and serials of their own and four connected, configured devices.
struct Bus {
    int names = 0;
    int serials = 0;
};

// "<prefix>AA", "<prefix>BA", ...: a text of its own for each call.
std::u16string uniqueText(char16_t prefix, int& counter) {
    const int n = counter++;
    return {prefix, static_cast<char16_t>(u'A' + n % 26), static_cast<char16_t>(u'A' + n / 26 % 26)};
}

// Now and then a name from a small pool, so hubs meet themselves and each
// other.
std::u16string hubName(FuzzInput& in, Bus& bus) {
    if (in.below(4) == 1) return u"P" + std::u16string(1, static_cast<char16_t>(u'0' + in.below(4)));
    return uniqueText(u'N', bus.names);
}

// Likewise serials, so identities are shared now and then.
std::u16string serial(FuzzInput& in, Bus& bus) {
    switch (in.below(4)) {
    case 1: return u"S" + std::u16string(1, static_cast<char16_t>(u'0' + in.below(4)));
    case 2: return in.text(130);
    default: return uniqueText(u'U', bus.serials);
    }
}

void describeDevice(FuzzInput& in, Bus& bus, UsbDeviceDouble& device) {
    const std::uint16_t vendorId = in.below(4) == 0 ? 0x0424 : in.u16();
    std::uint16_t productId = 0x2744;
    switch (in.below(3)) {
    case 1: productId = 0x5744; break;
    case 2: productId = in.u16(); break;
    default: break;
    }
    const std::uint16_t release = in.u16();
    device.ids(vendorId, productId, release);
    const std::uint8_t deviceClass = in.byte();
    device.deviceClass(deviceClass, in.byte());
    device.speed(in.byte() % 5);
    const int status = in.below(8);
    device.status(status == 0 ? 1u : status == 1 ? 0u : status == 6 ? in.u32() : static_cast<std::uint32_t>(status % 6));
    device.configured(static_cast<std::uint8_t>((in.byte() + 1) % 3));
    device.openPipes(in.below(31));

    static constexpr std::uint16_t kLanguages[] = {0x0409, 0x0411, 0x0407, 0x0000};
    std::vector<std::uint16_t> languages((in.below(4) + 1) % 4);
    for (auto& id : languages) id = kLanguages[in.below(4)];
    device.languages(languages);
    if (!in.flag()) device.manufacturer(in.text(130));
    if (!in.flag()) device.product(in.text(130));
    if (!in.flag()) device.serial(serial(in, bus));
    if (in.flag()) {
        const std::uint8_t manufacturer = in.byte();
        const std::uint8_t product = in.byte();
        device.stringIndexes(manufacturer, product, in.byte());
    }
    for (int n = in.below(4); n > 0; --n) {
        const std::uint8_t index = in.byte();
        const std::uint16_t language = kLanguages[in.below(4)];
        device.rawString(index, language, in.bytes(260));
    }
    for (int n = in.below(3); n > 0; --n) {
        const std::uint8_t index = in.byte();
        device.refuseString(index, kLanguages[in.below(4)]);
    }
    switch (in.below(4)) {
    case 0: break;
    case 1: {
        const std::uint8_t iConfiguration = in.byte();
        device.configuration(UsbDeviceDouble::configurationWith(iConfiguration, in.byte()));
        break;
    }
    case 2: device.configuration(in.bytes(64)); break;
    default: device.noConfiguration(); break;
    }
}

void describeHub(FuzzInput& in, Bus& bus, UsbHubDouble& hub, int depth) {
    hub.olderDriver(in.below(8) == 1);
    hub.failNodeInformation(in.below(16) == 1);
    const int ports = (in.below(9) + 4) % 9;
    for (int port = 1; port <= ports; ++port) {
        // 0: a hub below the root hub, a device further down; 1: a device;
        // 2: a hub (of the family unless its identifiers say otherwise);
        // 3: a hub of another make; 4: nothing.
        const int kind = in.below(5);
        if (kind == 4) continue;
        const bool isHub = depth < 3 && ((kind == 0 && depth == 0) || kind == 2 || kind == 3);
        if (!isHub) {
            describeDevice(in, bus, hub.plug(port));
            continue;
        }
        const std::u16string name = hubName(in, bus);
        UsbDeviceDouble& device = hub.plugHub(port, name, (in.below(9) + 4) % 9);
        describeDevice(in, bus, device);
        if (kind == 3) device.ids(0x05E3, 0x0610);
        describeHub(in, bus, *device.hub(), depth + 1);
    }
}

// Changes the answer the double made, as the input says.
void spoil(FuzzInput& in, const test::IoctlCall&, test::IoctlAnswer& answer) {
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

void checkText(const char16_t (&text)[kTextUnits]) { check(textLength(text) < kTextUnits); }

}  // namespace
}  // namespace vostrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel;
    using namespace vostrel::fuzz;
    static const bool locksReady = (createLocks(), true);
    (void)locksReady;

    FuzzInput in(data, size);
    UsbStackDouble stack;
    Bus bus;
    for (int c = in.below(3) + 1; c > 0; --c) {
        test::ControllerSpec spec;
        if (in.below(4) != 1) spec.number = in.below(10);
        if (in.flag()) spec.interfacePath = u"\\\\?\\IF" + std::u16string(1, static_cast<char16_t>(u'0' + c));
        if (in.below(4) == 1) {
            spec.driverKey.reset();
        } else {
            spec.driverKey = u"K" + std::u16string(1, static_cast<char16_t>(u'0' + in.below(3)));
        }
        test::UsbControllerDouble& controller = stack.addController(spec);
        if (in.below(8) != 1) {
            const std::u16string name = hubName(in, bus);
            describeHub(in, bus, controller.rootHub(name, (in.below(9) + 4) % 9), 0);
        }
    }
    stack.interfaceListFails(in.below(8) == 1);
    stack.addFault([&in](const test::IoctlCall& call, test::IoctlAnswer& answer) { spoil(in, call, answer); });
    platform::useUsbStack(&stack);

    const auto scan = std::make_unique<ScanBuffer>();
    ScanUsbTree(*scan);
    check(scan->count5744 <= kMaxHubs && scan->count2744 <= kMaxHubs && scan->identityCount <= kMaxHubs);
    for (const auto& slot : scan->serials) checkText(slot);

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

    check(stack.openHandles() == 0 && stack.badCloses() == 0);
    platform::useUsbStack(nullptr);
    return 0;
}
