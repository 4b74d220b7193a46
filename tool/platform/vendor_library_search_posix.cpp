#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <vostrel/hub_api.h>

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
    // The hub library's run path is its own folder ($ORIGIN): that of the
    // object which holds its exports, the program itself when it was linked in.
    Dl_info info{};
    link_map* object = nullptr;
    if (::dladdr1(reinterpret_cast<void*>(&Hub_InitPt2lib), &info, reinterpret_cast<void**>(&object),
                  RTLD_DL_LINKMAP) != 0 &&
        object != nullptr) {
        const char* file = object->l_name[0] == '\0' ? "/proc/self/exe" : object->l_name;
        if (char* path = ::realpath(file, nullptr)) {
            const std::string resolved(path);
            std::free(path);
            search.hubLibraryFolder = resolved.substr(0, std::max<std::size_t>(resolved.rfind('/'), 1));
        }
    }
    search.systemFolders = "the system's library folders (/etc/ld.so.cache, /lib, /usr/lib)";
    return search;
}

}  // namespace talvern::platform
