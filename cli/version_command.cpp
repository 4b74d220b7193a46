#include <iostream>
#include <string>

#include "command_error.h"
#include "commands.h"
#include "platform/dynamic_library.h"
#include <vostrel/vendor_library_name.h>
#include <vostrel/pt2lib_api.h>
#include "session.h"

namespace vostrel::cli {
namespace {

// What MchpUsbGetVersion writes; the buffer the hub library hands over.
constexpr std::size_t kVersionBytes = 2048;

}  // namespace

int versionCommand(const std::string& stateFolder) {
    const Session session(stateFolder, StateUse::Read);
    std::cout << "vostrel " VOSTREL_VERSION "\n";
    std::cout << "hub library: " << platform::fileHolding(reinterpret_cast<const void*>(session.hub().initVendorLibrary))
              << "\n";
    // Binding loads the vendor library as the hub library finds it.
    if (session.hub().initVendorLibrary() == 0) {
        std::cout << std::flush;
        throw failure(std::string("the vendor library ") + vostrel::platform::kVendorLibraryName +
                      " could not be loaded (Hub_InitPt2lib returned 0)");
    }
    void* vendor = platform::loadedLibrary(vostrel::platform::kVendorLibraryName);
    const auto getVersion =
        vendor != nullptr ? reinterpret_cast<MchpUsbGetVersion_t>(platform::findSymbol(vendor, "MchpUsbGetVersion"))
                          : nullptr;
    std::string text(kVersionBytes, '\0');
    const bool told = getVersion != nullptr && getVersion(text.data()) != 0;
    std::cout << "vendor library: "
              << (getVersion != nullptr ? platform::fileHolding(reinterpret_cast<const void*>(getVersion))
                                        : std::string(vostrel::platform::kVendorLibraryName))
              << "\n";
    text.back() = '\0';
    std::cout << "  " << (told ? text.c_str() : "(it gives no version text)") << "\n";
    if (vendor != nullptr) platform::unloadLibrary(vendor);
    return 0;
}

}  // namespace vostrel::cli
