/* Control of the recording double of the hub chip vendor's library.

   The double is a shared library with the vendor library's twelve functions
   and the soname libpt2lib.so, built into a folder of its own (never beside
   libVostrel_4.so). It records every call as one text line and keeps a small
   model of the hubs: how many there are, which handles are open, the state of
   each hub's pins. Any call can be made to fail.

   Getting the hub library to bind it:
   - Link the CMake target `pt2lib_double` into the test executable. Its
     soname is libpt2lib.so, so the hub library's dlopen("libpt2lib.so") finds
     the copy already loaded, whether the hub library is linked statically
     (vostrel_core) or loaded as libVostrel_4.so. The test calls the functions
     below directly. State survives the hub library's unload, because the
     executable keeps the double loaded: call pt2DoubleReset() in each test's
     set-up, before the hub library's load steps.
   - Or, for a process that must not link it, put the double's folder first in
     LD_LIBRARY_PATH, e.g. through CTest:
       set_property(TEST t PROPERTY ENVIRONMENT
                    "LD_LIBRARY_PATH=$<TARGET_FILE_DIR:pt2lib_double>")
     and reach the functions below with dlsym on dlopen("libpt2lib.so").
     Its state then lasts only while something keeps it loaded: the hub
     library unloads it when it releases its binding.
   `pt2lib_double_incomplete` is the same double without the export
   MchpProgramFileWithSerial, in a folder of its own: a vendor library that
   the hub library must refuse to bind.

   Log lines, oldest first: the function name and its arguments in decimal,
   pointer arguments left out, then " failed" when the call reported failure:
     MchpUsbGetVersion()   MchpUsbGetAllHubs()   MchpEnableLogging(0)
     MchpUsbOpen(0)        MchpUsbClose(h1)      MchpUsbDeviceReset(h1)
     MchpUsbConfigureGPIO(h1,18)   MchpUsbGpioSet(h1,18,0)
     MchpUsbGpioGet(h1,17)         MchpUsbOpen(7) failed
     MchpUsbProgramFileWithUsb3Serial(h1,5,9,9)
     MchpUsbGetLastErr(h1)         MchpProgramFileWithSerial(h1,5,9)
   hK is the handle returned by the K-th successful MchpUsbOpen since the last
   reset; any other handle value is written as a number.

   The model: MchpUsbOpen succeeds for a hub index below the hub count.
   Calls with a handle that is not open, and pin numbers of 64 and above,
   fail. MchpUsbGpioSet stores the state given for that hub and pin;
   MchpUsbGpioGet reports it. MchpUsbGetAllHubs writes 4096 bytes and
   MchpUsbGetVersion 2048, the most each may write, so that a smaller buffer
   shows under AddressSanitizer. A failed call changes nothing, except that a
   failed MchpUsbGpioGet still writes the pin's state: callers must go by the
   result. Every function may be called from any thread. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
#include <string>
#include <vector>
extern "C" {
#endif

#define PT2DOUBLE_API __attribute__((visibility("default")))

/* Back to the start: empty log, no failures or stops to come, one hub, no
   handle open, every pin of every hub at 0; handles count from h1 again. */
PT2DOUBLE_API void pt2DoubleReset(void);

/* Empties the log; everything else stays. */
PT2DOUBLE_API void pt2DoubleClearLog(void);

/* Copies the log, one line per call, each ending in '\n', into `buffer` and
   terminates it with a NUL when `capacity` allows. Returns the length of the
   whole log without the NUL; nothing is copied when it does not fit. */
PT2DOUBLE_API size_t pt2DoubleReadLog(char* buffer, size_t capacity);

/* The `nth` call of `function` from now on (1: the next one) fails; 0 asks
   for nothing. */
PT2DOUBLE_API void pt2DoubleFailCall(const char* function, uint32_t nth);

/* Every call of `function` fails until the next reset. */
PT2DOUBLE_API void pt2DoubleFailEveryCall(const char* function);

/* The `nth` call of `function` from now on (1: the next one) stops once it
   has done its work and been logged, before it returns, until
   pt2DoubleResume(). Lets a test look at the hub library while a vendor call
   runs, e.g. whether the caller holds the general lock, or wait for a port
   switch made on another thread without sleeping. One such stop at a time. */
PT2DOUBLE_API void pt2DoublePauseAt(const char* function, uint32_t nth);

/* Blocks until the call asked for is stopped (1), or until the stop was
   cancelled before that call came (0). */
PT2DOUBLE_API int pt2DoubleWaitForPause(void);

/* Withdraws a stop not reached yet, releasing pt2DoubleWaitForPause. Call it
   when the code under test has finished, so that a test whose call never
   comes fails instead of hanging. */
PT2DOUBLE_API void pt2DoubleCancelPause(void);

/* Lets the stopped call return. */
PT2DOUBLE_API void pt2DoubleResume(void);

/* Hub indices 0 to count - 1 can be opened. */
PT2DOUBLE_API void pt2DoubleSetHubCount(uint32_t count);

PT2DOUBLE_API uint32_t pt2DoublePinState(uint32_t hubIndex, uint32_t pin);
PT2DOUBLE_API void pt2DoubleSetPinState(uint32_t hubIndex, uint32_t pin, uint32_t state);

#if defined(__cplusplus)
}  // extern "C"

namespace pt2double {

/* The log as one string per call. */
inline std::vector<std::string> calls() {
    std::string text(4096, '\0');
    for (;;) {
        const size_t length = pt2DoubleReadLog(text.data(), text.size());
        if (length < text.size()) {
            text.resize(length);
            break;
        }
        text.assign(length + 4096, '\0');  // the log may grow between the two reads
    }
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace pt2double
#endif
