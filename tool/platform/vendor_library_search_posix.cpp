#include <dlfcn.h>

#include <cstdlib>
#include <string_view>

#include "hub_api.h"
#include "platform/vendor_library_search.h"

namespace talvern::platform {

VendorLibrarySearch vendorLibrarySearch() {
    VendorLibrarySearch search;
    // The name the hub library hands to dlopen, without a folder.
    search.fileName = "libpt2lib.so";
    if (const char* variable = std::getenv("LD_LIBRARY_PATH")) {
        std::string_view folders(variable);
        while (!folders.empty()) {
            const std::size_t colon = folders.find(':');
            const std::string_view folder = folders.substr(0, colon);
            if (!folder.empty()) search.searchPathFolders.emplace_back(folder);
            folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        }
    }
    // The hub library's run path is its own folder; dladdr names the file
    // that holds one of its exports.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&Hub_InitPt2lib), &info) != 0 && info.dli_fname != nullptr) {
        const std::string file(info.dli_fname);
        const std::size_t slash = file.rfind('/');
        if (slash != std::string::npos) search.hubLibraryFolder = file.substr(0, slash == 0 ? 1 : slash);
    }
    search.systemFolders = "the system's library folders (/etc/ld.so.cache, /lib, /usr/lib)";
    return search;
}

}  // namespace talvern::platform
