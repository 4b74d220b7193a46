// A vendor library (soname libpt2lib.so) that knows one hub on every index
// and refuses every port switch with the last-error code that the
// environment variable VOSTREL_TEST_PT2_ERROR gives, reported for the
// calling thread (handle -1) as the project's implementations do.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <vostrel/pt2lib_api.h>
#include <vostrel/pt2lib_errors.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

thread_local std::uint32_t t_lastError = PT2_OK;

std::int32_t succeed() {
    t_lastError = PT2_OK;
    return 1;
}

}  // namespace

EXPORT std::int32_t MchpUsbGetAllHubs(char* buffer) {
    std::strcpy(buffer, "0 refusing\n");
    return succeed();
}
EXPORT Pt2Handle MchpUsbOpen(std::uint32_t) { return succeed(); }
EXPORT std::int32_t MchpUsbClose(Pt2Handle) { return succeed(); }
EXPORT std::int32_t MchpEnableLogging(std::int32_t) { return succeed(); }
EXPORT std::uint32_t MchpUsbGetLastErr(Pt2Handle) { return t_lastError; }
EXPORT std::int32_t MchpUsbGetVersion(char* buffer) {
    std::strcpy(buffer, "refusing test double");
    return succeed();
}
EXPORT std::int32_t MchpUsbDeviceReset(Pt2Handle) { return succeed(); }
EXPORT std::int32_t MchpUsbConfigureGPIO(Pt2Handle, std::uint32_t) { return succeed(); }
EXPORT std::int32_t MchpUsbGpioGet(Pt2Handle, std::uint32_t, std::uint32_t* state) {
    *state = 1;
    return succeed();
}
EXPORT std::int32_t MchpUsbGpioSet(Pt2Handle, std::uint32_t, std::uint32_t) {
    const char* error = std::getenv("VOSTREL_TEST_PT2_ERROR");
    t_lastError = error != nullptr ? static_cast<std::uint32_t>(std::strtoul(error, nullptr, 10)) : PT2_OK;
    return t_lastError == PT2_OK ? 1 : 0;
}
EXPORT std::int32_t MchpProgramFileWithSerial(Pt2Handle, std::uint32_t, std::uint32_t) { return succeed(); }
EXPORT std::int32_t MchpUsbProgramFileWithUsb3Serial(Pt2Handle, std::uint32_t, std::uint32_t, std::uint32_t) {
    return succeed();
}
