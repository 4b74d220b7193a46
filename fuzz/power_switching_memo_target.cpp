// Fuzz target: any bytes as the memo of hubs' power switching. The parser
// refuses them or gives entries within the memo's limits; what it accepts is
// written back to a text within the file's limit that reads as the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "power_switching_memo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel::anyhub;
    const auto memo = parsePowerSwitchingMemo(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!memo) return 0;
    if (memo->size() > kMaxMemoEntries) std::abort();
    const std::string text = powerSwitchingMemoText(*memo);
    if (text.size() > kMaxMemoFileBytes || parsePowerSwitchingMemo(text) != memo) std::abort();
    return 0;
}
