// Where the hub library looks for the hub chip vendor's library when it
// binds it, so that a user told that it is missing knows where to put it.
#pragma once

#include <string>
#include <vector>

namespace vostrel::program::platform {

struct VendorLibrarySearch {
    std::string fileName;             // as the hub library asks for it, without a folder
    std::vector<std::string> places;  // in search order, each described for the user
};

// `hubLibraryCode`: the address of one of the hub library's exports, which
// tells where the library itself lies.
VendorLibrarySearch vendorLibrarySearch(const void* hubLibraryCode);

}  // namespace vostrel::program::platform
