// A USB stack that answers from a bus model: it opens host controllers and
// hubs by their Windows names and answers their device I/O controls through
// the translator. Where the model comes from, and when it is taken afresh, is
// the business of each kind of stack (a bench, a test's bus, the kernel).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/usb_stack.h"
#include "usbbus/bus_model.h"

namespace vostrel::usbbus {

class ModelUsbStack : public platform::UsbStack {
public:
    // platform::UsbStack. A handle answers from the model it was opened in,
    // kept alive until it is closed. Thread-safe.
    void* open(const char16_t* path) final;
    bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) final;
    void close(void* handle) final;
    int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) final;

protected:
    // The model to open a name in; null when there is no bus at all.
    virtual std::shared_ptr<const Bus> busToOpen() = 0;
    // The model whose interface list member `index` is asked for; a scan
    // asks for member 0 first.
    virtual std::shared_ptr<const Bus> busToList(std::uint32_t index) = 0;

private:
    struct Handle {
        std::shared_ptr<const Bus> bus;
        const Controller* controller = nullptr;
        const Hub* hub = nullptr;
    };

    std::mutex mutex_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t lastHandle_ = 0;
};

}  // namespace vostrel::usbbus
