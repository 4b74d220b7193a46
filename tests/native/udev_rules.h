// udev rule files read as udev reads them, for the tests of the rules that
// open hubs to users: each line's keys, operators and values; a rule's match
// (globs with '|' between alternatives); the assignments of the rules that
// match an event.
#pragma once

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vostrel::test::udev {

struct Key {
    std::string name;       // "ATTR{idVendor}" with its attribute
    std::string operation;  // ==, !=, =, +=, -=, :=
    std::string value;
};
using Rule = std::vector<Key>;

// One rule line: KEY[{ATTRIBUTE}]OPERATOR"VALUE", joined by commas. Nothing
// when the line does not parse whole.
inline std::optional<Rule> parseRule(const std::string& line) {
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

inline std::vector<Rule> readRules(const std::string& path) {
    std::ifstream file(path);
    std::vector<Rule> rules;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto rule = parseRule(line);
        EXPECT_TRUE(rule.has_value()) << "does not parse: " << line;
        if (rule) rules.push_back(*rule);
    }
    return rules;
}

inline std::string baseName(const std::string& name) { return name.substr(0, name.find('{')); }

// udev's match: a glob, '|' between alternatives.
inline bool globMatches(const std::string& pattern, const std::string& value) {
    for (std::size_t start = 0;;) {
        const std::size_t bar = pattern.find('|', start);
        if (::fnmatch(pattern.substr(start, bar - start).c_str(), value.c_str(), 0) == 0) return true;
        if (bar == std::string::npos) return false;
        start = bar + 1;
    }
}

using Event = std::map<std::string, std::string>;

inline bool ruleMatches(const Rule& rule, const Event& event) {
    for (const Key& key : rule) {
        if (key.operation != "==" && key.operation != "!=") continue;
        const auto found = event.find(key.name);
        const bool matches = found != event.end() && globMatches(key.value, found->second);
        if (matches != (key.operation == "==")) return false;
    }
    return true;
}

// The assignments of every rule that matches, as "KEY op value".
inline std::set<std::string> applied(const std::vector<Rule>& rules, const Event& event) {
    std::set<std::string> done;
    for (const Rule& rule : rules) {
        if (!ruleMatches(rule, event)) continue;
        for (const Key& key : rule) {
            if (key.operation != "==" && key.operation != "!=") done.insert(baseName(key.name) + key.operation + key.value);
        }
    }
    return done;
}

}  // namespace vostrel::test::udev
