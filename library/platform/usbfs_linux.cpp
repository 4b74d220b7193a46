#include "platform/usbfs.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/diagnostics.h"

namespace vostrel::platform {
namespace {

std::atomic<std::uint64_t> g_transfers{0};

constexpr std::uint8_t kClassRequestToOtherIn = 0xA3;  // device to host, class, other (a port)
constexpr std::uint8_t kGetStatus = 0x00;
constexpr unsigned kTimeoutMs = 500;

}  // namespace

UsbfsHub::UsbfsHub(const std::string& node) : node_(node) {
    fd_ = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) reportSystemFailure("open", node);
}

UsbfsHub::~UsbfsHub() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<std::uint16_t> UsbfsHub::portStatus(int port) {
    if (fd_ < 0) return std::nullopt;
    std::uint8_t status[4] = {};
    usbdevfs_ctrltransfer transfer{};
    transfer.bRequestType = kClassRequestToOtherIn;
    transfer.bRequest = kGetStatus;
    transfer.wValue = 0;
    transfer.wIndex = static_cast<std::uint16_t>(port);
    transfer.wLength = sizeof status;
    transfer.timeout = kTimeoutMs;
    transfer.data = status;
    ++g_transfers;
    const int received = ::ioctl(fd_, USBDEVFS_CONTROL, &transfer);
    if (received < 0) {
        reportSystemFailure("port status through", node_);
        return std::nullopt;
    }
    if (received < 2) return std::nullopt;
    return static_cast<std::uint16_t>(status[0] | status[1] << 8);
}

std::uint64_t usbfsTransfersSent() { return g_transfers.load(); }

}  // namespace vostrel::platform
