// The simulated USB stack, a module for the hub library's USB-stack seam: it
// answers the scan's questions from the bench that VOSTREL_SIM_BENCH names.
// Loaded into processes that may end while their threads still call it, so
// its state is never destroyed.
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "core/live_bench.h"
#include "usbstack/ioctl_answers.h"

// Exported by name through exports.map (ELF) or exports.def (Windows).
#if defined(_WIN32)
#define SIM_EXPORT extern "C"
#else
#define SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vostrel::sim {

namespace {

// Names longer than this are not taken from the caller.
constexpr std::size_t kMaxPathUnits = 32768;

struct Handle {
    bool controller = false;
    std::u16string path;  // looked up again at every call: the bench may have changed
};

class SimulatedStack {
public:
    void* open(const std::uint16_t* path) {
        if (path == nullptr) return nullptr;
        std::u16string name;
        while (name.size() <= kMaxPathUnits && path[name.size()] != 0) name += static_cast<char16_t>(path[name.size()]);
        if (name.size() > kMaxPathUnits) return nullptr;

        std::lock_guard lock(mutex_);
        const auto view = bench_.view();
        if (!view) return nullptr;
        auto handle = std::make_unique<Handle>();
        handle->controller = view->findController(name) != nullptr;
        if (!handle->controller && view->findHub(name) == nullptr) return nullptr;
        handle->path = std::move(name);
        return handles_.insert(handle.release()).first.operator*();
    }

    bool control(void* opened, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* bytesReturned) {
        std::uint32_t returned = 0;
        bool done = false;
        {
            std::lock_guard lock(mutex_);
            const auto found = handles_.find(static_cast<Handle*>(opened));
            const auto view = bench_.cached();
            if (found != handles_.end() && view && (in != nullptr || inSize == 0) && (out != nullptr || outSize == 0)) {
                // The input is taken whole first: `in` and `out` may be one buffer.
                const auto* inBytes = static_cast<const std::uint8_t*>(in);
                const std::vector<std::uint8_t> input(inBytes, inBytes + inSize);
                const std::span<std::uint8_t> output(static_cast<std::uint8_t*>(out), outSize);
                const Handle& handle = **found;
                if (handle.controller) {
                    const ControllerView* controller = view->findController(handle.path);
                    done = controller != nullptr && answerController(*controller, *view, code, input, output, returned);
                } else {
                    const HubView* hub = view->findHub(handle.path);
                    done = hub != nullptr && answerHub(*hub, *view, code, input, output, returned);
                }
            }
        }
        if (bytesReturned != nullptr) *bytesReturned = done ? returned : 0;
        return done;
    }

    void close(void* opened) {
        std::lock_guard lock(mutex_);
        const auto found = handles_.find(static_cast<Handle*>(opened));
        if (found == handles_.end()) return;
        delete *found;
        handles_.erase(found);
    }

    std::int32_t hostControllerInterface(std::uint32_t index, std::uint16_t* path, std::uint32_t capacity) {
        std::lock_guard lock(mutex_);
        const auto view = bench_.view();
        if (!view) return 0;
        if (!view->bench().interfaceListAvailable) return -1;
        std::uint32_t member = 0;
        for (const Controller& controller : view->bench().controllers) {
            if (controller.interfacePath.empty()) continue;
            if (member++ != index) continue;
            if (path != nullptr && capacity > 0) {
                const std::size_t units = std::min<std::size_t>(controller.interfacePath.size(), capacity - 1);
                for (std::size_t i = 0; i < units; ++i) path[i] = controller.interfacePath[i];
                path[units] = 0;
            }
            return 1;
        }
        return 0;
    }

private:
    std::mutex mutex_;
    LiveBench bench_;
    std::set<Handle*> handles_;
};

// Never destroyed: a host's threads may call in while statics are torn down.
SimulatedStack& stack() {
    static SimulatedStack* const instance = new SimulatedStack;
    return *instance;
}

}  // namespace

}  // namespace vostrel::sim

SIM_EXPORT void* UsbStack_Open(const std::uint16_t* path) { return vostrel::sim::stack().open(path); }

SIM_EXPORT std::int32_t UsbStack_DeviceIoControl(void* handle, std::uint32_t code, const void* in,
                                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                                 std::uint32_t* bytesReturned) {
    return vostrel::sim::stack().control(handle, code, in, inSize, out, outSize, bytesReturned) ? 1 : 0;
}

SIM_EXPORT void UsbStack_Close(void* handle) { vostrel::sim::stack().close(handle); }

SIM_EXPORT std::int32_t UsbStack_HostControllerInterface(std::uint32_t index, std::uint16_t* path,
                                                          std::uint32_t capacity) {
    return vostrel::sim::stack().hostControllerInterface(index, path, capacity);
}
