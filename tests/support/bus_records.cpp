#include "bus_records.h"

#include "platform/usb_stack.h"
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
    FixedBusStack stack(std::move(bus));
    auto records = std::make_unique<ScanBuffer>();
    records->deviceSerials = serials;
    platform::useUsbStack(&stack);
    ScanUsbTree(*records);
    platform::useUsbStack(nullptr);
    return records;
}

}  // namespace vostrel::test
