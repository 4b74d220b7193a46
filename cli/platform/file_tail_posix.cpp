#include "platform/file_tail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "platform/folders.h"

namespace vostrel::cli::platform {

std::optional<TailRead> readTail(const std::string& path, TailPosition& position, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        throw std::runtime_error("cannot read " + path + ": " + lastErrorText());
    }
    // Identity and size of the file actually opened, so a file replaced
    // between the two calls cannot be mistaken for the one before.
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const std::string why = lastErrorText();
        ::close(fd);
        throw std::runtime_error("cannot read " + path + ": " + why);
    }
    TailRead read;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (status.st_dev != position.device || status.st_ino != position.inode || size < position.offset) {
        read.restarted = true;
        position = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), 0};
    }
    const std::uint64_t wanted = std::min<std::uint64_t>(size - position.offset, limit);
    read.bytes.resize(static_cast<std::size_t>(wanted));
    std::size_t got = 0;
    while (got < read.bytes.size()) {
        const ssize_t n = ::pread(fd, read.bytes.data() + got, read.bytes.size() - got,
                                  static_cast<off_t>(position.offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    read.bytes.resize(got);
    position.offset += got;
    return read;
}

TailPosition endOfFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return {};
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_size)};
}

}  // namespace vostrel::cli::platform
