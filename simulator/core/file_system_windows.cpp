#include <windows.h>

#include <stdexcept>
#include <utility>

#include "core/file_system.h"
#include "usbbus/utf.h"

namespace vostrel::sim::fs {

namespace {

// Everything is shared, deleting included: a reader or a lock holder never
// keeps a writer from putting its new file in place.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring wide(const std::string& path) {
    const auto units = usbbus::utf8ToUtf16(path);
    if (!units) throw std::runtime_error("cannot use " + path + ": not UTF-8");
    return std::wstring(units->begin(), units->end());
}

std::string errorText(DWORD error) {
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::u16string text(reinterpret_cast<const char16_t*>(message != nullptr ? message : L""), length);
    if (message != nullptr) ::LocalFree(message);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : usbbus::utf16ToUtf8(text);
}

[[noreturn]] void fail(const std::string& what, const std::string& path, DWORD error) {
    throw std::runtime_error("cannot " + what + " " + path + ": " + errorText(error));
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

FileStamp stampFrom(const BY_HANDLE_FILE_INFORMATION& info) {
    // File times count 100 ns from 1601; stamps count nanoseconds from 1970.
    constexpr std::int64_t kFrom1601To1970 = 116444736000000000;
    const std::int64_t written =
        (static_cast<std::int64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
            (written - kFrom1601To1970) * 100};
}

bool informationOf(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileInformationByHandle(file, &info) != FALSE;
}

// Puts the new file in place of `target`. Windows refuses to replace a file
// that someone has open, and readers open the bench for a moment at a time,
// so a refusal is tried again for a while.
bool moveOver(const std::wstring& temporary, const std::wstring& target) {
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 2000) return false;
        ::Sleep(1);
    }
}

}  // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
    const Handle file(::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !informationOf(file.get(), info)) return std::nullopt;
    return stampFrom(info);
}

FileContents readFile(const std::string& path) {
    const Handle file(
        ::CreateFileW(wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) fail("read", path, ::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !informationOf(file.get(), info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw std::runtime_error("cannot read " + path + ": not a file");
    }
    FileContents contents;
    contents.stamp = stampFrom(info);
    if (contents.stamp.size > kMaxFileBytes) fail("read", path, ERROR_FILE_TOO_LARGE);
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) fail("read", path, ::GetLastError());
        if (got == 0) break;
        contents.bytes.append(buffer, got);
        if (contents.bytes.size() > kMaxFileBytes) fail("read", path, ERROR_FILE_TOO_LARGE);
    }
    return contents;
}

FileStamp replaceFile(const std::string& path, std::string_view bytes) {
    const std::wstring target = wide(path);
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
                    std::to_wstring(::GetTickCount64() + attempt) + L".tmp";
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            fail("write beside", path, ::GetLastError());
        }
    }
    if (created == INVALID_HANDLE_VALUE) fail("write beside", path, ERROR_FILE_EXISTS);
    Handle file(created);
    auto abandon = [&](DWORD error) {
        ::CloseHandle(file.release());
        ::DeleteFileW(temporary.c_str());
        fail("write", path, error);
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t left = bytes.size() - written;
        DWORD put = 0;
        if (!::WriteFile(file.get(), bytes.data() + written, left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left),
                         &put, nullptr)) {
            abandon(::GetLastError());
        }
        written += put;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!informationOf(file.get(), info)) abandon(::GetLastError());
    if (!::FlushFileBuffers(file.get())) abandon(::GetLastError());
    ::CloseHandle(file.release());
    if (!moveOver(temporary, target)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        fail("write", path, error);
    }
    return stampFrom(info);  // renaming keeps the file's identity and its times
}

// The lock is taken on a companion file that is never replaced, since a
// file that someone holds open cannot be replaced on Windows.
FileLock::FileLock(const std::string& path) {
    const std::string lockPath = path + ".lock";
    Handle file(::CreateFileW(wide(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) fail("lock", path, ::GetLastError());
    OVERLAPPED whole{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        fail("lock", path, ::GetLastError());
    }
    handle_ = reinterpret_cast<std::intptr_t>(file.release());
}

FileLock::~FileLock() {
    // Closing the handle releases the lock.
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace vostrel::sim::fs
