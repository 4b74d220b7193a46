#include "emulated_hubs.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "family_hub_list.h"
#include "platform/usbfs.h"
#include "recording_usbfs.h"

namespace vostrel::test {

struct HubNode {
    std::string node;
    bool superSpeed = false;
    std::uint16_t characteristics = kEachPortSwitched;
    std::uint8_t unpowered = 0;  // bit p - 1: port p
};

struct EmulatedHubs::State {
    std::mutex mutex;
    std::vector<std::string> log;
    std::vector<std::unique_ptr<HubNode>> nodes;
    std::vector<UMockdevIoctlBase*> handlers;
};

namespace {

struct EmulatedHub {
    UMockdevIoctlBase parent;
    EmulatedHubs::State* state;
    HubNode* hub;
};
struct EmulatedHubClass {
    UMockdevIoctlBaseClass parent;
};
G_DEFINE_TYPE(EmulatedHub, emulated_hub, UMOCKDEV_TYPE_IOCTL_BASE)

// The hub's answer to a device-to-host request, or nothing for others.
std::vector<std::uint8_t> answerOf(const HubNode& hub, const usbbus::SetupPacket& setup) {
    const auto low = static_cast<std::uint8_t>(hub.characteristics & 0xFF);
    const auto high = static_cast<std::uint8_t>(hub.characteristics >> 8);
    if (setup.requestType == 0xA0 && setup.request == 6) {
        if ((setup.value >> 8) == 0x2A) return {12, 0x2A, 4, low, high, 50, 0, 0, 0, 0, 0, 0};
        return {9, 0x29, 4, low, high, 50, 100, 0, 0xFF};
    }
    if (setup.requestType == 0xA3 && setup.request == 0 && setup.index >= 1 && setup.index <= 4) {
        const bool powered = (hub.unpowered & (1u << (setup.index - 1))) == 0;
        const std::uint16_t status = powered ? (hub.superSpeed ? 0x0200 : 0x0100) : 0;
        return {static_cast<std::uint8_t>(status & 0xFF), static_cast<std::uint8_t>(status >> 8), 0, 0};
    }
    return {};
}

gboolean answer(UMockdevIoctlBase* base, UMockdevIoctlClient* client) {
    auto* self = reinterpret_cast<EmulatedHub*>(base);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    GError* error = nullptr;
    const std::lock_guard lock(self->state->mutex);
    if (request == USBDEVFS_CLAIM_PORT || request == USBDEVFS_RELEASE_PORT) {
        unsigned number = 0;
        if (UMockdevIoctlData* port = umockdev_ioctl_data_resolve(argument, 0, sizeof number, &error)) {
            std::memcpy(&number, port->data, sizeof number);
            umockdev_ioctl_data_unref(port);
        }
        g_clear_error(&error);
        self->state->log.push_back(self->hub->node + (request == USBDEVFS_CLAIM_PORT ? " claim " : " release ") +
                                   std::to_string(number));
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request != USBDEVFS_CONTROL) return FALSE;
    UMockdevIoctlData* transferData = umockdev_ioctl_data_resolve(argument, 0, sizeof(usbdevfs_ctrltransfer), &error);
    if (transferData == nullptr) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    usbdevfs_ctrltransfer transfer{};
    std::memcpy(&transfer, transferData->data, sizeof transfer);
    const usbbus::SetupPacket setup{transfer.bRequestType, transfer.bRequest, transfer.wValue, transfer.wIndex,
                                    transfer.wLength};
    self->state->log.push_back(self->hub->node + " " + RecordingUsbfs::hex(setup));
    if (setup.requestType == 0x23 && setup.value == 8 && setup.index >= 1 && setup.index <= 4) {
        const auto bit = static_cast<std::uint8_t>(1u << (setup.index - 1));
        if (setup.request == 1) self->hub->unpowered |= bit;
        if (setup.request == 3) self->hub->unpowered &= static_cast<std::uint8_t>(~bit);
    }
    std::vector<std::uint8_t> bytes = answerOf(*self->hub, setup);
    bytes.resize(std::min<std::size_t>(bytes.size(), setup.length));
    int answered = 0;
    if (!bytes.empty()) {
        UMockdevIoctlData* data = umockdev_ioctl_data_resolve(transferData, offsetof(usbdevfs_ctrltransfer, data),
                                                              setup.length, &error);
        if (data != nullptr) {
            umockdev_ioctl_data_update(data, 0, bytes.data(), bytes.size());
            umockdev_ioctl_data_unref(data);
            answered = static_cast<int>(bytes.size());
        }
        g_clear_error(&error);
    }
    umockdev_ioctl_data_unref(transferData);
    umockdev_ioctl_client_complete(client, answered, 0);
    return TRUE;
}

void emulated_hub_class_init(EmulatedHubClass* type) { UMOCKDEV_IOCTL_BASE_CLASS(type)->handle_ioctl = answer; }
void emulated_hub_init(EmulatedHub* self) {
    self->state = nullptr;
    self->hub = nullptr;
}

}  // namespace

EmulatedHubs::EmulatedHubs() : state_(std::make_unique<State>()) {}

EmulatedHubs::~EmulatedHubs() {
    for (UMockdevIoctlBase* handler : state_->handlers) g_object_unref(handler);
    // The handlers answer on umockdev's thread under the mutex: taking it
    // once orders their last answer before the state goes.
    const std::lock_guard lock(state_->mutex);
}

void EmulatedHubs::attach(MockBus& bus, const std::string& node, bool superSpeed, std::uint16_t characteristics) {
    HubNode* hub;
    {
        const std::lock_guard lock(state_->mutex);
        hub = state_->nodes.emplace_back(std::make_unique<HubNode>(HubNode{node, superSpeed, characteristics, 0})).get();
    }
    auto* handler = static_cast<EmulatedHub*>(g_object_new(emulated_hub_get_type(), nullptr));
    handler->state = state_.get();
    handler->hub = hub;
    state_->handlers.push_back(reinterpret_cast<UMockdevIoctlBase*>(handler));
    bus.answerIoctls(node, reinterpret_cast<UMockdevIoctlBase*>(handler));
}

void EmulatedHubs::attachFamilyHubs(MockBus& bus, std::uint16_t characteristics) {
    for (const native::NativeHub& hub : native::readFamilyHubs()) {
        for (const native::HubSide& side : hub.sides) {
            attach(bus, platform::usbfsNode(side.bus, side.address), side.superSpeed, characteristics);
        }
    }
}

std::vector<std::string> EmulatedHubs::take() {
    const std::lock_guard lock(state_->mutex);
    return std::exchange(state_->log, {});
}

}  // namespace vostrel::test
