// What the demo asks of the operating system: where its own program lies, a
// temporary folder to work in, environment variables for the libraries it
// loads, and loading the hub library. The per-OS halves live in
// demo_host_<os>.cpp.
#pragma once

#include <string>

namespace vostrel::sim::host {

// The file names of the hub library, the stand-in vendor library and the
// simulated USB stack.
extern const char* const kHubLibraryFile;
extern const char* const kVendorLibraryFile;
extern const char* const kUsbStackFile;

// The folder of the running program, links resolved.
std::string programFolder();

void setVariable(const char* name, const std::string& value);

// A new empty folder that is the current directory from now on. Removing
// it (at the latest when the object goes) leaves the program in it where the
// system allows (POSIX), so that whatever the hub library writes there at the
// program's end (its settings) goes nowhere. Windows cannot remove a
// process's current folder: there the program moves to the folder's parent
// first.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder() { remove(); }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }
    void remove();

private:
    std::string path_;
};

// A shared library loaded by path. On POSIX it stays loaded for the rest of
// the program: the hub library runs its unload steps only at the program's
// end, where its leftovers stay reachable. On Windows it is unloaded when the
// object goes, so that the hub library's unload steps write into the work
// folder before that is removed.
class Library {
public:
    explicit Library(const std::string& path);  // throws std::runtime_error
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Throws std::runtime_error when the library lacks the name.
    template <typename Function>
    Function* function(const char* name) const {
        return reinterpret_cast<Function*>(symbol(name));
    }

private:
    void* symbol(const char* name) const;

    std::string path_;
    void* handle_ = nullptr;
};

}  // namespace vostrel::sim::host
