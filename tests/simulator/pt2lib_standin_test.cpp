#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "pt2lib/standin_errors.h"
#include "reference_walk.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using test::UsbStack;
using test::VendorLibrary;
using test::Walker;

// Two hubs on USB 3 ports; below the first, on its port 3, a third hub.
constexpr const char* kBench = R"({"controllers": [{"number": 0, "devices": [
  {"id": "first", "port": 1, "kind": "family-hub", "serial": "F", "devices": [
    {"id": "keyboard", "port": 1, "vendorId": 1, "productId": 1, "speed": "full"},
    {"id": "drive", "port": 2, "vendorId": 1, "productId": 2, "speed": "super"},
    {"id": "lower", "port": 3, "kind": "family-hub", "serial": "L", "devices": [
      {"id": "sensor", "port": 4, "vendorId": 1, "productId": 4}]},
    {"id": "stuck", "port": 4, "vendorId": 1, "productId": 5, "state": "wedged"}]},
  {"id": "second", "port": 2, "kind": "family-hub", "serial": "S", "devices": [
    {"id": "camera", "port": 1, "vendorId": 1, "productId": 6}]}]}]})";

constexpr std::uint32_t kPin = 17;  // port 1

class StandIn : public ::testing::Test {
protected:
    void SetUp() override { path_ = test::writeText("bench.json", kBench); }

    // What the scan would find now.
    test::Walk walk() const { return Walker(UsbStack::load()).walk(); }

    const VendorLibrary& vendor_ = VendorLibrary::load();
    vostrel::test::ScratchDir dir_;
    std::string path_;
    std::unique_ptr<test::BenchVariable> variable_ = std::make_unique<test::BenchVariable>("bench.json");
};

TEST_F(StandIn, WithoutABenchItKnowsNoHubs) {
    variable_.reset();
    char buffer[2048];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_NE(vendor_.getAllHubs(buffer), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(vendor_.open(0), -1);
    EXPECT_NE(vendor_.version(buffer), 0);
    EXPECT_NE(std::strlen(buffer), 0u);
    EXPECT_NE(vendor_.enableLogging(0), 0);
}

TEST_F(StandIn, OpensHubsByTheIndexTheScanGivesThem) {
    const test::Walk found = walk();
    ASSERT_EQ(found.identities, (std::vector<std::u16string>{u"F", u"L", u"S"}));
    char list[2048];
    ASSERT_NE(vendor_.getAllHubs(list), 0);
    EXPECT_STREQ(list, "0 0-1 first\n1 0-1.3 lower\n2 0-2 second\n");
    EXPECT_EQ(vendor_.open(3), -1);

    // Switching port 1 of hub k off empties port 1 of the hub the scan calls k.
    for (std::uint32_t k = 0; k < 3; ++k) {
        const Pt2Handle hub = vendor_.open(k);
        ASSERT_NE(hub, -1);
        ASSERT_NE(vendor_.set(hub, kPin, 0), 0);
        const test::Walk after = walk();
        for (int other = 0; other < 3; ++other) {
            const auto* port = after.port(other, 0x2744, 1);
            ASSERT_NE(port, nullptr);
            const bool off = other <= static_cast<int>(k);
            EXPECT_EQ(port->ConnectionStatus == 0, off || other == 1) << "hub " << other << " after switching " << k;
        }
        vendor_.close(hub);
    }
}

TEST_F(StandIn, APortWithoutPowerReadsEmptyUntilPowerReturns) {
    const Pt2Handle hub = vendor_.open(0);
    ASSERT_NE(vendor_.configure(hub, kPin + 1), 0);
    ASSERT_NE(vendor_.set(hub, kPin + 1, 0), 0);  // port 2: the SuperSpeed drive
    std::uint32_t state = 7;
    ASSERT_NE(vendor_.get(hub, kPin + 1, &state), 0);
    EXPECT_EQ(state, 0u);
    test::Walk found = walk();
    EXPECT_EQ(+found.port(0, 0x5744, 2)->ConnectionStatus, 0u);
    EXPECT_EQ(+found.port(0, 0x2744, 2)->ConnectionStatus, 0u);

    ASSERT_NE(vendor_.set(hub, kPin + 1, 1), 0);
    found = walk();
    EXPECT_EQ(+found.port(0, 0x5744, 2)->ConnectionStatus, 1u);
    EXPECT_EQ(+found.port(0, 0x5744, 2)->DeviceDescriptor.idProduct, 2);
    vendor_.close(hub);
}

TEST_F(StandIn, PowerOffTakesTheHubsBelowAwayAndPowerOnBringsThemBack) {
    const Pt2Handle first = vendor_.open(0);
    const Pt2Handle lower = vendor_.open(1);
    ASSERT_NE(vendor_.set(first, kPin + 2, 0), 0);
    EXPECT_EQ(walk().identities, (std::vector<std::u16string>{u"F", u"S"}));
    EXPECT_EQ(vendor_.set(lower, kPin, 0), 0);  // its hub is off the bus
    EXPECT_EQ(vendor_.lastError(lower), kErrorHubGone);
    ASSERT_NE(vendor_.set(first, kPin + 2, 1), 0);
    EXPECT_EQ(walk().identities, (std::vector<std::u16string>{u"F", u"L", u"S"}));
    EXPECT_NE(vendor_.set(lower, kPin, 0), 0);
    EXPECT_EQ(vendor_.lastError(lower), kNoError);
    vendor_.close(first);
    vendor_.close(lower);
}

TEST_F(StandIn, AWedgedDeviceComesBackHealthyAfterAPowerCycle) {
    EXPECT_EQ(walk().port(0, 0x2744, 4)->CurrentConfigurationValue, 0);
    const Pt2Handle hub = vendor_.open(0);
    ASSERT_NE(vendor_.set(hub, kPin + 3, 1), 0);  // on while on: no cycle
    EXPECT_EQ(walk().port(0, 0x2744, 4)->CurrentConfigurationValue, 0);
    ASSERT_NE(vendor_.set(hub, kPin + 3, 0), 0);
    ASSERT_NE(vendor_.set(hub, kPin + 3, 1), 0);
    const test::Walk healed = walk();
    const auto* stuck = healed.port(0, 0x2744, 4);
    EXPECT_EQ(+stuck->ConnectionStatus, 1u);
    EXPECT_EQ(stuck->CurrentConfigurationValue, 1);
    vendor_.close(hub);
}

TEST_F(StandIn, ResetPowersEveryPortAndProgrammingIsRecorded) {
    const Pt2Handle hub = vendor_.open(2);
    ASSERT_NE(vendor_.set(hub, kPin, 0), 0);
    ASSERT_NE(vendor_.reset(hub), 0);
    std::uint32_t state = 0;
    ASSERT_NE(vendor_.get(hub, kPin, &state), 0);
    EXPECT_EQ(state, 1u);
    ASSERT_NE(vendor_.programUsb3(hub, 3, 1234, 5678), 0);
    const Document written = Document::parse(test::readText(path_));
    const Document& programmed = written["controllers"][0]["devices"][1]["programmed"];
    EXPECT_EQ(programmed["configuration"], 3);
    EXPECT_EQ(programmed["serial"], 1234);
    EXPECT_EQ(programmed["serial2"], 5678);
    vendor_.close(hub);
}

TEST_F(StandIn, RefusesWhatIsNotThere) {
    std::uint32_t state = 0;
    EXPECT_EQ(vendor_.set(12345, kPin, 0), 0);
    EXPECT_EQ(vendor_.lastError(12345), kErrorInvalidHandle);
    const Pt2Handle hub = vendor_.open(0);
    EXPECT_EQ(vendor_.configure(hub, 16), 0);
    EXPECT_EQ(vendor_.lastError(hub), kErrorNoSuchPin);
    EXPECT_EQ(vendor_.set(hub, 21, 0), 0);
    EXPECT_EQ(vendor_.get(hub, kPin, nullptr), 0);
    EXPECT_NE(vendor_.get(hub, kPin, &state), 0);
    EXPECT_EQ(vendor_.lastError(hub), kNoError);
    EXPECT_NE(vendor_.close(hub), 0);
    EXPECT_EQ(vendor_.close(hub), 0);
    EXPECT_EQ(vendor_.get(hub, kPin, &state), 0);
    EXPECT_EQ(vendor_.getAllHubs(nullptr), 0);
}

TEST_F(StandIn, ABenchThatCannotBeWrittenFailsTheSwitch) {
    const Pt2Handle hub = vendor_.open(0);
    test::writeText("bench.json", "{ not json");
    EXPECT_EQ(vendor_.set(hub, kPin, 0), 0);
    EXPECT_EQ(vendor_.lastError(hub), kErrorBenchNotWritten);
    EXPECT_EQ(test::readText(path_), "{ not json");
    vendor_.close(hub);
}

}  // namespace
}  // namespace vostrel::sim
