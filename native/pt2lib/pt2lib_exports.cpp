// The vendor library's twelve C functions, exported by name (exports.map).
#include <type_traits>

#include "native_library.h"

#define PT2_EXPORT extern "C" __attribute__((visibility("default")))

namespace native = vostrel::native;

PT2_EXPORT std::int32_t MchpUsbGetAllHubs(char* buffer) { return native::getAllHubs(buffer); }

PT2_EXPORT Pt2Handle MchpUsbOpen(std::uint32_t hubIndex) { return native::open(hubIndex); }

PT2_EXPORT std::int32_t MchpUsbClose(Pt2Handle hub) { return native::close(hub); }

PT2_EXPORT std::int32_t MchpEnableLogging(std::int32_t enable) { return native::enableLogging(enable); }

PT2_EXPORT std::uint32_t MchpUsbGetLastErr(Pt2Handle hub) { return native::lastError(hub); }

PT2_EXPORT std::int32_t MchpUsbGetVersion(char* buffer) { return native::version(buffer); }

PT2_EXPORT std::int32_t MchpUsbDeviceReset(Pt2Handle hub) { return native::reset(hub); }

PT2_EXPORT std::int32_t MchpUsbConfigureGPIO(Pt2Handle hub, std::uint32_t pin) {
    return native::configurePin(hub, pin);
}

PT2_EXPORT std::int32_t MchpUsbGpioGet(Pt2Handle hub, std::uint32_t pin, std::uint32_t* state) {
    return native::getPin(hub, pin, state);
}

PT2_EXPORT std::int32_t MchpUsbGpioSet(Pt2Handle hub, std::uint32_t pin, std::uint32_t state) {
    return native::setPin(hub, pin, state);
}

PT2_EXPORT std::int32_t MchpProgramFileWithSerial(Pt2Handle hub, std::uint32_t, std::uint32_t) {
    return native::program(hub);
}

PT2_EXPORT std::int32_t MchpUsbProgramFileWithUsb3Serial(Pt2Handle hub, std::uint32_t, std::uint32_t, std::uint32_t) {
    return native::program(hub);
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
