/* The hub chip vendor's control library: the twelve functions the hub library
   resolves by name, with their C signatures. Nonzero results mean success.
   The simulator's stand-in, the native library for Linux and the test
   doubles implement these same names. */
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define PT2_CALL __stdcall
#else
#define PT2_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef intptr_t Pt2Handle; /* -1: no hub */

typedef int32_t(PT2_CALL* MchpUsbGetAllHubs_t)(char* buffer);
typedef Pt2Handle(PT2_CALL* MchpUsbOpen_t)(uint32_t hubIndex);
typedef int32_t(PT2_CALL* MchpUsbClose_t)(Pt2Handle hub);
typedef int32_t(PT2_CALL* MchpEnableLogging_t)(int32_t enable);
typedef uint32_t(PT2_CALL* MchpUsbGetLastErr_t)(Pt2Handle hub);
typedef int32_t(PT2_CALL* MchpUsbGetVersion_t)(char* buffer); /* 2048 bytes */
typedef int32_t(PT2_CALL* MchpUsbDeviceReset_t)(Pt2Handle hub);
typedef int32_t(PT2_CALL* MchpUsbConfigureGPIO_t)(Pt2Handle hub, uint32_t pin);
typedef int32_t(PT2_CALL* MchpUsbGpioGet_t)(Pt2Handle hub, uint32_t pin, uint32_t* state);
typedef int32_t(PT2_CALL* MchpUsbGpioSet_t)(Pt2Handle hub, uint32_t pin, uint32_t state);
typedef int32_t(PT2_CALL* MchpProgramFileWithSerial_t)(Pt2Handle hub, uint32_t config, uint32_t serial);
typedef int32_t(PT2_CALL* MchpUsbProgramFileWithUsb3Serial_t)(Pt2Handle hub, uint32_t config,
                                                               uint32_t serial, uint32_t serial2);

#ifdef __cplusplus
}
#endif
