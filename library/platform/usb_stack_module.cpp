// A USB stack supplied by a shared library: the four UsbStack_ functions.
#include <cstdint>

#include "platform/dynamic_library.h"
#include "platform/usb_stack.h"

namespace vostrel::platform {
namespace {

using OpenFunction = void* (*)(const std::uint16_t* path);
using DeviceIoControlFunction = std::int32_t (*)(void* handle, std::uint32_t code, const void* in,
                                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                                 std::uint32_t* bytesReturned);
using CloseFunction = void (*)(void* handle);
using HostControllerInterfaceFunction = std::int32_t (*)(std::uint32_t index, std::uint16_t* path,
                                                         std::uint32_t capacity);

static_assert(sizeof(char16_t) == sizeof(std::uint16_t));

struct ModuleFunctions {
    OpenFunction open = nullptr;
    DeviceIoControlFunction deviceIoControl = nullptr;
    CloseFunction close = nullptr;
    HostControllerInterfaceFunction hostControllerInterface = nullptr;
};

class ModuleUsbStack final : public UsbStack {
public:
    explicit ModuleUsbStack(const ModuleFunctions& functions) : f_(functions) {}

    void* open(const char16_t* path) override {
        return f_.open(reinterpret_cast<const std::uint16_t*>(path));
    }
    bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        return f_.deviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned) != 0;
    }
    void close(void* handle) override { f_.close(handle); }
    int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) override {
        return f_.hostControllerInterface(index, reinterpret_cast<std::uint16_t*>(path), capacity);
    }

private:
    ModuleFunctions f_;
};

}  // namespace

std::unique_ptr<UsbStack> loadUsbStackModule(const char* path) {
    void* library = loadLibrary(path);
    if (library == nullptr) return makeEmptyUsbStack();
    ModuleFunctions f;
    const bool complete = resolve(library, "UsbStack_Open", f.open) &&
                          resolve(library, "UsbStack_DeviceIoControl", f.deviceIoControl) &&
                          resolve(library, "UsbStack_Close", f.close) &&
                          resolve(library, "UsbStack_HostControllerInterface", f.hostControllerInterface);
    if (!complete) {
        unloadLibrary(library);
        return makeEmptyUsbStack();
    }
    // Deliberately never unloaded: see loadUsbStackModule in usb_stack.h.
    return std::make_unique<ModuleUsbStack>(f);
}

}  // namespace vostrel::platform
