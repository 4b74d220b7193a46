#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "cli/demo_host.h"
#include "usbbus/utf.h"

namespace vostrel::sim::host {

const char* const kHubLibraryFile = "Vostrel_4.dll";
const char* const kVendorLibraryFile = "pt2lib.dll";
const char* const kUsbStackFile = "vostrel_simstack.dll";

namespace {

std::wstring wide(const std::string& text) {
    const auto units = usbbus::utf8ToUtf16(text);
    if (!units) throw std::runtime_error("not UTF-8: " + text);
    return std::wstring(units->begin(), units->end());
}

// The system's own separators, which loading a library by path asks for.
std::wstring nativePath(const std::string& path) {
    std::wstring result = wide(path);
    for (wchar_t& unit : result) {
        if (unit == L'/') unit = L'\\';
    }
    return result;
}

std::string utf8(const std::wstring& text) { return usbbus::utf16ToUtf8(std::u16string(text.begin(), text.end())); }

}  // namespace

std::string programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD units = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (units == 0) throw std::runtime_error("cannot find the program's own folder");
        if (units < path.size()) {
            path.resize(units);
            break;
        }
        path.resize(path.size() * 2);
    }
    return utf8(std::filesystem::path(path).parent_path().wstring());
}

// Both the system's environment (which the hub library reads) and the C
// runtime's copy (which the simulator's libraries read).
void setVariable(const char* name, const std::string& value) {
    ::SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
    ::_putenv_s(name, value.c_str());
}

WorkFolder::WorkFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base / ("vostrel-demo-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt));
        if (::CreateDirectoryW(candidate.wstring().c_str(), nullptr)) {
            path_ = utf8(candidate.wstring());
            std::filesystem::current_path(candidate);
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

void WorkFolder::remove() {
    std::error_code ignored;
    const std::filesystem::path folder(nativePath(path_));
    std::filesystem::current_path(folder.parent_path(), ignored);
    std::filesystem::remove_all(folder, ignored);
}

Library::Library(const std::string& path)
    : path_(path), handle_(::LoadLibraryExW(nativePath(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
    if (handle_ == nullptr) {
        throw std::runtime_error("cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")");
    }
}

Library::~Library() { ::FreeLibrary(static_cast<HMODULE>(handle_)); }

void* Library::symbol(const char* name) const {
    void* found = reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
    if (found == nullptr) throw std::runtime_error(path_ + " lacks " + name);
    return found;
}

}  // namespace vostrel::sim::host
