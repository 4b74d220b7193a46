#include "log_line.h"

#include <charconv>
#include <vector>

namespace vostrel::cli {
namespace {

constexpr std::size_t kFields = 8;

// The first `kFields - 1` comma-separated fields, then the rest whole.
std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < kFields) {
        const auto comma = line.find(',');
        if (comma == std::string_view::npos) break;
        fields.push_back(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
    fields.push_back(line);
    return fields;
}

bool readNumber(std::string_view text, int& value, int base = 10) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// "Y/MM/DD hh:mm:ss"
bool readTime(std::string_view text, LogEvent& event) {
    const auto blank = text.find(' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view date = text.substr(0, blank), time = text.substr(blank + 1);
    const auto slash = date.find('/');
    if (slash == std::string_view::npos || date.size() != slash + 6 || date[slash + 3] != '/') return false;
    if (time.size() != 8 || time[2] != ':' || time[5] != ':') return false;
    return readNumber(date.substr(0, slash), event.year) && readNumber(date.substr(slash + 1, 2), event.month) &&
           readNumber(date.substr(slash + 4, 2), event.day) && readNumber(time.substr(0, 2), event.hour) &&
           readNumber(time.substr(3, 2), event.minute) && readNumber(time.substr(6, 2), event.second);
}

// "0x" and four or more hexadecimal digits.
bool readId(std::string_view text, std::uint16_t& id) {
    int value = 0;
    if (text.size() < 6 || text.substr(0, 2) != "0x" || !readNumber(text.substr(2), value, 16)) return false;
    if (value < 0 || value > 0xFFFF) return false;
    id = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

std::optional<LogEvent> parseLogLine(std::string_view line) {
    const auto fields = splitFields(line);
    if (fields.size() != kFields) return std::nullopt;
    LogEvent event;
    if (!readTime(fields[0], event) || !readNumber(fields[1], event.code) || !readNumber(fields[2], event.place.hub) ||
        !readNumber(fields[3], event.place.port) || !readId(fields[4], event.id.vendorId) ||
        !readId(fields[5], event.id.productId)) {
        return std::nullopt;
    }
    event.manufacturer = std::string(fields[6]);
    event.product = std::string(fields[7]);
    return event;
}

std::string eventName(int code) {
    switch (code) {
    case 1:
        return "not configured";
    case 2:
        return "other device";
    case 3:
        return "missing";
    default:
        return "event " + std::to_string(code);
    }
}

}  // namespace vostrel::cli
