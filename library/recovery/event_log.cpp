#include "recovery/event_log.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string_view>

#include "frame/text.h"
#include "platform/files.h"
#include "platform/locale_text.h"

namespace vostrel {
namespace {

// A device chooses its own strings: a control character must not start a
// new line (or hide one) in the log, so it is written as a blank.
std::string logText(const char16_t (&field)[kTextUnits]) {
    std::u16string text(field, textLength(field));
    std::replace_if(text.begin(), text.end(), [](char16_t c) { return c < u' '; }, u' ');
    return platform::toLocaleText(text);
}

// Cuts `text` to at most `limit` bytes without splitting a multibyte
// character of the current locale.
void shorten(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t kept = 0;
    std::mbstate_t state{};
    while (kept < limit) {
        const std::size_t n = std::mbrlen(text.data() + kept, text.size() - kept, &state);
        if (n == 0 || n > text.size() - kept) break;  // NUL or invalid: keep whole bytes only
        if (kept + n > limit) break;
        kept += n;
    }
    text.resize(kept);
}

}  // namespace

std::string formatEventLine(const AutoCheckEntry& entry, std::uint8_t code, const platform::LocalTime& time) {
    // The entry comes from the settings file and may hold any number: the
    // port number is counted in 64 bits, so that the largest port index is
    // followed by its successor rather than by an overflow.
    char head[128];
    const int headLength =
        std::snprintf(head, sizeof head, "%d/%02d/%02d %02d:%02d:%02d,%u,%d,%lld,0x%04X,0x%04X,", time.year,
                      time.month, time.day, time.hour, time.minute, time.second, unsigned{code}, entry.hubIndex,
                      static_cast<long long>(entry.portIndex) + 1, unsigned{entry.vendorId}, unsigned{entry.productId});
    std::string line(head, static_cast<std::size_t>(std::max(headLength, 0)));

    std::string manufacturer = logText(entry.manufacturer);
    std::string product = logText(entry.product);
    // Room left for the two texts, their comma and CR LF. Each text may use
    // half of it, and the other's unused half as well.
    const std::size_t room = kMaxEventLineBytes - std::min(line.size() + 3, kMaxEventLineBytes);
    const std::size_t half = room / 2;
    shorten(manufacturer, std::max(half, room - std::min(product.size(), half)));
    shorten(product, room - manufacturer.size());

    line += manufacturer;
    line += ',';
    line += product;
    line += "\r\n";
    return line;
}

bool writeEventLine(const AutoCheckEntry& entry, std::uint8_t code) {
    const std::string line = formatEventLine(entry, code, platform::currentLocalTime());
    return platform::appendLineToFile(kEventLogFileName, line.data(), line.size());
}

}  // namespace vostrel
