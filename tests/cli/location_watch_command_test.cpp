// vostrel watch by location as people run it: the list shows the family's
// entries as before and then those kept by location, and a watch file the
// program refuses stops the command without being written over.
#include <string>

#include "cli_test_support.h"
#include "location_watch_file.h"

namespace vostrel::cli::test {
namespace {

using LocationWatchCommand = CliTest;

const char kWatchFile[] =
    R"({"version": 1, "entries": [{"location": "1-1.4", "port": 2, "vendorId": "046D", "productId": "C52B", )"
    R"("manufacturer": "Maker", "product": "Widget"}]})";

TEST_F(LocationWatchCommand, ListShowsTheFamilysEntriesThenThoseByLocation) {
    writeText(std::string("state/") + kLocationWatchFile, kWatchFile);
    Outcome run = vostrel("watch list --state-dir state");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "LOCATION  PORT  DEVICE     MANUFACTURER  PRODUCT\n"
                       "1-1.4     2     046D:C52B  Maker         Widget\n");

    ASSERT_EQ(vostrel("watch add --state-dir state 0 2").exitCode, 0);
    run = vostrel("watch list --state-dir state");
    EXPECT_EQ(run.out, "HUB  PORT  DEVICE     MANUFACTURER   PRODUCT       FOLLOWS\n"
                       "0    2     7E57:0B30  Orrin Storage  Portable SSD  hub 0 (VH0002A at 0-1)\n"
                       "\n"
                       "LOCATION  PORT  DEVICE     MANUFACTURER  PRODUCT\n"
                       "1-1.4     2     046D:C52B  Maker         Widget\n");
    run = vostrel("watch list --json --state-dir state");
    const nlohmann::json listed = nlohmann::json::parse(run.out);
    EXPECT_EQ(listed["devices"].size(), 1u);
    EXPECT_EQ(listed["byLocation"], nlohmann::json::parse(R"([{"location": "1-1.4", "port": 2, "vendorId": "046D",
        "productId": "C52B", "manufacturer": "Maker", "product": "Widget"}])"));

    run = vostrel("watch remove --state-dir state --location 1-1.4 --port 2");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "no longer watching 1-1.4 port 2\n");
    run = vostrel("watch remove --state-dir state --location 1-1.4 --port 2");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "vostrel: 1-1.4 port 2 is not on the watch list\n");
}

TEST_F(LocationWatchCommand, ARefusedWatchFileStopsTheCommandAndStaysAsItWas) {
    const std::string planted = R"({"version": 2, "entries": []})";
    writeText(std::string("state/") + kLocationWatchFile, planted);
    for (const char* command : {"watch list", "watch remove --location 1-1.4 --port 2", "monitor"}) {
        const Outcome run = vostrel(std::string(command) + " --state-dir state");
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_NE(run.err.find("vostrel-watch.json is refused: its version 2 is not 1"), std::string::npos)
            << run.err;
    }
    EXPECT_EQ(readText(std::string("state/") + kLocationWatchFile), planted);
}

TEST_F(LocationWatchCommand, LocationAndPortAreCheckedAsGiven) {
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"--location 1-1.4", "--location and --port go together\n"},
        {"--port 2", "--location and --port go together\n"},
        {"--location 1-1,4 --port 2", "--location 1-1,4: expected a hub's location"},
        {"--location 1-1.4 --port 0", "--port 0: expected a port number from 1 to 255\n"},
        {"--location 1-1.4 --port 2x", "--port 2x: expected a port number from 1 to 255\n"},
        {"0 2 --location 1-1.4 --port 2", "--location names the port alone"},
        {"--location 1-1.4 --port 2 --serial X", "--location names the port alone"},
    };
    for (const Case& c : cases) {
        const Outcome run = vostrel(std::string("watch add --state-dir state ") + c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments;
        EXPECT_EQ(run.err.rfind(std::string("vostrel: ") + c.message, 0), 0u) << run.err;
    }
}

}  // namespace
}  // namespace vostrel::cli::test
