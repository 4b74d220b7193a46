// The choice of the USB stack behind the scan.
#include "platform/usb_stack.h"

#include <atomic>

#include "platform/environment.h"

namespace vostrel::platform {
namespace {

// Plain pointers, not owning statics: at process exit a monitor thread may
// still scan after the C++ statics of this library were destroyed.
UsbStack* g_chosen = nullptr;
std::atomic<UsbStack*> g_installed{nullptr};

std::unique_ptr<UsbStack> chooseUsbStack() {
    const auto module = environmentVariable("VOSTREL_USBSTACK");
    if (module && !module->empty()) return loadUsbStackModule(module->c_str());
    return makeHostUsbStack();
}

}  // namespace

UsbStack& usbStack() {
    if (UsbStack* installed = g_installed.load()) return *installed;
    if (g_chosen == nullptr) g_chosen = chooseUsbStack().release();
    return *g_chosen;
}

void releaseUsbStack() {
    delete g_chosen;
    g_chosen = nullptr;
}

void useUsbStack(UsbStack* stack) { g_installed.store(stack); }

}  // namespace vostrel::platform
