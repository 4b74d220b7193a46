// The named mutex that lets one copy of the program run per logon session:
// the first start creates it, a later start finds it there. The system
// drops it with the last handle, however the holding process ends.
#pragma once

#include <memory>
#include <string>

namespace talvern::platform {

class InstanceMutex {
public:
    // The mutex `name` (no namespace prefix: local to the logon session),
    // created not owned; null when another copy holds it already.
    static std::unique_ptr<InstanceMutex> createFirst(const std::string& name);

    ~InstanceMutex();
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

private:
    explicit InstanceMutex(void* handle) : handle_(handle) {}
    void* handle_;
};

}  // namespace talvern::platform
