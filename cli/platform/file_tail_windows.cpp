#include "platform/file_tail.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/folders.h"
#include "platform/regular_file_windows.h"
#include "platform/wide_text_windows.h"

namespace vostrel::cli::platform {
namespace {

// Opened so that the library may go on appending, and delete or replace the
// file, while it is read here. A link, a device or a pipe in the file's place
// is closed again at once and counts as no file (INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND), as the library's own files do.
HANDLE openShared(const std::string& path) {
    const HANDLE file = ::CreateFileW(vostrel::platform::toWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      vostrel::platform::kRegularFileOpenFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE || vostrel::platform::isRegularFile(file)) return file;
    ::CloseHandle(file);
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

bool missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The volume and the file's index stand for the device and the inode.
TailPosition identity(const BY_HANDLE_FILE_INFORMATION& info, std::uint64_t offset) {
    return {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            offset};
}

std::uint64_t sizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

}  // namespace

std::optional<TailRead> readTail(const std::string& path, TailPosition& position, std::size_t limit) {
    const HANDLE file = openShared(path);
    if (file == INVALID_HANDLE_VALUE) {
        if (missing(::GetLastError())) return std::nullopt;
        throw std::runtime_error("cannot read " + path + ": " + lastErrorText());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        const std::string why = lastErrorText();
        ::CloseHandle(file);
        throw std::runtime_error("cannot read " + path + ": " + why);
    }
    TailRead read;
    const TailPosition now = identity(info, position.offset);
    const std::uint64_t size = sizeOf(info);
    if (now.device != position.device || now.inode != position.inode || size < position.offset) {
        read.restarted = true;
        position = identity(info, 0);
    }
    read.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size - position.offset, limit)));
    std::size_t got = 0;
    while (got < read.bytes.size()) {
        OVERLAPPED at{};
        const std::uint64_t offset = position.offset + got;
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD n = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(read.bytes.size() - got, 1u << 20));
        if (!::ReadFile(file, read.bytes.data() + got, wanted, &n, &at) || n == 0) break;
        got += n;
    }
    ::CloseHandle(file);
    read.bytes.resize(got);
    position.offset += got;
    return read;
}

TailPosition endOfFile(const std::string& path) {
    const HANDLE file = openShared(path);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    if (!known) return {};
    return identity(info, sizeOf(info));
}

}  // namespace vostrel::cli::platform
