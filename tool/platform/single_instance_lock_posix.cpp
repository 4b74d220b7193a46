#include "platform/single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace talvern::platform {

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::tryAcquire(const std::string& folder,
                                                                   const std::string& name, Outcome& outcome) {
    if (folder.empty()) {
        outcome = Outcome::Unavailable;
        return nullptr;
    }
    const std::string path = folder + "/" + name;
    // O_NOFOLLOW: the lock file is never a link planted by someone else.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        outcome = Outcome::Unavailable;
        return nullptr;
    }
    // flock belongs to the open file: the kernel drops it when the last
    // descriptor closes, which also happens when the process is killed.
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        outcome = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
        ::close(fd);
        return nullptr;
    }
    outcome = Outcome::Acquired;
    return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd));
}

SingleInstanceLock::~SingleInstanceLock() { ::close(handle_); }

}  // namespace talvern::platform
