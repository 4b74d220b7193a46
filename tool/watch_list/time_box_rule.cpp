#include "watch_list/time_box_rule.h"

#include <climits>

namespace talvern {

int leadingInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::optional<QString> timeBoxCorrection(const QString& text) {
    const int value = leadingInteger(text);
    if (value < 1) return QStringLiteral("3");
    if (value > 255) return QStringLiteral("255");
    return std::nullopt;
}

std::uint8_t storedTime(const QString& text) {
    const auto low = static_cast<std::uint8_t>(static_cast<unsigned>(leadingInteger(text)) & 0xFFu);
    return low < 3 ? 3 : low;
}

}  // namespace talvern
