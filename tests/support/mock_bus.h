// A umockdev test bed for the test process: while one exists, the process's
// view of /sys and /dev (and udev's events) is the bed's. The process must
// run with libumockdev-preload.so.0 preloaded (CTest sets LD_PRELOAD for the
// tests that use this).
#pragma once

#include <umockdev.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vostrel::test {

class MockBus {
public:
    MockBus() {
        const char* preload = std::getenv("LD_PRELOAD");
        if (preload == nullptr || std::string_view(preload).find("libumockdev-preload") == std::string_view::npos) {
            throw std::runtime_error("not running under libumockdev-preload.so.0 (LD_PRELOAD)");
        }
        bed_ = umockdev_testbed_new();
    }
    ~MockBus() { g_object_unref(bed_); }
    MockBus(const MockBus&) = delete;
    MockBus& operator=(const MockBus&) = delete;

    // Adds the devices of a record (umockdev-record's format).
    void load(const std::string& record) {
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(bed_, record.c_str(), &error)) {
            const std::string message = error != nullptr ? error->message : "unknown error";
            g_clear_error(&error);
            throw std::runtime_error("umockdev refused the bed: " + message);
        }
    }

    // `device` is a path below /sys, e.g. "/sys/devices/pci0000:00/...".
    void remove(const std::string& device) { umockdev_testbed_remove_device(bed_, device.c_str()); }
    void uevent(const std::string& device, const char* action) {
        umockdev_testbed_uevent(bed_, device.c_str(), action);
    }
    void setAttribute(const std::string& device, const std::string& name, const std::string& value) {
        umockdev_testbed_set_attribute(bed_, device.c_str(), name.c_str(), value.c_str());
    }

    // Lets `handler` answer the device I/O controls sent to the node `node`
    // ("/dev/bus/usb/001/002"); it runs on a thread of umockdev's.
    void answerIoctls(const std::string& node, UMockdevIoctlBase* handler) {
        GError* error = nullptr;
        if (!umockdev_testbed_attach_ioctl(bed_, node.c_str(), handler, &error)) {
            const std::string message = error != nullptr ? error->message : "unknown error";
            g_clear_error(&error);
            throw std::runtime_error("umockdev cannot answer " + node + ": " + message);
        }
    }

    // The bed's own folder, where its /sys lies, reached without the preload's
    // redirection.
    std::string root() const {
        gchar* dir = umockdev_testbed_get_root_dir(bed_);
        std::string root = dir;
        g_free(dir);
        return root;
    }

private:
    UMockdevTestbed* bed_ = nullptr;
};

}  // namespace vostrel::test
