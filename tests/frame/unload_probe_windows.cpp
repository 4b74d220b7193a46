// Loads and unloads Vostrel_4.dll 50 times while its monitor runs, in one
// process, and checks that no thread is left behind and that the library
// is unloaded exactly when it should be. Then it ends with the monitor
// running, which must neither hang nor crash. Exit status 0 when all held.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>

#include <vostrel/hub_api.h>

namespace {

int threadsOfThisProcess() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

bool libraryLoaded() { return ::GetModuleHandleW(L"Vostrel_4.dll") != nullptr; }

struct Library {
    HMODULE module = ::LoadLibraryW(L"Vostrel_4.dll");

    template <typename Function>
    Function* get(const char* name) const {
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    }
    std::int32_t start() const { return get<decltype(Hub_StartAutoRecovery)>("Hub_StartAutoRecovery")(); }
    std::int32_t stop() const { return get<decltype(Hub_StopAutoRecovery)>("Hub_StopAutoRecovery")(); }
    std::int32_t status() const { return get<decltype(Hub_GetAutoRecoveryStatus)>("Hub_GetAutoRecoveryStatus")(); }
};

int failed(int round, const char* what) {
    std::printf("round %d: %s\n", round, what);
    return 1;
}

}  // namespace

int main() {
    ::DeleteFileW(L"vostrel.dat");  // settings of an earlier run, perhaps with the monitor enabled
    const int baseline = threadsOfThisProcess();
    for (int round = 1; round <= 50; ++round) {
        const Library first;
        if (first.module == nullptr) return failed(round, "Vostrel_4.dll does not load");
        if (first.start() != 1) return failed(round, "the monitor does not start");
        ::FreeLibrary(first.module);
        // The monitor's own reference keeps the library loaded and running.
        if (!libraryLoaded()) return failed(round, "unloaded while its monitor runs");
        const Library again;
        if (again.status() != 1) return failed(round, "the monitor is not running after the unload");
        if (again.stop() != 1) return failed(round, "the monitor does not stop");
        ::FreeLibrary(again.module);
        if (libraryLoaded()) return failed(round, "still loaded once nothing uses it");
        if (threadsOfThisProcess() != baseline) return failed(round, "a thread was left behind");
    }
    // Monitors started on every load keep one thread between them.
    for (int round = 1; round <= 50; ++round) {
        const Library library;
        library.start();
        ::FreeLibrary(library.module);
        if (threadsOfThisProcess() != baseline + 1) return failed(round, "not exactly one monitor thread");
    }
    std::printf("50 rounds, no thread left behind\n");
    return 0;  // with the monitor running: the end of the process unloads the library
}
