#include "platform/usbfs.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/diagnostics.h"

namespace vostrel::platform {
namespace {

std::atomic<std::uint64_t> g_transfers{0};
std::atomic<Usbfs*> g_installed{nullptr};

constexpr unsigned kTimeoutMs = 500;

std::error_code lastError() { return {errno, std::generic_category()}; }

class KernelDevice final : public UsbfsDevice {
public:
    KernelDevice(std::string node, int fd) : node_(std::move(node)), fd_(fd) {}
    ~KernelDevice() override { ::close(fd_); }
    KernelDevice(const KernelDevice&) = delete;
    KernelDevice& operator=(const KernelDevice&) = delete;

    std::error_code control(const usbbus::SetupPacket& setup, std::span<std::uint8_t> data,
                            std::size_t& transferred) override {
        transferred = 0;
        if (data.size() < setup.length) return std::make_error_code(std::errc::invalid_argument);
        usbdevfs_ctrltransfer transfer{};
        transfer.bRequestType = setup.requestType;
        transfer.bRequest = setup.request;
        transfer.wValue = setup.value;
        transfer.wIndex = setup.index;
        transfer.wLength = setup.length;
        transfer.timeout = kTimeoutMs;
        transfer.data = setup.length != 0 ? data.data() : nullptr;
        ++g_transfers;
        const int done = ::ioctl(fd_, USBDEVFS_CONTROL, &transfer);
        if (done < 0) return failed("control transfer through");
        transferred = static_cast<std::size_t>(done);
        return {};
    }

    std::error_code claimPort(unsigned port) override {
        return ::ioctl(fd_, USBDEVFS_CLAIM_PORT, &port) < 0 ? failed("claim port " + std::to_string(port) + " of")
                                                          : std::error_code();
    }

    std::error_code releasePort(unsigned port) override {
        return ::ioctl(fd_, USBDEVFS_RELEASE_PORT, &port) < 0
                   ? failed("release port " + std::to_string(port) + " of")
                   : std::error_code();
    }

    std::error_code reset() override {
        return ::ioctl(fd_, USBDEVFS_RESET, nullptr) < 0 ? failed("reset") : std::error_code();
    }

private:
    std::error_code failed(const std::string& what) const {
        const std::error_code error = lastError();
        reportSystemFailure(what, node_);
        return error;
    }

    std::string node_;
    int fd_;
};

class KernelUsbfs final : public Usbfs {
public:
    std::unique_ptr<UsbfsDevice> open(const std::string& node, std::error_code& error) override {
        const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            error = lastError();
            reportSystemFailure("open", node);
            return nullptr;
        }
        error.clear();
        return std::make_unique<KernelDevice>(node, fd);
    }
};

}  // namespace

Usbfs& usbfs() {
    if (Usbfs* installed = g_installed.load()) return *installed;
    // Never destroyed: a thread may still switch a port at process exit.
    static KernelUsbfs* const kernel = new KernelUsbfs;
    return *kernel;
}

void useUsbfs(Usbfs* usbfs) { g_installed.store(usbfs); }

std::string usbfsNode(std::uint32_t bus, std::uint32_t address) {
    char node[40];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus, address);
    return node;
}

std::uint64_t usbfsTransfersSent() { return g_transfers.load(); }

UsbfsHub::UsbfsHub(const std::string& node) {
    std::error_code error;
    device_ = usbfs().open(node, error);
}

std::optional<std::uint16_t> UsbfsHub::portStatus(int port) {
    if (!device_) return std::nullopt;
    std::uint8_t status[4] = {};
    std::size_t received = 0;
    if (device_->control(usbbus::portStatusRequest(static_cast<std::uint16_t>(port)), status, received)) {
        return std::nullopt;
    }
    if (received < 2) return std::nullopt;
    return static_cast<std::uint16_t>(status[0] | status[1] << 8);
}

}  // namespace vostrel::platform
