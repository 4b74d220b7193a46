// The recording double of the hub chip vendor's library; see pt2lib_double.h.
#include "pt2lib_double.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <type_traits>

#include <vostrel/pt2lib_api.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr Pt2Handle kHandleBase = 0x100;

using Countdowns = std::map<std::string, std::uint32_t>;  // function -> calls to go

// Everything a reset starts afresh.
struct Model {
    std::vector<std::string> log;
    Countdowns failAt, pauseAt;
    void (*hook)() = nullptr;
    std::uint32_t hubCount = 1;
    Pt2Handle opened = 0;
    std::map<std::uint32_t, std::uint32_t> pins;
};

struct State : Model {
    std::mutex mutex;
    std::condition_variable pauseChanged;
    bool paused = false;
};

// Never destroyed: the hub library may call in after this library's static
// destructors ran at exit. Left behind when the double is unloaded; no leak.
State& state() {
    static State* const instance = [] {
        auto* created = new State;
#if defined(__SANITIZE_ADDRESS__)
        __lsan_ignore_object(created);
#endif
        return created;
    }();
    return *instance;
}

template <typename Change>
auto locked(Change change) {
    std::lock_guard lock(state().mutex);
    return change(state());
}

// Counts one call of `function`; true when it is the one asked for.
bool due(Countdowns& countdowns, const std::string& function) {
    const auto entry = countdowns.find(function);
    if (entry == countdowns.end() || --entry->second != 0) return false;
    countdowns.erase(entry);
    return true;
}

std::string argText(const State& s, Pt2Handle hub) {
    const bool handedOut = hub > kHandleBase && hub <= kHandleBase + s.opened;
    return handedOut ? std::string("h").append(std::to_string(hub - kHandleBase)) : std::to_string(hub);
}

template <typename Number>
std::string argText(const State&, Number number) {
    return std::to_string(number);
}

// One vendor call, holding the double's lock: fails if asked to, runs the
// hook, and on leaving is logged and stops if asked to.
struct Call {
    template <typename... Args>
    explicit Call(const char* name, Args... args) : s(state()), lock(s.mutex), function(name), text(name) {
        text += "(";
        ((text += argText(s, args) + ","), ...);
        if constexpr (sizeof...(args) > 0) text.pop_back();
        text += ")";
        ok = !due(s.failAt, function);
        if (s.hook != nullptr) s.hook();
    }
    ~Call() {
        s.log.push_back(ok ? text : text + " failed");
        if (!due(s.pauseAt, function)) return;
        s.paused = true;
        s.pauseChanged.notify_all();
        s.pauseChanged.wait(lock, [this] { return !s.paused; });
    }

    State& s;
    std::unique_lock<std::mutex> lock;
    std::string function, text;
    bool ok;
};

}  // namespace

extern "C" {

PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbGetAllHubs(char* buffer) {
    Call call("MchpUsbGetAllHubs");
    std::memset(buffer, 0, 4096);
    return call.ok;
}

PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbGetVersion(char* buffer) {
    Call call("MchpUsbGetVersion");
    std::memset(buffer, 0, 2048);
    return call.ok;
}

PT2DOUBLE_API Pt2Handle PT2_CALL MchpUsbOpen(std::uint32_t hubIndex) {
    Call call("MchpUsbOpen", hubIndex);
    call.ok = call.ok && hubIndex < call.s.hubCount;
    return call.ok ? kHandleBase + ++call.s.opened : -1;
}

PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbGpioGet(Pt2Handle hub, std::uint32_t pin, std::uint32_t* pinState) {
    Call call("MchpUsbGpioGet", hub, pin);
    *pinState = call.s.pins[pin];  // even when failing: callers must go by the result
    return call.ok;
}

PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbGpioSet(Pt2Handle hub, std::uint32_t pin, std::uint32_t pinState) {
    Call call("MchpUsbGpioSet", hub, pin, pinState);
    if (call.ok) call.s.pins[pin] = pinState;
    return call.ok;
}

PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbClose(Pt2Handle hub) { return Call("MchpUsbClose", hub).ok; }
PT2DOUBLE_API std::int32_t PT2_CALL MchpEnableLogging(std::int32_t on) { return Call("MchpEnableLogging", on).ok; }
PT2DOUBLE_API std::uint32_t PT2_CALL MchpUsbGetLastErr(Pt2Handle hub) { return Call("MchpUsbGetLastErr", hub).ok ? 0 : 1; }
PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbDeviceReset(Pt2Handle hub) { return Call("MchpUsbDeviceReset", hub).ok; }
PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbConfigureGPIO(Pt2Handle hub, std::uint32_t pin) {
    return Call("MchpUsbConfigureGPIO", hub, pin).ok;
}
#if !defined(PT2LIB_DOUBLE_INCOMPLETE)
PT2DOUBLE_API
#endif
std::int32_t PT2_CALL MchpProgramFileWithSerial(Pt2Handle hub, std::uint32_t config, std::uint32_t serial) {
    return Call("MchpProgramFileWithSerial", hub, config, serial).ok;
}
PT2DOUBLE_API std::int32_t PT2_CALL MchpUsbProgramFileWithUsb3Serial(Pt2Handle hub, std::uint32_t config,
                                                                     std::uint32_t serial, std::uint32_t serial2) {
    return Call("MchpUsbProgramFileWithUsb3Serial", hub, config, serial, serial2).ok;
}

PT2DOUBLE_API void pt2DoubleReset() { locked([](State& s) { static_cast<Model&>(s) = Model{}; }); }
PT2DOUBLE_API void pt2DoubleClearLog() { locked([](State& s) { s.log.clear(); }); }
PT2DOUBLE_API void pt2DoubleSetHubCount(std::uint32_t count) { locked([=](State& s) { s.hubCount = count; }); }
PT2DOUBLE_API void pt2DoubleSetHook(void (*hook)()) { locked([=](State& s) { s.hook = hook; }); }
PT2DOUBLE_API void pt2DoubleFailCall(const char* function, std::uint32_t nth) {
    locked([=](State& s) { s.failAt[function] = nth; });
}
PT2DOUBLE_API void pt2DoublePauseAt(const char* function, std::uint32_t nth) {
    locked([=](State& s) { s.pauseAt[function] = nth; });
}

PT2DOUBLE_API int pt2DoubleWaitForPause() {
    std::unique_lock lock(state().mutex);
    state().pauseChanged.wait(lock, [] { return state().paused; });
    return 1;
}

PT2DOUBLE_API void pt2DoubleResume() {
    locked([](State& s) {
        s.paused = false;
        s.pauseChanged.notify_all();
    });
}

}  // extern "C"

std::vector<std::string> pt2double::calls() {
    return locked([](State& s) { return s.log; });
}

// The double implements exactly the signatures the hub library calls through.
#define SAME_TYPE(f) static_assert(std::is_same_v<decltype(&f), f##_t>);
SAME_TYPE(MchpUsbGetAllHubs) SAME_TYPE(MchpUsbOpen) SAME_TYPE(MchpUsbClose) SAME_TYPE(MchpEnableLogging)
SAME_TYPE(MchpUsbGetLastErr) SAME_TYPE(MchpUsbGetVersion) SAME_TYPE(MchpUsbDeviceReset)
SAME_TYPE(MchpUsbConfigureGPIO) SAME_TYPE(MchpUsbGpioGet) SAME_TYPE(MchpUsbGpioSet)
SAME_TYPE(MchpProgramFileWithSerial) SAME_TYPE(MchpUsbProgramFileWithUsb3Serial)
