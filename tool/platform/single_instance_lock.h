// A lock that at most one process of a login session holds at a time. The
// operating system releases it when the holding process ends, however it
// ends, so a crashed or killed copy never blocks the next start.
#pragma once

#include <memory>
#include <string>

namespace talvern::platform {

class SingleInstanceLock {
public:
    enum class Outcome {
        Acquired,       // this process now holds the lock
        HeldElsewhere,  // another process holds it
        Unavailable,    // the lock file cannot be opened (no such folder, no rights)
    };

    // Tries to take the lock `name` in `folder` without waiting; an empty
    // folder name makes it unavailable.
    static std::unique_ptr<SingleInstanceLock> tryAcquire(const std::string& folder, const std::string& name,
                                                          Outcome& outcome);

    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

private:
    explicit SingleInstanceLock(int handle) : handle_(handle) {}
    int handle_;
};

}  // namespace talvern::platform
