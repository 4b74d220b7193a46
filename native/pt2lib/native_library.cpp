#include "native_library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "family_hub_list.h"
#include "backends/sysfs_usb.h"
#include "port_power.h"
#include <vostrel/pt2lib_errors.h>

namespace vostrel::native {

const char kVersionText[] = "Vostrel native pt2lib " VOSTREL_VERSION
                            " for Linux: port power through the kernel's port disable attributes (sysfs, Linux 6.0 "
                            "and later), else hub port power requests through usbfs";

namespace {

constexpr std::size_t kHubListBytes = 2048;  // the smallest buffer the hub library hands over
constexpr std::size_t kVersionBytes = 2048;
static_assert(sizeof kVersionText <= kVersionBytes);
constexpr std::uint32_t kFirstPortPin = 17;
constexpr std::uint32_t kPortPins = 4;

thread_local std::uint32_t t_lastError = PT2_OK;

struct OpenHub {
    NativeHub hub;
    std::uint32_t lastError = PT2_OK;
};

struct State {
    std::mutex mutex;
    std::map<Pt2Handle, OpenHub> open;
    Pt2Handle next = 1;
    PortPower power;
    // Taken alone, never with `mutex`: readings of the bus, one at a time,
    // through one reader that keeps what cannot change between them.
    std::mutex readingMutex;
    platform::SysfsUsbReader reader;
};

// Never destroyed: a host's threads may still call in while the process's
// statics are torn down, and the ports claimed through usbfs must stay
// claimed for as long as the process lives.
State& state() {
    static State* const instance = new State;
    return *instance;
}

std::vector<NativeHub> familyHubs() {
    State& s = state();
    std::lock_guard lock(s.readingMutex);
    return readFamilyHubs(s.reader);
}

// Records the outcome of a call on the calling thread and on its handle.
std::int32_t outcome(OpenHub* hub, std::uint32_t error) {
    t_lastError = error;
    if (hub != nullptr) hub->lastError = error;
    return error == PT2_OK ? 1 : 0;
}

// Runs `act(hub, power)` on the open hub `handle` under the lock, after
// checking that the hub is still there; it returns a last-error code.
template <typename Act>
std::int32_t withHub(Pt2Handle handle, Act&& act) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    const auto found = s.open.find(handle);
    if (found == s.open.end()) return outcome(nullptr, PT2_ERROR_INVALID_HANDLE);
    const NativeHub& hub = found->second.hub;
    for (const HubSide& side : hub.sides) {
        if (const std::uint32_t gone = checkPresent(side)) return outcome(&found->second, gone);
    }
    return outcome(&found->second, act(hub, s.power));
}

// The port (from 1) that `pin` switches, when every side of `hub` has it.
std::optional<int> portOfPin(const NativeHub& hub, std::uint32_t pin) {
    if (pin < kFirstPortPin || pin >= kFirstPortPin + kPortPins) return std::nullopt;
    const int port = static_cast<int>(pin - kFirstPortPin) + 1;
    for (const HubSide& side : hub.sides) {
        if (side.ports.size() < static_cast<std::size_t>(port)) return std::nullopt;
    }
    return port;
}

}  // namespace

std::int32_t getAllHubs(char* buffer) {
    if (buffer == nullptr) return outcome(nullptr, PT2_ERROR_BAD_ARGUMENT);
    std::string list = hubListText(familyHubs());
    list.resize(std::min(list.size(), kHubListBytes - 1));
    std::memcpy(buffer, list.c_str(), list.size() + 1);
    return outcome(nullptr, PT2_OK);
}

Pt2Handle open(std::uint32_t hubIndex) {
    std::vector<NativeHub> hubs = familyHubs();
    if (hubIndex >= hubs.size()) {
        outcome(nullptr, PT2_ERROR_HUB_GONE);
        return -1;
    }
    State& s = state();
    std::lock_guard lock(s.mutex);
    const Pt2Handle handle = s.next++;
    for (const HubSide& side : hubs[hubIndex].sides) s.power.forget(side);
    s.open[handle] = OpenHub{std::move(hubs[hubIndex]), PT2_OK};
    outcome(nullptr, PT2_OK);
    return handle;
}

std::int32_t close(Pt2Handle hub) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return outcome(nullptr, s.open.erase(hub) == 1 ? PT2_OK : PT2_ERROR_INVALID_HANDLE);
}

std::int32_t enableLogging(std::int32_t) { return outcome(nullptr, PT2_OK); }

std::uint32_t lastError(Pt2Handle hub) {
    if (hub == -1) return t_lastError;
    State& s = state();
    std::lock_guard lock(s.mutex);
    const auto found = s.open.find(hub);
    return found == s.open.end() ? PT2_ERROR_INVALID_HANDLE : found->second.lastError;
}

std::int32_t version(char* buffer) {
    if (buffer == nullptr) return outcome(nullptr, PT2_ERROR_BAD_ARGUMENT);
    std::snprintf(buffer, kVersionBytes, "%s", kVersionText);
    return outcome(nullptr, PT2_OK);
}

std::int32_t reset(Pt2Handle hub) {
    return withHub(hub, [](const NativeHub& open, PortPower& power) {
        for (const HubSide& side : open.sides) {
            if (const std::uint32_t failed = power.reset(side)) return failed;
        }
        return PT2_OK;
    });
}

std::int32_t configurePin(Pt2Handle hub, std::uint32_t pin) {
    return withHub(hub, [pin](const NativeHub& open, PortPower&) {
        return portOfPin(open, pin) ? PT2_OK : PT2_ERROR_NO_SUCH_PIN;
    });
}

std::int32_t getPin(Pt2Handle hub, std::uint32_t pin, std::uint32_t* state) {
    return withHub(hub, [pin, state](const NativeHub& open, PortPower& power) {
        if (state == nullptr) return PT2_ERROR_BAD_ARGUMENT;
        const auto port = portOfPin(open, pin);
        if (!port) return PT2_ERROR_NO_SUCH_PIN;
        // Powered when either side's port is: the connector has power then.
        // Unpowered only when every side says so.
        std::uint32_t firstFailure = PT2_OK;
        for (const HubSide& side : open.sides) {
            bool powered = false;
            const std::uint32_t failed = power.get(side, *port, powered);
            if (failed == PT2_OK && powered) {
                *state = 1;
                return PT2_OK;
            }
            if (firstFailure == PT2_OK) firstFailure = failed;
        }
        if (firstFailure == PT2_OK) *state = 0;
        return firstFailure;
    });
}

std::int32_t setPin(Pt2Handle hub, std::uint32_t pin, std::uint32_t state) {
    return withHub(hub, [pin, state](const NativeHub& open, PortPower& power) {
        const auto port = portOfPin(open, pin);
        if (!port) return PT2_ERROR_NO_SUCH_PIN;
        const bool on = state != 0;
        // Off: the USB 2.0 side first, so a SuperSpeed device never drops
        // to its USB 2.0 connection while the power goes; on: the SuperSpeed
        // side first, for the same reason. When a side fails, the sides
        // switched before it are switched back: a port whose sides agreed
        // stays as it was.
        std::vector<const HubSide*> order;
        for (const HubSide& side : open.sides) order.push_back(&side);
        if (on) std::reverse(order.begin(), order.end());
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (const std::uint32_t failed = power.set(*order[i], *port, on)) {
                while (i-- > 0) power.set(*order[i], *port, !on);
                return failed;
            }
        }
        return PT2_OK;
    });
}

std::int32_t program(Pt2Handle hub) {
    return withHub(hub, [](const NativeHub&, PortPower&) { return PT2_ERROR_NOT_SUPPORTED; });
}

}  // namespace vostrel::native
