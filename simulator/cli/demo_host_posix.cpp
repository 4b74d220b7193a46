#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "cli/demo_host.h"

namespace vostrel::sim::host {

const char* const kHubLibraryFile = "libVostrel_4.so";
const char* const kVendorLibraryFile = "libpt2lib.so";
const char* const kUsbStackFile = "libvostrel_simstack.so";

std::string programFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw std::runtime_error("cannot find the program's own folder: " + error.message());
    return program.parent_path().string();
}

void setVariable(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

WorkFolder::WorkFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vostrel-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
    std::filesystem::current_path(path_);
}

void WorkFolder::remove() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Library::Library(const std::string& path) : path_(path), handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (why != nullptr ? why : "unknown reason"));
    }
}

Library::~Library() = default;

void* Library::symbol(const char* name) const {
    void* found = ::dlsym(handle_, name);
    if (found == nullptr) throw std::runtime_error(path_ + " lacks " + name);
    return found;
}

}  // namespace vostrel::sim::host
