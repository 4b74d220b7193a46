#include "portctl/hub_binding.h"

#include <array>
#include <type_traits>

#include "portctl/port_switch.h"

namespace vostrel {
namespace {

constexpr Pt2Handle kNoHub = -1;

// Room for the hub list. The version text takes at most 2048 bytes, so the
// binding reads both into one buffer of this size.
constexpr std::size_t kHubListBytes = 4096;

struct Binding {
    std::optional<VendorLibrary> library;
    Pt2Handle openHub = kNoHub;  // only ever set while bound
};

// Torn down by releaseVendorLibrary at unload, never by a static destructor
// whose order against the unload steps nobody controls.
static_assert(std::is_trivially_destructible_v<Binding>);
constinit Binding g_binding GUARDED_BY(generalLock);

// Closes the open hub, if any; the vendor's result does not matter here.
void closeOpenHub() REQUIRES(generalLock) {
    if (g_binding.openHub == kNoHub) return;
    g_binding.library->call.close(g_binding.openHub);
    g_binding.openHub = kNoHub;
}

}  // namespace

bool bindVendorLibraryLocked() {
    releaseVendorLibrary();
    const std::optional<VendorLibrary> loaded = loadVendorLibrary();
    if (!loaded) return false;

    const VendorFunctions& vendor = loaded->call;
    std::array<char, kHubListBytes> buffer{};
    if (vendor.getVersion(buffer.data()) == 0 || vendor.getAllHubs(buffer.data()) == 0) {
        unloadVendorLibrary(*loaded);
        return false;
    }
    vendor.enableLogging(0);
    // The release above closed any open hub: none is open after binding.
    g_binding.library = loaded;
    return true;
}

// Also the last unload step, after the locks are gone and when nothing else
// runs: the analysis cannot know that.
void releaseVendorLibrary() NO_THREAD_SAFETY_ANALYSIS {
    if (!g_binding.library) return;
    closeOpenHub();
    unloadVendorLibrary(*g_binding.library);
    g_binding.library.reset();
}

std::optional<OpenHub> openHubLocked(std::int32_t hubIndex) {
    if (!g_binding.library) return std::nullopt;
    closeOpenHub();
    const VendorFunctions& vendor = g_binding.library->call;
    std::array<char, kHubListBytes> hubList{};
    if (vendor.getAllHubs(hubList.data()) == 0) return std::nullopt;
    const Pt2Handle handle = vendor.open(static_cast<std::uint32_t>(hubIndex));
    if (handle == kNoHub) return std::nullopt;
    g_binding.openHub = handle;
    return OpenHub{vendor, handle};
}

bool closeHubLocked() {
    if (g_binding.openHub == kNoHub) return true;
    if (g_binding.library->call.close(g_binding.openHub) == 0) return false;
    g_binding.openHub = kNoHub;
    return true;
}

}  // namespace vostrel
