#include <windows.h>

#include "platform/thread.h"

namespace vostrel::platform {
namespace {

struct Start {
    std::function<void()> body;
    HMODULE module;  // the reference the thread holds on its own code
};

DWORD WINAPI threadEntry(void* parameter) {
    HMODULE module;
    {
        std::unique_ptr<Start> start(static_cast<Start*>(parameter));
        module = start->module;
        start->body();
    }
    // Drops the reference and ends the thread without returning here: after
    // the last reference goes, the module may no longer be mapped.
    ::FreeLibraryAndExitThread(module, 0);
}

class WindowsThread final : public Thread {
public:
    explicit WindowsThread(HANDLE handle) : handle_(handle) {}
    ~WindowsThread() override { ::CloseHandle(handle_); }
    // The thread's handle is signalled by the system once the thread has
    // ended, after its last instruction in our module.
    void join() override { ::WaitForSingleObject(handle_, INFINITE); }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<Thread> startThread(std::function<void()> body) {
    auto start = std::make_unique<Start>();
    start->body = std::move(body);
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&threadEntry),
                              &start->module)) {
        return nullptr;
    }
    HANDLE handle = ::CreateThread(nullptr, 0, threadEntry, start.get(), 0, nullptr);
    if (handle == nullptr) {
        ::FreeLibrary(start->module);
        return nullptr;
    }
    start.release();  // the thread owns it now
    return std::make_unique<WindowsThread>(handle);
}

}  // namespace vostrel::platform
