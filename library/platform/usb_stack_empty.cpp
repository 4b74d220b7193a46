// A USB stack with no host controllers.
#include "platform/usb_stack.h"

namespace vostrel::platform {
namespace {

class EmptyUsbStack final : public UsbStack {
public:
    void* open(const char16_t*) override { return nullptr; }
    bool deviceIoControl(void*, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t,
                         std::uint32_t*) override {
        return false;
    }
    void close(void*) override {}
    int hostControllerInterface(std::uint32_t, char16_t*, std::uint32_t) override { return 0; }
};

}  // namespace

std::unique_ptr<UsbStack> makeEmptyUsbStack() { return std::make_unique<EmptyUsbStack>(); }

}  // namespace vostrel::platform
