// An open host controller or hub behind the USB stack, closed when the
// object goes, and its device I/O controls with their answers checked
// against the caller's buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/usb_stack.h"

namespace vostrel {

class UsbDevice {
public:
    UsbDevice(platform::UsbStack& stack, const std::u16string& path)
        : stack_(stack), handle_(stack.open(path.c_str())) {}
    ~UsbDevice() {
        if (handle_ != nullptr) stack_.close(handle_);
    }
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    bool isOpen() const { return handle_ != nullptr; }
    platform::UsbStack& stack() const { return stack_; }

    // Sends `code` with `inSize` input bytes and `outSize` bytes of room for
    // the answer (`in` and `out` may be one buffer). The number of bytes
    // returned, or nothing when the call failed or the stack claims to have
    // returned more than the room it was given.
    std::optional<std::uint32_t> control(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                                         std::uint32_t outSize) const {
        std::uint32_t returned = 0;
        if (!stack_.deviceIoControl(handle_, code, in, inSize, out, outSize, &returned)) return std::nullopt;
        if (returned > outSize) return std::nullopt;
        return returned;
    }

private:
    platform::UsbStack& stack_;
    void* handle_;
};

}  // namespace vostrel
