// Windows has no fork: a new process never starts as a copy of this one, so
// there is nothing to put right and nothing to register.
#include "platform/fork_hooks.h"

namespace vostrel::platform {

void registerForkHandlers(void (*)(), void (*)(), void (*)()) {}

}  // namespace vostrel::platform
