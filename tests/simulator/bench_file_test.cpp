#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "core/description_error.h"
#include "core/live_bench.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using test::readText;
using test::writeText;

constexpr const char* kBench = R"({"controllers": [{"number": 0, "devices": [
  {"id": "hub", "port": 1, "kind": "family-hub", "serial": "H", "devices": [
    {"id": "a", "port": 1, "vendorId": 1, "productId": 1, "state": "wedged"},
    {"id": "b", "port": 2, "vendorId": 1, "productId": 2, "state": "unplugged"},
    {"id": "inner", "port": 3, "kind": "family-hub", "serial": "I", "devices": [
      {"id": "c", "port": 1, "vendorId": 1, "productId": 3, "state": "wedged", "flaky": 2},
      {"id": "d", "port": 2, "vendorId": 1, "productId": 4, "state": "failed"}]}]}]}]})";

const Device& named(const Bench& bench, const std::string& id) {
    const Device* found = nullptr;
    forEachDevice(bench, [&](const Device& device) {
        if (device.id == id) found = &device;
    });
    if (found == nullptr) throw std::runtime_error("no " + id);
    return *found;
}

// Sets the file's modification time, as if written at `seconds`.
void touch(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class BenchFileTest : public ::testing::Test {
protected:
    vostrel::test::ScratchDir dir_;
    std::string path_ = writeText("bench.json", kBench);
};

TEST_F(BenchFileTest, ReadsAgainOnlyWhenTheFileChanged) {
    BenchFile file(path_);
    touch(path_, time(nullptr) - 100);  // old enough for its stamp to be trusted
    const auto first = file.current();
    EXPECT_EQ(file.current(), first);
    writeText("bench.json", std::string(kBench).replace(std::string(kBench).find("\"H\""), 3, "\"Z\""));
    const auto second = file.current();
    EXPECT_NE(second, first);
    EXPECT_EQ(*named(*second, "hub").serial->anyLanguage, u"Z");
}

TEST_F(BenchFileTest, SeesAChangeThatLeavesTheStampAsItWas) {
    // Two writes within one tick of the file clock: same size, same time.
    const time_t tick = time(nullptr) + 60;
    touch(path_, tick);
    BenchFile file(path_);
    const auto first = file.current();
    {
        std::fstream inPlace(path_, std::ios::in | std::ios::out | std::ios::binary);
        inPlace.seekp(static_cast<std::streamoff>(std::string(kBench).find("\"H\"") + 1));
        inPlace << 'Z';
    }
    touch(path_, tick);
    EXPECT_EQ(*named(*file.current(), "hub").serial->anyLanguage, u"Z");
}

TEST_F(BenchFileTest, ABrokenFileIsReportedWithWhereAndTheLastGoodBenchStays) {
    test::BenchVariable variable(path_);
    LiveBench live;
    const auto good = live.view();
    ASSERT_NE(good, nullptr);
    writeText("bench.json", "{\"controllers\": [}");
    BenchFile file(path_);
    try {
        file.current();
        FAIL() << "a broken file was accepted";
    } catch (const DescriptionError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(path_ + ":1:18:", 0), 0u) << error.what();
    }
    EXPECT_EQ(live.view(), good);
    EXPECT_THROW(file.update([](Document&, const BusView&) {}), DescriptionError);
    EXPECT_EQ(readText(path_), "{\"controllers\": [}");
}

TEST_F(BenchFileTest, AnEditThatThrowsLeavesTheFileUntouched) {
    BenchFile file(path_);
    EXPECT_THROW(file.update([](Document& document, const BusView& view) {
        setState(document, named(view.bench(), "a"), State::Unplugged, view.now());
        throw std::runtime_error("changed my mind");
    }),
                 std::runtime_error);
    EXPECT_EQ(readText(path_), kBench);
}

TEST_F(BenchFileTest, AnEditKeepsTheRestOfTheFileAndIsSeenByOtherReaders) {
    BenchFile reader(path_);
    reader.current();
    BenchFile writer(path_);
    writer.update([](Document& document, const BusView& view) {
        setState(document, named(view.bench(), "b"), State::Present, view.now());
    });
    EXPECT_EQ(named(*reader.current(), "b").state, State::Present);
    const Document written = Document::parse(readText(path_));
    EXPECT_EQ(written["controllers"][0]["devices"][0]["devices"][1]["state"], "present");
    EXPECT_EQ(written["controllers"][0]["devices"][0]["serial"], "H");
}

TEST_F(BenchFileTest, PowerComingBackHealsWedgedDevicesBelowThePortOnly) {
    BenchFile file(path_);
    const std::int64_t now = 1'000'000;
    auto bench = file.update([&](Document& document, const BusView& view) {
        setPortPower(document, named(view.bench(), "hub"), 3, false, now);
    });
    EXPECT_EQ(named(*bench, "c").state, State::Wedged);  // switching off heals nothing
    bench = file.update([&](Document& document, const BusView& view) {
        setPortPower(document, named(view.bench(), "hub"), 3, true, now);
    });
    EXPECT_EQ(named(*bench, "c").state, State::Present);
    EXPECT_EQ(named(*bench, "c").wedgesAt, now + 2000);  // flaky: wedges again two seconds on
    EXPECT_EQ(named(*bench, "d").state, State::Failed);
    EXPECT_EQ(named(*bench, "a").state, State::Wedged);  // another port
    EXPECT_EQ(named(*bench, "hub").portPower, std::vector<bool>(4, true));

    bench = file.update([&](Document& document, const BusView& view) {
        resetHub(document, named(view.bench(), "hub"), now);
    });
    EXPECT_EQ(named(*bench, "a").state, State::Present);
    EXPECT_EQ(named(*bench, "b").state, State::Unplugged);
}

TEST_F(BenchFileTest, SwitchingOnAPortThatIsOnHealsNothing) {
    BenchFile file(path_);
    const auto bench = file.update([](Document& document, const BusView& view) {
        setPortPower(document, named(view.bench(), "hub"), 1, true, view.now());
    });
    EXPECT_EQ(named(*bench, "a").state, State::Wedged);
}

}  // namespace
}  // namespace vostrel::sim
