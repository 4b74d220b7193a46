// The udev rule that lets users switch the hubs' ports: every line parses
// into keys udev knows, with operators that fit them; the rule applies to
// the events of the family's hub devices and hub interfaces and to no
// others (as udev matches: globs with '|' between alternatives); and its
// program gives the ports' `disable` attributes to group plugdev.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "udev_rules.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

using namespace udev;

std::vector<Rule> readRules() { return udev::readRules(UDEV_RULE); }

TEST(UdevRule, EveryLineParsesIntoKeysThatFitTheirOperators) {
    const std::set<std::string> matchKeys = {"ACTION", "SUBSYSTEM", "ENV", "ATTR", "ATTRS", "DRIVER", "KERNEL"};
    const std::set<std::string> assignKeys = {"MODE", "GROUP", "OWNER", "TAG", "RUN", "ENV"};
    const auto rules = readRules();
    ASSERT_EQ(rules.size(), 2u);
    for (const Rule& rule : rules) {
        for (const Key& key : rule) {
            const bool match = key.operation == "==" || key.operation == "!=";
            EXPECT_TRUE((match ? matchKeys : assignKeys).contains(baseName(key.name)))
                << key.name << key.operation << key.value;
        }
    }
}

TEST(UdevRule, AppliesToTheFamilysHubDevicesAndHubInterfacesOnly) {
    const auto rules = readRules();
    const std::string run =
        "RUN+=/bin/sh -c 'chgrp plugdev /sys%p/*-port*/disable && chmod g+w /sys%p/*-port*/disable'";
    const std::set<std::string> node = {"MODE=0664", "GROUP=plugdev", "TAG+=uaccess"};
    const auto device = [](const char* action, const char* vendor, const char* product) {
        return Event{{"ACTION", action}, {"SUBSYSTEM", "usb"}, {"ENV{DEVTYPE}", "usb_device"},
                     {"ATTR{idVendor}", vendor}, {"ATTR{idProduct}", product}};
    };
    const auto interface = [](const char* action, const char* driver, const char* product) {
        return Event{{"ACTION", action},         {"SUBSYSTEM", "usb"}, {"ENV{DEVTYPE}", "usb_interface"},
                     {"DRIVER", driver},         {"ENV{PRODUCT}", product}};
    };
    const struct {
        const char* label;
        Event event;
        std::set<std::string> assignments;
    } cases[] = {
        {"the USB 2.0 hub device comes", device("add", "0424", "2744"), node},
        {"the SuperSpeed hub device at a trigger", device("change", "0424", "5744"), node},
        {"a hub device goes", device("remove", "0424", "2744"), {}},
        {"the maker's other product", device("add", "0424", "2514"), {}},
        {"another maker's hub", device("add", "05e3", "0608"), {}},
        {"the hub driver takes the USB 2.0 hub", interface("bind", "hub", "424/2744/100"), {run}},
        {"the SuperSpeed hub at a trigger", interface("change", "hub", "424/5744/100"), {run}},
        {"the interface before the driver has it", interface("add", "", "424/2744/100"), {}},
        {"another maker's hub behind the family's", interface("bind", "hub", "5e3/608/6060"), {}},
        {"a device with the family's ids but another driver", interface("bind", "usbfs", "424/2744/100"), {}},
    };
    for (const auto& [label, event, assignments] : cases) EXPECT_EQ(applied(rules, event), assignments) << label;
}

// The program the rule runs on a hub interface, on a folder standing in for
// the interface's: every port's `disable` becomes group plugdev's and
// writable by it, and nothing else changes.
TEST(UdevRule, ItsProgramGivesThePortsSwitchesToGroupPlugdev) {
    const ::group* plugdev = ::getgrnam("plugdev");
    if (plugdev == nullptr) GTEST_SKIP() << "no group plugdev here";
    if (::geteuid() != 0) GTEST_SKIP() << "only root may give files to any group";
    std::string command;
    for (const Rule& rule : readRules()) {
        for (const Key& key : rule) {
            if (baseName(key.name) == "RUN") command = key.value;
        }
    }
    ASSERT_FALSE(command.empty());
    ScratchDir dir;
    const fs::path interface = dir.path() / "1-1:1.0";
    for (const char* file : {"1-1-port1/disable", "1-1-port4/disable", "1-1-port1/state", "bInterfaceClass"}) {
        fs::create_directories((interface / file).parent_path());
        std::ofstream(interface / file) << "0\n";
        ::chmod((interface / file).c_str(), 0644);
    }
    const std::string placeholder = "/sys%p";
    for (std::size_t at; (at = command.find(placeholder)) != std::string::npos;) {
        command.replace(at, placeholder.size(), interface.string());
    }
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const auto& [file, changed] : {std::pair{"1-1-port1/disable", true}, std::pair{"1-1-port4/disable", true},
                                        std::pair{"1-1-port1/state", false}, std::pair{"bInterfaceClass", false}}) {
        struct stat status {};
        ASSERT_EQ(::stat((interface / file).c_str(), &status), 0);
        EXPECT_EQ(status.st_gid == plugdev->gr_gid, changed) << file;
        EXPECT_EQ((status.st_mode & 0777), changed ? 0664u : 0644u) << file;
    }
}

}  // namespace
}  // namespace vostrel::test
