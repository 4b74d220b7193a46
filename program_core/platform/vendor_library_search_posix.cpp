#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <vostrel/vendor_library_name.h>
#include "program_core/platform/vendor_library_search.h"

namespace vostrel::program::platform {

VendorLibrarySearch vendorLibrarySearch(const void* hubLibraryCode) {
    VendorLibrarySearch search;
    search.fileName = vostrel::platform::kVendorLibraryName;
    std::string pathFolders;
    if (const char* variable = std::getenv("LD_LIBRARY_PATH")) {
        std::string_view folders(variable);
        while (!folders.empty()) {
            const std::size_t colon = folders.find(':');
            const std::string_view folder = folders.substr(0, colon);
            if (!folder.empty()) {
                if (!pathFolders.empty()) pathFolders += ':';
                pathFolders += folder;
            }
            folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        }
    }
    search.places.push_back(pathFolders.empty() ? "LD_LIBRARY_PATH (not set)" : "LD_LIBRARY_PATH: " + pathFolders);
    // The hub library's run path is its own folder ($ORIGIN): that of the
    // object which holds its exports, the program itself when it was linked in.
    Dl_info info{};
    link_map* object = nullptr;
    if (::dladdr1(hubLibraryCode, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) != 0 &&
        object != nullptr) {
        const char* file = object->l_name[0] == '\0' ? "/proc/self/exe" : object->l_name;
        if (char* path = ::realpath(file, nullptr)) {
            const std::string resolved(path);
            std::free(path);
            std::string place = "the hub library's own folder: ";
            place.append(resolved, 0, std::max<std::size_t>(resolved.rfind('/'), 1));
            search.places.push_back(place);
        }
    }
    search.places.push_back("the system's library folders (/etc/ld.so.cache, /lib, /usr/lib)");
    return search;
}

}  // namespace vostrel::program::platform
