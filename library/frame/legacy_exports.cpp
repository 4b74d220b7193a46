// Four names kept for callers of earlier versions. One body serves all four:
// it touches no state, takes no lock and reports success.
#include "frame/export_alias.h"

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_GetStatus(std::int32_t, std::int32_t) { return 1; }

VOSTREL_EXPORT_ALIAS(Hub_GetFault, (std::int32_t, std::int32_t), Hub_GetStatus)
VOSTREL_EXPORT_ALIAS(Hub_SetReset, (std::int32_t, std::int32_t), Hub_GetStatus)
VOSTREL_EXPORT_ALIAS(Hub_SetStatus, (std::int32_t, std::int32_t), Hub_GetStatus)

}  // extern "C"
