#include "bus_records.h"

#include "scan/usb_tree_scan.h"
#include "usbbus/model_usb_stack.h"

namespace vostrel::test {
namespace {

class FixedBusStack final : public usbbus::ModelUsbStack {
public:
    explicit FixedBusStack(std::shared_ptr<const usbbus::Bus> bus) : bus_(std::move(bus)) {}

private:
    std::shared_ptr<const usbbus::Bus> busToOpen() override { return bus_; }
    std::shared_ptr<const usbbus::Bus> busToList(std::uint32_t) override { return bus_; }

    std::shared_ptr<const usbbus::Bus> bus_;
};

}  // namespace

// Today's walk answers the bus through the translator and scans that.
std::unique_ptr<ScanBuffer> walkRecords(std::shared_ptr<const usbbus::Bus> bus, DeviceSerials* serials) {
    const auto stack = stackAnswering(std::move(bus));
    auto records = std::make_unique<ScanBuffer>();
    records->deviceSerials = serials;
    platform::useUsbStack(stack.get());
    ScanUsbTree(*records);
    platform::useUsbStack(nullptr);
    return records;
}

std::unique_ptr<platform::UsbStack> stackAnswering(std::shared_ptr<const usbbus::Bus> bus) {
    return std::make_unique<FixedBusStack>(std::move(bus));
}

}  // namespace vostrel::test
