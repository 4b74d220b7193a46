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

// A new empty folder that is the current directory while the object lives;
// afterwards the previous current directory comes back and the folder goes.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string previous_;
    std::string path_;
};

// A shared library loaded for the life of the object.
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
