#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace vostrel::platform {
namespace {

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::size_t readFilePrefix(const char* name, void* buffer, std::size_t capacity) {
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < capacity) {
        const ssize_t got = ::read(fd, bytes + total, capacity - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return total;
}

bool replaceFile(const char* name, const void* data, std::size_t size) {
    // The temporary name is unique per process, so two processes saving in
    // the same folder never write into each other's temporary file.
    const std::string temporary = std::string(name) + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = writeAll(fd, data, size) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), name) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool appendToFile(const char* name, const void* data, std::size_t size) {
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // One write call: with O_APPEND the bytes land whole at the end of the file.
    const ssize_t written = ::write(fd, data, size);
    ::close(fd);
    return written == static_cast<ssize_t>(size);
}

}  // namespace vostrel::platform
