// The file operations that keep one bench shared between processes: whole
// reads with an identity stamp, an exclusive lock that follows the file
// across replacements, and replacement in one step. The per-OS halves live
// in file_system_<os>.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vostrel::sim::fs {

// What identifies one version of a file without reading it. Two writes within
// one tick of the file system's clock can leave it unchanged, so a stamp is
// only trusted for a file that was already old when it was read.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

struct FileContents {
    std::string bytes;
    FileStamp stamp;  // of the very file read
};

// Files larger than this are refused rather than read.
inline constexpr std::uint64_t kMaxFileBytes = 64u << 20;

// None when the file does not exist or cannot be looked at.
std::optional<FileStamp> stampOf(const std::string& path);

// Throws std::runtime_error naming the file and the reason.
FileContents readFile(const std::string& path);

// Replaces the file with `bytes` all at once: readers see the old or the new
// file, never a mix. Returns the new file's stamp. Throws std::runtime_error
// on failure, leaving the old file as it was.
FileStamp replaceFile(const std::string& path, std::string_view bytes);

// An exclusive lock on the file at `path` for the life of the object. Since
// replacing a file makes a new one, the lock is taken again until the file
// locked is the one the path names. On Windows, where a file held open cannot
// be replaced, the lock is on the companion file `path`.lock instead, which
// stays beside it. Throws std::runtime_error.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    std::intptr_t handle_ = -1;  // a descriptor, or a Windows handle
};

}  // namespace vostrel::sim::fs
