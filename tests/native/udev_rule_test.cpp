// The udev rule that lets users switch the hubs' ports: every line parses
// into keys udev knows, with operators that fit them; the rule applies to
// the events of the family's hub devices and hub interfaces and to no
// others (as udev matches: globs with '|' between alternatives); and its
// program gives the ports' `disable` attributes to group plugdev.
#include <fnmatch.h>
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

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

struct Key {
    std::string name;       // "ATTR{idVendor}" with its attribute
    std::string operation;  // ==, !=, =, +=, -=, :=
    std::string value;
};
using Rule = std::vector<Key>;

// One rule line: KEY[{ATTRIBUTE}]OPERATOR"VALUE", joined by commas. Nothing
// when the line does not parse whole.
std::optional<Rule> parseRule(const std::string& line) {
    Rule rule;
    std::size_t at = 0;
    const auto skipSpaces = [&] {
        while (at < line.size() && line[at] == ' ') ++at;
    };
    while (true) {
        skipSpaces();
        const std::size_t nameStart = at;
        while (at < line.size() && (std::isupper(static_cast<unsigned char>(line[at])) || line[at] == '_')) ++at;
        if (at == nameStart) return std::nullopt;
        if (at < line.size() && line[at] == '{') {
            const std::size_t close = line.find('}', at);
            if (close == std::string::npos) return std::nullopt;
            at = close + 1;
        }
        Key key{line.substr(nameStart, at - nameStart), "", ""};
        for (const char* operation : {"==", "!=", "+=", "-=", ":=", "="}) {
            if (line.compare(at, std::strlen(operation), operation) == 0) {
                key.operation = operation;
                break;
            }
        }
        if (key.operation.empty()) return std::nullopt;
        at += key.operation.size();
        if (at >= line.size() || line[at] != '"') return std::nullopt;
        const std::size_t close = line.find('"', at + 1);
        if (close == std::string::npos) return std::nullopt;
        key.value = line.substr(at + 1, close - at - 1);
        at = close + 1;
        rule.push_back(key);
        skipSpaces();
        if (at == line.size()) return rule;
        if (line[at] != ',') return std::nullopt;
        ++at;
    }
}

std::vector<Rule> readRules() {
    std::ifstream file(UDEV_RULE);
    std::vector<Rule> rules;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto rule = parseRule(line);
        EXPECT_TRUE(rule.has_value()) << "does not parse: " << line;
        if (rule) rules.push_back(*rule);
    }
    return rules;
}

std::string baseName(const std::string& name) { return name.substr(0, name.find('{')); }

// udev's match: a glob, '|' between alternatives.
bool globMatches(const std::string& pattern, const std::string& value) {
    for (std::size_t start = 0;;) {
        const std::size_t bar = pattern.find('|', start);
        if (::fnmatch(pattern.substr(start, bar - start).c_str(), value.c_str(), 0) == 0) return true;
        if (bar == std::string::npos) return false;
        start = bar + 1;
    }
}

using Event = std::map<std::string, std::string>;

bool ruleMatches(const Rule& rule, const Event& event) {
    for (const Key& key : rule) {
        if (key.operation != "==" && key.operation != "!=") continue;
        const auto found = event.find(key.name);
        const bool matches = found != event.end() && globMatches(key.value, found->second);
        if (matches != (key.operation == "==")) return false;
    }
    return true;
}

// The assignments of every rule that matches, as "KEY op value".
std::set<std::string> applied(const std::vector<Rule>& rules, const Event& event) {
    std::set<std::string> done;
    for (const Rule& rule : rules) {
        if (!ruleMatches(rule, event)) continue;
        for (const Key& key : rule) {
            if (key.operation != "==" && key.operation != "!=") done.insert(baseName(key.name) + key.operation + key.value);
        }
    }
    return done;
}

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
