// The file that keeps hubs' answers between runs: what it takes and what it
// refuses as a whole.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "power_switching_memo.h"

namespace vostrel::test {
namespace {

using anyhub::HubDeviceInstance;
using anyhub::parsePowerSwitchingMemo;
using anyhub::PowerSwitchingMemo;
using anyhub::powerSwitchingMemoText;
using usbbus::PortPowerSwitching;

constexpr char kHeader[] = "vostrel hub power switching 1\n";

TEST(PowerSwitchingMemo, KeepsEveryFieldThroughItsText) {
    const PowerSwitchingMemo memo{
        {{"usb1", 1, 1, 0, 0}, PortPowerSwitching::None},
        {{"1-1.4", 1, 7, 52013, 1733740000123456789}, PortPowerSwitching::EachPort},
        {{"2-1", 4294967295u, 65535, 18446744073709551615u, 9223372036854775807}, PortPowerSwitching::Ganged},
    };
    const std::string text = powerSwitchingMemoText(memo);
    EXPECT_NE(text.find("\n1-1.4 1 7 52013 1733740000123456789 per-port\n"), std::string::npos) << text;
    EXPECT_EQ(parsePowerSwitchingMemo(text), memo);
    EXPECT_EQ(parsePowerSwitchingMemo(kHeader), PowerSwitchingMemo{});
}

// The header, then `lines`.
std::string memoText(std::string_view lines) {
    std::string text = kHeader;
    text.append(lines);
    return text;
}

TEST(PowerSwitchingMemo, RefusesAWholeFileForAnyLineNotOfItsShape) {
    const std::string good = "1-1 1 2 3 4 ganged\n";
    ASSERT_TRUE(parsePowerSwitchingMemo(memoText(good)));
    for (const std::string& bad : std::vector<std::string>{
             "", good, "vostrel hub power switching 2\n1-1 1 2 3 4 ganged\n",
             memoText("1-1 1 2 3 4 ganged"),                    // no line end
             memoText("1-1 1 2 3 4 ganged\n1-1 1 2 3 4 none\n"),  // one instance said twice
             memoText("1-1 1 2 3 4 ganged \n"),                 // a seventh, empty field
             memoText("1-1  1 2 3 4 ganged\n"),                 // an empty field
             memoText("1-1 1 2 3 ganged\n"),                    // a field missing
             memoText("1-1 1 2 3 4 Ganged\n"),                  // not a mode of ours
             memoText("1-1 1 02 3 4 ganged\n"),                 // a leading zero
             memoText("1-1 1 -2 3 4 ganged\n"),                 // a sign
             memoText("1-1 1 65536 3 4 ganged\n"),              // beyond a device number
             memoText("1-1 1 2 3 9223372036854775808 ganged\n"),
             memoText("1-1 1 2 18446744073709551616 4 ganged\n"),
             memoText("../x 1 2 3 4 ganged\n"),                 // no kernel name
             memoText("1-1\r 1 2 3 4 ganged\n"),
             memoText(std::string(41, '1').append(" 1 2 3 4 ganged\n")),
             memoText("1-1 1 2 3 4 ganged\n\n"),                // an empty line
             memoText(std::string_view("1-1 1 2 3 4 ganged\0\n", 20)),
         }) {
        EXPECT_FALSE(parsePowerSwitchingMemo(bad)) << bad;
    }
}

TEST(PowerSwitchingMemo, HoldsAtMostItsLimitOfEntries) {
    PowerSwitchingMemo memo;
    for (std::size_t k = 0; k <= anyhub::kMaxMemoEntries; ++k) {
        memo.emplace(HubDeviceInstance{"1-1", 1, 2, k, 4}, PortPowerSwitching::EachPort);
    }
    const std::string text = powerSwitchingMemoText(memo);
    EXPECT_LE(text.size(), anyhub::kMaxMemoFileBytes);
    const auto back = parsePowerSwitchingMemo(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), anyhub::kMaxMemoEntries);
    EXPECT_FALSE(parsePowerSwitchingMemo(std::string(text).append("1-1 1 2 99999999 4 none\n")));
}

}  // namespace
}  // namespace vostrel::test
