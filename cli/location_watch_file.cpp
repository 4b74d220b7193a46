#include "location_watch_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <set>
#include <utility>

#include "platform/files.h"
#include "program_core/hub_location.h"

namespace vostrel::cli {
namespace {

using json = nlohmann::ordered_json;

// The file's deepest value: the texts of an entry (file, list, entry, text).
constexpr int kMaxDepth = 3;

[[noreturn]] void refuse(const std::string& why) { throw WatchFileError(why); }

std::string hexId(std::uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", unsigned{id});
    return text;
}

std::uint16_t readId(const json& value, const char* key, std::size_t at) {
    const std::string where = "entry " + std::to_string(at) + ": " + key;
    if (!value.is_string()) refuse(where + " is not a text");
    const std::string& text = value.get_ref<const std::string&>();
    unsigned id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, 16);
    if (text.size() != 4 || error != std::errc() || end != text.data() + text.size()) {
        refuse(where + " is not four hexadecimal digits");
    }
    return static_cast<std::uint16_t>(id);
}

std::string readText(const json& value, const char* key, std::size_t at) {
    const std::string where = "entry " + std::to_string(at) + ": " + key;
    if (!value.is_string()) refuse(where + " is not a text");
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() > kMaxEntryTextBytes) refuse(where + " is longer than a device's text can be");
    return text;
}

LocationEntry readEntry(const json& item, std::size_t at) {
    const std::string where = "entry " + std::to_string(at);
    if (!item.is_object()) refuse(where + " is not an object");
    static constexpr const char* kKeys[] = {"location", "port", "vendorId", "productId", "manufacturer", "product"};
    for (const auto& [key, value] : item.items()) {
        if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys)) {
            refuse(where + " has an unknown field " + json(key).dump(-1, ' ', true, json::error_handler_t::replace));
        }
    }
    for (const char* key : kKeys) {
        if (!item.contains(key)) refuse(where + " lacks " + key);
    }
    LocationEntry entry;
    const json& location = item.at("location");
    if (!location.is_string() || !program::isHubLocation(location.get_ref<const std::string&>())) {
        refuse(where + ": location is not a hub's location such as 1-1.4");
    }
    entry.port.location = location.get<std::string>();
    const json& port = item.at("port");
    if (!port.is_number_integer() || port.get<long long>() < 1 || port.get<long long>() > kMaxHubPort) {
        refuse(where + ": port is not a number from 1 to " + std::to_string(kMaxHubPort));
    }
    entry.port.port = port.get<int>();
    entry.vendorId = readId(item.at("vendorId"), "vendorId", at);
    entry.productId = readId(item.at("productId"), "productId", at);
    entry.manufacturer = readText(item.at("manufacturer"), "manufacturer", at);
    entry.product = readText(item.at("product"), "product", at);
    return entry;
}

}  // namespace

std::vector<LocationEntry> parseLocationWatchFile(std::string_view text) {
    if (text.size() > kMaxLocationWatchFileBytes) refuse("it is larger than a watch file can be");
    json file;
    try {
        // Nothing deeper than an entry's fields is read at all: a deeply
        // nested file is refused before it is built.
        file = json::parse(text, [](int depth, json::parse_event_t, json&) {
            if (depth > kMaxDepth) throw WatchFileError("it nests deeper than a watch file does");
            return true;
        });
    } catch (const json::exception& error) {
        refuse(std::string("it is not JSON: ") + error.what());
    }
    if (!file.is_object()) refuse("it is not a JSON object");
    const auto version = file.find("version");
    if (version == file.end() || !version->is_number_integer()) refuse("it has no version number");
    if (version->get<long long>() != kLocationWatchVersion) {
        refuse("its version " + version->dump() + " is not " + std::to_string(kLocationWatchVersion) +
               ", the one this program reads");
    }
    const auto list = file.find("entries");
    if (list == file.end() || !list->is_array()) refuse("it has no list of entries");
    if (list->size() > kMaxLocationEntries) {
        refuse("it holds more than " + std::to_string(kMaxLocationEntries) + " entries");
    }
    std::vector<LocationEntry> entries;
    std::set<std::pair<std::string, int>> seen;
    for (std::size_t at = 0; at < list->size(); ++at) {
        LocationEntry entry = readEntry((*list)[at], at);
        if (!seen.emplace(entry.port.location, entry.port.port).second) {
            refuse("entry " + std::to_string(at) + " watches a port an earlier entry watches");
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string locationWatchFileText(const std::vector<LocationEntry>& entries) {
    json list = json::array();
    for (const LocationEntry& entry : entries) {
        list.push_back({{"location", entry.port.location},
                        {"port", entry.port.port},
                        {"vendorId", hexId(entry.vendorId)},
                        {"productId", hexId(entry.productId)},
                        {"manufacturer", entry.manufacturer},
                        {"product", entry.product}});
    }
    const json file = {{"version", kLocationWatchVersion}, {"entries", std::move(list)}};
    // A device's texts are kept as they are; bytes that are not UTF-8 would
    // make a file this program refuses, so they become U+FFFD.
    return file.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::vector<LocationEntry> readLocationWatchFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found) return {};
    const std::string name = "the watch file " + path;
    if (error || status.type() != fs::file_type::regular) throw WatchFileError(name + " is not a regular file");
    std::string text(kMaxLocationWatchFileBytes + 1, '\0');
    const std::size_t size = platform::readFilePrefix(path.c_str(), text.data(), text.size());
    if (size == 0) throw WatchFileError(name + " is empty or cannot be read");
    text.resize(size);
    try {
        return parseLocationWatchFile(text);
    } catch (const WatchFileError& refused) {
        throw WatchFileError(name + " is refused: " + refused.what() + " (move it away to start a new one)");
    }
}

void writeLocationWatchFile(const std::string& path, const std::vector<LocationEntry>& entries) {
    const std::string text = locationWatchFileText(entries);
    if (!platform::replaceFile(path.c_str(), text.data(), text.size())) {
        throw WatchFileError("the watch file " + path + " could not be written");
    }
}

}  // namespace vostrel::cli
