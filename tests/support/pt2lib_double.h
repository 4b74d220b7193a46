// Control of the recording double of the hub chip vendor's library: a shared
// library with the vendor's twelve functions and the soname libpt2lib.so.
// Link the CMake target `pt2lib_double` and the hub library's dlopen finds
// this copy; its state outlives the hub library's unload, so reset it before
// each test. `pt2lib_double_incomplete` lacks MchpProgramFileWithSerial.
//
// Every call is logged, the name and its arguments in decimal (pointers left
// out), " failed" appended when it reports failure:
//   MchpUsbOpen(0)   MchpUsbConfigureGPIO(h1,18)   MchpUsbGpioSet(h1,18,0) failed
// hK is the handle of the K-th successful MchpUsbOpen since the reset.
// MchpUsbOpen fails for a hub index at or above the hub count; every other
// call succeeds unless told to fail. Pin states are one set for all hubs:
// MchpUsbGpioSet stores, MchpUsbGpioGet reports, even when it fails. The
// list and version calls fill their whole buffers, 4096 and 2048 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
#define PT2DOUBLE_EXPORT __declspec(dllexport)
#else
#define PT2DOUBLE_EXPORT __attribute__((visibility("default")))
#endif
#define PT2DOUBLE_API extern "C" PT2DOUBLE_EXPORT

// Empty log, nothing to fail, pause or hook, one hub, pins at 0, handles from h1.
PT2DOUBLE_API void pt2DoubleReset();
PT2DOUBLE_API void pt2DoubleClearLog();
PT2DOUBLE_API void pt2DoubleSetHubCount(std::uint32_t count);
// The `nth` call of `function` from now on fails (0: none).
PT2DOUBLE_API void pt2DoubleFailCall(const char* function, std::uint32_t nth);
// `hook` runs inside every vendor call, on the caller's thread.
PT2DOUBLE_API void pt2DoubleSetHook(void (*hook)());
// The `nth` call of `function` from now on stops once logged, until
// pt2DoubleResume(); pt2DoubleWaitForPause() blocks until it has stopped.
PT2DOUBLE_API void pt2DoublePauseAt(const char* function, std::uint32_t nth);
PT2DOUBLE_API int pt2DoubleWaitForPause();
PT2DOUBLE_API void pt2DoubleResume();

namespace pt2double {

// The log, one line per call, oldest first.
PT2DOUBLE_EXPORT std::vector<std::string> calls();

}  // namespace pt2double
