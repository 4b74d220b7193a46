// Where the hub library looks for the hub chip vendor's library when it
// binds it, so that a user told that it is missing knows where to put it.
#pragma once

#include <string>
#include <vector>

namespace talvern::platform {

struct VendorLibrarySearch {
    std::string fileName;
    // In search order: the folders of the library search path variable (none
    // when it is not set), the hub library's own folder (empty when it cannot
    // be told), then the system's library folders, described.
    std::vector<std::string> searchPathFolders;
    std::string hubLibraryFolder;
    std::string systemFolders;
};

VendorLibrarySearch vendorLibrarySearch();

}  // namespace talvern::platform
