#include "platform/folders.h"

#include <windows.h>

#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/wide_text_windows.h"

namespace vostrel::cli::platform {
namespace {

using vostrel::platform::toUtf8;
using vostrel::platform::toWide;

std::string errorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
                         nullptr);
    std::string message = length != 0 ? toUtf8(std::wstring_view(text, length)) : "error " + std::to_string(error);
    ::LocalFree(text);
    // As the other messages: lower case first, no full stop or line break.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' ')) {
        message.pop_back();
    }
    if (!message.empty()) message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    return message;
}

}  // namespace

std::string lastErrorText() { return errorText(::GetLastError()); }

std::string folderProblem(const std::string& path, bool needWrite) {
    const std::wstring folder = toWide(path);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "does not exist" : errorText(error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return "is not a folder";
    if (!needWrite) return {};
    // Whether a file can be made there is known only by making one.
    wchar_t probe[MAX_PATH];
    if (::GetTempFileNameW(folder.c_str(), L"vst", 0, probe) == 0) return lastErrorText();
    ::DeleteFileW(probe);
    return {};
}

std::string defaultStateFolder() {
    const DWORD size = ::GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    std::wstring base(size, L'\0');
    if (size == 0 || ::GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), size) != size - 1) {
        throw std::runtime_error("cannot find the local application data folder (LOCALAPPDATA is not set)");
    }
    base.resize(size - 1);
    const std::wstring folder = base + L"\\Vostrel";
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        throw std::runtime_error("cannot make the state folder " + toUtf8(folder) + ": " + lastErrorText());
    }
    return toUtf8(folder);
}

std::string defaultStateFolderName() { return "%LOCALAPPDATA%\\Vostrel"; }

// Nothing here keeps files for the session only: the hubs of other makers,
// whose answers it would hold, are listed on Linux alone.
std::string runtimeFolder() { return {}; }

void changeCurrentFolder(const std::string& path) {
    if (!::SetCurrentDirectoryW(toWide(path).c_str())) {
        throw std::runtime_error("cannot change into " + path + ": " + lastErrorText());
    }
}

std::string makePrivateFolder() {
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("cannot find the temporary folder: " + lastErrorText());
    // The user's temporary folder is the user's own; a name no other process
    // has taken is made by trying.
    const std::wstring base = std::wstring(temporary, length) + L"vostrel-" + std::to_wstring(::GetCurrentProcessId());
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring folder = base + L"-" + std::to_wstring(attempt);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return toUtf8(folder);
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot make a temporary folder: " + lastErrorText());
}

std::string fileWriteProblem(const std::string& folder, std::size_t size) {
    wchar_t name[MAX_PATH];
    if (::GetTempFileNameW(toWide(folder).c_str(), L"vst", 0, name) == 0) return lastErrorText();
    std::string why;
    const HANDLE file = ::CreateFileW(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        why = lastErrorText();
    } else {
        const std::vector<char> zeros(size);
        DWORD written = 0;
        if (!::WriteFile(file, zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr)) {
            why = lastErrorText();
        } else if (written != zeros.size()) {
            why = "nothing written";
        } else if (!::FlushFileBuffers(file)) {
            why = lastErrorText();
        }
        ::CloseHandle(file);
    }
    ::DeleteFileW(name);
    return why;
}

}  // namespace vostrel::cli::platform
