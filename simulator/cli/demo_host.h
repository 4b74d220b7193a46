// What the demo asks of the operating system: where its own program lies, a
// temporary folder to work in, environment variables for the libraries it
// loads, and loading the hub library. The per-OS halves live in
// demo_host_<os>.cpp.
#pragma once

#include <string>

namespace vostrel::sim::host {

// The folder of the running program; the hub library and the simulator's
// libraries are built beside it.
std::string programFolder();

void setVariable(const char* name, const std::string& value);

// A new empty folder that is the current directory from now on. Removing
// it (at the latest when the object goes) leaves the program in it, so that
// whatever the hub library writes there at the program's end (its settings)
// goes nowhere.
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

// A shared library loaded for the rest of the program: the hub library runs
// its unload steps only at the program's end, where its leftovers stay
// reachable.
class Library {
public:
    explicit Library(const std::string& path);  // throws std::runtime_error

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
