#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "core/description_error.h"
#include "core/live_bench.h"
#include "child_process.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using test::named;

constexpr const char* kBench = R"({"controllers": [{"number": 0, "devices": [
  {"id": "hub", "port": 1, "kind": "family-hub", "serial": "H", "devices": [
    {"id": "a", "port": 1, "vendorId": 1, "productId": 1, "state": "wedged"},
    {"id": "b", "port": 2, "vendorId": 1, "productId": 2, "state": "unplugged"},
    {"id": "inner", "port": 3, "kind": "family-hub", "serial": "I", "devices": [
      {"id": "c", "port": 1, "vendorId": 1, "productId": 3, "state": "wedged", "flaky": 2},
      {"id": "d", "port": 2, "vendorId": 1, "productId": 4, "state": "failed"}]}]}]}]})";

class BenchFileTest : public ::testing::Test {
protected:
    vostrel::test::ScratchDir dir_;
    std::string path_ = test::writeText("bench.json", kBench);
    BenchFile file_{path_};
};

TEST_F(BenchFileTest, SeesAChangeThatLeavesSizeAndTimeAsTheyWere) {
    const auto tick = std::filesystem::file_time_type::clock::now() + std::chrono::seconds(60);
    std::filesystem::last_write_time(path_, tick);
    const auto first = file_.current();
    EXPECT_EQ(file_.current(), first);  // unchanged: not read again
    std::fstream(path_, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(static_cast<std::streamoff>(std::string(kBench).find("\"H\"") + 1))
        << 'Z';
    std::filesystem::last_write_time(path_, tick);
    EXPECT_EQ(*named(*file_.current(), "hub").serial->anyLanguage, u"Z");
}

TEST_F(BenchFileTest, ABrokenFileSaysWhereKeepsTheLastGoodBenchAndIsNotWritten) {
    ::setenv(kBenchVariable, path_.c_str(), 1);
    LiveBench live;
    const auto good = live.view();
    EXPECT_NE(good, nullptr);
    test::writeText("bench.json", "{\"controllers\": [}");
    EXPECT_EQ(live.view(), good);
    ::unsetenv(kBenchVariable);
    EXPECT_THAT([&] { file_.current(); },
                testing::ThrowsMessage<DescriptionError>(testing::StartsWith(path_ + ":1:18: syntax error")));
    EXPECT_THROW(file_.update([](Document&, const BusView&) {}), DescriptionError);
    EXPECT_EQ(test::readText(path_), "{\"controllers\": [}");
}

// A bench named by a FIFO has nothing to read: it is refused at once,
// never waited on for a writer.
TEST_F(BenchFileTest, AFifoIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo("fifo.json", 0600), 0);
    const auto result = vostrel::test::runInChild([] {
        BenchFile fifo("fifo.json");
        std::string problems;
        try {
            fifo.current();
            problems += "read; ";
        } catch (const DescriptionError& error) {
            if (std::string(error.what()).find("fifo.json: not a file") == std::string::npos) problems += error.what();
        }
        try {
            fifo.update([](Document&, const BusView&) {});
            problems += "updated; ";
        } catch (const std::runtime_error& error) {
            if (std::string(error.what()).find("fifo.json: not a file") == std::string::npos) problems += error.what();
        }
        return problems;
    });
    EXPECT_EQ(result.problems, "");
}

TEST_F(BenchFileTest, PowerComingBackHealsWedgedDevicesBelowThePortAndFlakyOnesWedgeAgain) {
    const std::int64_t now = 1'000'000;
    const auto power = [&](int port, bool on) {
        return file_.update([&](Document& document, const BusView& view) {
            setPortPower(document, named(view.bench(), "hub"), port, on, now);
        });
    };
    EXPECT_EQ(named(*power(1, true), "a").state, State::Wedged);  // on while on: no power cycle
    EXPECT_EQ(named(*power(3, false), "c").state, State::Wedged);  // off heals nothing
    const auto bench = power(3, true);
    EXPECT_EQ(named(*bench, "a").state, State::Wedged);  // another port
    EXPECT_EQ(named(*bench, "d").state, State::Failed);
    // Flaky for 2 seconds: healthy until then, wedged from then; its view goes stale then.
    const Device& flaky = named(*bench, "c");
    EXPECT_EQ(flaky.stateAt(now + 1999), State::Present);
    EXPECT_EQ(BusView(bench, now).validUntil(), now + 2000);
    EXPECT_FALSE(isWorking(*BusView(bench, now + 2000).portOf(flaky)));

    const auto reset = file_.update([&](Document& document, const BusView& view) {
        resetHub(document, named(view.bench(), "hub"), now);
    });
    EXPECT_EQ(named(*reset, "a").state, State::Present);
    EXPECT_EQ(named(*reset, "b").state, State::Unplugged);
}

}  // namespace
}  // namespace vostrel::sim
