// A hub of the family for QEMU's usb-redir devices, for the real-kernel
// tests: QEMU's own hub cannot take the family's IDs. It answers on two Unix
// sockets, as the USB 2.0 hub device (0424:2744, high speed) and the
// SuperSpeed one (0424:5744), both with one serial number and four empty
// ports, and writes every hub class request it receives to a log, one line
// each: "usb2 " or "superspeed " and the setup packet's eight bytes in
// hexadecimal. It switches each port's power on its own, or, with --ganged,
// all ports together (on while any port is asked to be).
//   hub_emulator [--ganged] SERIAL LOG USB2_SOCKET SUPERSPEED_SOCKET
// It listens on both sockets until QEMU has connected to each, and ends when
// QEMU has closed both (or on SIGTERM).
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <usbredirparser.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kPorts = 4;
constexpr std::uint16_t kPortPower = 8;

std::FILE* g_log = nullptr;

// One hub device, on one socket.
class HubDevice {
public:
    HubDevice(bool superSpeed, bool ganged, std::string serial)
        : superSpeed_(superSpeed), ganged_(ganged), serial_(std::move(serial)) {}
    HubDevice(const HubDevice&) = delete;
    HubDevice& operator=(const HubDevice&) = delete;
    ~HubDevice() {
        if (parser_ != nullptr) usbredirparser_destroy(parser_);
        if (fd_ >= 0) ::close(fd_);
    }

    bool open() const { return fd_ >= 0 && !closed_; }
    int fd() const { return fd_; }
    bool wantsToWrite() const { return parser_ != nullptr && usbredirparser_has_data_to_write(parser_) > 0; }

    void start(int fd) {
        fd_ = fd;
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
        parser_ = usbredirparser_create();
        parser_->priv = this;
        parser_->log_func = [](void*, int, const char*) {};
        parser_->read_func = [](void* self, std::uint8_t* data, int count) {
            return static_cast<HubDevice*>(self)->receive(data, count);
        };
        parser_->write_func = [](void* self, std::uint8_t* data, int count) {
            return static_cast<HubDevice*>(self)->send(data, count);
        };
        parser_->hello_func = [](void* self, usb_redir_hello_header*) { static_cast<HubDevice*>(self)->connect(); };
        parser_->reset_func = [](void*) {};
        parser_->cancel_data_packet_func = [](void*, std::uint64_t) {};
        parser_->set_configuration_func = [](void* self, std::uint64_t id, usb_redir_set_configuration_header* h) {
            auto* device = static_cast<HubDevice*>(self);
            device->configuration_ = h->configuration;
            usb_redir_configuration_status_header status{usb_redir_success, h->configuration};
            usbredirparser_send_configuration_status(device->parser_, id, &status);
        };
        parser_->get_configuration_func = [](void* self, std::uint64_t id) {
            auto* device = static_cast<HubDevice*>(self);
            usb_redir_configuration_status_header status{usb_redir_success, device->configuration_};
            usbredirparser_send_configuration_status(device->parser_, id, &status);
        };
        parser_->set_alt_setting_func = [](void* self, std::uint64_t id, usb_redir_set_alt_setting_header* h) {
            usb_redir_alt_setting_status_header status{usb_redir_success, h->interface, 0};
            usbredirparser_send_alt_setting_status(static_cast<HubDevice*>(self)->parser_, id, &status);
        };
        parser_->get_alt_setting_func = [](void* self, std::uint64_t id, usb_redir_get_alt_setting_header* h) {
            usb_redir_alt_setting_status_header status{usb_redir_success, h->interface, 0};
            usbredirparser_send_alt_setting_status(static_cast<HubDevice*>(self)->parser_, id, &status);
        };
        parser_->start_interrupt_receiving_func = [](void* self, std::uint64_t id,
                                                     usb_redir_start_interrupt_receiving_header* h) {
            usb_redir_interrupt_receiving_status_header status{usb_redir_success, h->endpoint};
            usbredirparser_send_interrupt_receiving_status(static_cast<HubDevice*>(self)->parser_, id, &status);
        };
        parser_->stop_interrupt_receiving_func = [](void* self, std::uint64_t id,
                                                    usb_redir_stop_interrupt_receiving_header* h) {
            usb_redir_interrupt_receiving_status_header status{usb_redir_success, h->endpoint};
            usbredirparser_send_interrupt_receiving_status(static_cast<HubDevice*>(self)->parser_, id, &status);
        };
        parser_->control_packet_func = [](void* self, std::uint64_t id, usb_redir_control_packet_header* h,
                                          std::uint8_t* data, int length) {
            auto* device = static_cast<HubDevice*>(self);
            device->control(id, *h, data, length);
            usbredirparser_free_packet_data(device->parser_, data);
        };
        std::uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
        for (const int cap : {usb_redir_cap_connect_device_version, usb_redir_cap_ep_info_max_packet_size,
                              usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length,
                              usb_redir_cap_bulk_streams}) {
            usbredirparser_caps_set_cap(caps, cap);
        }
        usbredirparser_init(parser_, "vostrel hub emulator", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);
    }

    void readable() {
        if (usbredirparser_do_read(parser_) == usbredirparser_read_io_error) closed_ = true;
    }
    void writable() {
        if (usbredirparser_do_write(parser_) < 0) closed_ = true;
    }

private:
    int receive(std::uint8_t* data, int count) {
        const ssize_t got = ::read(fd_, data, static_cast<std::size_t>(count));
        if (got > 0) return static_cast<int>(got);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        closed_ = true;
        return -1;
    }
    int send(std::uint8_t* data, int count) {
        const ssize_t put = ::write(fd_, data, static_cast<std::size_t>(count));
        if (put >= 0) return static_cast<int>(put);
        if (errno == EAGAIN || errno == EINTR) return 0;
        closed_ = true;
        return -1;
    }

    // The device as QEMU is told of it once the peers greeted each other.
    void connect() {
        usb_redir_interface_info_header interfaces{};
        interfaces.interface_count = 1;
        interfaces.interface_class[0] = 9;
        usbredirparser_send_interface_info(parser_, &interfaces);
        usb_redir_ep_info_header endpoints{};
        std::memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
        endpoints.type[0] = endpoints.type[16] = usb_redir_type_control;
        endpoints.max_packet_size[0] = endpoints.max_packet_size[16] = superSpeed_ ? 512 : 64;
        endpoints.type[17] = usb_redir_type_interrupt;  // 0x81, the hub's status change endpoint
        endpoints.interval[17] = superSpeed_ ? 8 : 12;
        endpoints.max_packet_size[17] = 2;
        usbredirparser_send_ep_info(parser_, &endpoints);
        usb_redir_device_connect_header device{};
        device.speed = superSpeed_ ? usb_redir_speed_super : usb_redir_speed_high;
        device.device_class = 9;
        device.device_protocol = superSpeed_ ? 3 : 1;
        device.vendor_id = 0x0424;
        device.product_id = superSpeed_ ? 0x5744 : 0x2744;
        device.device_version_bcd = 0x0100;
        usbredirparser_send_device_connect(parser_, &device);
    }

    Bytes deviceDescriptor() const {
        return {18, 1, 0x00, static_cast<std::uint8_t>(superSpeed_ ? 0x03 : 0x02), 9, 0,
                static_cast<std::uint8_t>(superSpeed_ ? 3 : 1), static_cast<std::uint8_t>(superSpeed_ ? 9 : 64),
                0x24, 0x04, 0x44,
                static_cast<std::uint8_t>(superSpeed_ ? 0x57 : 0x27), 0x00, 0x01, 1, 2, 3, 1};
    }
    // Configuration 1: the hub interface and its status change endpoint
    // (with its companion descriptor at SuperSpeed).
    Bytes configurationDescriptor() const {
        if (superSpeed_) {
            return {9, 2, 31, 0, 1, 1, 0, 0xE0, 0, 9, 4, 0, 0, 1, 9, 0, 0, 0,
                    7, 5, 0x81, 3, 2, 0, 8, 6, 0x30, 0, 0, 2, 0};
        }
        return {9, 2, 25, 0, 1, 1, 0, 0xE0, 0, 9, 4, 0, 0, 1, 9, 0, 0, 0, 7, 5, 0x81, 3, 2, 0, 12};
    }
    // The USB 2.0 extension, and at SuperSpeed the SuperSpeed capability.
    Bytes bosDescriptor() const {
        if (superSpeed_) return {5, 0x0F, 22, 0, 2, 7, 0x10, 2, 0, 0, 0, 0, 10, 0x10, 3, 0, 0x0E, 0, 1, 0x0A, 0xFF, 0x07};
        return {5, 0x0F, 12, 0, 1, 7, 0x10, 2, 0, 0, 0, 0};
    }
    Bytes hubDescriptor() const {
        // Each port switched (01) or all together (00); over-current reported per port.
        const std::uint8_t characteristics = ganged_ ? 0x08 : 0x09;
        if (superSpeed_) return {12, 0x2A, kPorts, characteristics, 0, 50, 0, 0, 0, 0, 0, 0};
        return {9, 0x29, kPorts, characteristics, 0, 50, 0, 0x00, 0xFF};
    }
    Bytes stringDescriptor(std::uint8_t index) const {
        if (index == 0) return {4, 3, 0x09, 0x04};
        const char* texts[] = {"Vostrel", "Vostrel 4-Port Hub", serial_.c_str()};
        if (index > 3) return {};
        const std::string_view text = texts[index - 1];
        Bytes bytes(2 + 2 * std::min<std::size_t>(text.size(), 126), 0);
        bytes[0] = static_cast<std::uint8_t>(bytes.size());
        bytes[1] = 3;
        for (std::size_t i = 2; i < bytes.size(); i += 2) bytes[i] = static_cast<std::uint8_t>(text[i / 2 - 1]);
        return bytes;
    }
    // A ganged hub keeps the power of all its ports on while any of them is
    // asked to have it.
    Bytes portStatus(int port) const {
        const bool powered = ganged_ ? std::find(power_.begin(), power_.end(), true) != power_.end()
                                     : power_[static_cast<std::size_t>(port - 1)];
        std::uint16_t status = 0;
        if (superSpeed_) {
            status = powered ? 0x0200 | (5 << 5) : (4 << 5);  // Rx.Detect, else SS.Disabled
        } else if (powered) {
            status = 0x0100;
        }
        return {static_cast<std::uint8_t>(status & 0xFF), static_cast<std::uint8_t>(status >> 8), 0, 0};
    }

    // The answer to one request; nothing stalls it.
    std::optional<Bytes> answer(const usb_redir_control_packet_header& h) {
        const std::uint8_t type = static_cast<std::uint8_t>(h.value >> 8);
        const int port = h.index;
        const bool portRequest = (h.requesttype & 0x1F) == 3 && port >= 1 && port <= kPorts;
        switch (h.requesttype << 8 | h.request) {
            case 0x8006:  // GET_DESCRIPTOR
                if (type == 1) return deviceDescriptor();
                if (type == 2) return configurationDescriptor();
                if (type == 3) {
                    Bytes text = stringDescriptor(static_cast<std::uint8_t>(h.value & 0xFF));
                    if (!text.empty()) return text;
                }
                if (type == 0x0F) return bosDescriptor();
                return std::nullopt;
            case 0x8000: return Bytes{1, 0};  // self-powered
            case 0x8100: case 0x8200: return Bytes{0, 0};
            case 0x0001: case 0x0003: case 0x0201: case 0x0030: case 0x0031: return Bytes{};
            case 0xA006: return type == (superSpeed_ ? 0x2A : 0x29) ? std::optional(hubDescriptor()) : std::nullopt;
            case 0xA000: return Bytes{0, 0, 0, 0};
            case 0x2001: case 0x200C: return Bytes{};  // hub features, SET_HUB_DEPTH
            case 0xA300: return portRequest ? std::optional(portStatus(port)) : std::nullopt;
            case 0x2303: case 0x2301:
                if (!portRequest) return std::nullopt;
                if (h.value == kPortPower) power_[static_cast<std::size_t>(port - 1)] = h.request == 3;
                return Bytes{};
            default: return std::nullopt;
        }
    }

    void control(std::uint64_t id, usb_redir_control_packet_header h, const std::uint8_t*, int) {
        if ((h.requesttype & 0x60) == 0x20) {
            std::fprintf(g_log, "%s %02X %02X %02X %02X %02X %02X %02X %02X\n", superSpeed_ ? "superspeed" : "usb2",
                         h.requesttype, h.request, h.value & 0xFF, h.value >> 8, h.index & 0xFF, h.index >> 8,
                         h.length & 0xFF, h.length >> 8);
            std::fflush(g_log);
        }
        const auto bytes = answer(h);
        if (!bytes) {
            h.status = usb_redir_stall;
            h.length = 0;
            usbredirparser_send_control_packet(parser_, id, &h, nullptr, 0);
            return;
        }
        h.status = usb_redir_success;
        if ((h.requesttype & 0x80) == 0) {
            usbredirparser_send_control_packet(parser_, id, &h, nullptr, 0);
            return;
        }
        Bytes sent = *bytes;
        if (sent.size() > h.length) sent.resize(h.length);
        h.length = static_cast<std::uint16_t>(sent.size());
        usbredirparser_send_control_packet(parser_, id, &h, sent.data(), static_cast<int>(sent.size()));
    }

    bool superSpeed_;
    bool ganged_;
    std::string serial_;
    int fd_ = -1;
    bool closed_ = false;
    usbredirparser* parser_ = nullptr;
    std::uint8_t configuration_ = 0;
    std::array<bool, kPorts> power_{};
};

int listenOn(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const bool ganged = !args.empty() && args.front() == "--ganged";
    if (ganged) args.erase(args.begin());
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: hub_emulator [--ganged] SERIAL LOG USB2_SOCKET SUPERSPEED_SOCKET\n");
        return 2;
    }
    g_log = std::fopen(std::string(args[1]).c_str(), "w");
    if (g_log == nullptr) {
        std::perror("hub_emulator: log");
        return 1;
    }
    std::array<std::unique_ptr<HubDevice>, 2> devices = {
        std::make_unique<HubDevice>(false, ganged, std::string(args[0])),
        std::make_unique<HubDevice>(true, ganged, std::string(args[0]))};
    std::array<int, 2> listening = {listenOn(std::string(args[2])), listenOn(std::string(args[3]))};
    if (listening[0] < 0 || listening[1] < 0) {
        std::perror("hub_emulator: listen");
        return 1;
    }
    for (;;) {
        std::vector<pollfd> polled;
        for (std::size_t i = 0; i < 2; ++i) {
            if (listening[i] >= 0) {
                polled.push_back({listening[i], POLLIN, 0});
            } else if (devices[i]->open()) {
                polled.push_back({devices[i]->fd(),
                                  static_cast<short>(POLLIN | (devices[i]->wantsToWrite() ? POLLOUT : 0)), 0});
            }
        }
        if (polled.empty()) return 0;  // QEMU closed both
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        for (const pollfd& p : polled) {
            for (std::size_t i = 0; i < 2; ++i) {
                if (p.fd == listening[i] && (p.revents & POLLIN) != 0) {
                    const int connection = ::accept4(listening[i], nullptr, nullptr, SOCK_CLOEXEC);
                    if (connection < 0) continue;
                    ::close(listening[i]);
                    listening[i] = -1;
                    devices[i]->start(connection);
                } else if (listening[i] < 0 && devices[i]->open() && p.fd == devices[i]->fd()) {
                    if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0) devices[i]->readable();
                    if ((p.revents & POLLOUT) != 0 && devices[i]->open()) devices[i]->writable();
                }
            }
        }
        for (const auto& device : devices) {
            if (device->open() && device->wantsToWrite()) device->writable();
        }
    }
}
