#include "usbbus/model_usb_stack.h"

#include <algorithm>
#include <span>
#include <vector>

#include "usbbus/ioctl_answers.h"

namespace vostrel::usbbus {
namespace {

constexpr std::u16string_view kDevicePrefix = u"\\\\.\\";
// Names longer than this are not taken from the caller.
constexpr std::size_t kMaxPathUnits = 32768;

}  // namespace

void* ModelUsbStack::open(const char16_t* path) {
    if (path == nullptr) return nullptr;
    std::size_t length = 0;
    while (length <= kMaxPathUnits && path[length] != u'\0') ++length;
    if (length > kMaxPathUnits) return nullptr;
    const std::u16string_view name(path, length);

    const std::lock_guard lock(mutex_);
    Handle handle{busToOpen()};
    if (!handle.bus) return nullptr;
    handle.controller = findController(*handle.bus, name);
    if (handle.controller == nullptr) {
        if (name.size() <= kDevicePrefix.size() || !sameName(name.substr(0, kDevicePrefix.size()), kDevicePrefix)) {
            return nullptr;
        }
        handle.hub = findHub(*handle.bus, name.substr(kDevicePrefix.size()));
        if (handle.hub == nullptr) return nullptr;
    }
    const std::uintptr_t id = ++lastHandle_;
    handles_.emplace(id, std::move(handle));
    return reinterpret_cast<void*>(id);
}

bool ModelUsbStack::deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                    void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    std::uint32_t returned = 0;
    bool done = false;
    if ((in != nullptr || inSize == 0) && (out != nullptr || outSize == 0)) {
        const std::lock_guard lock(mutex_);
        const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found != handles_.end()) {
            // The input is taken whole first: `in` and `out` may be one buffer.
            const auto* inBytes = static_cast<const std::uint8_t*>(in);
            const std::vector<std::uint8_t> input(inBytes, inBytes + inSize);
            const std::span<std::uint8_t> output(static_cast<std::uint8_t*>(out), outSize);
            const Handle& opened = found->second;
            done = opened.controller != nullptr ? answerController(*opened.controller, code, input, output, returned)
                                                : answerHub(*opened.hub, code, input, output, returned);
        }
    }
    if (bytesReturned != nullptr) *bytesReturned = done ? returned : 0;
    return done;
}

void ModelUsbStack::close(void* handle) {
    const std::lock_guard lock(mutex_);
    handles_.erase(reinterpret_cast<std::uintptr_t>(handle));
}

int ModelUsbStack::hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) {
    const std::lock_guard lock(mutex_);
    const auto bus = busToList(index);
    if (!bus) return 0;
    if (!bus->interfaceListAvailable) return -1;
    std::uint32_t member = 0;
    for (const Controller& controller : bus->controllers) {
        if (controller.interfacePath.empty() || member++ != index) continue;
        if (path != nullptr && capacity > 0) {
            const std::size_t units = std::min<std::size_t>(controller.interfacePath.size(), capacity - 1);
            std::copy_n(controller.interfacePath.begin(), units, path);
            path[units] = u'\0';
        }
        return 1;
    }
    return 0;
}

}  // namespace vostrel::usbbus
