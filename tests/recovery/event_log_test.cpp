#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <filesystem>
#include <string>

#include "loaded_library.h"
#include "recovery/event_log.h"
#include "scratch_dir.h"

namespace {

using namespace vostrel;
using vostrel::test::readBytes;
using vostrel::test::ScratchDir;

constexpr platform::LocalTime kAprilMorning{2017, 4, 5, 1, 7, 9};

// An entry as the event line takes it: manufacturer first, as in the line.
AutoCheckEntry watched(int hub, int port, std::uint16_t vid, std::uint16_t pid, std::u16string_view manufacturer,
                       std::u16string_view product) {
    return test::makeRecord<AutoCheckEntry>(hub, port, vid, pid, product, manufacturer);
}

// Switches the process's locale for one test, as a program linking the
// library might have done.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        available_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { std::setlocale(LC_ALL, previous_.c_str()); }
    bool available() const { return available_; }

private:
    std::string previous_;
    bool available_ = false;
};

TEST(EventLine, HasTheEightFieldsOfTheFormat) {
    const AutoCheckEntry entry = watched(0, 2, 0x1A, 0xBEEF, u"Maker", u"Widget");
    EXPECT_EQ(formatEventLine(entry, NoDevice, kAprilMorning),
              "2017/04/05 01:07:09,3,0,3,0x001A,0xBEEF,Maker,Widget\r\n");
    const AutoCheckEntry empty = watched(12, 0, 0x0424, 0x0001, u"", u"");
    EXPECT_EQ(formatEventLine(empty, OtherDevice, {2026, 12, 31, 23, 59, 58}),
              "2026/12/31 23:59:58,2,12,1,0x0424,0x0001,,\r\n");
}

// The settings file is not trusted: whatever number an entry holds is
// printed as it stands (the port from 1), without overflow.
TEST(EventLine, StoredNumbersAtTheirLimitsArePrintedAsTheyStand) {
    struct Case {
        std::int32_t hub, port;
        std::string numbers;
    };
    const Case cases[] = {
        {0, 0, ",0,1,"},
        {INT32_MAX, INT32_MAX, ",2147483647,2147483648,"},
        {INT32_MIN, INT32_MIN, ",-2147483648,-2147483647,"},
        {-1, -1, ",-1,0,"},
    };
    for (const Case& c : cases) {
        const std::string line = formatEventLine(watched(c.hub, c.port, 0xFFFF, 0, u"M", u"P"), 255, kAprilMorning);
        EXPECT_EQ(line, "2017/04/05 01:07:09,255" + c.numbers + "0xFFFF,0x0000,M,P\r\n");
    }
}

TEST(EventLine, ControlCharactersInDeviceTextsCannotForgeLines) {
    const AutoCheckEntry entry =
        watched(0, 0, 1, 2, u"Evil\r\n2017/01/01 00:00:00,1,9,9,0x0000,0x0000,x", u"tab\there\x1b");
    const std::string line = formatEventLine(entry, NoDevice, kAprilMorning);
    EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2);
    EXPECT_NE(line.find(",Evil  2017/01/01 "), std::string::npos);
    EXPECT_NE(line.find(",tab here \r\n"), std::string::npos);
}

TEST(EventLine, TextsAreWrittenInTheCurrentLocale) {
    const AutoCheckEntry entry = watched(0, 0, 1, 2, u"日本", u"\xD83D\xDE00 and \xDC00 alone");
    {
        LocaleScope locale("C");
        EXPECT_NE(formatEventLine(entry, NoDevice, kAprilMorning).find(",??,? and ? alone\r\n"), std::string::npos);
    }
    LocaleScope locale("C.UTF-8");
    if (!locale.available()) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_NE(formatEventLine(entry, NoDevice, kAprilMorning)
                  .find(",\xE6\x97\xA5\xE6\x9C\xAC,\xF0\x9F\x98\x80 and ? alone\r\n"),
              std::string::npos);
}

TEST(EventLine, OverLongLinesLoseTextWholeCharactersAtATimeOrdinaryOnesNothing) {
    const std::u16string ascii(255, u'x');
    EXPECT_NE(formatEventLine(watched(0, 0, 1, 2, ascii, ascii), NoDevice, kAprilMorning)
                  .find("," + std::string(255, 'x') + "," + std::string(255, 'x') + "\r\n"),
              std::string::npos);

    LocaleScope locale("C.UTF-8");
    if (!locale.available()) GTEST_SKIP() << "no C.UTF-8 locale";
    const std::u16string wide(255, u'あ');  // three bytes each in UTF-8
    const std::string line = formatEventLine(watched(31, 3, 0xFFFF, 0xFFFF, wide, wide), OtherDevice, kAprilMorning);
    EXPECT_LE(line.size(), kMaxEventLineBytes);
    ASSERT_TRUE(line.ends_with("\r\n"));
    const std::size_t texts = line.find(",0xFFFF,0xFFFF,") + 15;
    const std::size_t comma = line.find(',', texts);
    ASSERT_NE(comma, std::string::npos);
    // Both texts keep a fair share, and neither ends inside a character.
    EXPECT_GT(comma - texts, 400u);
    EXPECT_EQ((comma - texts) % 3, 0u);
    EXPECT_EQ((line.size() - 2 - comma - 1) % 3, 0u);
}

// A hub named by its location takes the hub index's place; the line keeps
// its limits, its control characters kept out, whatever the hub field's length.
TEST(EventLine, AnEntryKeptByLocationIsWrittenWithItsHubsLocation) {
    EXPECT_EQ(formatEventLine({"1-1.4", 2, 0x046D, 0xC52B, u"Maker", u"Widget"}, NoDevice, {2026, 12, 9, 10, 0, 0}),
              "2026/12/09 10:00:00,3,1-1.4,2,0x046D,0xC52B,Maker,Widget\r\n");
    const std::u16string ascii(255, u'x');
    const std::string line = formatEventLine({"123-15.15.15.15.15.15", 255, 1, 2, ascii + u"\n", ascii},
                                             OtherDevice, kAprilMorning);
    EXPECT_LE(line.size(), kMaxEventLineBytes);
    EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2);
    EXPECT_EQ(line.find(",2,123-15.15.15.15.15.15,255,0x0001,0x0002,"), 19u);
}

TEST(EventLog, FirstEventCreatesTheFileLaterOnesAppendAndAnUnopenableLogIsReported) {
    ScratchDir dir;
    const AutoCheckEntry entry = watched(0, 1, 0x1234, 0x5678, u"M", u"P");
    ASSERT_TRUE(writeEventLine(entry, NotConfigured));
    ASSERT_TRUE(writeEventLine(entry, OtherDevice));
    const auto bytes = readBytes(kEventLogFileName);
    const std::string log(bytes.begin(), bytes.end());
    EXPECT_EQ(log.size(), 2 * std::string("2017/04/05 01:07:09,1,0,2,0x1234,0x5678,M,P\r\n").size());
    EXPECT_LT(log.find(",1,0,2,0x1234,0x5678,M,P\r\n"), log.find(",2,0,2,0x1234,0x5678,M,P\r\n"));

    std::filesystem::remove(kEventLogFileName);
    std::filesystem::create_directory(kEventLogFileName);
    EXPECT_FALSE(writeEventLine(entry, NoDevice));
}

TEST(EventLog, AnEventAfterATornLastLineStartsALineOfItsOwn) {
    ScratchDir dir;
    const AutoCheckEntry entry = watched(0, 1, 0x1234, 0x5678, u"M", u"P");
    const std::string torn = "2017/04/05 01:07:09,3,0,2,0x12";  // cut off by a crash
    test::writeBytes(kEventLogFileName, torn.data(), torn.size());
    ASSERT_TRUE(writeEventLine(entry, NotConfigured));
    ASSERT_TRUE(writeEventLine(entry, OtherDevice));
    const auto bytes = readBytes(kEventLogFileName);
    const std::string log(bytes.begin(), bytes.end());
    const std::string line = "2017/04/05 01:07:09,1,0,2,0x1234,0x5678,M,P\r\n";
    ASSERT_EQ(log.size(), torn.size() + 2 + 2 * line.size()) << log;
    EXPECT_EQ(log.substr(0, torn.size() + 2), torn + "\r\n");
    EXPECT_NE(log.find(",1,0,2,0x1234,0x5678,M,P\r\n", torn.size() + 2), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - line.size() + 19), ",2,0,2,0x1234,0x5678,M,P\r\n");
}

}  // namespace
