#include "platform/file_tail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "platform/folders.h"
#include "platform/regular_file.h"

namespace vostrel::cli::platform {
namespace {

// The hub library's rule for its files: a link, a FIFO or a device in the
// place of the file counts as no file, and is never followed or waited on.
std::optional<vostrel::platform::Descriptor> openFile(const std::string& path) {
    vostrel::platform::OpenedFile opened = vostrel::platform::openRegularFile(path.c_str(), O_RDONLY);
    if (opened.file) return std::move(opened.file);
    if (opened.absent) return std::nullopt;
    errno = opened.error;
    throw std::runtime_error("cannot read " + path + ": " + lastErrorText());
}

}  // namespace

std::optional<TailRead> readTail(const std::string& path, TailPosition& position, std::size_t limit) {
    const auto file = openFile(path);
    if (!file) return std::nullopt;
    // Identity and size of the file actually opened, so a file replaced
    // between the two calls cannot be mistaken for the one before.
    struct stat status {};
    if (::fstat(file->get(), &status) != 0) throw std::runtime_error("cannot read " + path + ": " + lastErrorText());
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
        const ssize_t n = ::pread(file->get(), read.bytes.data() + got, read.bytes.size() - got,
                                  static_cast<off_t>(position.offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    read.bytes.resize(got);
    position.offset += got;
    return read;
}

TailPosition endOfFile(const std::string& path) {
    const vostrel::platform::OpenedFile opened = vostrel::platform::openRegularFile(path.c_str(), O_RDONLY);
    struct stat status {};
    if (!opened.file || ::fstat(opened.file.get(), &status) != 0) return {};
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::uint64_t>(status.st_size)};
}

}  // namespace vostrel::cli::platform
