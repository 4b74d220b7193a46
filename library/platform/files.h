// File access of the library. Names without a folder are taken in the
// process's current directory as it is at each call.
#pragma once

#include <cstddef>

namespace vostrel::platform {

// Reads at most `capacity` bytes from the start of the file into `buffer`.
// Returns the number of bytes read; 0 when the file is missing or unreadable.
std::size_t readFilePrefix(const char* name, void* buffer, std::size_t capacity);

// Replaces the file's contents with `size` bytes, all or nothing: the bytes go
// to a temporary file in the same folder, which is then renamed over the old
// file. On failure the old file is left as it was and false is returned.
bool replaceFile(const char* name, const void* data, std::size_t size);

// Appends `size` bytes to the file in one write, creating the file when it is
// missing. Concurrent readers and appenders never lose or split the bytes.
bool appendToFile(const char* name, const void* data, std::size_t size);

}  // namespace vostrel::platform
