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
std::string logText(std::u16string_view field) {
    std::u16string text(field);
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

std::string formatEventLine(const EventSubject& subject, std::uint8_t code, const platform::LocalTime& time) {
    char head[64];
    int headLength = std::snprintf(head, sizeof head, "%d/%02d/%02d %02d:%02d:%02d,%u,", time.year, time.month,
                                   time.day, time.hour, time.minute, time.second, unsigned{code});
    std::string line(head, static_cast<std::size_t>(std::max(headLength, 0)));
    line += subject.hub;
    headLength = std::snprintf(head, sizeof head, ",%lld,0x%04X,0x%04X,", subject.portNumber,
                               unsigned{subject.vendorId}, unsigned{subject.productId});
    line.append(head, static_cast<std::size_t>(std::max(headLength, 0)));

    std::string manufacturer = logText(subject.manufacturer);
    std::string product = logText(subject.product);
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

std::string formatEventLine(const AutoCheckEntry& entry, std::uint8_t code, const platform::LocalTime& time) {
    // The entry comes from the settings file and may hold any number: the
    // port number is counted in 64 bits, so that the largest port index is
    // followed by its successor rather than by an overflow.
    const std::string hub = std::to_string(entry.hubIndex);
    return formatEventLine({hub, static_cast<long long>(entry.portIndex) + 1, entry.vendorId, entry.productId,
                            std::u16string_view(entry.manufacturer, textLength(entry.manufacturer)),
                            std::u16string_view(entry.product, textLength(entry.product))},
                           code, time);
}

bool writeEventLine(const EventSubject& subject, std::uint8_t code, const char* logFile) {
    const std::string line = formatEventLine(subject, code, platform::currentLocalTime());
    return platform::appendLineToFile(logFile, line.data(), line.size());
}

bool writeEventLine(const AutoCheckEntry& entry, std::uint8_t code) {
    const std::string line = formatEventLine(entry, code, platform::currentLocalTime());
    return platform::appendLineToFile(kEventLogFileName, line.data(), line.size());
}

}  // namespace vostrel
