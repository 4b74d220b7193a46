// Reading what has been added to the end of a file since the last look,
// also when the file has been deleted and made anew in between.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vostrel::cli::platform {

// Which file a name led to at the last look, and how much of it was read.
struct TailPosition {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t offset = 0;
};

struct TailRead {
    bool restarted = false;  // another file than before, or a shorter one: read from its start
    std::string bytes;
};

// What the file `path` holds beyond `position` (at most `limit` bytes), with
// `position` moved past it. Nothing when there is no such file now: a link, a
// FIFO or a device in its place counts as none, and is neither followed nor
// waited on. Any other failure throws std::runtime_error.
std::optional<TailRead> readTail(const std::string& path, TailPosition& position, std::size_t limit);

// The end of the file `path` as it is now; the start of any file when there
// is none.
TailPosition endOfFile(const std::string& path);

}  // namespace vostrel::cli::platform
