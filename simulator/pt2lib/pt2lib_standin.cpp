// The project's stand-in for the hub chip vendor's control library: the
// hubs of the family on the bench that VOSTREL_SIM_BENCH names, numbered as
// the hub library's scan numbers them. Pins 17 to 20 switch the power of
// ports 1 to 4; every switch is written to the bench file, so the next scan
// (in this process or any other) sees it. Loaded into processes that may end
// while their threads still call it, so its state is never destroyed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "core/bench_edits.h"
#include "core/description_error.h"
#include "core/live_bench.h"
#include <vostrel/pt2lib_api.h>
#include <vostrel/pt2lib_errors.h>

// Exported by name through exports.map (ELF) or exports.def (Windows).
#if defined(_WIN32)
#define SIM_EXPORT extern "C"
#else
#define SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vostrel::sim {

namespace {

constexpr std::size_t kHubListBytes = 2048;  // the smallest buffer the hub library hands over
constexpr std::size_t kVersionBytes = 2048;
constexpr const char* kVersion = "Vostrel simulator pt2lib stand-in 1.0";

// The cause of the calling thread's last failed call, whatever the handle.
thread_local std::uint32_t t_lastError = PT2_OK;

// Raised inside an edit to leave the bench file untouched.
struct Refused {
    std::uint32_t error;
};

class StandIn {
public:
    // One line per hub the scan would number: "index location [id]", cut to
    // the smallest buffer the hub library hands over.
    std::int32_t listHubs(char* buffer) {
        std::lock_guard lock(mutex_);
        if (buffer == nullptr) return 0;
        std::string list;
        if (const auto view = bench_.view()) {
            for (std::size_t k = 0; k < view->familyHubs().size(); ++k) {
                const Device& hub = *view->familyHubs()[k];
                list += std::to_string(k) + " " + hub.location + (hub.id.empty() ? "" : " " + hub.id) + "\n";
            }
        }
        list.resize(std::min(list.size(), kHubListBytes - 1));
        std::memcpy(buffer, list.c_str(), list.size() + 1);
        return 1;
    }

    Pt2Handle open(std::uint32_t index) {
        std::lock_guard lock(mutex_);
        const auto view = bench_.view();
        if (!view || index >= view->familyHubs().size()) return -1;
        const Pt2Handle handle = next_++;
        open_[handle] = OpenHub{view->familyHubs()[index]->pointer, PT2_OK};
        return handle;
    }

    std::int32_t close(Pt2Handle handle) {
        std::lock_guard lock(mutex_);
        return open_.erase(handle) == 1 ? 1 : 0;
    }

    std::uint32_t lastError(Pt2Handle handle) {
        if (handle == -1) return t_lastError;
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        return found == open_.end() ? PT2_ERROR_INVALID_HANDLE : found->second.lastError;
    }

    std::int32_t configurePin(Pt2Handle handle, std::uint32_t pin) {
        return read(handle, pin, [](const Device&, int) {});
    }

    std::int32_t getPin(Pt2Handle handle, std::uint32_t pin, std::uint32_t* state) {
        if (state == nullptr) return fail(handle, PT2_ERROR_BAD_ARGUMENT);
        return read(handle, pin, [&](const Device& hub, int port) { *state = hub.portPower[port - 1] ? 1 : 0; });
    }

    std::int32_t setPin(Pt2Handle handle, std::uint32_t pin, std::uint32_t state) {
        if (!isPortPin(pin)) return fail(handle, PT2_ERROR_NO_SUCH_PIN);
        return change(handle, [&](Document& document, const Device& hub, const BusView& view) {
            setPortPower(document, hub, static_cast<int>(pin - kFirstPortPin) + 1, state != 0, view.now());
        });
    }

    std::int32_t reset(Pt2Handle handle) {
        return change(handle, [](Document& document, const Device& hub, const BusView& view) {
            resetHub(document, hub, view.now());
        });
    }

    std::int32_t program(Pt2Handle handle, const Programming& programming) {
        return change(handle, [&](Document& document, const Device& hub, const BusView&) {
            recordProgramming(document, hub, programming);
        });
    }

private:
    struct OpenHub {
        std::string pointer;  // the hub's place in the description
        std::uint32_t lastError;
    };

    static bool isPortPin(std::uint32_t pin) { return pin >= kFirstPortPin && pin < kFirstPortPin + kFamilyPortCount; }

    // The open hub, if the bus still shows it.
    static const Device* reachable(const BusView& view, const std::string& pointer) {
        const Device* hub = findDevice(view.bench(), pointer);
        return hub != nullptr && view.hubIndexOf(*hub) >= 0 ? hub : nullptr;
    }

    // Records the outcome of a call on its handle and on the calling thread.
    static std::int32_t outcome(std::uint32_t& handleError, std::uint32_t error) {
        handleError = t_lastError = error;
        return error == PT2_OK ? 1 : 0;
    }

    std::int32_t fail(Pt2Handle handle, std::uint32_t error) {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) return t_lastError = PT2_ERROR_INVALID_HANDLE, 0;
        return outcome(found->second.lastError, error);
    }

    template <typename Use>
    std::int32_t read(Pt2Handle handle, std::uint32_t pin, Use&& use) {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) return t_lastError = PT2_ERROR_INVALID_HANDLE, 0;
        std::uint32_t& error = found->second.lastError;
        if (!isPortPin(pin)) return outcome(error, PT2_ERROR_NO_SUCH_PIN);
        const auto view = bench_.view();
        const Device* hub = view ? reachable(*view, found->second.pointer) : nullptr;
        if (hub == nullptr) return outcome(error, PT2_ERROR_HUB_GONE);
        use(*hub, static_cast<int>(pin - kFirstPortPin) + 1);
        return outcome(error, PT2_OK);
    }

    template <typename Edit>
    std::int32_t change(Pt2Handle handle, Edit&& edit) {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) return t_lastError = PT2_ERROR_INVALID_HANDLE, 0;
        std::uint32_t& error = found->second.lastError;
        const std::string& pointer = found->second.pointer;
        try {
            bench_.update([&](Document& document, const BusView& view) {
                const Device* hub = reachable(view, pointer);
                if (hub == nullptr) throw Refused{PT2_ERROR_HUB_GONE};
                edit(document, *hub, view);
            });
        } catch (const Refused& refused) {
            return outcome(error, refused.error);
        } catch (const std::exception& problem) {
            std::fprintf(stderr, "vostrel simulator: %s\n", problem.what());
            return outcome(error, PT2_ERROR_NOT_WRITTEN);
        }
        return outcome(error, PT2_OK);
    }

    std::mutex mutex_;
    LiveBench bench_;
    std::map<Pt2Handle, OpenHub> open_;
    Pt2Handle next_ = 1;
};

// Never destroyed: a host's threads may call in while statics are torn down.
StandIn& standIn() {
    static StandIn* const instance = new StandIn;
    return *instance;
}

}  // namespace

}  // namespace vostrel::sim

using vostrel::sim::standIn;

SIM_EXPORT std::int32_t PT2_CALL MchpUsbGetAllHubs(char* buffer) { return standIn().listHubs(buffer); }

SIM_EXPORT Pt2Handle PT2_CALL MchpUsbOpen(std::uint32_t hubIndex) { return standIn().open(hubIndex); }

SIM_EXPORT std::int32_t PT2_CALL MchpUsbClose(Pt2Handle hub) { return standIn().close(hub); }

SIM_EXPORT std::int32_t PT2_CALL MchpEnableLogging(std::int32_t) { return 1; }

SIM_EXPORT std::uint32_t PT2_CALL MchpUsbGetLastErr(Pt2Handle hub) { return standIn().lastError(hub); }

SIM_EXPORT std::int32_t PT2_CALL MchpUsbGetVersion(char* buffer) {
    if (buffer == nullptr) return 0;
    std::snprintf(buffer, vostrel::sim::kVersionBytes, "%s", vostrel::sim::kVersion);
    return 1;
}

SIM_EXPORT std::int32_t PT2_CALL MchpUsbDeviceReset(Pt2Handle hub) { return standIn().reset(hub); }

SIM_EXPORT std::int32_t PT2_CALL MchpUsbConfigureGPIO(Pt2Handle hub, std::uint32_t pin) {
    return standIn().configurePin(hub, pin);
}

SIM_EXPORT std::int32_t PT2_CALL MchpUsbGpioGet(Pt2Handle hub, std::uint32_t pin, std::uint32_t* state) {
    return standIn().getPin(hub, pin, state);
}

SIM_EXPORT std::int32_t PT2_CALL MchpUsbGpioSet(Pt2Handle hub, std::uint32_t pin, std::uint32_t state) {
    return standIn().setPin(hub, pin, state);
}

SIM_EXPORT std::int32_t PT2_CALL MchpProgramFileWithSerial(Pt2Handle hub, std::uint32_t config, std::uint32_t serial) {
    return standIn().program(hub, {config, serial, serial});
}

SIM_EXPORT std::int32_t PT2_CALL MchpUsbProgramFileWithUsb3Serial(Pt2Handle hub, std::uint32_t config, std::uint32_t serial,
                                                         std::uint32_t serial2) {
    return standIn().program(hub, {config, serial, serial2});
}

// Every export has exactly the signature the hub library resolves.
static_assert(std::is_same_v<decltype(&MchpUsbGetAllHubs), MchpUsbGetAllHubs_t>);
static_assert(std::is_same_v<decltype(&MchpUsbOpen), MchpUsbOpen_t>);
static_assert(std::is_same_v<decltype(&MchpUsbClose), MchpUsbClose_t>);
static_assert(std::is_same_v<decltype(&MchpEnableLogging), MchpEnableLogging_t>);
static_assert(std::is_same_v<decltype(&MchpUsbGetLastErr), MchpUsbGetLastErr_t>);
static_assert(std::is_same_v<decltype(&MchpUsbGetVersion), MchpUsbGetVersion_t>);
static_assert(std::is_same_v<decltype(&MchpUsbDeviceReset), MchpUsbDeviceReset_t>);
static_assert(std::is_same_v<decltype(&MchpUsbConfigureGPIO), MchpUsbConfigureGPIO_t>);
static_assert(std::is_same_v<decltype(&MchpUsbGpioGet), MchpUsbGpioGet_t>);
static_assert(std::is_same_v<decltype(&MchpUsbGpioSet), MchpUsbGpioSet_t>);
static_assert(std::is_same_v<decltype(&MchpProgramFileWithSerial), MchpProgramFileWithSerial_t>);
static_assert(std::is_same_v<decltype(&MchpUsbProgramFileWithUsb3Serial), MchpUsbProgramFileWithUsb3Serial_t>);
