#include "argument_values.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include "command_error.h"

namespace vostrel::cli {
namespace {

// Digits only, no sign or blanks, in `base`.
std::optional<unsigned long> wholeNumber(const std::string& text, int base) {
    if (text.empty()) return std::nullopt;
    unsigned long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<std::uint16_t> hexNumber(std::string text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
    if (text.size() > 4) return std::nullopt;
    const auto value = wholeNumber(text, 16);
    if (!value) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

}  // namespace

int parseHub(const std::string& text) {
    const auto value = wholeNumber(text, 10);
    if (!value || *value >= kHubNumbers) {
        throw usageError("hub " + text + ": hubs are numbered 0 to " + std::to_string(kHubNumbers - 1));
    }
    return static_cast<int>(*value);
}

int parsePort(const std::string& text) {
    const auto value = wholeNumber(text, 10);
    if (!value || *value < 1 || *value > kPortNumbers) {
        throw usageError("port " + text + ": ports are numbered 1 to " + std::to_string(kPortNumbers));
    }
    return static_cast<int>(*value);
}

DeviceId parseDeviceId(const std::string& text, const std::string& option) {
    const auto colon = text.find(':');
    if (colon != std::string::npos) {
        const auto vendor = hexNumber(text.substr(0, colon));
        const auto product = hexNumber(text.substr(colon + 1));
        if (vendor && product) return {*vendor, *product};
    }
    throw usageError(option + " " + text +
                     ": expected VENDOR:PRODUCT, two hexadecimal IDs of up to four digits, e.g. 7E57:0C31");
}

unsigned parseIndex(const std::string& text) {
    const auto value = wholeNumber(text, 10);
    if (!value || *value > 0xFFFF) throw usageError("--index " + text + ": expected a number from 0");
    return static_cast<unsigned>(*value);
}

std::chrono::milliseconds parseOffTime(const std::string& text) {
    double seconds = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seconds, std::chars_format::fixed);
    const bool number = !text.empty() && error == std::errc() && stop == end;
    // Not a NaN, and at least a millisecond once rounded.
    if (!number || !(seconds >= 0.0005) || seconds > 3600) {
        throw usageError("--off-time " + text + ": expected seconds above 0 and at most 3600, e.g. 2 or 0.5");
    }
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

std::uint8_t parseTicks(const std::string& what, const std::string& text) {
    const auto value = wholeNumber(text, 10);
    if (!value || *value < 1 || *value > 255) {
        throw usageError(what + " " + text + ": expected 1 to 255 ticks of about a second");
    }
    return static_cast<std::uint8_t>(*value);
}

}  // namespace vostrel::cli
