// The time boxes: one range, 3 to 255, typed, stepped and stored alike.
#include <gtest/gtest.h>

#include "program_core/time_box_rule.h"

namespace vostrel::program::test {
namespace {

TEST(TimeBoxRule, WhatTypingLeavesInTheBox) {
    EXPECT_EQ(timeWhileTyping(""), "3");
    EXPECT_EQ(timeWhileTyping("0"), "3");
    EXPECT_EQ(timeWhileTyping("300"), "255");
    EXPECT_EQ(timeWhileTyping("99999999999"), "255");
    // 1 may become 10 or 100 with the next digits.
    EXPECT_EQ(timeWhileTyping("1"), std::nullopt);
    EXPECT_EQ(timeWhileTyping("2"), std::nullopt);
    EXPECT_EQ(timeWhileTyping("255"), std::nullopt);
}

TEST(TimeBoxRule, ShownAndStoredAlike) {
    for (const char* text : {"", "0", "1", "2", "3", "42", "255", "256", "-5", "x"}) {
        const std::string shown = finishedTime(text);
        EXPECT_EQ(std::to_string(storedTime(shown)), shown) << text;
        EXPECT_EQ(storedTime(text), storedTime(shown)) << text;
        EXPECT_GE(storedTime(text), kShortestTime);
    }
    EXPECT_EQ(finishedTime("2"), "3");
    EXPECT_EQ(finishedTime("256"), "255");
    EXPECT_EQ(finishedTime(" 42s"), "42");
}

TEST(TimeBoxRule, ArrowsStayInTheRange) {
    EXPECT_EQ(steppedTime("3", -1), "3");
    EXPECT_EQ(steppedTime("4", -1), "3");
    EXPECT_EQ(steppedTime("1", -1), "3");
    EXPECT_EQ(steppedTime("1", 1), "4");
    EXPECT_EQ(steppedTime("255", 1), "255");
    EXPECT_EQ(steppedTime("", 1), "4");
    EXPECT_EQ(leadingInteger("  -12x"), -12);
    EXPECT_EQ(leadingInteger("+7"), 7);
}

}  // namespace
}  // namespace vostrel::program::test
