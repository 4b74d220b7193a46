// Fuzz target: any bytes as the settings file. Loading them, then every
// watch-list operation, a monitor pass and the event line of every entry
// must stay inside the 32 slots and the texts' arrays.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/locks.h"
#include <vostrel/hub_api.h>
#include "library_lifecycle.h"
#include "backends/bus_sources.h"
#include "recovery/event_log.h"
#include "recovery/monitor_pass.h"
#include "recovery/settings.h"

namespace vostrel::fuzz {
namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// Each input runs in a folder of the process's own, and the current folder
// comes back afterwards: libFuzzer reads its corpus by relative names.
class ScratchFolder {
public:
    ScratchFolder() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(folder()); }
    ~ScratchFolder() { std::filesystem::current_path(previous_); }

private:
    static const std::filesystem::path& folder() {
        static const std::filesystem::path made = [] {
            std::string name = (std::filesystem::temp_directory_path() / "vostrel-settings-fuzz-XXXXXX").string();
            check(::mkdtemp(name.data()) != nullptr);
            return std::filesystem::path(name);
        }();
        return made;
    }

    std::filesystem::path previous_;
};

void exerciseWatchList() {
    DeviceInfoRecord record{};
    int listed = 0;
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
        check(++listed <= kMaxWatchEntries);
    }
    for (int index = 0; index < 256; ++index) {
        if (Hub_GetAutoCheckDeviceInfoIndex(&record, static_cast<std::uint8_t>(index))) {
            check(index < kMaxWatchEntries);
            Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, record.hubIndex, record.portIndex);
        }
    }
    if (Hub_GetAutoCheckDeviceInfoIndex(&record, 0)) {
        check(Hub_DeleteAutoCheckDeviceInfo(&record) == 1);
        Hub_SetAutoCheckDeviceInfo(&record);
    }
}

void exerciseMonitor() {
    const auto area = std::make_unique<DeviceInfoBlock>();
    const platform::Signal stop;
    LockGuard pass(passLock);
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    runMonitorPass({interval, offTime}, *area, stop);
    LockGuard general(generalLock);
    check(settings().count <= kMaxWatchEntries);
    for (int i = 0; i < settings().count; ++i) {
        const std::string line = formatEventLine(settings().entries[i], NoDevice, {2026, 1, 2, 3, 4, 5});
        check(line.size() <= kMaxEventLineBytes && line.ends_with("\r\n"));
    }
}

}  // namespace
}  // namespace vostrel::fuzz

// libFuzzer writes the inputs that fail (crash-*, timeout-*) into the current
// folder, which while an input runs is the scratch folder. So the folder the
// fuzzer was started from is made explicit: the default artifact prefix, and
// the base of a relative one given on the command line.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    const std::string started = std::filesystem::current_path().string() + "/";
    bool prefixGiven = false;
    for (int i = 0; i < *argc; ++i) {
        std::string argument = (*argv)[i];
        for (const std::string_view flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
            if (i == 0 || !argument.starts_with(flag)) continue;
            prefixGiven = prefixGiven || flag == "-artifact_prefix=";
            if (argument.size() == flag.size() || argument[flag.size()] != '/') argument.insert(flag.size(), started);
        }
        arguments.push_back(std::move(argument));
    }
    if (!prefixGiven && !arguments.empty()) arguments.insert(arguments.begin() + 1, "-artifact_prefix=" + started);
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vostrel;
    const fuzz::ScratchFolder folder;
    static const auto noBus = backends::makeEmptyBusSource();
    backends::useBusSource(noBus.get());
    std::string written(reinterpret_cast<const char*>(data), size);
    // Starting the monitor thread at load adds nothing here but time.
    if (size > 2) written[2] = '\0';
    std::ofstream(kSettingsFileName, std::ios::binary | std::ios::trunc) << written;
    libraryLoad();
    fuzz::exerciseWatchList();
    fuzz::exerciseMonitor();
    libraryUnload();
    // Unload saves only a changed block, and a save writes the whole block.
    std::ifstream saved(kSettingsFileName, std::ios::binary);
    const std::string after{std::istreambuf_iterator<char>(saved), std::istreambuf_iterator<char>()};
    fuzz::check(after.size() == sizeof(AutoCheckSettings) || after == written);
    return 0;
}
