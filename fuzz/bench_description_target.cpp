// Fuzz target: a bench description file as anyone may write it. Whatever the
// text, reading it either builds a bench or says where it is wrong; a bench
// written back reads as the same bench; and the simulated USB stack answers
// every question about it within the buffers it is given.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/bus_view.h"
#include "core/description.h"
#include "core/description_error.h"
#include "usbbus/usb_ioctl.h"
#include "usbbus/ioctl_answers.h"

namespace {

using namespace vostrel::sim;
using namespace vostrel::usb;

// Asks with an input area of `inSize` bytes that starts with the port number
// and a descriptor request, and an output area of `outSize` bytes.
void ask(const vostrel::usbbus::Hub& hub, std::uint32_t code, std::uint32_t port, std::uint16_t value,
         std::uint16_t index, std::size_t inSize, std::size_t outSize) {
    std::vector<std::uint8_t> in(inSize, 0);
    std::vector<std::uint8_t> out(outSize, 0xCC);
    USB_DESCRIPTOR_REQUEST request{port, {0, 0, value, index, 0xFFFF}};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&request), std::min(inSize, sizeof request), in.begin());
    std::uint32_t returned = 0;
    if (vostrel::usbbus::answerHub(hub, code, in, out, returned) && returned > outSize) std::abort();
}

// Asks every question of `hub`'s ports, then of every hub below it.
void askAll(const vostrel::usbbus::Hub& hub) {
    for (std::uint32_t port = 0; port <= hub.portCount + 1u; ++port) {
        ask(hub, IOCTL_USB_GET_NODE_INFORMATION, port, 0, 0, 0, 76);
        for (std::size_t outSize : {0, 34, 35, 46, 365}) {
            ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, port, 0, 0, 4, outSize);
            ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, port, 0, 0, 4, outSize);
        }
        for (std::size_t outSize : {9, 10, 11, 300}) {
            ask(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, port, 0, 0, 4, outSize);
        }
        for (std::uint16_t value :
             {0x0100, 0x0200, 0x0201, 0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x0305, 0x0306, 0x03FF}) {
            for (std::uint16_t language : {0x0000, 0x0409, 0x0411}) {
                for (std::size_t outSize : {11, 12, 21, 267, 4096}) {
                    ask(hub, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, port, value, language, 12, outSize);
                }
            }
        }
    }
    for (const auto& [port, device] : hub.devices) {
        if (device.hub) askAll(*device.hub);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Document document;
    std::shared_ptr<const Bench> bench;
    try {
        document = parseDocument(std::string_view(reinterpret_cast<const char*>(data), size), "input");
        bench = std::make_shared<const Bench>(buildBench(document, "input"));
    } catch (const DescriptionError&) {
        return 0;
    }
    // Written back, it reads again (buildBench throws otherwise) and is written the same.
    const std::string written = formatDocument(document);
    const Document again = parseDocument(written, "written");
    buildBench(again, "written");
    if (formatDocument(again) != written) std::abort();

    const BusView view(bench, 0);
    for (const vostrel::usbbus::Controller& controller : view.model().controllers) {
        for (std::size_t outSize : {0, 5, 6, 7, 64}) {
            for (std::uint32_t code : {IOCTL_GET_HCD_DRIVERKEY_NAME, IOCTL_USB_GET_ROOT_HUB_NAME}) {
                std::vector<std::uint8_t> out(outSize, 0);
                std::uint32_t returned = 0;
                if (vostrel::usbbus::answerController(controller, code, {}, out, returned) && returned > outSize) {
                    std::abort();
                }
            }
        }
        if (controller.rootHub) askAll(*controller.rootHub);
    }
    return 0;
}
