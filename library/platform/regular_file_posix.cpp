#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/diagnostics.h"

namespace vostrel::platform {

Descriptor::~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
}

// The open does not block, and the descriptor is set back to blocking only
// once it is known to be a regular file.
OpenedFile openRegularFile(const char* name, int flags) {
    OpenedFile opened;
    const auto failed = [&](const char* operation) {
        opened.error = errno;
        reportSystemFailure(operation, name);
        opened.file = Descriptor();
        return std::move(opened);
    };
    opened.file = Descriptor(::open(name, flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
    if (!opened.file) {
        // ELOOP: a symbolic link; ENXIO: a FIFO without a reader opened for
        // writing, or a device without its driver.
        opened.absent = errno == ENOENT || errno == ELOOP || errno == ENXIO;
        return failed("open");
    }
    struct stat info {};
    if (::fstat(opened.file.get(), &info) != 0) return failed("fstat");
    if (!S_ISREG(info.st_mode)) {
        reportFailure("open", name, "not a regular file");
        opened.file = Descriptor();
        opened.absent = true;
        return opened;
    }
    const int status = ::fcntl(opened.file.get(), F_GETFL);
    if (status == -1 || ::fcntl(opened.file.get(), F_SETFL, status & ~O_NONBLOCK) == -1) return failed("fcntl");
    return opened;
}

}  // namespace vostrel::platform
