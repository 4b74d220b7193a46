// The watch file of devices kept by location: what is written reads back the
// same, a save replaces the file whole, and a file that is not exactly the
// format is refused as a whole and never written over.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_error.h"
#include "fake_hub_ports.h"
#include "location_watch_file.h"
#include "location_watch_list.h"
#include "scratch_dir.h"

namespace vostrel::cli::test {
namespace {

namespace fs = std::filesystem;

// Built field by field: GCC 12's Release build takes the nested braces of a
// static table of these for a read of uninitialised strings.
LocationEntry entry(const char* location, int port, std::uint16_t vendorId, std::uint16_t productId,
                    const char* manufacturer, const char* product) {
    LocationEntry made;
    made.port.location = location;
    made.port.port = port;
    made.vendorId = vendorId;
    made.productId = productId;
    made.manufacturer = manufacturer;
    made.product = product;
    return made;
}

std::vector<LocationEntry> someEntries() {
    return {entry("1-1.4", 2, 0x046D, 0xC52B, "Maker", "Widget"), entry("usb3", 1, 0x0001, 0xFFFF, "", ""),
            entry("12-1.2.3.4.5", 255, 0xBEEF, 0x0000, "ナガレ電機, Inc.", "Pad \"large\"\\")};
}

std::string entryText(const std::string& fields) {
    return R"({"version": 1, "entries": [{"location": "1-1.4", "port": 2, "vendorId": "046D", "productId": "C52B", )" +
           fields + "}]}";
}

TEST(LocationWatchFile, WhatIsWrittenReadsBackAndASaveReplacesTheFileWhole) {
    vostrel::test::ScratchDir dir;
    const std::string path = (dir.path() / kLocationWatchFile).string();
    EXPECT_TRUE(readLocationWatchFile(path).empty());  // no file yet

    const std::vector<LocationEntry> entries = someEntries();
    writeLocationWatchFile(path, entries);
    EXPECT_EQ(readLocationWatchFile(path), entries);
    writeLocationWatchFile(path, {entries[1]});
    EXPECT_EQ(readLocationWatchFile(path), std::vector<LocationEntry>{entries[1]});
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(parseLocationWatchFile(entryText(R"("manufacturer": "Maker", "product": "Widget")")),
              std::vector<LocationEntry>{entries[0]});
}

TEST(LocationWatchFile, RefusesEveryFileThatIsNotExactlyTheFormat) {
    std::string many = R"({"version": 1, "entries": [)";
    for (int port = 1; port <= 33; ++port) {
        many += std::string(port > 1 ? "," : "") + R"({"location": "1-1", "port": )" + std::to_string(port) +
                R"(, "vendorId": "0001", "productId": "0002", "manufacturer": "", "product": ""})";
    }
    many += "]}";
    const std::string texts = R"("manufacturer": "Maker", "product": "Widget")";
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string refused[] = {
        "",
        "not json",
        "[]",
        R"({"version": 1})",
        R"({"entries": []})",
        R"({"version": 2, "entries": []})",
        R"({"version": "1", "entries": []})",
        R"({"version": 1, "entries": {}})",
        R"({"version": 1, "entries": [1]})",
        R"({"version": 1, "entries": []} trailing)",
        many,
        deep,
        R"({"version": 1, "entries": [[[[[]]]]]})",
        entryText(R"("manufacturer": "Maker")"),                                   // a field missing
        entryText(texts + R"(, "serial": "x")"),                                   // an unknown field
        entryText(R"("manufacturer": 5, "product": "Widget")"),                    // not a text
        entryText(R"("manufacturer": ")" + std::string(400, 'x') + R"(", "product": "")"),  // too long
        entryText(texts + "}, {" + R"("location": "1-1.4", "port": 2, "vendorId": "0001", "productId": "0002", )" +
                  texts),  // the same port twice
        R"({"version": 1, "entries": [{"location": "1-1,4", "port": 2, "vendorId": "046D", "productId": "C52B", )" +
            texts + "}]}",
        R"({"version": 1, "entries": [{"location": "1-1.4", "port": 256, "vendorId": "046D", "productId": "C52B", )" +
            texts + "}]}",
        R"({"version": 1, "entries": [{"location": "1-1.4", "port": 0, "vendorId": "046D", "productId": "C52B", )" +
            texts + "}]}",
        R"({"version": 1, "entries": [{"location": "1-1.4", "port": 2, "vendorId": "46D", "productId": "C52B", )" +
            texts + "}]}",
        R"({"version": 1, "entries": [{"location": "1-1.4", "port": 2, "vendorId": "-46D", "productId": "C52B", )" +
            texts + "}]}",
        "{\"version\": 1, \"entries\": [], \"x\": \"\xff\"}",  // not UTF-8
        std::string(kMaxLocationWatchFileBytes + 1, ' '),
    };
    for (const std::string& text : refused) {
        EXPECT_THROW(parseLocationWatchFile(text), WatchFileError) << text.substr(0, 200);
    }
}

TEST(LocationWatchFile, WhatIsNoFileOrIsRefusedIsNeverWrittenOver) {
    vostrel::test::ScratchDir dir;
    const fs::path path = dir.path() / kLocationWatchFile;
    const std::string unknownVersion = R"({"version": 2, "entries": []})";
    std::ofstream(path) << unknownVersion;
    try {
        readLocationWatchFile(path.string());
        ADD_FAILURE() << "read";
    } catch (const WatchFileError& error) {
        EXPECT_NE(std::string(error.what()).find("version 2"), std::string::npos) << error.what();
    }
    fs::remove(path);
    std::ofstream(path).close();  // empty
    EXPECT_THROW(readLocationWatchFile(path.string()), WatchFileError);
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_THROW(readLocationWatchFile(path.string()), WatchFileError);
    fs::remove(path);
    fs::create_symlink(dir.path() / "elsewhere.json", path);
    EXPECT_THROW(readLocationWatchFile(path.string()), WatchFileError);
}

TEST(LocationWatchList, AddsTheDeviceOnThePortAndRefusesWhatCannotBeWatched) {
    FakeHubPorts hubs;
    hubs.putDevice({"1-1.4", 2}, 0x046D, 0xC52B, true, "Maker", std::string(500, 'x') + "\xff");
    hubs.putEmpty({"1-1.4", 3});
    std::vector<LocationEntry> entries;
    const LocationEntry& added = addLocationEntry(entries, {"1-1.4", 2}, hubs);
    EXPECT_EQ(added.vendorId, 0x046D);
    EXPECT_EQ(added.manufacturer, "Maker");
    // A text as long as no device gives is cut to what the file takes.
    EXPECT_EQ(added.product, std::string(kMaxEntryTextBytes, 'x'));
    EXPECT_EQ(parseLocationWatchFile(locationWatchFileText(entries)), entries);

    const anyhub::PortAddress refused[] = {{"1-1.4", 2}, {"1-1.4", 3}, {"1-1.5", 1}};  // watched, empty, no hub
    for (const anyhub::PortAddress& port : refused) {
        EXPECT_THROW(addLocationEntry(entries, port, hubs), CommandError) << locationPortText(port);
    }
    EXPECT_EQ(entries.size(), 1u);

    for (int port = 2; port <= static_cast<int>(kMaxLocationEntries); ++port) {
        hubs.putDevice({"2-1", port}, 1, 2);
        addLocationEntry(entries, {"2-1", port}, hubs);
    }
    hubs.putDevice({"2-1", 99}, 1, 2);
    EXPECT_THROW(addLocationEntry(entries, {"2-1", 99}, hubs), CommandError);  // full

    removeLocationEntry(entries, {"1-1.4", 2});
    EXPECT_THROW(removeLocationEntry(entries, {"1-1.4", 2}), CommandError);
    EXPECT_EQ(entries.size(), kMaxLocationEntries - 1);
}

}  // namespace
}  // namespace vostrel::cli::test
