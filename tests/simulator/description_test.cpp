#include <gtest/gtest.h>

#include <string>

#include "core/bench.h"
#include "core/description.h"
#include "core/description_error.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using test::example;

Bench parse(const std::string& text) { return buildBench(parseDocument(text, "bench.json"), "bench.json"); }

std::string failure(const std::string& text) {
    try {
        parse(text);
    } catch (const DescriptionError& error) {
        return error.what();
    }
    return "(no error)";
}

// A bench with one USB 3 controller and `devices` on its root ports.
std::string withDevices(const std::string& devices) {
    return R"({"controllers": [{"number": 0, "devices": [)" + devices + "]}]}";
}

std::string familyHubWith(const std::string& devices) {
    return withDevices(R"({"port": 1, "kind": "family-hub", "serial": "S1", "devices": [)" + devices + "]}");
}

int countDevices(const Bench& bench) {
    int count = 0;
    forEachDevice(bench, [&](const Device&) { ++count; });
    return count;
}

TEST(Description, ExampleBenchesDescribeWhatTheirNamesSay) {
    const Bench one = parse(example("one-hub-usb2.json"));
    ASSERT_EQ(one.controllers.size(), 1u);
    EXPECT_FALSE(one.controllers[0].usb3);
    ASSERT_EQ(one.controllers[0].devices.size(), 1u);
    EXPECT_EQ(one.controllers[0].devices[0].kind, Kind::FamilyHub);
    EXPECT_EQ(one.controllers[0].devices[0].devices.size(), 3u);

    const Bench two = parse(example("two-hubs-usb3.json"));
    int family = 0;
    forEachDevice(two, [&](const Device& device) { family += device.kind == Kind::FamilyHub; });
    EXPECT_EQ(family, 2);

    const Bench full = parse(example("32-hubs.json"));
    int hubs = 0;
    int ports = 0;
    forEachDevice(full, [&](const Device& device) {
        if (device.kind != Kind::FamilyHub) return;
        ++hubs;
        ports += static_cast<int>(device.devices.size());
    });
    EXPECT_EQ(hubs, 32);
    EXPECT_EQ(ports, 128);
    EXPECT_EQ(countDevices(full), 160);
}

TEST(Description, FillsDefaultsAndReadsNumbersEitherWay) {
    const Bench bench = parse(familyHubWith(R"({"port": 2, "vendorId": 4660, "productId": "0xBEEF", "product": "P"})"));
    const Controller& controller = bench.controllers[0];
    EXPECT_EQ(controller.portCount, 4);
    EXPECT_TRUE(controller.usb3);
    EXPECT_EQ(controller.driverKey, u"{36fc9e60-c465-11cf-8056-444553540000}\\0000");
    const Device& hub = controller.devices[0];
    EXPECT_EQ(hub.vendorId, 0x0424);
    EXPECT_EQ(hub.productId, 0x2744);
    EXPECT_EQ(hub.superSpeedProductId, 0x5744);
    EXPECT_EQ(hub.portPower, std::vector<bool>(4, true));
    EXPECT_EQ(hub.location, "0-1");
    const Device& device = hub.devices[0];
    EXPECT_EQ(device.vendorId, 0x1234);
    EXPECT_EQ(device.productId, 0xBEEF);
    EXPECT_EQ(device.location, "0-1.2");
    EXPECT_EQ(device.pointer, "/controllers/0/devices/0/devices/0");
    EXPECT_EQ(device.state, State::Present);
    EXPECT_EQ(device.configuration, 1);
    EXPECT_EQ(device.languages, std::vector<std::uint16_t>{0x0409});
}

TEST(Description, LanguagesComeFromTheListOrFromTheStrings) {
    const Bench derived = parse(familyHubWith(
        R"({"port": 1, "vendorId": 1, "productId": 2, "product": {"0x0411": "ja", "0x0409": "en"}})"));
    EXPECT_EQ(derived.controllers[0].devices[0].devices[0].languages, (std::vector<std::uint16_t>{0x0411, 0x0409}));

    const Bench listed = parse(familyHubWith(
        R"({"port": 1, "vendorId": 1, "productId": 2, "languages": [], "product": "refused"})"));
    EXPECT_TRUE(listed.controllers[0].devices[0].devices[0].languages.empty());

    const Bench none = parse(familyHubWith(R"({"port": 1, "vendorId": 1, "productId": 2})"));
    EXPECT_TRUE(none.controllers[0].devices[0].devices[0].languages.empty());
}

TEST(Description, AStringOf126UnitsIsTheLongestAllowed) {
    const std::string longest(126, 'x');
    const Bench bench = parse(familyHubWith(R"({"port": 1, "vendorId": 1, "productId": 2, "product": ")" + longest + "\"}"));
    EXPECT_EQ(bench.controllers[0].devices[0].devices[0].product->anyLanguage->size(), 126u);
    EXPECT_NE(failure(familyHubWith(R"({"port": 1, "vendorId": 1, "productId": 2, "product": ")" + longest + "y\"}")),
              "(no error)");
}

TEST(Description, TextThatIsNotJsonIsReportedByLineAndColumn) {
    EXPECT_EQ(failure("{\n  \"controllers\": [\n    {\"number\": 0,}\n  ]\n}").substr(0, 16), "bench.json:3:18:");
    EXPECT_EQ(failure("").substr(0, 15), "bench.json:1:1:");
    EXPECT_EQ(failure("{\"controllers\": [\"\xff\"]}").substr(0, 16), "bench.json:1:19:");
    EXPECT_EQ(failure("{\n\"controllers\": [-1e99999]}"), "bench.json:2:17: number overflow parsing '-1e99999'");
}

TEST(Description, DeepNestingIsReadWithoutRecursion) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(failure(deep), "bench.json: at /: expected the bench (an object), found an array");
    EXPECT_EQ(failure("{\"controllers\": " + deep + "}").substr(0, 27), "bench.json: at /controllers");
}

struct BadDescription {
    const char* name;
    std::string text;
    const char* expected;  // the message holds this
};

void PrintTo(const BadDescription& description, std::ostream* out) { *out << description.name; }

class BadDescriptions : public ::testing::TestWithParam<BadDescription> {};

TEST_P(BadDescriptions, SayWhereAndWhat) {
    const std::string message = failure(GetParam().text);
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
    EXPECT_EQ(message.rfind("bench.json: at ", 0), 0u) << message;
}

const BadDescription kBadDescriptions[] = {
        BadDescription{"TopIsNotAnObject", "[1]", "at /: expected the bench (an object), found an array"},
        BadDescription{"NoControllers", "{}", "missing field \"controllers\""},
        BadDescription{"UnknownTopField", R"({"controllers": [], "extra": 1})", "at /extra: unknown field \"extra\""},
        BadDescription{"NumberOfWrongType", R"({"controllers": [{"number": true}]})",
                       "at /controllers/0/number: expected an integer 0 to 9"},
        BadDescription{"NumberOutOfRange", R"({"controllers": [{"number": 10}]})", "value out of range: expected 0 to 9"},
        BadDescription{"NoWayToOpenController", R"({"controllers": [{}]})", "needs a \"number\""},
        BadDescription{"TwoControllersOneNumber", R"({"controllers": [{"number": 1}, {"number": 1}]})",
                       "at /controllers/1/number: HCD1 is already used at /controllers/0/number"},
        BadDescription{"MissingPort", withDevices(R"({"vendorId": 1, "productId": 2})"), "missing field \"port\" (1 to 4)"},
        BadDescription{"PortBeyondTheHub", withDevices(R"({"port": 5, "vendorId": 1, "productId": 2})"),
                       "at /controllers/0/devices/0/port: value out of range: expected 1 to 4"},
        BadDescription{"TwoDevicesOnOnePort",
                       withDevices(R"({"port": 1, "vendorId": 1, "productId": 2}, {"port": 1, "vendorId": 1, "productId": 3})"),
                       "at /controllers/0/devices/1/port: port 1 already holds the device at /controllers/0/devices/0"},
        BadDescription{"MisspelledField", familyHubWith(R"({"port": 1, "vendorId": 1, "productId": 2, "prodcut": "x"})"),
                       "at /controllers/0/devices/0/devices/0/prodcut: unknown field"},
        BadDescription{"IdTwice",
                       withDevices(R"({"id": "a", "port": 1, "vendorId": 1, "productId": 2}, {"id": "a", "port": 2, "vendorId": 1, "productId": 2})"),
                       "id \"a\" is already used at /controllers/0/devices/0/id"},
        BadDescription{"IdLikeALocation", withDevices(R"({"id": "0:1", "port": 1, "vendorId": 1, "productId": 2})"),
                       "an id starts with a letter"},
        BadDescription{"VendorIdTooLarge", withDevices(R"({"port": 1, "vendorId": "0x10000", "productId": 2})"),
                       "at /controllers/0/devices/0/vendorId: value out of range"},
        BadDescription{"HugeNumber",
                       withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "wedgesAt": "0xFFFFFFFFFFFFFFFFFFFFFFFF"})"),
                       "at /controllers/0/devices/0/wedgesAt: value out of range"},
        BadDescription{"VendorIdNotANumber", withDevices(R"({"port": 1, "vendorId": "0xGG", "productId": 2})"),
                       "expected an integer 0 to 65535, found \"0xGG\""},
        BadDescription{"UnknownState", withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "state": "broken"})"),
                       "unknown value \"broken\": expected one of \"present\", \"unplugged\""},
        BadDescription{"FailStatusOne", withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "failStatus": 1})"),
                       "expected 2 to 5"},
        BadDescription{"FlakyNotPositive", withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "flaky": 0})"),
                       "at /controllers/0/devices/0/flaky"},
        BadDescription{"FamilyHubWithOwnIds", withDevices(R"({"port": 1, "kind": "family-hub", "vendorId": 1})"),
                       "a family hub is always 0x0424"},
        BadDescription{"FamilyIdsOnAnotherHub",
                       withDevices(R"({"port": 1, "kind": "hub", "vendorId": "0x0424", "productId": "0x2744"})"),
                       "is written as \"kind\": \"family-hub\""},
        BadDescription{"DevicesBelowADevice",
                       withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "devices": []})"), "only hubs have it"},
        BadDescription{"PortPowerNotFour", withDevices(R"({"port": 1, "kind": "family-hub", "portPower": [true]})"),
                       "expected four true/false values"},
        BadDescription{"StringTooLong",
                       withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "product": ")" + std::string(127, 'x') + "\"}"),
                       "a USB string holds at most 126 UTF-16 units (this one has 127)"},
        BadDescription{"LanguageNotANumber",
                       withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "product": {"english": "x"}})"),
                       "at /controllers/0/devices/0/product/english"},
        BadDescription{"HubNamesCollide",
                       R"({"controllers": [{"number": 0, "rootHubName": "R"}, {"number": 1, "rootHubName": "r"}]})",
                       "hub name \"r\" is already used at /controllers/0/rootHubName"},
        BadDescription{"NameWithNul", R"({"controllers": [{"number": 0, "driverKey": "a\u0000b"}]})",
                       "without NUL"},
        BadDescription{"TooManyEndpoints",
                       withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, "interfaces": [{"endpoints": 15}, {"endpoints": 15}, {"endpoints": 1}]})"),
                       "at most 30 endpoints"},
        BadDescription{"HubsTooDeep",
                       withDevices(R"({"port": 1, "kind": "hub", "vendorId": 1, "productId": 1, "devices": [
                         {"port": 1, "kind": "hub", "vendorId": 1, "productId": 2, "devices": [
                         {"port": 1, "kind": "hub", "vendorId": 1, "productId": 3, "devices": [
                         {"port": 1, "kind": "hub", "vendorId": 1, "productId": 4, "devices": [
                         {"port": 1, "kind": "hub", "vendorId": 1, "productId": 5, "devices": [
                         {"port": 1, "kind": "hub", "vendorId": 1, "productId": 6}]}]}]}]}]})"),
                       "hubs chain at most 5 deep"},
};

INSTANTIATE_TEST_SUITE_P(Description, BadDescriptions, ::testing::ValuesIn(kBadDescriptions),
                         [](const ::testing::TestParamInfo<BadDescription>& info) { return info.param.name; });

}  // namespace
}  // namespace vostrel::sim
