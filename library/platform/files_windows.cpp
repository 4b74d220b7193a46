#include "platform/files.h"

#include <windows.h>

#include <string>

#include "platform/diagnostics.h"
#include "platform/regular_file_windows.h"
#include "platform/wide_text_windows.h"

namespace vostrel::platform {
namespace {

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

private:
    HANDLE handle_;
};

// Readers and appenders share everything, deleting included, so that
// neither keeps a save from putting its new file in place.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openPlainFile(const std::wstring& name, DWORD access, DWORD disposition, const char* operation,
                     const char* utf8Name) {
    HANDLE file = ::CreateFileW(name.c_str(), access, kShareAll, nullptr, disposition, kRegularFileOpenFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) reportSystemFailure(operation, utf8Name);
        return INVALID_HANDLE_VALUE;
    }
    if (!isRegularFile(file)) {
        ::CloseHandle(file);
        reportFailure(operation, utf8Name, "not an ordinary file");
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

bool writeAll(HANDLE file, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

// A name beside `name` that no other save uses: this process's number and
// a count. The file is created new, so a file planted under that name is
// never written into; the next count is tried instead.
std::wstring temporaryName(const std::wstring& name, unsigned attempt) {
    static LONG counter = 0;
    const LONG count = ::InterlockedIncrement(&counter);
    return name + L".tmp." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(count) + L"." +
           std::to_wstring(attempt);
}

}  // namespace

std::size_t readFilePrefix(const char* name, void* buffer, std::size_t capacity) {
    const Handle file(openPlainFile(toWide(name), GENERIC_READ, OPEN_EXISTING, "read", name));
    if (!file.valid()) return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < capacity) {
        const std::size_t left = capacity - total;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes + total, chunk, &got, nullptr)) {
            reportSystemFailure("read", name);
            break;
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

bool replaceFile(const char* name, const void* data, std::size_t size) {
    const std::wstring target = toWide(name);
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryName(target, attempt);
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (created == INVALID_HANDLE_VALUE) {
        reportSystemFailure("create a file beside", name);
        return false;
    }
    bool written;
    {
        const Handle file(created);
        written = writeAll(file.get(), data, size) && ::FlushFileBuffers(file.get());
        if (!written) reportSystemFailure("write beside", name);
    }
    // The new file takes the name in one step: a reader sees the old file or
    // the new one, never a part of either. A link under the name is replaced
    // itself, never followed.
    if (written && ::MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    if (written) reportSystemFailure("replace", name);
    ::DeleteFileW(temporary.c_str());
    return false;
}

bool appendLineToFile(const char* name, const void* line, std::size_t size) {
    if (size > 0x7FFFFFFD) return false;
    const Handle file(
        openPlainFile(toWide(name), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, "append to", name));
    if (!file.valid()) return false;
    LARGE_INTEGER before{};
    if (!::GetFileSizeEx(file.get(), &before)) {
        reportSystemFailure("append to", name);
        return false;
    }
    // A file that ends inside a line (cut off by a crash, or written by
    // someone else) gets a line end first, or both lines would read as one.
    char last = '\n';
    if (before.QuadPart > 0) {
        OVERLAPPED atLast{};
        atLast.Offset = static_cast<DWORD>(before.QuadPart - 1);
        atLast.OffsetHigh = static_cast<DWORD>(static_cast<ULONGLONG>(before.QuadPart - 1) >> 32);
        DWORD got = 0;
        if (!::ReadFile(file.get(), &last, 1, &got, &atLast) || got != 1) last = '\n';
    }
    std::string bytes = last == '\n' ? std::string() : std::string("\r\n");
    bytes.append(static_cast<const char*>(line), size);
    const char* const data = bytes.data();
    size = bytes.size();
    // Offset all ones: the system puts the bytes at the end of the file as
    // it is at the moment of writing, even with other appenders.
    OVERLAPPED atEnd{};
    atEnd.Offset = 0xFFFFFFFF;
    atEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    const bool whole = ::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, &atEnd) && written == size;
    if (whole) return true;
    reportSystemFailure("append to", name);
    // A part of a line is taken back, when nothing was appended after it.
    LARGE_INTEGER after{};
    if (written > 0 && ::GetFileSizeEx(file.get(), &after) && after.QuadPart == before.QuadPart + written &&
        ::SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN)) {
        ::SetEndOfFile(file.get());
    }
    return false;
}

}  // namespace vostrel::platform
