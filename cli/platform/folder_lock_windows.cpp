#include "platform/folder_lock.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/folders.h"
#include "platform/wide_text_windows.h"

namespace vostrel::cli::platform {

// A named mutex for the folder: a handle on the folder itself would keep
// the holder from making it its current folder, and a lock file would stay
// behind. The name is the folder's full path in lower case (Windows' folder
// names ignore case; a name may hold no backslash), in the global namespace
// so that a monitor running as a service and a user's command meet. The
// system releases it however the holder ends.
LockResult lockFolderUntilExit(const std::string& folder, std::string& why) {
    const std::wstring given = vostrel::platform::toWide(folder);
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(given.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        why = length == 0 ? lastErrorText() : "its path is too long";
        return LockResult::Failed;
    }
    std::wstring name(full, length);
    while (name.size() > 3 && name.back() == L'\\') name.pop_back();
    ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    std::replace(name.begin(), name.end(), L'\\', L'/');
    name = L"Global\\vostrel-state:" + name;

    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        const bool busy = ::GetLastError() == ERROR_ACCESS_DENIED;  // another user holds it
        why = lastErrorText();
        return busy ? LockResult::Busy : LockResult::Failed;
    }
    switch (::WaitForSingleObject(mutex, 0)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder ended without releasing it
            return LockResult::Taken;  // held until the process ends
        case WAIT_TIMEOUT:
            ::CloseHandle(mutex);
            why = "it is locked by another process";
            return LockResult::Busy;
        default:
            why = lastErrorText();
            ::CloseHandle(mutex);
            return LockResult::Failed;
    }
}

}  // namespace vostrel::cli::platform
