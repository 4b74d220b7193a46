// The host's own USB stack on Linux. Answering the Windows questions from the
// kernel's view of the bus is still to come; until then the host shows no
// host controllers.
#include "platform/usb_stack.h"

namespace vostrel::platform {

std::unique_ptr<UsbStack> makeHostUsbStack() { return makeEmptyUsbStack(); }

}  // namespace vostrel::platform
