// Hub_CleanupInfoList. A scan keeps nothing from one walk to the next, so
// there is nothing left to clean; the export stays for the programs that
// call it. Apart from the other exports, so that code that scans without
// the exports (the command line, the control program) links none of them.
#include <cstdint>

#include <vostrel/hub_api.h>

extern "C" HUB_API std::int32_t HUB_CALL Hub_CleanupInfoList(void) { return 1; }
