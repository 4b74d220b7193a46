#include "power_switching_memo.h"

#include <charconv>
#include <limits>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace vostrel::anyhub {
namespace {

using usbbus::PortPowerSwitching;

constexpr std::string_view kHeader = "vostrel hub power switching 1";

constexpr std::string_view modeWord(PortPowerSwitching mode) {
    switch (mode) {
        case PortPowerSwitching::EachPort: return "per-port";
        case PortPowerSwitching::Ganged: return "ganged";
        case PortPowerSwitching::None: return "none";
    }
    return "none";
}

std::optional<PortPowerSwitching> modeOfWord(std::string_view word) {
    for (const PortPowerSwitching mode : {PortPowerSwitching::EachPort, PortPowerSwitching::Ganged,
                                          PortPowerSwitching::None}) {
        if (word == modeWord(mode)) return mode;
    }
    return std::nullopt;
}

// Digits only, no sign, no leading zero but for "0" itself, up to `largest`.
std::optional<std::uint64_t> number(std::string_view text, std::uint64_t largest) {
    if (text.empty() || (text.size() > 1 && text.front() == '0')) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value > largest) return std::nullopt;
    return value;
}

// A kernel name as the kernel makes them: digits, '-', '.', and "usb".
bool isKernelName(std::string_view name) {
    if (name.empty() || name.size() > kMaxMemoNameBytes) return false;
    for (const char c : name) {
        if (!(c >= '0' && c <= '9') && c != '-' && c != '.' && c != 'u' && c != 's' && c != 'b') return false;
    }
    return true;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> found;
    while (!line.empty()) {
        const std::size_t space = line.find(' ');
        found.push_back(line.substr(0, space));
        if (space == std::string_view::npos) break;
        line.remove_prefix(space + 1);
        // A line that ends in a space has an empty last word, which no field takes.
        if (line.empty()) found.emplace_back();
    }
    return found;
}

std::optional<std::pair<HubDeviceInstance, PortPowerSwitching>> entryOf(std::string_view line) {
    const std::vector<std::string_view> fields = words(line);
    if (fields.size() != 6 || !isKernelName(fields[0])) return std::nullopt;
    const auto bus = number(fields[1], std::numeric_limits<std::uint32_t>::max());
    const auto address = number(fields[2], std::numeric_limits<std::uint16_t>::max());
    const auto identity = number(fields[3], std::numeric_limits<std::uint64_t>::max());
    const auto made = number(fields[4], std::numeric_limits<std::int64_t>::max());
    const auto mode = modeOfWord(fields[5]);
    if (!bus || !address || !identity || !made || !mode) return std::nullopt;
    HubDeviceInstance instance{std::string(fields[0]), static_cast<std::uint32_t>(*bus),
                               static_cast<std::uint16_t>(*address), *identity, static_cast<std::int64_t>(*made)};
    return std::pair{std::move(instance), *mode};
}

}  // namespace

std::optional<PowerSwitchingMemo> parsePowerSwitchingMemo(std::string_view text) {
    if (text.size() > kMaxMemoFileBytes || !text.ends_with('\n')) return std::nullopt;
    PowerSwitchingMemo memo;
    bool header = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (header) {
            if (line != kHeader) return std::nullopt;
            header = false;
            continue;
        }
        auto entry = entryOf(line);
        if (!entry || memo.size() == kMaxMemoEntries) return std::nullopt;
        if (!memo.insert(std::move(*entry)).second) return std::nullopt;
    }
    return memo;
}

std::string powerSwitchingMemoText(const PowerSwitchingMemo& memo) {
    std::string text(kHeader);
    text += '\n';
    std::size_t written = 0;
    for (const auto& [key, mode] : memo) {
        if (written++ == kMaxMemoEntries) break;
        if (!isKernelName(key.name) || key.madeNs < 0) continue;
        text += key.name + ' ' + std::to_string(key.bus) + ' ' + std::to_string(key.address) + ' ' +
                std::to_string(key.identity) + ' ' + std::to_string(key.madeNs) + ' ';
        text += modeWord(mode);
        text += '\n';
    }
    return text;
}

PowerSwitchingMemo readPowerSwitchingMemo(const std::string& path) {
    // One byte more than a memo may have, to tell a file that is too long.
    std::string text(kMaxMemoFileBytes + 1, '\0');
    text.resize(platform::readFilePrefix(path.c_str(), text.data(), text.size()));
    return parsePowerSwitchingMemo(text).value_or(PowerSwitchingMemo{});
}

void writePowerSwitchingMemo(const std::string& path, const PowerSwitchingMemo& memo) {
    const std::string text = powerSwitchingMemoText(memo);
    platform::replaceFile(path.c_str(), text.data(), text.size());
}

}  // namespace vostrel::anyhub
