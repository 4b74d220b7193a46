// The recording double of the hub chip vendor's library; its behaviour and
// log format are described in pt2lib_double.h.
#include "pt2lib_double.h"

#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "portctl/pt2lib_api.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr std::size_t kHubListBytes = 4096;
constexpr std::size_t kVersionBytes = 2048;
constexpr std::uint32_t kPinCount = 64;
constexpr Pt2Handle kFirstHandle = 0x100;

struct FailureRule {
    std::string function;
    std::uint32_t callsToGo;  // 0: every call
};

struct Handle {
    std::uint32_t hubIndex;
    bool open;
};

struct PauseRule {
    std::string function;
    std::uint32_t callsToGo;
};

struct State {
    std::mutex mutex;
    std::condition_variable pauseChanged;
    std::string log;
    std::vector<FailureRule> failures;
    std::optional<PauseRule> pauseAt;
    bool paused = false;
    std::uint32_t hubCount = 1;
    std::vector<Handle> handles;  // handle hK at K - 1
    std::map<std::uint32_t, std::array<std::uint32_t, kPinCount>> pins;
};

// Never destroyed: the hub library may call in after this library's static
// destructors would have run at process exit. When the hub library unloads
// the double, the state is left behind on purpose, which is no leak to report.
State& state() {
    static State* const instance = [] {
        State* created = new State;
#if defined(__SANITIZE_ADDRESS__)
        __lsan_ignore_object(created);
#endif
        return created;
    }();
    return *instance;
}

// Counts one call of `function` against the failure rules; true when this
// call is to fail.
bool injectedFailure(State& s, const char* function) {
    bool fail = false;
    for (auto rule = s.failures.begin(); rule != s.failures.end();) {
        if (rule->function != function) {
            ++rule;
        } else if (rule->callsToGo == 0) {
            fail = true;
            ++rule;
        } else if (--rule->callsToGo == 0) {
            fail = true;
            rule = s.failures.erase(rule);
        } else {
            ++rule;
        }
    }
    return fail;
}

// The open handle's entry, or nullptr.
Handle* openHandle(State& s, Pt2Handle hub) {
    const Pt2Handle k = hub - kFirstHandle;
    if (k < 1 || k > static_cast<Pt2Handle>(s.handles.size())) return nullptr;
    Handle& handle = s.handles[static_cast<std::size_t>(k - 1)];
    return handle.open ? &handle : nullptr;
}

std::string handleText(const State& s, Pt2Handle hub) {
    const Pt2Handle k = hub - kFirstHandle;
    if (k >= 1 && k <= static_cast<Pt2Handle>(s.handles.size())) return "h" + std::to_string(k);
    return std::to_string(hub);
}

// The stored state of a pin of an open hub, or nullptr.
std::uint32_t* pinOf(State& s, Pt2Handle hub, std::uint32_t pin) {
    Handle* handle = openHandle(s, hub);
    if (handle == nullptr || pin >= kPinCount) return nullptr;
    return &s.pins[handle->hubIndex][pin];
}

template <typename... Args>
std::string callText(const State& s, const char* function, Pt2Handle hub, Args... args) {
    std::string text = std::string(function) + "(" + handleText(s, hub);
    ((text += "," + std::to_string(args)), ...);
    return text + ")";
}

// Stops the calling thread when this is the call to pause at, until resumed.
void pauseIfAsked(State& s, std::unique_lock<std::mutex>& lock, const std::string& call) {
    if (!s.pauseAt || !call.starts_with(s.pauseAt->function + "(")) return;
    if (--s.pauseAt->callsToGo != 0) return;
    s.pauseAt.reset();
    s.paused = true;
    s.pauseChanged.notify_all();
    s.pauseChanged.wait(lock, [&] { return !s.paused; });
}

// Appends the call to the log, pauses when asked to, and turns success into
// the vendor's result.
std::int32_t finish(State& s, std::unique_lock<std::mutex>& lock, const std::string& call, bool succeeded) {
    s.log += call;
    s.log += succeeded ? "\n" : " failed\n";
    pauseIfAsked(s, lock, call);
    return succeeded ? 1 : 0;
}

}  // namespace

extern "C" {

PT2DOUBLE_API std::int32_t MchpUsbGetAllHubs(char* buffer) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool fail = injectedFailure(s, "MchpUsbGetAllHubs");
    if (buffer != nullptr) {
        std::memset(buffer, 0, kHubListBytes);
        std::snprintf(buffer, kHubListBytes, "hubs=%u", s.hubCount);
    }
    return finish(s, lock, "MchpUsbGetAllHubs()", !fail && buffer != nullptr);
}

PT2DOUBLE_API Pt2Handle MchpUsbOpen(std::uint32_t hubIndex) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded = !injectedFailure(s, "MchpUsbOpen") && hubIndex < s.hubCount;
    Pt2Handle handle = -1;
    if (succeeded) {
        s.handles.push_back({hubIndex, true});
        handle = kFirstHandle + static_cast<Pt2Handle>(s.handles.size());
    }
    finish(s, lock, "MchpUsbOpen(" + std::to_string(hubIndex) + ")", succeeded);
    return handle;
}

PT2DOUBLE_API std::int32_t MchpUsbClose(Pt2Handle hub) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    Handle* handle = openHandle(s, hub);
    const bool succeeded = !injectedFailure(s, "MchpUsbClose") && handle != nullptr;
    if (succeeded) handle->open = false;
    return finish(s, lock, callText(s, "MchpUsbClose", hub), succeeded);
}

PT2DOUBLE_API std::int32_t MchpEnableLogging(std::int32_t enable) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded = !injectedFailure(s, "MchpEnableLogging");
    return finish(s, lock, "MchpEnableLogging(" + std::to_string(enable) + ")", succeeded);
}

PT2DOUBLE_API std::uint32_t MchpUsbGetLastErr(Pt2Handle hub) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded = !injectedFailure(s, "MchpUsbGetLastErr");
    finish(s, lock, callText(s, "MchpUsbGetLastErr", hub), succeeded);
    return 0;
}

PT2DOUBLE_API std::int32_t MchpUsbGetVersion(char* buffer) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool fail = injectedFailure(s, "MchpUsbGetVersion");
    if (buffer != nullptr) {
        std::memset(buffer, 0, kVersionBytes);
        std::snprintf(buffer, kVersionBytes, "pt2lib recording double");
    }
    return finish(s, lock, "MchpUsbGetVersion()", !fail && buffer != nullptr);
}

PT2DOUBLE_API std::int32_t MchpUsbDeviceReset(Pt2Handle hub) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded = !injectedFailure(s, "MchpUsbDeviceReset") && openHandle(s, hub) != nullptr;
    return finish(s, lock, callText(s, "MchpUsbDeviceReset", hub), succeeded);
}

PT2DOUBLE_API std::int32_t MchpUsbConfigureGPIO(Pt2Handle hub, std::uint32_t pin) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded = !injectedFailure(s, "MchpUsbConfigureGPIO") && pinOf(s, hub, pin) != nullptr;
    return finish(s, lock, callText(s, "MchpUsbConfigureGPIO", hub, pin), succeeded);
}

PT2DOUBLE_API std::int32_t MchpUsbGpioGet(Pt2Handle hub, std::uint32_t pin, std::uint32_t* pinState) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool fail = injectedFailure(s, "MchpUsbGpioGet");
    const std::uint32_t* stored = pinOf(s, hub, pin);
    if (stored != nullptr && pinState != nullptr) *pinState = *stored;
    return finish(s, lock, callText(s, "MchpUsbGpioGet", hub, pin), !fail && stored != nullptr && pinState != nullptr);
}

PT2DOUBLE_API std::int32_t MchpUsbGpioSet(Pt2Handle hub, std::uint32_t pin, std::uint32_t pinState) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    std::uint32_t* stored = pinOf(s, hub, pin);
    const bool succeeded = !injectedFailure(s, "MchpUsbGpioSet") && stored != nullptr;
    if (succeeded) *stored = pinState;
    return finish(s, lock, callText(s, "MchpUsbGpioSet", hub, pin, pinState), succeeded);
}

// The incomplete variant keeps this one hidden, so it cannot be resolved.
#if defined(PT2LIB_DOUBLE_INCOMPLETE)
#define PT2DOUBLE_OMITTED_API
#else
#define PT2DOUBLE_OMITTED_API PT2DOUBLE_API
#endif

PT2DOUBLE_OMITTED_API std::int32_t MchpProgramFileWithSerial(Pt2Handle hub, std::uint32_t config,
                                                             std::uint32_t serial) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded = !injectedFailure(s, "MchpProgramFileWithSerial") && openHandle(s, hub) != nullptr;
    return finish(s, lock, callText(s, "MchpProgramFileWithSerial", hub, config, serial), succeeded);
}

PT2DOUBLE_API std::int32_t MchpUsbProgramFileWithUsb3Serial(Pt2Handle hub, std::uint32_t config,
                                                            std::uint32_t serial, std::uint32_t serial2) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const bool succeeded =
        !injectedFailure(s, "MchpUsbProgramFileWithUsb3Serial") && openHandle(s, hub) != nullptr;
    return finish(s, lock, callText(s, "MchpUsbProgramFileWithUsb3Serial", hub, config, serial, serial2), succeeded);
}

PT2DOUBLE_API void pt2DoubleReset(void) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.log.clear();
    s.failures.clear();
    s.pauseAt.reset();
    s.hubCount = 1;
    s.handles.clear();
    s.pins.clear();
}

PT2DOUBLE_API void pt2DoubleClearLog(void) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.log.clear();
}

PT2DOUBLE_API size_t pt2DoubleReadLog(char* buffer, size_t capacity) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    if (buffer != nullptr && s.log.size() < capacity) std::memcpy(buffer, s.log.c_str(), s.log.size() + 1);
    return s.log.size();
}

PT2DOUBLE_API void pt2DoubleFailCall(const char* function, std::uint32_t nth) {
    if (nth == 0) return;
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.failures.push_back({function, nth});
}

PT2DOUBLE_API void pt2DoubleFailEveryCall(const char* function) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.failures.push_back({function, 0});
}

PT2DOUBLE_API void pt2DoublePauseAt(const char* function, std::uint32_t nth) {
    if (nth == 0) return;
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.pauseAt = PauseRule{function, nth};
}

PT2DOUBLE_API int pt2DoubleWaitForPause(void) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.pauseChanged.wait(lock, [&] { return s.paused || !s.pauseAt; });
    return s.paused ? 1 : 0;
}

PT2DOUBLE_API void pt2DoubleCancelPause(void) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.pauseAt.reset();
    s.pauseChanged.notify_all();
}

PT2DOUBLE_API void pt2DoubleResume(void) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.paused = false;
    s.pauseChanged.notify_all();
}

PT2DOUBLE_API void pt2DoubleSetHubCount(std::uint32_t count) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.hubCount = count;
}

PT2DOUBLE_API std::uint32_t pt2DoublePinState(std::uint32_t hubIndex, std::uint32_t pin) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    const auto hub = s.pins.find(hubIndex);
    return hub == s.pins.end() || pin >= kPinCount ? 0 : hub->second[pin];
}

PT2DOUBLE_API void pt2DoubleSetPinState(std::uint32_t hubIndex, std::uint32_t pin, std::uint32_t pinState) {
    if (pin >= kPinCount) return;
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.pins[hubIndex][pin] = pinState;
}

}  // extern "C"

// The double implements exactly the signatures the hub library calls through.
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
