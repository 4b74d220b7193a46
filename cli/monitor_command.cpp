#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "commands.h"
#include "location_recovery.h"
#include "location_watch_file.h"
#include "log_follower.h"
#include "output_format.h"
#include "platform/readiness.h"
#include "platform/termination_signals.h"
#include "recovery/recovery_rule.h"
#include <vostrel/vendor_library_name.h>
#include "session.h"
#include "watch_list.h"

namespace vostrel::cli {
namespace {

constexpr std::chrono::milliseconds kPoll{200};

void printEvents(LogFollower& log) {
    for (const std::string& line : log.newLines()) std::cout << logLineText(line) << '\n';
    std::cout.flush();
}

}  // namespace

int monitorCommand(const std::string& stateFolder) {
    // Taken before the library loads, so that its monitor thread is never
    // cut off by them either.
    platform::TerminationSignals signals;
    const Session session(stateFolder, StateUse::Change);
    const HubLibrary& hub = session.hub();
    std::vector<LocationEntry> locationEntries;
    try {
        locationEntries = readLocationWatchFile(session.stateFolder() + "/" + kLocationWatchFile);
    } catch (const WatchFileError& error) {
        throw failure(error.what());
    }
    const std::unique_ptr<anyhub::HubPorts> hubPorts = anyhub::makeHostHubPorts();
    if (!hubPorts && !locationEntries.empty()) {
        std::cerr << "vostrel: the " << locationEntries.size()
                  << " devices watched by location are not recovered: this build of vostrel cannot reach hubs by "
                     "their location"
                  << std::endl;
    }

    if (hub.initVendorLibrary() == 0) {
        std::cerr << "vostrel: the vendor library " << vostrel::platform::kVendorLibraryName
                  << " could not be loaded (Hub_InitPt2lib returned 0): events are logged, but no port can be "
                     "switched"
                  << std::endl;
    }
    // With the flag stored, the library started its own monitor at load,
    // five seconds late; this one starts checking at once instead.
    if (session.recoveryStoredAtLoad()) hub.stopRecovery();
    LogFollower log(session.stateFolder() + "/" + kEventLogFile, LogFollower::From::End);
    if (hub.startRecovery() == 0) throw failure("the hub library's monitor did not start");

    std::uint8_t interval = 0, offTime = 0;
    hub.getTimes(&interval, &offTime);
    const std::size_t byLocation = locationEntries.size();
    const std::string status = "watching " + std::to_string(readWatchList(hub).size() + byLocation) + " devices" +
                               (byLocation != 0 ? " (" + std::to_string(byLocation) + " by location)" : "") +
                               " in " + session.stateFolder() + ", interval " + std::to_string(interval) +
                               ", off time " + std::to_string(offTime);
    std::optional<LocationRecovery> recovery;
    if (hubPorts && byLocation != 0) {
        recovery.emplace(locationEntries, *hubPorts, interval, offTime, session.stateFolder() + "/" + kEventLogFile,
                         [](const std::string& problem) { std::cerr << "vostrel: " << problem << std::endl; });
    }
    std::cerr << "vostrel: monitor running: " << status << std::endl;
    platform::notifyReady(status);

    // The devices watched by location are recovered here, between two
    // looks at the log, one tick at a time as the library's monitor counts.
    auto nextTick = std::chrono::steady_clock::now() + kTickSleep;
    while (!signals.wait(kPoll)) {
        if (recovery && std::chrono::steady_clock::now() >= nextTick) {
            recovery->tick();
            nextTick = std::chrono::steady_clock::now() + kTickSleep;
        }
        printEvents(log);
    }
    platform::notifyStopping();
    if (recovery) recovery->stop();
    printEvents(log);
    // The stored flag is left as the monitor found it. Off: stopped here,
    // which clears it again. On: stopped by the library's unload when the
    // program exits, which keeps it.
    std::cerr << "vostrel: stopping the monitor" << std::endl;
    if (!session.recoveryStoredAtLoad()) hub.stopRecovery();
    return 0;
}

}  // namespace vostrel::cli
