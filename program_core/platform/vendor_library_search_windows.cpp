#include <windows.h>

#include <string>

#include <vostrel/vendor_library_name.h>
#include "program_core/platform/vendor_library_search.h"
#include "usbbus/utf.h"

namespace vostrel::program::platform {
namespace {

std::string folderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? path : path.substr(0, slash);
    return usbbus::utf16ToUtf8(std::u16string(folder.begin(), folder.end()));
}

}  // namespace

// The ordinary search of LoadLibrary for a name without a folder: the
// program's folder, the system folders, the current folder, then PATH.
VendorLibrarySearch vendorLibrarySearch(const void*) {
    VendorLibrarySearch search;
    search.fileName = vostrel::platform::kVendorLibraryName;
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length == 0) break;
        if (length < program.size()) {
            program.resize(length);
            search.places.push_back("the program's own folder: " + folderOf(program));
            break;
        }
        program.resize(program.size() * 2);
    }
    search.places.push_back("the system folders (System32, then Windows)");
    search.places.push_back("the current folder");
    const DWORD pathLength = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(pathLength, L'\0');
    if (pathLength > 0 && ::GetEnvironmentVariableW(L"PATH", path.data(), pathLength) == pathLength - 1) {
        path.resize(pathLength - 1);
        search.places.push_back("PATH: " + usbbus::utf16ToUtf8(std::u16string(path.begin(), path.end())));
    } else {
        search.places.push_back("PATH (not set)");
    }
    return search;
}

}  // namespace vostrel::program::platform
