#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"

namespace vostrel::cli::platform {

// flock on the folder itself: it leaves no file behind, and the kernel
// releases it however the holder ends.
LockResult lockFolderUntilExit(const std::string& folder, std::string& why) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        why = lastErrorText();
        return LockResult::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        why = lastErrorText();
        ::close(fd);
        return busy ? LockResult::Busy : LockResult::Failed;
    }
    return LockResult::Taken;  // the descriptor stays open until the process ends
}

}  // namespace vostrel::cli::platform
