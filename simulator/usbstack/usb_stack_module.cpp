// The simulated USB stack, a module for the hub library's USB-stack seam: it
// answers the scan's questions from the bench that VOSTREL_SIM_BENCH names,
// through the bus model of the bench's current view. Loaded into processes
// that may end while their threads still call it, so its state is never
// destroyed.
#include <cstdint>
#include <memory>

#include "core/live_bench.h"
#include "usbbus/model_usb_stack.h"

// Exported by name through exports.map (ELF) or exports.def (Windows).
#if defined(_WIN32)
#define SIM_EXPORT extern "C"
#else
#define SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vostrel::sim {

namespace {

// The bench file is looked at again at every open: the scan's first open
// after a change sees the new bench.
class SimulatedStack final : public usbbus::ModelUsbStack {
private:
    std::shared_ptr<const usbbus::Bus> current() {
        const auto view = bench_.view();
        if (!view) return nullptr;
        return std::shared_ptr<const usbbus::Bus>(view, &view->model());
    }
    std::shared_ptr<const usbbus::Bus> busToOpen() override { return current(); }
    std::shared_ptr<const usbbus::Bus> busToList(std::uint32_t) override { return current(); }

    LiveBench bench_;
};

// Never destroyed: a host's threads may call in while statics are torn down.
SimulatedStack& stack() {
    static SimulatedStack* const instance = new SimulatedStack;
    return *instance;
}

}  // namespace

}  // namespace vostrel::sim

SIM_EXPORT void* UsbStack_Open(const std::uint16_t* path) {
    return vostrel::sim::stack().open(reinterpret_cast<const char16_t*>(path));
}

SIM_EXPORT std::int32_t UsbStack_DeviceIoControl(void* handle, std::uint32_t code, const void* in,
                                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                                 std::uint32_t* bytesReturned) {
    return vostrel::sim::stack().deviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned) ? 1 : 0;
}

SIM_EXPORT void UsbStack_Close(void* handle) { vostrel::sim::stack().close(handle); }

SIM_EXPORT std::int32_t UsbStack_HostControllerInterface(std::uint32_t index, std::uint16_t* path,
                                                          std::uint32_t capacity) {
    return vostrel::sim::stack().hostControllerInterface(index, reinterpret_cast<char16_t*>(path), capacity);
}
