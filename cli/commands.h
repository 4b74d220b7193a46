// The commands of the program, each run once the command line is read.
// Each returns the exit status, prints its results on standard output and
// throws a CommandError for a command that cannot be carried out.
// `stateFolder` holds the settings file and the event log ("" for the
// current folder).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "hub_ports.h"
#include "port_choice.h"

namespace vostrel::cli {

enum class Output { Text, Json };

int listCommand(const std::string& stateFolder, Output output);

// Every hub on the bus, family or not, with its ports; those that fit
// every filter given.
struct HubFilter {
    std::optional<std::string> location;  // the hub's, or one of its halves'
    std::optional<DeviceId> id;
    std::optional<std::string> serial;
};
int hubsCommand(const HubFilter& filter, Output output);

enum class PortAction { On, Off, Cycle, Toggle };
// `offTime` for a cycle; by default the stored off time plus one tick. A
// device named by --serial or --device that is on no hub of the family is
// looked for on every other hub.
int portCommand(const std::string& stateFolder, const PortName& name, PortAction action,
                std::optional<std::chrono::milliseconds> offTime);
// The same for a port of any hub, named by the hub's location.
int locationPortCommand(const std::string& stateFolder, const anyhub::PortAddress& port, PortAction action,
                        std::optional<std::chrono::milliseconds> offTime);

int watchAddCommand(const std::string& stateFolder, const PortName& name);
int watchRemoveCommand(const std::string& stateFolder, const PortName& name);
int watchListCommand(const std::string& stateFolder, Output output);
// The same for a device on any hub, kept by its hub's location in the watch
// file beside the settings file.
int watchAddByLocationCommand(const std::string& stateFolder, const anyhub::PortAddress& port);
int watchRemoveByLocationCommand(const std::string& stateFolder, const anyhub::PortAddress& port);

// Shows the two times, or stores new ones (interval, off time).
int timesCommand(const std::string& stateFolder, std::optional<std::pair<std::uint8_t, std::uint8_t>> times,
                 Output output);

enum class RecoveryAction { On, Off, Status };
int recoveryCommand(const std::string& stateFolder, RecoveryAction action);

int logCommand(const std::string& stateFolder, Output output, bool follow);

// Runs auto recovery until SIGTERM or SIGINT.
int monitorCommand(const std::string& stateFolder);

// Which hub library and which vendor library this program loads, and what
// the vendor library says it is.
int versionCommand(const std::string& stateFolder);

}  // namespace vostrel::cli
