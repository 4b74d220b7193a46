// The one reader of the event log: the shared lines split into their eight
// fields, the file into lines, bytes into text.
#include <gtest/gtest.h>

#include <fstream>

#include "log_line_cases.h"
#include "program_core/log_file.h"
#include "program_core/log_line.h"
#include "scratch_dir.h"

namespace vostrel::program::test {
namespace {

TEST(LogReader, SplitsEachSharedLineIntoItsFields) {
    for (const vostrel::test::LogLineCase& lineCase : vostrel::test::kLogLineCases) {
        const LogLine line = readLogLine(lineCase.line);
        const std::array<std::string, 8> fields{line.dateTime,  line.eventCode, line.hubIndex,
                                                line.portNumber, line.vendorId,  line.productId,
                                                line.manufacturer, line.product};
        EXPECT_EQ(fields, lineCase.fields) << lineCase.name;
        EXPECT_EQ(interpretLogLine(line).has_value(), lineCase.wellFormed) << lineCase.name;
    }
}

TEST(LogReader, InterpretsTheLibrarysValues) {
    const auto event = interpretLogLine(readLogLine("2025/12/31 23:59:59,2,31,1,0xBEEF,0x0002,Acme, Inc.,Widget"));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->year, 2025);
    EXPECT_EQ(event->second, 59);
    EXPECT_EQ(event->code, 2);
    EXPECT_EQ(event->hubIndex, 31);
    EXPECT_EQ(event->portNumber, 1);
    EXPECT_EQ(event->vendorId, 0xBEEF);
    EXPECT_EQ(event->manufacturer, "Acme, Inc.");
    for (const char* line : {"2025/12/31 23:59,2,0,1,0x0001,0x0002,a,b", "2025/12/31 23:59:59,x,0,1,0x0001,0x0002,a,b",
                             "2025/12/31 23:59:59,2,0,1,0x1FFFF,0x0002,a,b", "2025/12/31 23:59:59,2,0,1,01,0x0002,a,b"}) {
        EXPECT_FALSE(interpretLogLine(readLogLine(line))) << line;
    }
    EXPECT_EQ(eventName(1), "not configured");
    EXPECT_EQ(eventName(2), "other device");
    EXPECT_EQ(eventName("3"), "missing");
    EXPECT_EQ(eventName("9"), "event 9");
    EXPECT_EQ(eventName("x"), "x");
}

TEST(LogReader, LinesOfTheFile) {
    EXPECT_EQ(logLines("a,1\r\nb,2\nc,3"), (std::vector<std::string>{"a,1", "b,2", "c,3"}));
    EXPECT_EQ(logLines("d,3\n\r\n\n"), (std::vector<std::string>{"d,3", "", ""}));
    EXPECT_TRUE(logLines("").empty());
    // Not UTF-8: one character per byte, nothing lost.
    EXPECT_EQ(logLines("Caf\xE9,\xFF\n"), std::vector<std::string>{"Caf\u00E9,\u00FF"});
    EXPECT_EQ(logLines("\xE3\x83\x9E"), std::vector<std::string>{"マ"});

    vostrel::test::ScratchDir dir;
    EXPECT_TRUE(readLogFile(kEventLogFileName).empty());
    EXPECT_EQ(readLastLogLine(kEventLogFileName), "");
    std::string big;
    for (int line = 0; line < 2000; ++line) big += "2024/05/17 09:00:00,3,0,1,0x0001,0x0002,Maker," + std::to_string(line) + "\r\n";
    std::ofstream(kEventLogFileName, std::ios::binary) << big << "\r\n";
    EXPECT_EQ(readLogFile(kEventLogFileName).size(), 2001u);
    EXPECT_EQ(readLastLogLine(kEventLogFileName), "2024/05/17 09:00:00,3,0,1,0x0001,0x0002,Maker,1999");
}

}  // namespace
}  // namespace vostrel::program::test
