// The host's hubs as the kernel shows them on umockdev beds, with a usbfs
// behind the seam that records each request and answers each hub device's
// descriptor with the power switching the test gives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backends/sysfs_usb.h"
#include "hub_listing.h"
#include "kernel_hub_bed.h"
#include "mock_bus.h"
#include "platform/usbfs.h"
#include "power_switching_memo.h"
#include "recording_usbfs.h"
#include "scratch_dir.h"

namespace vostrel::test {
namespace {

using anyhub::PortAddress;
using anyhub::SwitchOutcome;
using usbbus::PortPowerSwitching;

// wHubCharacteristics of the hubs that do not switch each port (the others
// answer as the recording usbfs does by default: each port).
constexpr std::uint16_t kGanged = 0x0008, kNone = 0x000A;
constexpr const char* kUsb2Descriptor = "A0 06 00 29 00 00 0C 00";
constexpr const char* kSuperSpeedDescriptor = "A0 06 00 2A 00 00 0C 00";

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HubListing : public ::testing::Test {
protected:
    void load(KernelHubBed bed) {
        bed_ = std::move(bed);
        bus_.load(bed_.record());
        usbfs_.characteristicsAt = {{bed_.node("1-2"), kGanged}, {bed_.node("1-2.3"), kNone}};
    }
    void SetUp() override {
        platform::useUsbfs(&usbfs_);
        load(mixedHubBed());
    }
    void TearDown() override {
        hubs_.reset();
        platform::useUsbfs(nullptr);
    }

    // The descriptor requests sent since the last call, by node.
    std::vector<std::string> descriptorRequests() {
        std::vector<std::string> asked;
        for (const std::string& entry : usbfs_.take()) {
            if (entry.ends_with(kUsb2Descriptor) || entry.ends_with(kSuperSpeedDescriptor)) asked.push_back(entry);
        }
        std::ranges::sort(asked);
        return asked;
    }

    const anyhub::AnyHub& hub(const std::string& location) {
        const auto& all = hubs_->hubs();
        const auto found = std::ranges::find(all, location, &anyhub::AnyHub::location);
        if (found == all.end()) throw std::runtime_error("no hub " + location);
        return *found;
    }

    MockBus bus_;
    KernelHubBed bed_;
    RecordingUsbfs usbfs_;
    std::unique_ptr<anyhub::HubListing> hubs_ = anyhub::makeHostHubListing();
};

TEST_F(HubListing, ListsEveryHubOnceWithItsHalvesPairedThroughThePeerLinks) {
    hubs_->refresh();
    hubs_->learnPowerSwitching({});
    std::vector<std::string> locations;
    for (const anyhub::AnyHub& hub : hubs_->hubs()) locations.push_back(hub.location);
    EXPECT_EQ(locations, (std::vector<std::string>{"usb1", "1-1", "1-2", "1-2.3", "usb2"}));

    const anyhub::AnyHub& usb3 = hub("1-1");
    EXPECT_EQ(usb3.usb2Half, "1-1");
    EXPECT_EQ(usb3.superSpeedHalf, "2-1");
    EXPECT_EQ(usb3.vendorId, 0x0409);
    EXPECT_EQ(usb3.productId, 0x55AA);
    EXPECT_EQ(usb3.serial, "H1");
    EXPECT_EQ(usb3.portCount, 4);
    EXPECT_EQ(usb3.powerSwitching, PortPowerSwitching::EachPort);
    EXPECT_FALSE(usb3.family);
    // Port 1: off on both halves, the USB 2 half's device; port 3: the
    // SuperSpeed half's device and state.
    EXPECT_EQ(usb3.ports[0].powered, false);
    ASSERT_TRUE(usb3.ports[0].device);
    EXPECT_EQ(usb3.ports[0].device->location, "1-1.1");
    EXPECT_EQ(usb3.ports[0].device->device.serial, "42");
    EXPECT_EQ(usb3.ports[0].state, "configured");
    EXPECT_EQ(usb3.ports[2].powered, true);
    ASSERT_TRUE(usb3.ports[2].device);
    EXPECT_EQ(usb3.ports[2].device->location, "2-1.3");
    EXPECT_EQ(usb3.ports[2].device->device.vendorId, 0x0781);
    EXPECT_EQ(usb3.ports[2].state, "configured");
    EXPECT_EQ(usb3.ports[1].state, "not attached");
    EXPECT_FALSE(usb3.ports[1].device);

    // Root hubs on their own, named by the kernel; their ports' devices are
    // the hubs.
    EXPECT_EQ(hub("usb1").usb2Half, "usb1");
    EXPECT_EQ(hub("usb1").superSpeedHalf, "");
    EXPECT_EQ(hub("usb1").ports[0].device->location, "1-1");
    EXPECT_EQ(hub("usb2").superSpeedHalf, "usb2");
    EXPECT_EQ(hub("usb2").ports[0].device->location, "2-1");

    EXPECT_EQ(hub("1-2").powerSwitching, PortPowerSwitching::Ganged);
    EXPECT_EQ(hub("1-2").ports[1].powered, false);
    const anyhub::AnyHub& none = hub("1-2.3");
    EXPECT_EQ(none.powerSwitching, PortPowerSwitching::None);
    // Strings as the device gave them (showing them safely is the printer's
    // part), not configured, in the state the kernel shows.
    ASSERT_TRUE(none.ports[3].device);
    EXPECT_EQ(none.ports[3].device->device.manufacturer, "Evil\x1b[2J\"\\");
    EXPECT_EQ(none.ports[3].device->device.product, "\xff\xfe not UTF-8\t");
    EXPECT_EQ(none.ports[3].device->device.serial, "line\nbreak");
    EXPECT_FALSE(none.ports[3].device->device.configured);
    EXPECT_EQ(none.ports[3].state, "addressed");

    // What the watch asks: a device, an empty port, a hub or port not there;
    // a hub named by its SuperSpeed half is the same hub.
    EXPECT_EQ(hubs_->look({"1-1", 1}).reading, anyhub::PortReading::Device);
    EXPECT_EQ(hubs_->look({"2-1", 3}).device.productId, 0x5581);
    EXPECT_EQ(hubs_->look({"1-1", 2}).reading, anyhub::PortReading::Empty);
    EXPECT_EQ(hubs_->look({"1-1", 5}).reading, anyhub::PortReading::HubMissing);
    EXPECT_EQ(hubs_->look({"1-9", 1}).reading, anyhub::PortReading::HubMissing);
}

TEST_F(HubListing, AsksEachHubDeviceForItsDescriptorOncePerInstance) {
    hubs_->refresh();
    EXPECT_TRUE(descriptorRequests().empty()) << "a refresh reads files only";
    hubs_->learnPowerSwitching({});
    const auto at = [&](const char* name, bool superSpeed) {
        return bed_.node(name) + " " + (superSpeed ? kSuperSpeedDescriptor : kUsb2Descriptor);
    };
    std::vector<std::string> expected{at("usb1", false), at("1-1", false), at("1-2", false), at("1-2.3", false),
                                      at("usb2", true),  at("2-1", true)};
    std::ranges::sort(expected);
    EXPECT_EQ(descriptorRequests(), expected);

    hubs_->refresh();
    hubs_->learnPowerSwitching({});
    EXPECT_TRUE(descriptorRequests().empty());
    EXPECT_EQ(hub("1-2").powerSwitching, PortPowerSwitching::Ganged);

    // Hub 1-2 enumerated anew: another device number, asked again.
    bus_.setAttribute(bed_.path("1-2"), "devnum", "9\n");
    hubs_->refresh();
    hubs_->learnPowerSwitching({});
    EXPECT_EQ(descriptorRequests(), std::vector<std::string>{"/dev/bus/usb/001/009 " + std::string(kUsb2Descriptor)});
}

// A later process (another listing object) takes the answers from the memo
// and asks only hub devices that are new since; a switch still asks the hub.
TEST_F(HubListing, KeepsTheAnswersForLaterListingsButNeverSwitchesByThem) {
    const ScratchDir scratch;
    const std::string memo = (scratch.path() / anyhub::kPowerSwitchingMemoFile).string();
    hubs_->refresh();
    hubs_->learnPowerSwitching(memo);
    EXPECT_EQ(descriptorRequests().size(), 6u);
    const auto kept = anyhub::readPowerSwitchingMemo(memo);
    ASSERT_EQ(kept.size(), 6u) << fileText(memo);
    const auto made = platform::sysfsFolderInstance(bed_.path("1-2"));
    ASSERT_TRUE(made);
    const anyhub::HubDeviceInstance ganged{"1-2", 1, 4, made->identity, made->madeNs};
    ASSERT_EQ(kept.count(ganged), 1u) << fileText(memo);
    EXPECT_EQ(kept.at(ganged), PortPowerSwitching::Ganged);

    const auto later = anyhub::makeHostHubListing();
    later->refresh();
    later->learnPowerSwitching(memo);
    EXPECT_TRUE(descriptorRequests().empty());
    EXPECT_EQ(later->hubs(), hubs_->hubs());

    // Hub 1-2 enumerated anew: asked again, and the memo follows.
    bus_.setAttribute(bed_.path("1-2"), "devnum", "9\n");
    usbfs_.characteristicsAt["/dev/bus/usb/001/009"] = kGanged;
    const auto afterReset = anyhub::makeHostHubListing();
    afterReset->refresh();
    afterReset->learnPowerSwitching(memo);
    EXPECT_EQ(descriptorRequests(), std::vector<std::string>{"/dev/bus/usb/001/009 " + std::string(kUsb2Descriptor)});
    EXPECT_EQ(anyhub::readPowerSwitchingMemo(memo).count(ganged), 0u) << "a gone instance is dropped";

    // A memo that says the ganged hub switches each port is shown, but the
    // switch goes by what the hub itself says.
    auto planted = anyhub::readPowerSwitchingMemo(memo);
    for (auto& [instance, mode] : planted) mode = PortPowerSwitching::EachPort;
    anyhub::writePowerSwitchingMemo(memo, planted);
    const auto fooled = anyhub::makeHostHubListing();
    fooled->refresh();
    fooled->learnPowerSwitching(memo);
    EXPECT_EQ(fooled->hubs()[2].powerSwitching, PortPowerSwitching::EachPort);
    EXPECT_EQ(fooled->setPower({"1-2", 1}, false).outcome, SwitchOutcome::NotSwitchable);
    EXPECT_EQ(fileText(bed_.portFolder("1-2", 1) + "/disable"), "0\n");

    // A memo that is not one counts as none: every hub device is asked.
    std::ofstream(memo, std::ios::trunc) << "vostrel hub power switching 1\n1-1 1 2 3 4 sideways\n";
    descriptorRequests();
    const auto spoilt = anyhub::makeHostHubListing();
    spoilt->refresh();
    spoilt->learnPowerSwitching(memo);
    EXPECT_EQ(descriptorRequests().size(), 6u);
    EXPECT_EQ(spoilt->hubs()[2].powerSwitching, PortPowerSwitching::Ganged);
    EXPECT_EQ(anyhub::readPowerSwitchingMemo(memo).size(), 6u);
}

TEST_F(HubListing, ShowsPowerSwitchingUnknownWhereTheNodesAreClosedToUs) {
    usbfs_.openError = std::make_error_code(std::errc::permission_denied);
    hubs_->refresh();
    hubs_->learnPowerSwitching({});
    ASSERT_EQ(hubs_->hubs().size(), 5u);
    for (const anyhub::AnyHub& hub : hubs_->hubs()) EXPECT_FALSE(hub.powerSwitching) << hub.location;

    const anyhub::SwitchResult refused = hubs_->setPower({"1-1", 2}, false);
    EXPECT_EQ(refused.outcome, SwitchOutcome::NotPermitted);
    EXPECT_NE(refused.why.find("61-vostrel-any-hub.rules"), std::string::npos) << refused.why;
    EXPECT_EQ(fileText(bed_.portFolder("1-1", 2) + "/disable"), "0\n");
}

// Off: the USB 2 half, then the SuperSpeed half; on: the other way round.
// Through usbfs (a kernel before 6.0), where the order shows.
TEST_F(HubListing, SwitchesBothHalvesOfAPortInTheFamilysOrder) {
    KernelHubBed bed;
    BedDevice usb3 = KernelHubBed::hub("1-1", 4), superSpeed = KernelHubBed::hub("2-1", 4, true);
    usb3.peer = "2-1";
    usb3.disable.clear();
    superSpeed.disable.clear();
    bed.add(KernelHubBed::hub("usb1", 1));
    bed.add(KernelHubBed::hub("usb2", 1, true));
    bed.add(usb3);
    bed.add(superSpeed);
    MockBus bus;
    bus.load(bed.record());
    hubs_->refresh();
    EXPECT_EQ(hubs_->hubs()[1].ports[0].powered, std::nullopt) << "no `disable`: the power is not known";
    usbfs_.take();

    ASSERT_EQ(hubs_->setPower({"1-1", 2}, false).outcome, SwitchOutcome::Done);
    const std::string usb2 = bed.node("1-1"), super = bed.node("2-1");
    const auto log = usbfs_.take();
    const auto position = [&](const std::string& entry) { return std::ranges::find(log, entry) - log.begin(); };
    const std::string off = "23 01 08 00 02 00 00 00", on = "23 03 08 00 02 00 00 00";
    ASSERT_LT(position(usb2 + " " + off), static_cast<long>(log.size()));
    ASSERT_LT(position(super + " " + off), static_cast<long>(log.size()));
    EXPECT_LT(position(usb2 + " " + off), position(super + " " + off));

    ASSERT_EQ(hubs_->setPower({"1-1", 2}, true).outcome, SwitchOutcome::Done);
    const auto again = usbfs_.take();
    const auto later = [&](const std::string& entry) { return std::ranges::find(again, entry) - again.begin(); };
    ASSERT_LT(later(usb2 + " " + on), static_cast<long>(again.size()));
    EXPECT_LT(later(super + " " + on), later(usb2 + " " + on));
}

TEST_F(HubListing, SwitchesThePortsDisableOnBothHalvesAndRefusesHubsThatCannot) {
    ASSERT_EQ(hubs_->setPower({"1-1", 2}, false).outcome, SwitchOutcome::Done);
    EXPECT_EQ(fileText(bed_.portFolder("1-1", 2) + "/disable"), "1\n");
    EXPECT_EQ(fileText(bed_.portFolder("2-1", 2) + "/disable"), "1\n");
    ASSERT_EQ(hubs_->setPower({"1-1", 2}, true).outcome, SwitchOutcome::Done);
    EXPECT_EQ(fileText(bed_.portFolder("1-1", 2) + "/disable"), "0\n");
    EXPECT_EQ(fileText(bed_.portFolder("2-1", 2) + "/disable"), "0\n");

    const anyhub::SwitchResult ganged = hubs_->setPower({"1-2", 1}, false);
    EXPECT_EQ(ganged.outcome, SwitchOutcome::NotSwitchable);
    EXPECT_NE(ganged.why.find("ganged"), std::string::npos) << ganged.why;
    EXPECT_EQ(fileText(bed_.portFolder("1-2", 1) + "/disable"), "0\n");
    const anyhub::SwitchResult none = hubs_->setPower({"1-2.3", 1}, false);
    EXPECT_EQ(none.outcome, SwitchOutcome::NotSwitchable);
    EXPECT_NE(none.why.find("does not switch"), std::string::npos) << none.why;
    EXPECT_EQ(fileText(bed_.portFolder("1-2.3", 1) + "/disable"), "0\n");

    EXPECT_EQ(hubs_->setPower({"1-7", 1}, false).outcome, SwitchOutcome::HubMissing);
    const anyhub::SwitchResult noPort = hubs_->setPower({"1-1", 5}, false);
    EXPECT_EQ(noPort.outcome, SwitchOutcome::HubMissing);
    EXPECT_NE(noPort.why.find("has no port 5 (it has 4)"), std::string::npos) << noPort.why;
}

}  // namespace
}  // namespace vostrel::test
