// Opening a name as a regular file on Windows, by the rule every file of the
// library and of its programs follows: a symbolic link or junction in the
// name's place is not followed, and like a device, a pipe or a folder it
// counts as no file.
#pragma once

#include <windows.h>

namespace vostrel::platform {

// CreateFileW's flags and attributes that open a link in the name's place as
// itself instead of what it points to; isRegularFile() then refuses it.
inline constexpr DWORD kRegularFileOpenFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

// True for an ordinary file on disk, opened with kRegularFileOpenFlags: not a
// device (CON, NUL, a console), not a pipe, not a folder, and not a link.
// Reparse points that only store data (not name surrogates) are ordinary.
bool isRegularFile(HANDLE file);

}  // namespace vostrel::platform
