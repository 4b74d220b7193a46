#include "program_core/log_line.h"

#include <array>
#include <charconv>

#include "program_core/hub_location.h"

namespace vostrel::program {
namespace {

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

// A family hub's index, or another hub's location.
bool readHub(std::string_view text, LogEvent& event) {
    if (readNumber(text, event.hubIndex)) return true;
    if (!isHubLocation(text)) return false;
    event.hubLocation = text;
    return true;
}

// "0x" and four or more hexadecimal digits.
bool readId(std::string_view text, std::uint16_t& id) {
    int value = 0;
    if (text.size() < 6 || text.substr(0, 2) != "0x" || !readNumber(text.substr(2), value, 16)) return false;
    if (value < 0 || value > 0xFFFF) return false;
    id = static_cast<std::uint16_t>(value);
    return true;
}

// Where the two texts part: the last comma that no blank follows, else the last comma.
std::string_view::size_type textsSeparator(std::string_view texts) {
    const auto last = texts.rfind(',');
    for (auto comma = last; comma != std::string_view::npos; comma = comma == 0 ? std::string_view::npos
                                                                                 : texts.rfind(',', comma - 1)) {
        if (comma + 1 == texts.size() || texts[comma + 1] != ' ') return comma;
    }
    return last;
}

}  // namespace

LogLine readLogLine(std::string_view line) {
    LogLine fields;
    const std::array<std::string*, 6> formatted{&fields.dateTime, &fields.eventCode, &fields.hubIndex,
                                                &fields.portNumber, &fields.vendorId, &fields.productId};
    for (std::string* field : formatted) {
        const auto comma = line.find(',');
        if (comma == std::string_view::npos) {
            *field = line;
            return fields;
        }
        *field = line.substr(0, comma);
        line.remove_prefix(comma + 1);
    }
    const auto separator = textsSeparator(line);
    if (separator == std::string_view::npos) {
        fields.manufacturer = line;
        return fields;
    }
    fields.manufacturer = line.substr(0, separator);
    fields.product = line.substr(separator + 1);
    return fields;
}

std::optional<LogEvent> interpretLogLine(const LogLine& line) {
    LogEvent event;
    if (!readTime(line.dateTime, event) || !readNumber(line.eventCode, event.code) ||
        !readHub(line.hubIndex, event) || !readNumber(line.portNumber, event.portNumber) ||
        !readId(line.vendorId, event.vendorId) || !readId(line.productId, event.productId)) {
        return std::nullopt;
    }
    event.manufacturer = line.manufacturer;
    event.product = line.product;
    return event;
}

std::string eventName(int code) {
    switch (code) {
        case 1: return "not configured";
        case 2: return "other device";
        case 3: return "missing";
        default: return "event " + std::to_string(code);
    }
}

std::string eventName(std::string_view codeField) {
    int code = 0;
    if (!readNumber(codeField, code)) return std::string(codeField);
    return eventName(code);
}

}  // namespace vostrel::program
