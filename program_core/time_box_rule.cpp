#include "program_core/time_box_rule.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace vostrel::program {
namespace {

int withinRange(int value) { return std::clamp(value, kShortestTime, kLongestTime); }

}  // namespace

int leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::optional<std::string> timeWhileTyping(std::string_view text) {
    const int value = leadingInteger(text);
    if (value < 1) return std::to_string(kShortestTime);
    if (value > kLongestTime) return std::to_string(kLongestTime);
    return std::nullopt;
}

std::string finishedTime(std::string_view text) { return std::to_string(withinRange(leadingInteger(text))); }

std::string steppedTime(std::string_view text, int steps) {
    const int position = withinRange(leadingInteger(text));
    return std::to_string(withinRange(position + steps));
}

std::uint8_t storedTime(std::string_view text) {
    return static_cast<std::uint8_t>(withinRange(leadingInteger(text)));
}

}  // namespace vostrel::program
