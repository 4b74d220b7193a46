// A thread of the library's own (the monitor's), started and joined.
//
// On Windows the library may be unloaded while its thread runs. The thread
// therefore holds a reference to the module that contains its code from
// before it starts until it has ended: an unload by the host only drops the
// host's reference, and the module stays mapped until the thread leaves
// through FreeLibraryAndExitThread, which runs no code of ours after the
// reference is gone. See frame/locks.h for what that means for unloading.
#pragma once

#include <functional>
#include <memory>

namespace vostrel::platform {

class Thread {
public:
    // Destroy only after join(), or when the process is ending.
    virtual ~Thread() = default;

    // Waits until the thread has ended. Never call it from the thread itself,
    // nor under the operating system's loader lock.
    virtual void join() = 0;
};

// Runs `body` on a new thread; nullptr, with nothing started, when no thread
// can be created.
std::unique_ptr<Thread> startThread(std::function<void()> body);

}  // namespace vostrel::platform
