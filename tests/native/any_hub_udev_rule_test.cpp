// The opt-in udev rule for every hub: it parses as the family's does, gives
// the usbfs nodes of every hub device (of any maker, root hubs too) to
// group plugdev and the user at the seat, and runs on every hub interface the program whose work the
// family's rule's test checks.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "udev_rules.h"

namespace vostrel::test {
namespace {

using namespace udev;

std::string runOf(const std::vector<Rule>& rules) {
    for (const Rule& rule : rules) {
        for (const Key& key : rule) {
            if (baseName(key.name) == "RUN") return key.value;
        }
    }
    return "";
}

TEST(AnyHubUdevRule, OpensEveryHubsNodeAndPortSwitchesAndNothingElse) {
    const auto rules = readRules(ANY_HUB_UDEV_RULE);
    ASSERT_EQ(rules.size(), 2u);
    const std::string program = runOf(readRules(UDEV_RULE));
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(runOf(rules), program);

    const std::set<std::string> node = {"MODE=0664", "GROUP=plugdev", "TAG+=uaccess"};
    const std::set<std::string> run = {"RUN+=" + program};
    const auto device = [](const char* action, const char* deviceClass) {
        return Event{{"ACTION", action}, {"SUBSYSTEM", "usb"}, {"ENV{DEVTYPE}", "usb_device"},
                     {"ATTR{bDeviceClass}", deviceClass}};
    };
    const auto interface = [](const char* action, const char* driver) {
        return Event{{"ACTION", action}, {"SUBSYSTEM", "usb"}, {"ENV{DEVTYPE}", "usb_interface"}, {"DRIVER", driver}};
    };
    const struct {
        const char* label;
        Event event;
        std::set<std::string> assignments;
    } cases[] = {
        {"a hub comes", device("add", "09"), node},
        {"a hub at a trigger", device("change", "09"), node},
        {"a hub goes", device("remove", "09"), {}},
        {"a device of its interfaces' classes", device("add", "00"), {}},
        {"a vendor-specific device", device("add", "ff"), {}},
        {"the hub driver takes a hub", interface("bind", "hub"), run},
        {"a hub interface at a trigger", interface("change", "hub"), run},
        {"a hub interface before the driver has it", interface("add", ""), {}},
        {"another driver's interface", interface("bind", "usbhid"), {}},
    };
    for (const auto& [label, event, assignments] : cases) EXPECT_EQ(applied(rules, event), assignments) << label;
}

}  // namespace
}  // namespace vostrel::test
