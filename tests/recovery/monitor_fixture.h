// The monitor over the two test doubles: a bus of family hubs on the USB
// stack double, the recording double of the vendor library, and a stepped
// clock, so each tick() is exactly one monitor pass.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/locks.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "loaded_library.h"
#include "backends/bus_sources.h"
#include "pt2lib_double.h"
#include "recovery/monitor.h"
#include "stepped_clock.h"
#include "usb_stack_double.h"

namespace vostrel::test {

inline constexpr std::uint16_t kVendor = 0x04D8;
inline constexpr std::uint16_t kProduct = 0x000A;

using Switches = std::vector<std::string>;

class MonitorTest : public ::testing::Test {
protected:
    explicit MonitorTest(int hubCount = 2) { hubs_ = stack_.addFamilyHubs(hubCount, Link::Usb3); }

    void SetUp() override {
        pt2DoubleReset();
        pt2DoubleSetHubCount(static_cast<std::uint32_t>(hubs_.size()));
        backends::useBusSource(&stack_);
        useMonitorClock(clock_);
        libraryLoad();
    }

    void TearDown() override {
        libraryUnload();
        useMonitorClock(platform::realClock());
        backends::useBusSource(nullptr);
    }

    // A configured device on hub `hub`, port index `port`, put on the watch
    // list as the control program does it.
    UsbDeviceDouble watchNewDevice(int hub, int port) {
        UsbDeviceDouble device = plugDevice(hub, port);
        watch(hub, port);
        return device;
    }

    UsbDeviceDouble plugDevice(int hub, int port) {
        return hubs_[static_cast<std::size_t>(hub)].plug(port).ids(kVendor, kProduct).manufacturer(u"Acme").product(u"Camera");
    }

    static void watch(int hub, int port) {
        const DeviceInfoRecord record = makeRecord(hub, port, kVendor, kProduct, u"Camera", u"Acme");
        ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    }

    static void startWith(std::uint8_t interval, std::uint8_t offTime) {
        Hub_SetAutoCheckTimeInfo(interval, offTime);
        ASSERT_EQ(Hub_StartAutoRecovery(), 1);
    }

    // The lines of vostrel.log so far, without their CR LF.
    static std::vector<std::string> logLines() {
        const auto bytes = readBytes("vostrel.log");
        const std::string text(bytes.begin(), bytes.end());
        std::vector<std::string> lines;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 2;
        }
        return lines;
    }

    // Each line without its time stamp: "code,hub,port,vid,pid,manufacturer,product".
    static std::vector<std::string> events() {
        std::vector<std::string> out;
        for (const std::string& line : logLines()) out.push_back(line.substr(line.find(',') + 1));
        return out;
    }

    // The port switches made through the vendor library since the last
    // call, as "hub/pin=state".
    static std::vector<std::string> takeSwitches() {
        std::vector<std::string> out;
        std::string hub = "?";
        for (const std::string& call : pt2double::calls()) {
            if (call.rfind("MchpUsbOpen(", 0) == 0 && call.find("failed") == std::string::npos) {
                hub = call.substr(12, call.find(')') - 12);
            } else if (call.rfind("MchpUsbGpioSet(", 0) == 0) {
                const std::size_t pin = call.find(',') + 1;
                const std::size_t state = call.find(',', pin) + 1;
                out.push_back(hub + "/" + call.substr(pin, state - 1 - pin) + "=" +
                              call.substr(state, call.find(')') - state));
            }
        }
        pt2DoubleClearLog();
        return out;
    }

    ScratchDir dir_;
    UsbStackDouble stack_;
    std::vector<FamilyHub> hubs_;
    SteppedClock clock_;
};

}  // namespace vostrel::test
