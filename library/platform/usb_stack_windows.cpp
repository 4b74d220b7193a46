// The host's own USB stack on Windows: the USB device I/O controls through
// CreateFileW and DeviceIoControl, and SetupAPI's list of host-controller
// interfaces.
#include "platform/usb_stack.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/diagnostics.h"

namespace vostrel::platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// GUID_DEVINTERFACE_USB_HOST_CONTROLLER
constexpr GUID kHostControllerInterface = {
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};

// The device paths of the present host-controller interfaces, in list
// order; false when the list cannot be obtained.
bool listHostControllers(std::vector<std::u16string>& paths) {
    HDEVINFO set = ::SetupDiGetClassDevsW(&kHostControllerInterface, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        reportSystemFailure("list the USB host controllers", "");
        return false;
    }
    for (DWORD member = 0;; ++member) {
        SP_DEVICE_INTERFACE_DATA memberData{};
        memberData.cbSize = sizeof memberData;
        if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &kHostControllerInterface, member, &memberData)) break;
        DWORD required = 0;
        ::SetupDiGetDeviceInterfaceDetailW(set, &memberData, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        // Zeroed, aligned for the record's fixed part, which is all its size field counts.
        std::vector<std::uint64_t> area((required + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(area.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!::SetupDiGetDeviceInterfaceDetailW(set, &memberData, detail, required, nullptr, nullptr)) continue;
        const std::size_t room = (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
        const wchar_t* path = detail->DevicePath;
        paths.emplace_back(reinterpret_cast<const char16_t*>(path), std::find(path, path + room, L'\0') - path);
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return true;
}

class WindowsUsbStack final : public UsbStack {
public:
    void* open(const char16_t* path) override {
        HANDLE device = ::CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_WRITE, FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
        return device == INVALID_HANDLE_VALUE ? nullptr : device;
    }

    bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        DWORD returned = 0;
        const bool done = ::DeviceIoControl(handle, code, const_cast<void*>(in), inSize, out, outSize, &returned,
                                            nullptr) != FALSE;
        if (bytesReturned != nullptr) *bytesReturned = returned;
        return done;
    }

    void close(void* handle) override { ::CloseHandle(handle); }

    // The list is read afresh for member 0, where every scan starts, and
    // kept for the members after it, so one scan walks one list.
    int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) override {
        if (index == 0 || !listed_) {
            interfaces_.clear();
            listed_ = listHostControllers(interfaces_);
        }
        if (!listed_) return -1;
        if (index >= interfaces_.size()) return 0;
        if (path != nullptr && capacity > 0) {
            const std::u16string& found = interfaces_[index];
            const std::size_t units = std::min<std::size_t>(found.size(), capacity - 1);
            std::memcpy(path, found.data(), units * sizeof(char16_t));
            path[units] = u'\0';
        }
        return 1;
    }

private:
    std::vector<std::u16string> interfaces_;
    bool listed_ = false;
};

}  // namespace

std::unique_ptr<UsbStack> makeHostUsbStack() { return std::make_unique<WindowsUsbStack>(); }

}  // namespace vostrel::platform
