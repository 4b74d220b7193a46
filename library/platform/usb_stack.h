// A USB stack that answers the Windows USB I/O controls: open a device by its
// Windows name, send it a device I/O control, close it, and list the present
// host-controller interfaces, in the control codes and structures of
// usbbus/usb_ioctl.h, byte for byte: the host's own on Windows, or a module
// named by VOSTREL_USBSTACK. Read into a bus by the backends.
//
// Every answer is untrusted input: a stack may report any length and any
// bytes (a USB device chooses its own descriptors, a module may be faulty).
// Callers check every length against their own buffers.
#pragma once

#include <cstdint>
#include <memory>

namespace vostrel::platform {

class UsbStack {
public:
    virtual ~UsbStack() = default;

    // Opens a host controller ("\\.\HCD0" to "\\.\HCD9" or an interface path)
    // or a hub ("\\.\" followed by its symbolic name); `path` is UTF-16 with a
    // NUL. Blocks while the stack opens the device. Returns an opaque handle
    // that the caller owns and passes to close(), or nullptr when the name
    // does not open. The stack keeps no pointer to `path`.
    virtual void* open(const char16_t* path) = 0;

    // One buffered device I/O control on an open handle. The stack reads all
    // of the `inSize` input bytes before it writes any output, so `in` and
    // `out` may be the same buffer, and writes at most `outSize` bytes to
    // `out`. Blocks for as long as the device takes to answer. Returns true
    // on success with *bytesReturned set to the number of output bytes; on
    // failure the output and *bytesReturned are unspecified. Buffers stay the
    // caller's.
    virtual bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;

    // Closes a handle that open() returned. Never fails; the handle is
    // invalid afterwards.
    virtual void close(void* handle) = 0;

    // Member `index` of the present host-controller interfaces, in list
    // order. Returns 1 and writes the member's device path into `path`
    // (at most `capacity` units, NUL included), 0 when there is no member
    // `index`, and -1 when the list cannot be obtained at all. May block
    // while the system lists its devices; `path` stays the caller's.
    virtual int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) = 0;
};

// A stack with no host controllers: nothing opens and the interface list is
// empty.
std::unique_ptr<UsbStack> makeEmptyUsbStack();

// The host's own stack on Windows.
std::unique_ptr<UsbStack> makeHostUsbStack();

// The stack of the module at `path`, a shared library that exports
// UsbStack_Open, UsbStack_DeviceIoControl, UsbStack_Close and
// UsbStack_HostControllerInterface with C linkage. A module that does not
// load, or lacks any of the four, gives a stack with no host controllers. A
// module that loaded stays loaded for the life of the process, because a
// thread that outlives the library's unload steps may still be inside it.
std::unique_ptr<UsbStack> loadUsbStackModule(const char* path);

}  // namespace vostrel::platform
