// The host's own USB stack on Linux: the kernel's view of the bus (sysfs),
// read afresh at the start of every scan and answered through the bus model's
// translator. A scan lists the host-controller interfaces from member 0 on
// before it opens anything that exists here (no "\\.\HCD<n>" name opens), so
// that is when the bus is read; the controllers and hubs it then opens are
// those of that reading.
#include <memory>

#include "backends/sysfs_usb.h"
#include "platform/usb_stack.h"
#include "usbbus/model_usb_stack.h"

namespace vostrel::platform {
namespace {

class SysfsUsbStack final : public usbbus::ModelUsbStack {
private:
    std::shared_ptr<const usbbus::Bus> busToOpen() override { return current_; }
    std::shared_ptr<const usbbus::Bus> busToList(std::uint32_t index) override {
        if (index == 0 || !current_) current_ = readSysfsUsbBus().bus;
        return current_;
    }

    std::shared_ptr<const usbbus::Bus> current_;
};

}  // namespace

std::unique_ptr<UsbStack> makeHostUsbStack() { return std::make_unique<SysfsUsbStack>(); }

}  // namespace vostrel::platform
