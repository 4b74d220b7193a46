// File access of the library. Names without a folder are taken in the
// process's current directory as it is at each call.
//
// The folder may be writable by others, and the names in it may be taken by
// anything: a symbolic link, a FIFO, a device. No function here follows a
// symbolic link in the last component of a name, waits on a special file, or
// reads or writes anything but a regular file. Every failure is reported
// through the diagnostics (VOSTREL_DEBUG=1) and otherwise only by the result.
#pragma once

#include <cstddef>

namespace vostrel::platform {

// Reads at most `capacity` bytes from the start of the file into `buffer`.
// Returns the number of bytes read; 0 when the file is missing, unreadable
// or not a regular file.
std::size_t readFilePrefix(const char* name, void* buffer, std::size_t capacity);

// Replaces the file's contents with `size` bytes, all or nothing: the bytes go
// to a new temporary file of this call's own in the same folder, which is
// then renamed over the name (whatever the name was, a link included; what a
// link pointed to stays untouched). Temporary files that processes killed
// during a save left behind are removed; those of saves still under way in
// other processes are not. On failure the old file is left as it was, no
// temporary file of this call remains, and false is returned.
bool replaceFile(const char* name, const void* data, std::size_t size);

// Appends the line `line` (`size` bytes, its line end included) to the file
// in one write, creating the file when it is missing. When the file ends
// inside a line, a line end (CR LF) goes first, so the new line stands on
// its own. The bytes land whole or not at all: a write cut short (a full
// disk) is taken back. Concurrent readers and appenders never lose or split
// the bytes.
bool appendLineToFile(const char* name, const void* line, std::size_t size);

}  // namespace vostrel::platform
