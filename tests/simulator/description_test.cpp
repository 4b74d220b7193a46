#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/bench.h"
#include "core/description.h"
#include "core/description_error.h"

namespace vostrel::sim {
namespace {

std::string failure(const std::string& text) {
    try {
        buildBench(parseDocument(text, "f"), "f");
    } catch (const DescriptionError& error) {
        return error.what();
    }
    return "(no error)";
}

// A bench with one USB 3 controller and `devices` on its root ports.
std::string withDevices(const std::string& devices) {
    return R"({"controllers": [{"number": 0, "devices": [)" + devices + "]}]}";
}

// One device on root port 1, with `fields` besides its port and ids.
std::string device(const std::string& fields) {
    return withDevices(R"({"port": 1, "vendorId": 1, "productId": 2, )" + fields + "}");
}

std::string chainOfHubs(int depth) {
    const std::string hub = R"({"port": 1, "kind": "hub", "vendorId": 1, "productId": 1, "devices": [)";
    std::string chain = R"({"port": 1, "vendorId": 1, "productId": 1})";
    while (depth-- > 0) chain = hub + chain + "]}";
    return withDevices(chain);
}

struct DescriptionCase {
    const char* name;
    std::string text;
    const char* message;  // how the message starts (the place, then what is wrong), or "(no error)"
};

void PrintTo(const DescriptionCase& description, std::ostream* out) { *out << description.name; }

class Descriptions : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(Descriptions, AreTakenOrRefusedSayingWhereAndWhat) {
    const std::string message = failure(GetParam().text);
    EXPECT_EQ(message.substr(0, std::strlen(GetParam().message)), GetParam().message);
}

#define AT_DEVICE "f: at /controllers/0/devices/0"

const std::string kDeep = std::string(100000, '[') + std::string(100000, ']');

const DescriptionCase kDescriptions[] = {
    {"NotJson", "{\n  \"controllers\": [\n    {\"number\": 0,}\n  ]\n}", "f:3:18: syntax error"},
    {"NotUtf8", "{\"controllers\": [\"\xff\"]}", "f:1:19: "},
    {"NumberOverflow", "{\n\"controllers\": [-1e99999]}", "f:2:17: number overflow parsing '-1e99999'"},
    {"DeepNesting", kDeep, "f: at /: expected the bench (an object), found an array"},
    {"DeepNestingInside", "{\"controllers\": " + kDeep + "}", "f: at /controllers/0: expected a host controller"},
    {"NoWayToOpenController", R"({"controllers": [{}]})", "f: at /controllers/0: a host controller needs a \"number\""},
    {"TwoControllersOneNumber", R"({"controllers": [{"number": 1}, {"number": 1}]})",
     "f: at /controllers/1/number: HCD1 is already used at /controllers/0/number"},
    {"MissingPort", withDevices(R"({"vendorId": 1, "productId": 2})"), AT_DEVICE ": missing field \"port\" (1 to 4)"},
    {"PortBeyondTheHub", withDevices(R"({"port": 5, "vendorId": 1, "productId": 2})"),
     AT_DEVICE "/port: value out of range: expected 1 to 4"},
    {"TwoDevicesOnOnePort",
     withDevices(R"({"port": 1, "vendorId": 1, "productId": 2}, {"port": 1, "vendorId": 1, "productId": 3})"),
     "f: at /controllers/0/devices/1/port: port 1 already holds the device at /controllers/0/devices/0"},
    {"MisspelledField", device(R"("prodcut": "x")"), AT_DEVICE "/prodcut: unknown field \"prodcut\""},
    {"IdTwice", withDevices(R"({"id": "a", "port": 1, "vendorId": 1, "productId": 2},
                               {"id": "a", "port": 2, "vendorId": 1, "productId": 2})"),
     "f: at /controllers/0/devices/1/id: id \"a\" is already used at /controllers/0/devices/0/id"},
    {"IdLikeALocation", device(R"("id": "0:1")"), AT_DEVICE "/id: an id starts with a letter"},
    {"HexLongerThan64Bits", device(R"("wedgesAt": "0xFFFFFFFFFFFFFFFFFFFFFFFF")"),
     AT_DEVICE "/wedgesAt: value out of range"},
    {"NotANumber", withDevices(R"({"port": 1, "vendorId": "0xGG", "productId": 2})"),
     AT_DEVICE "/vendorId: expected an integer 0 to 65535, found \"0xGG\""},
    {"UnknownState", device(R"("state": "broken")"),
     AT_DEVICE "/state: unknown value \"broken\": expected one of \"present\", \"unplugged\""},
    {"FamilyHubWithOwnIds", withDevices(R"({"port": 1, "kind": "family-hub", "vendorId": 1})"),
     AT_DEVICE "/vendorId: \"vendorId\" does not apply here: a family hub is always 0x0424"},
    {"FamilyIdsOnAnotherHub", withDevices(R"({"port": 1, "kind": "hub", "vendorId": "0x0424", "productId": "0x2744"})"),
     AT_DEVICE "/productId: a hub of the family is written as \"kind\": \"family-hub\""},
    {"DevicesBelowADevice", device(R"("devices": [])"), AT_DEVICE "/devices: \"devices\" does not apply here"},
    {"PortPowerNotFour", withDevices(R"({"port": 1, "kind": "family-hub", "portPower": [true]})"),
     AT_DEVICE "/portPower: expected four true/false values"},
    {"LongestString", device(R"("product": ")" + std::string(126, 'x') + "\""), "(no error)"},
    {"StringTooLong", device(R"("product": ")" + std::string(127, 'x') + "\""),
     AT_DEVICE "/product: a USB string holds at most 126 UTF-16 units (this one has 127)"},
    {"HubNamesCollide", R"({"controllers": [{"number": 0, "rootHubName": "R"}, {"number": 1, "rootHubName": "r"}]})",
     "f: at /controllers/1/rootHubName: hub name \"r\" is already used at /controllers/0/rootHubName"},
    {"NameWithNul", R"({"controllers": [{"number": 0, "driverKey": "a\u0000b"}]})",
     "f: at /controllers/0/driverKey: expected a name of 1 to 1024 characters without NUL"},
    {"TooManyEndpoints", device(R"("interfaces": [{"endpoints": 15}, {"endpoints": 15}, {"endpoints": 1}])"),
     AT_DEVICE "/interfaces/2/endpoints: a device has at most 30 endpoints"},
    {"DeepestChain", chainOfHubs(5), "(no error)"},
    {"HubsTooDeep", chainOfHubs(6), AT_DEVICE "/devices/0/devices/0/devices/0/devices/0/devices/0/kind: hubs chain"},
};

INSTANTIATE_TEST_SUITE_P(Description, Descriptions, ::testing::ValuesIn(kDescriptions),
                         [](const ::testing::TestParamInfo<DescriptionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vostrel::sim
