#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/file_system.h"

namespace vostrel::sim::fs {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
    throw std::runtime_error("cannot " + what + " " + path + ": " + std::strerror(error));
}

FileStamp stampFrom(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Opens the file at `path` for reading, refusing anything but a regular
// file. A FIFO or a device is never waited for: the open does not block, and
// the descriptor blocks again only once it is known to be a regular file.
Descriptor openRegularFile(const std::string& path, const std::string& what, struct stat& info) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) fail(what, path, errno);
    if (::fstat(file.get(), &info) != 0) fail(what, path, errno);
    if (!S_ISREG(info.st_mode)) throw std::runtime_error("cannot " + what + " " + path + ": not a file");
    const int status = ::fcntl(file.get(), F_GETFL);
    if (status == -1 || ::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) == -1) fail(what, path, errno);
    return file;
}

}  // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return stampFrom(info);
}

FileContents readFile(const std::string& path) {
    struct stat info {};
    Descriptor file = openRegularFile(path, "read", info);
    if (static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) fail("read", path, EFBIG);
    FileContents contents;
    contents.stamp = stampFrom(info);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) fail("read", path, errno);
        if (got == 0) break;
        contents.bytes.append(buffer, static_cast<std::size_t>(got));
        if (contents.bytes.size() > kMaxFileBytes) fail("read", path, EFBIG);
    }
    return contents;
}

FileStamp replaceFile(const std::string& path, std::string_view bytes) {
    std::string temporary = path + ".XXXXXX";
    Descriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0) fail("write beside", path, errno);
    auto abandon = [&](int error) {
        ::unlink(temporary.c_str());
        fail("write", path, error);
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) ::fchmod(file.get(), info.st_mode & 07777);
    else ::fchmod(file.get(), 0644);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(file.get(), bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) abandon(errno);
        written += static_cast<std::size_t>(put);
    }
    struct stat writtenInfo {};
    if (::fstat(file.get(), &writtenInfo) != 0) abandon(errno);
    if (::close(file.release()) != 0) abandon(errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) abandon(errno);
    return stampFrom(writtenInfo);  // renaming keeps the inode and its times
}

FileLock::FileLock(const std::string& path) {
    for (;;) {
        struct stat locked {};
        Descriptor file = openRegularFile(path, "lock", locked);
        int result;
        do {
            result = ::flock(file.get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        if (result != 0) fail("lock", path, errno);
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev && named.st_ino == locked.st_ino) {
            handle_ = file.release();
            return;
        }
        // Replaced while we waited: lock the new file instead.
    }
}

FileLock::~FileLock() {
    if (handle_ >= 0) ::close(handle_);  // closing releases the lock
}

}  // namespace vostrel::sim::fs
