#include <system_error>
#include <thread>

#include "platform/thread.h"

namespace vostrel::platform {
namespace {

class PosixThread final : public Thread {
public:
    explicit PosixThread(std::function<void()> body) : thread_(std::move(body)) {}
    void join() override { thread_.join(); }

private:
    std::thread thread_;
};

}  // namespace

std::unique_ptr<Thread> startThread(std::function<void()> body) {
    try {
        return std::make_unique<PosixThread>(std::move(body));
    } catch (const std::system_error&) {
        return nullptr;
    }
}

}  // namespace vostrel::platform
