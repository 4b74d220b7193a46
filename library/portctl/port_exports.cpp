// Hub port control. The vendor library is not bound by this build yet, so
// every operation that needs a hub fails without touching anything.
#include "hub_api.h"

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_InitPt2lib(void) { return 0; }
HUB_API std::int32_t HUB_CALL Hub_OpenHubDevice(std::int32_t) { return 0; }
// No hub is ever open, so there is nothing to close.
HUB_API std::int32_t HUB_CALL Hub_CloseHubDevice(void) { return 1; }
HUB_API std::int32_t HUB_CALL Hub_GetHubPortStatus(std::int32_t, std::uint8_t*) { return 0; }
HUB_API std::int32_t HUB_CALL Hub_InitHubDevice(std::int32_t) { return 0; }
HUB_API std::int32_t HUB_CALL Hub_SetHubPortStatus(std::int32_t, std::int32_t, std::int32_t) { return 0; }
HUB_API std::int32_t HUB_CALL Hub_Program_CFG_w_Serial(std::int32_t, std::uint32_t, std::uint32_t) { return 0; }
HUB_API std::int32_t HUB_CALL Hub_Reset_Device(std::int32_t) { return 0; }

}  // extern "C"
