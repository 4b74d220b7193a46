#include "platform/instance_mutex.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace talvern::platform {

std::unique_ptr<InstanceMutex> InstanceMutex::createFirst(const std::string& name) {
    const std::u16string wideName = utf16(name);
    const HANDLE handle = ::CreateMutexW(nullptr, FALSE, wide(wideName));
    if (handle == nullptr) return nullptr;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(handle);
        return nullptr;
    }
    return std::unique_ptr<InstanceMutex>(new InstanceMutex(handle));
}

InstanceMutex::~InstanceMutex() { ::CloseHandle(handle_); }

}  // namespace talvern::platform
