// The stored times and the stored auto-recovery flag.
#include <iostream>

#include "command_error.h"
#include "commands.h"
#include "output_format.h"
#include "platform/child_process.h"
#include "session.h"

namespace vostrel::cli {

int timesCommand(const std::string& stateFolder, std::optional<std::pair<std::uint8_t, std::uint8_t>> times,
                 Output output) {
    if (times) {
        // The library saves new times only when it is unloaded, at the end
        // of the program: a process of its own sets them and ends, and then
        // this one checks that the settings file took them.
        const std::string folder = checkedStateFolder(stateFolder, true);
        const int status = platform::runInChildProcess([&] {
            return reportingFailures([&] {
                const Session session(folder, StateUse::Change);
                session.hub().setTimes(times->first, times->second);
                return 0;
            });
        });
        if (status != 0) return status;
        expectStoredTimes(folder, times->first, times->second);
        std::cout << "interval " << int(times->first) << ", off time " << int(times->second)
                  << " (ticks of about a second)" << std::endl;
        return 0;
    }
    const Session session(stateFolder, StateUse::Read);
    std::uint8_t interval = 0, offTime = 0;
    session.hub().getTimes(&interval, &offTime);
    if (output == Output::Json) {
        printJson({{"interval", interval}, {"offTime", offTime}}, std::cout);
    } else {
        std::cout << "interval " << int(interval) << ": a watched device is checked every " << int(interval)
                  << (interval == 1 ? " tick\n" : " ticks\n")
                  << "off time " << int(offTime) << ": a failed port is kept off for " << offTime + 1
                  << " ticks\n(a tick is about a second)" << std::endl;
    }
    return 0;
}

int recoveryCommand(const std::string& stateFolder, RecoveryAction action) {
    if (action == RecoveryAction::Status) {
        const Session session(stateFolder, StateUse::Read);
        std::cout << (session.recoveryStoredAtLoad() ? "on" : "off") << std::endl;
        return 0;
    }
    const Session session(stateFolder, StateUse::Change);
    const HubLibrary& hub = session.hub();
    // With the flag stored, the library started its monitor when it loaded;
    // that monitor is what stopping clears the flag through. Starting sets
    // the flag; the monitor it starts in this short-lived program ends when
    // the program does, and the flag stays.
    const bool change = (action == RecoveryAction::On) != session.recoveryStoredAtLoad();
    if (change && action == RecoveryAction::On && hub.startRecovery() == 0) {
        throw failure("the hub library's monitor did not start");
    }
    if (change && action == RecoveryAction::Off) hub.stopRecovery();
    const bool on = hub.recoveryStored() != 0;
    if (on != (action == RecoveryAction::On)) throw failure("the hub library did not store the change");
    if (change) session.storeChange();
    std::cout << "auto recovery: " << (on ? "on" : "off") << std::endl;
    return 0;
}

}  // namespace vostrel::cli
