// A USB-stack module for tests: the four UsbStack_ functions over a double
// with one hub of the family on a USB 3 link and "Module Widget" on its port
// index 1. Built a second time without UsbStack_Close.
#include <cstdint>

#include "usb_stack_double.h"

namespace {

// Never destroyed: the hub library may still call in at process exit.
vostrel::test::UsbStackDouble& stack() {
    static auto* const instance = [] {
        auto* created = new vostrel::test::UsbStackDouble;
        created->addFamilyHubs(1, vostrel::test::Link::Usb3)[0].plug(1).product(u"Module Widget");
        return created;
    }();
    return *instance;
}

}  // namespace

#if defined(_WIN32)
#define MODULE_API extern "C" __declspec(dllexport)
#else
#define MODULE_API extern "C" __attribute__((visibility("default")))
#endif

MODULE_API void* UsbStack_Open(const std::uint16_t* path) {
    return stack().open(reinterpret_cast<const char16_t*>(path));
}

MODULE_API std::int32_t UsbStack_DeviceIoControl(void* handle, std::uint32_t code, const void* in,
                                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                                 std::uint32_t* bytesReturned) {
    return stack().deviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned) ? 1 : 0;
}

#ifndef WITHOUT_CLOSE
MODULE_API void UsbStack_Close(void* handle) { stack().close(handle); }
#endif

MODULE_API std::int32_t UsbStack_HostControllerInterface(std::uint32_t index, std::uint16_t* path,
                                                         std::uint32_t capacity) {
    return stack().hostControllerInterface(index, reinterpret_cast<char16_t*>(path), capacity);
}
