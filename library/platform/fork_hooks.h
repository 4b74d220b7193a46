// Work done around fork(), which copies only the calling thread into the
// child: other threads' locks and threads themselves need putting right
// there. Systems without fork never call the handlers.
#pragma once

namespace vostrel::platform {

// `prepare` runs in the forking thread just before the fork, `parent` and
// `child` just after it, in the process each names. A set stays registered
// as long as the code that registered it is loaded.
void registerForkHandlers(void (*prepare)(), void (*parent)(), void (*child)());

}  // namespace vostrel::platform
