#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/regular_file.h"

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

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The folder and the last component of a name.
std::pair<std::string, std::string> splitName(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string_view::npos) return {".", std::string(name)};
    return {slash == 0 ? "/" : std::string(name.substr(0, slash)), std::string(name.substr(slash + 1))};
}

// Temporary files of a save are named <name>.tmp.<pid>.<random>. Each saving
// process holds an exclusive lock on its temporary file until the file has
// been renamed, and the kernel drops the lock when the process dies. So a
// temporary file that can be locked belongs to no live save, whoever made it
// and under whatever process id (ids are reused, and processes of other pid
// namespaces may share the folder). The file is created with O_EXCL, so its
// name can only ever be a new file of ours, never a planted link; its random
// part keeps others from taking the names in advance.
//
// (A file opened with O_TMPFILE would need no clean-up of its own, but still
// needs a name of its own before the rename, which a kill can leave behind,
// and not every file system has it.)
std::string temporaryName(const std::string& prefix) {
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        random = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%ld.%08llx", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(random & 0xFFFFFFFFu));
    return prefix + suffix;
}

// Removes the temporary files in `folder` that no live save holds, and names
// with the temporary prefix that are not regular files (planted links and
// such: removing the name never touches what a link points to).
void removeStaleTemporaries(int folder, const std::string& prefix) {
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* const directory = listed == -1 ? nullptr : ::fdopendir(listed);
    if (directory == nullptr) {
        reportSystemFailure("list", prefix + "*");
        if (listed != -1) ::close(listed);
        return;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0) continue;
        struct stat seen {};
        if (::fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(seen.st_mode)) continue;
        if (!S_ISREG(seen.st_mode)) {
            if (::unlinkat(folder, name.c_str(), 0) != 0) reportSystemFailure("unlink", name);
            continue;
        }
        const Descriptor file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat opened {};
        if (!file || ::fstat(file.get(), &opened) != 0 || !sameFile(seen, opened)) continue;
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;  // a save under way, or no locks here
        // Unlinked only while locked, and only if the name still is this file.
        struct stat named {};
        if (::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(named, opened) &&
            ::unlinkat(folder, name.c_str(), 0) != 0) {
            reportSystemFailure("unlink", name);
        }
    }
    ::closedir(directory);
}

struct TemporaryFile {
    Descriptor file;
    std::string name;
};

// Creates a new temporary file and locks it. Another save's clean-up may take
// the new file for a leftover in the instant between creating and locking it;
// a file lost that way is given up for another.
bool createTemporary(int folder, const std::string& prefix, TemporaryFile& temporary) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = temporaryName(prefix);
        Descriptor file(
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644));
        if (!file) {
            if (errno == EEXIST) continue;
            reportSystemFailure("create", name);
            return false;
        }
        // Without file locks (some network file systems) the save goes on
        // unlocked: no clean-up can then lock, and so remove, this file either.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) continue;
        struct stat info {};
        if (::fstat(file.get(), &info) != 0) {
            reportSystemFailure("fstat", name);
            ::unlinkat(folder, name.c_str(), 0);
            return false;
        }
        if (info.st_nlink == 0) continue;
        temporary = {std::move(file), std::move(name)};
        return true;
    }
    reportFailure("create", prefix + "*", "no unused temporary name");
    return false;
}

}  // namespace

std::size_t readFilePrefix(const char* name, void* buffer, std::size_t capacity) {
    const Descriptor file = openRegularFile(name, O_RDONLY).file;
    if (!file) return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < capacity) {
        const ssize_t got = ::read(file.get(), bytes + total, capacity - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) reportSystemFailure("read", name);
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

bool replaceFile(const char* name, const void* data, std::size_t size) {
    const auto [folderName, fileName] = splitName(name);
    const Descriptor folder(::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        reportSystemFailure("open", folderName);
        return false;
    }
    const std::string prefix = fileName + ".tmp.";
    removeStaleTemporaries(folder.get(), prefix);

    TemporaryFile temporary;
    if (!createTemporary(folder.get(), prefix, temporary)) return false;
    const auto abandon = [&](const char* operation) {
        reportSystemFailure(operation, temporary.name);
        ::unlinkat(folder.get(), temporary.name.c_str(), 0);
        return false;
    };
    if (!writeAll(temporary.file.get(), data, size)) return abandon("write");
    if (::fsync(temporary.file.get()) != 0) return abandon("fsync");
    // Renamed while still locked: until then no other save may take it for
    // a leftover. The rename replaces whatever the name was, never writing
    // through it.
    if (::renameat(folder.get(), temporary.name.c_str(), folder.get(), fileName.c_str()) != 0) {
        return abandon("rename");
    }
    // The bytes are on disk already (fsync); a failing close loses nothing.
    if (::close(temporary.file.release()) != 0) reportSystemFailure("close", name);
    return true;
}

bool appendLineToFile(const char* name, const void* line, std::size_t size) {
    const Descriptor file = openRegularFile(name, O_RDWR | O_CREAT | O_APPEND).file;
    if (!file) return false;
    // A file that ends inside a line (cut off by a crash, or written by
    // someone else) gets a line end first, or both lines would read as one.
    struct stat before {};
    char last = '\n';
    if (::fstat(file.get(), &before) == 0 && before.st_size > 0 &&
        ::pread(file.get(), &last, 1, before.st_size - 1) != 1) {
        reportSystemFailure("read", name);
    }
    std::string bytes = last == '\n' ? std::string() : std::string("\r\n");
    bytes.append(static_cast<const char*>(line), size);
    const char* const data = bytes.data();
    size = bytes.size();
    // One write call: with O_APPEND the bytes land whole at the end of the file.
    const ssize_t written = ::write(file.get(), data, size);
    if (written == static_cast<ssize_t>(size)) return true;
    if (written < 0) {
        reportSystemFailure("write", name);
        return false;
    }
    reportFailure("write", name, "only " + std::to_string(written) + " of " + std::to_string(size) + " bytes written");
    // A write cut short (a full disk, a file size limit) leaves a part that
    // the next append would continue. The position is just past our bytes;
    // they are cut off unless someone has appended after them since.
    const off_t end = ::lseek(file.get(), 0, SEEK_CUR);
    struct stat info {};
    if (end < written || ::fstat(file.get(), &info) != 0) {
        reportSystemFailure("truncate", name);
    } else if (info.st_size != end) {
        reportFailure("truncate", name, "appended to meanwhile");
    } else if (::ftruncate(file.get(), end - written) != 0) {
        reportSystemFailure("truncate", name);
    }
    return false;
}

}  // namespace vostrel::platform
