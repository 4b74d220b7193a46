// UTF-8 and UTF-16 both ways: texts round-trip, a lone surrogate becomes
// U+FFFD, and strict decoding refuses what replacing decoding mends.
#include <gtest/gtest.h>

#include <string>

#include "usbbus/utf.h"

namespace vostrel::usbbus {
namespace {

TEST(Utf, TextsGoBothWaysAndLoneSurrogatesBecomeTheReplacement) {
    const struct {
        std::u16string units;
        std::string text;
    } cases[] = {
        {u"VH0002A", "VH0002A"},
        {u"シリアル-1", "シリアル-1"},
        {u"\U0001F50C", "\xF0\x9F\x94\x8C"},
        {u"\u00E9\u07FF\u0800\uFFFF", "\xC3\xA9\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {std::u16string(1, char16_t(0xD800)) + u"x", "\xEF\xBF\xBDx"},
        {std::u16string(1, char16_t(0xDC00)), "\xEF\xBF\xBD"},
    };
    for (const auto& [units, text] : cases) {
        EXPECT_EQ(utf16ToUtf8(units), text);
        if (units.find_first_of(u"\xD800\xDC00") == std::u16string::npos) {
            EXPECT_EQ(utf8ToUtf16(text), units);
            EXPECT_EQ(utf8ToUtf16Replacing(text), units);
        }
    }
}

TEST(Utf, StrictDecodingRefusesWhatReplacingDecodingMends) {
    const struct {
        std::string text;
        std::u16string replaced;
    } cases[] = {
        {"A\x80" "B", u"A\uFFFDB"},
        {"A\xE3\x82", u"A\uFFFD\uFFFD"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xFF", u"\uFFFD"},
    };
    for (const auto& [text, replaced] : cases) {
        EXPECT_EQ(utf8ToUtf16(text), std::nullopt);
        EXPECT_EQ(utf8ToUtf16Replacing(text), replaced);
    }
}

}  // namespace
}  // namespace vostrel::usbbus
