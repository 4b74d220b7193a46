#include "hub_library.h"

#include <string>

#include "command_error.h"
#include "platform/dynamic_library.h"

namespace vostrel::cli {

HubLibrary loadHubLibrary() {
    std::string why;
    void* library = platform::loadLibrary(kHubLibraryName, why);
    if (library == nullptr) throw failure(std::string("cannot load the hub library: ") + why);

    HubLibrary hub{};
    const char* missing =
        program::bindHubLibrary(hub, [library](const char* name) { return platform::findSymbol(library, name); });
    if (missing != nullptr) {
        platform::unloadLibrary(library);
        throw failure(std::string(kHubLibraryName) + " lacks " + missing + ": it is not this version's hub library");
    }
    return hub;
}

}  // namespace vostrel::cli
