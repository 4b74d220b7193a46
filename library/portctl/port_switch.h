// Port power and the vendor library binding as the rest of the library uses
// them. The monitor binds at each start and switches ports while it holds the
// general lock; the exports do the same under it.
#pragma once

#include <cstdint>

#include "frame/locks.h"

namespace vostrel {

// Expects the general lock held. Binds the vendor library afresh (closing any
// open hub and releasing an earlier binding first). True when bound; false
// leaves the library unbound, so that every hub operation fails without a
// vendor call.
bool bindVendorLibraryLocked() REQUIRES(generalLock);

// Expects the general lock held. Switches one port: opens the hub anew,
// configures the port's pin and sets it. True when both vendor calls
// succeeded or the port index lies outside 0 to 3 (then no pin is touched);
// false when unbound, the hub could not be opened or a vendor call failed.
bool switchPortLocked(std::int32_t hubIndex, std::int32_t portIndex, bool on) REQUIRES(generalLock);

// Closes the open hub and unloads the vendor library, if bound. The last of
// the library's unload steps, after the locks are gone: nothing else runs.
void releaseVendorLibrary();

}  // namespace vostrel
