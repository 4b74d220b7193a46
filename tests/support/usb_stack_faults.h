// A USB stack around any other that counts what it is asked, checks that
// every handle is closed once, and lets a test make the inner stack's
// answers misbehave: fail, shorten, lengthen or overwrite them, refuse
// chosen names, lose the interface list.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/usb_stack.h"

namespace vostrel::test {

// One device I/O control as the stack received it.
struct IoctlCall {
    std::uint32_t code = 0;
    std::uint8_t descriptorType = 0;  // descriptor requests only
    std::uint32_t port = 0;           // the input's first 32 bits: the port a hub is asked about
    std::uint32_t outSize = 0;
};

// The inner stack's answer, open to change by a fault. `out` is the caller's
// whole output buffer.
struct IoctlAnswer {
    bool ok = false;
    std::uint32_t bytesReturned = 0;
    std::span<std::uint8_t> out;
};

using Fault = std::function<void(const IoctlCall&, IoctlAnswer&)>;

class FaultyUsbStack : public platform::UsbStack {
public:
    explicit FaultyUsbStack(platform::UsbStack& inner) : inner_(inner) {}

    // Runs `fault` over every later answer, after those added before it.
    void addFault(Fault fault) { faults.push_back(std::move(fault)); }

    std::uint64_t ioctlCount() const { return ioctls_; }
    std::uint64_t ioctlCount(std::uint32_t code) const {
        return ioctlsByCode_.contains(code) ? ioctlsByCode_.at(code) : 0;
    }
    std::uint64_t openCount() const { return opens_; }
    std::size_t openHandles() const { return handles_.size(); }
    std::uint64_t badCloses() const { return badCloses_; }  // closes of handles not open
    void resetCounts() {
        ioctls_ = opens_ = badCloses_ = 0;
        ioctlsByCode_.clear();
    }

    std::vector<Fault> faults;
    std::vector<std::u16string> failingOpens;  // paths that do not open
    bool interfaceListFails = false;

    // platform::UsbStack
    void* open(const char16_t* path) override;
    bool deviceIoControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    void close(void* handle) override;
    int hostControllerInterface(std::uint32_t index, char16_t* path, std::uint32_t capacity) override;

private:
    platform::UsbStack& inner_;
    std::set<void*> handles_;
    std::uint64_t ioctls_ = 0;
    std::map<std::uint32_t, std::uint64_t> ioctlsByCode_;
    std::uint64_t opens_ = 0;
    std::uint64_t badCloses_ = 0;
};

}  // namespace vostrel::test
