#include "recovery/settings.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace vostrel {
namespace {

AutoCheckSettings g_settings GUARDED_BY(generalLock){};
// The block as the last load or successful save left it: what the file
// holds, but for the defaults a load puts in place of stored zeros.
AutoCheckSettings g_unchanged GUARDED_BY(generalLock){};

}  // namespace

void AutoCheckEntry::setRecoveryCountdown(unsigned ticks) {
    countdown = static_cast<std::uint8_t>(std::min(ticks, 255u));
    countdownExtraTick = ticks > 255 ? 1 : 0;
}

AutoCheckSettings& settings() { return g_settings; }

void loadSettings() {
    std::memset(&g_settings, 0, sizeof g_settings);
    platform::readFilePrefix(kSettingsFileName, &g_settings, sizeof g_settings);
    // The file is not trusted: no count may lead past the last slot.
    g_settings.count = static_cast<std::uint8_t>(std::min<int>(g_settings.count, kMaxWatchEntries));
    if (g_settings.interval == 0) g_settings.interval = kDefaultInterval;
    if (g_settings.offTime == 0) g_settings.offTime = kDefaultOffTime;
    g_unchanged = g_settings;
}

void saveSettings() {
    if (platform::replaceFile(kSettingsFileName, &g_settings, sizeof g_settings)) g_unchanged = g_settings;
}

void saveSettingsIfChanged() {
    if (std::memcmp(&g_settings, &g_unchanged, sizeof g_settings) != 0) saveSettings();
}

}  // namespace vostrel
