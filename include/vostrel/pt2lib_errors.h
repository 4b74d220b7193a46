/* What MchpUsbGetLastErr reports in the vendor library implementations this
   project builds (the simulator's stand-in and the native one for Linux).

   MchpUsbGetLastErr(hub) gives the cause of that hub handle's last failed
   call, or PT2_OK after a call that worked. MchpUsbGetLastErr(-1) gives the
   same for the calling thread's last call on any handle, so that a program
   whose port switch failed inside the hub library (which keeps its handle to
   itself) can still tell why, on the thread that asked for the switch. */
#pragma once

#include <stdint.h>

#define PT2_OK UINT32_C(0)
#define PT2_ERROR_INVALID_HANDLE UINT32_C(1)  /* not a handle MchpUsbOpen returned */
#define PT2_ERROR_HUB_GONE UINT32_C(2)        /* the hub no longer shows on the bus */
#define PT2_ERROR_NO_SUCH_PIN UINT32_C(3)     /* only pins 17 to 20 switch ports */
#define PT2_ERROR_BAD_ARGUMENT UINT32_C(4)
#define PT2_ERROR_NOT_WRITTEN UINT32_C(5)     /* the change could not be stored */
#define PT2_ERROR_PERMISSION_DENIED UINT32_C(6)
#define PT2_ERROR_NOT_SUPPORTED UINT32_C(7)   /* not something this implementation can do */
#define PT2_ERROR_NO_PORT_POWER_CONTROL UINT32_C(8) /* the kernel cannot switch this hub's ports */
