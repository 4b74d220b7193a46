// Port power and the vendor library binding as the rest of the library uses
// them. Every function here expects the caller to hold the general lock.
#pragma once

#include <cstdint>

namespace vostrel {

// Binds the vendor library afresh (closing any open hub and releasing an
// earlier binding first). True when bound.
bool bindVendorLibraryLocked();

// Switches one port: opens the hub anew, configures the port's pin and sets
// it. True when both vendor calls succeeded or the port index lies outside
// 0 to 3; false when unbound or a vendor call failed.
bool switchPortLocked(std::int32_t hubIndex, std::int32_t portIndex, bool on);

// Closes the open hub and unloads the vendor library, if bound. Used at
// library unload.
void releaseVendorLibrary();

}  // namespace vostrel
