// Opening a name as a regular file on POSIX systems, by the rule every file
// of the library and of its programs follows: the folder may be writable by
// others, and the name may be taken by a symbolic link, a FIFO or a device.
// Such a name counts as no file: it is never followed, read, written or
// waited on.
#pragma once

#include <utility>

namespace vostrel::platform {

// An open file descriptor, closed with the object.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Descriptor();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

struct OpenedFile {
    Descriptor file;      // blocking, close-on-exec; empty when not opened
    bool absent = false;  // no such name, or one that is no regular file
    int error = 0;        // else the errno of the failure
};

// Opens `name` with `flags` (O_RDONLY, O_WRONLY | O_CREAT | O_APPEND, ...)
// without following a link in its last component and without blocking: a
// FIFO or a device is not even waited for. Failures are reported through the
// diagnostics (VOSTREL_DEBUG=1).
OpenedFile openRegularFile(const char* name, int flags);

}  // namespace vostrel::platform
