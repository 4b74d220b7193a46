#include <iostream>
#include <optional>

#include "commands.h"
#include "log_follower.h"
#include "output_format.h"
#include "platform/termination_signals.h"
#include "session.h"

namespace vostrel::cli {
namespace {

constexpr std::chrono::milliseconds kPoll{200};

void printLines(const std::vector<std::string>& lines, Output output) {
    for (const std::string& line : lines) {
        if (output == Output::Json) {
            printJson(logLineJson(line), std::cout);
        } else {
            std::cout << logLineText(line) << '\n';
        }
    }
    std::cout.flush();
}

}  // namespace

int logCommand(const std::string& stateFolder, Output output, bool follow) {
    std::optional<platform::TerminationSignals> signals;
    if (follow) signals.emplace();
    const std::string folder = checkedStateFolder(stateFolder, false);
    const std::string path = folder + "/" + kEventLogFile;
    try {
        LogFollower log(path, LogFollower::From::Start);
        printLines(log.newLines(), output);
        while (follow && !signals->wait(kPoll)) printLines(log.newLines(), output);
    } catch (const CommandError&) {
        throw;
    } catch (const std::runtime_error& error) {
        throw failure(error.what());
    }
    return 0;
}

}  // namespace vostrel::cli
