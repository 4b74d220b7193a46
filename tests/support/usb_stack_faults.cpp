#include "usb_stack_faults.h"

#include <algorithm>
#include <cstring>

#include "usbbus/usb_ioctl.h"

namespace vostrel::test {

void* FaultyUsbStack::open(const char16_t* path) {
    ++opens_;
    if (std::ranges::find(failingOpens, std::u16string(path)) != failingOpens.end()) return nullptr;
    void* handle = inner_.open(path);
    if (handle != nullptr) handles_.insert(handle);
    return handle;
}

void FaultyUsbStack::close(void* handle) {
    if (handles_.erase(handle) == 0) {
        ++badCloses_;
        return;
    }
    inner_.close(handle);
}

int FaultyUsbStack::hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) {
    if (interfaceListFails) return -1;
    return inner_.hostControllerInterface(index, path, capacity);
}

bool FaultyUsbStack::deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                     void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    ++ioctls_;
    ++ioctlsByCode_[code];
    // Read before the inner stack answers: `in` and `out` may be one buffer.
    IoctlCall call{.code = code, .outSize = outSize};
    const auto* input = static_cast<const std::uint8_t*>(in);
    if (input != nullptr && inSize >= sizeof call.port) std::memcpy(&call.port, input, sizeof call.port);
    if (code == usb::IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION && input != nullptr &&
        inSize >= sizeof(usb::USB_DESCRIPTOR_REQUEST)) {
        call.descriptorType = input[7];
    }
    IoctlAnswer answer{false, 0, {static_cast<std::uint8_t*>(out), out != nullptr ? outSize : 0}};
    answer.ok = inner_.deviceIoControl(handle, code, in, inSize, out, outSize, &answer.bytesReturned);
    if (!answer.ok) answer.bytesReturned = 0;
    for (const Fault& fault : faults) fault(call, answer);
    *bytesReturned = answer.bytesReturned;
    return answer.ok;
}

}  // namespace vostrel::test
