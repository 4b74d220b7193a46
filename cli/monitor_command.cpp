#include <iostream>

#include "commands.h"
#include "log_follower.h"
#include "output_format.h"
#include "platform/readiness.h"
#include "platform/termination_signals.h"
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
    const std::string status = "watching " + std::to_string(readWatchList(hub).size()) + " devices in " +
                               session.stateFolder() + ", interval " + std::to_string(interval) +
                               ", off time " + std::to_string(offTime);
    std::cerr << "vostrel: monitor running: " << status << std::endl;
    platform::notifyReady(status);

    while (!signals.wait(kPoll)) printEvents(log);
    platform::notifyStopping();
    printEvents(log);
    // The stored flag is left as the monitor found it. Off: stopped here,
    // which clears it again. On: stopped by the library's unload when the
    // program exits, which keeps it.
    std::cerr << "vostrel: stopping the monitor" << std::endl;
    if (!session.recoveryStoredAtLoad()) hub.stopRecovery();
    return 0;
}

}  // namespace vostrel::cli
