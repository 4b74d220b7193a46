// The values a command line gives, checked and turned into numbers. Each
// throws a usage error (exit status 2) that names the value and says what
// is expected.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vostrel::cli {

// A USB device's vendor and product IDs.
struct DeviceId {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool operator==(const DeviceId&) const = default;
};

// A port of a hub of the family: the hub index as the library numbers hubs,
// the port number 1 to 4 as users see it.
struct Place {
    int hub = 0;
    int port = 1;
};

inline constexpr int kHubNumbers = 32;  // the library reports at most 32 hubs, 0 to 31
inline constexpr int kPortNumbers = 4;

int parseHub(const std::string& text);
int parsePort(const std::string& text);


// "VVVV:PPPP", each one to four hexadecimal digits, "0x" allowed; `option`
// names it in the message.
DeviceId parseDeviceId(const std::string& text, const std::string& option = "--device");

// --index: which of several matching devices, from 0.
unsigned parseIndex(const std::string& text);

// --off-time: seconds above 0 and at most an hour, fractions allowed;
// kept to the millisecond.
std::chrono::milliseconds parseOffTime(const std::string& text);

// The interval and off time in monitor ticks, 1 to 255. `what` names the
// value in the message.
std::uint8_t parseTicks(const std::string& what, const std::string& text);

}  // namespace vostrel::cli
