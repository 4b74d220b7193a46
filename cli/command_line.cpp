#include "command_line.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "location_watch_list.h"
#include "platform/folders.h"

namespace vostrel::cli {
namespace {

// The options that name a port by its device, shared by `port` and `watch`.
struct PortOptions {
    std::optional<std::string> hub;
    std::optional<std::string> serial;
    std::optional<std::string> device;
    std::optional<std::string> index;

    void addTo(CLI::App& command) {
        command.add_option("--hub", hub, "the hub by its serial number or location, as 'list' shows them; then "
                                         "give PORT alone")
            ->type_name("SERIAL|LOCATION");
        command.add_option("--serial", serial, "the port of the device with this serial number")
            ->type_name("TEXT");
        command.add_option("--device", device, "the port of the device with these vendor and product IDs (hex)")
            ->type_name("VID:PID");
        command.add_option("--index", index, "which one, from 0, when several devices fit --serial or --device")
            ->type_name("N");
    }

    PortName name(const std::vector<std::string>& words) const {
        return portNameFrom(words, hub, serial, device, index);
    }
};

// Words given of `candidates`, in order, up to the first missing one.
std::vector<std::string> given(std::initializer_list<const std::string*> candidates) {
    std::vector<std::string> words;
    for (const std::string* word : candidates) {
        if (word->empty()) break;
        words.push_back(*word);
    }
    return words;
}

PortAction portAction(const std::string& word) {
    if (word == "on") return PortAction::On;
    if (word == "off") return PortAction::Off;
    if (word == "cycle") return PortAction::Cycle;
    if (word == "toggle") return PortAction::Toggle;
    throw usageError("unknown port action " + word + ": expected on, off, cycle or toggle");
}

class CommandLine {
public:
    CommandLine() {
        app_.description("Switches the ports of the family's USB hubs and keeps watched devices working, through "
                         "the hub library libVostrel_4.so.");
        app_.require_subcommand(1);
        app_.set_version_flag("--version", "vostrel " VOSTREL_VERSION);
        app_.footer("Exit status: 0 done, 1 the operation failed, 2 a command line that does not say what to do.\n"
                    "Run 'vostrel COMMAND --help' for a command's arguments.");

        CLI::App& list = command(app_, "list", "List every hub of the family with its four ports");
        jsonFlag(list, "one JSON object: hubCount and hubs with their ports");
        list.final_callback([this] { run_ = [this] { return listCommand(stateFolder(), output_); }; });

        addHubs();
        addPort();
        addWatch();
        addTimes();
        addRecovery();

        CLI::App& log = command(app_, "log", "Print the event log, each event named");
        jsonFlag(log, "one JSON object per line");
        log.add_flag("--follow,-f", follow_, "keep printing new events until interrupted");
        log.final_callback([this] { run_ = [this] { return logCommand(stateFolder(), output_, follow_); }; });

        CLI::App& monitor = command(app_, "monitor",
                                    "Run auto recovery in the foreground until SIGTERM or SIGINT, printing each "
                                    "new event line");
        monitor.final_callback([this] { run_ = [this] { return monitorCommand(stateFolder()); }; });

        CLI::App& version = command(app_, "version",
                                    "Print the hub library and the vendor library this program loads, and the "
                                    "vendor library's own version text");
        version.final_callback([this] { run_ = [this] { return versionCommand(stateFolder()); }; });
    }

    int run(int argc, char** argv) {
        try {
            app_.parse(argc, argv);
        } catch (const CLI::Success& success) {  // --help, --version
            return app_.exit(success);
        } catch (const CLI::ParseError& error) {
            std::cerr << "vostrel: " << message(error) << "\nRun 'vostrel --help' for the commands." << std::endl;
            return kExitUsage;
        }
        return run_();
    }

private:
    CLI::App& command(CLI::App& parent, const char* name, const char* description) {
        CLI::App& sub = *parent.add_subcommand(name, description);
        sub.add_option("--state-dir", stateDirOption_,
                       "the folder of the settings file vostrel.dat and the event log vostrel.log (default: "
                       "$VOSTREL_STATE_DIR, else " +
                           platform::defaultStateFolderName() + ")")
            ->type_name("DIR");
        return sub;
    }

    // The option wins over the environment; checked here, as CLI11's own
    // fallback to the variable let it win over an option given.
    std::string stateFolder() const {
        if (stateDirOption_) return *stateDirOption_;
        const char* fromEnvironment = std::getenv("VOSTREL_STATE_DIR");
        return fromEnvironment != nullptr ? fromEnvironment : "";
    }

    void jsonFlag(CLI::App& command, const char* what) {
        command.add_flag_callback("--json", [this] { output_ = Output::Json; }, std::string("print ") + what);
    }

    void addHubs() {
        CLI::App& hubs = command(app_, "hubs",
                                 "List every hub on the bus, the family's and others, with how it switches its "
                                 "ports' power and what is on each port");
        jsonFlag(hubs, "one JSON object: hubCount and hubs with their ports");
        hubs.add_option("--location", hubFilterLocation_, "only the hub at this location, as 'hubs' shows it")
            ->type_name("LOCATION");
        hubs.add_option("--vid-pid", hubFilterId_, "only hubs with these vendor and product IDs (hex)")
            ->type_name("VID:PID");
        hubs.add_option("--serial", hubFilterSerial_, "only hubs with this serial number")->type_name("TEXT");
        hubs.final_callback([this] {
            HubFilter filter{hubFilterLocation_, std::nullopt, hubFilterSerial_};
            if (hubFilterId_) filter.id = parseDeviceId(*hubFilterId_, "--vid-pid");
            run_ = [this, filter] { return hubsCommand(filter, output_); };
        });
    }

    void addPort() {
        CLI::App& port = command(app_, "port",
                                 "Switch a port on or off, power-cycle it or toggle it: HUB PORT ACTION, ACTION "
                                 "with --serial or --device, or ACTION with --location and --port for any hub");
        port.add_option("HUB", words_[0], "the hub index, from 0, as 'list' shows it");
        port.add_option("PORT", words_[1], "the port, 1 to 4");
        port.add_option("ACTION", words_[2], "on, off, cycle (off, a pause, on) or toggle");
        portOptions_.addTo(port);
        port.add_option("--location", location_,
                        "any hub that switches each port's power, by its location as 'hubs' shows it; with --port")
            ->type_name("LOCATION");
        port.add_option("--port", locationPort_, "the port of the hub at --location, from 1")->type_name("N");
        port.add_option("--off-time", offTime_,
                        "cycle: seconds to keep the port off, fractions allowed (default: the stored off time + 1 "
                        "ticks of about a second)")
            ->type_name("SECONDS");
        port.final_callback([this] {
            std::vector<std::string> words = given({&words_[0], &words_[1], &words_[2]});
            if (words.empty()) throw usageError("port: give the action: on, off or cycle");
            const PortAction action = portAction(words.back());
            words.pop_back();
            std::optional<std::chrono::milliseconds> offTime;
            if (offTime_) {
                if (action != PortAction::Cycle) throw usageError("--off-time goes with cycle");
                offTime = parseOffTime(*offTime_);
            }
            if (location_ || locationPort_) {
                const anyhub::PortAddress address = locationAddress(words);
                run_ = [this, address, action, offTime] {
                    return locationPortCommand(stateFolder(), address, action, offTime);
                };
                return;
            }
            const PortName name = portOptions_.name(words);
            run_ = [this, name, action, offTime] { return portCommand(stateFolder(), name, action, offTime); };
        });
    }

    // --location LOC --port N, with nothing else naming the port.
    anyhub::PortAddress locationAddress(const std::vector<std::string>& words) const {
        if (!location_ || !locationPort_) throw usageError("--location and --port go together");
        if (!words.empty() || portOptions_.hub || portOptions_.serial || portOptions_.device || portOptions_.index) {
            throw usageError("--location and --port name the port alone: give only the action");
        }
        return locationPortFrom(*location_, *locationPort_);
    }

    void addWatch() {
        CLI::App& watch = *app_.add_subcommand("watch", "Add a device to the watch list, remove one, list them");
        watch.require_subcommand(1);
        for (const bool adding : {true, false}) {
            CLI::App& change =
                command(watch, adding ? "add" : "remove",
                        adding ? "Watch the device on a port: HUB PORT, --serial or --device (on any hub when no "
                                 "family hub shows it); on any hub, --location and --port"
                               : "Stop watching a port: HUB PORT, --serial (on the bus) or --device (on the list), "
                                 "on any hub when the family's do not show it; on any hub, --location and --port");
            change.add_option("HUB", words_[0], "the hub index, from 0");
            change.add_option("PORT", words_[1], "the port, 1 to 4");
            portOptions_.addTo(change);
            change.add_option("--location", location_,
                              "a device on any hub: the hub by its location, as 'hubs' shows it; with --port")
                ->type_name("LOCATION");
            change.add_option("--port", locationPort_, "with --location: the port, from 1")->type_name("N");
            change.final_callback([this, adding] {
                if (location_ || locationPort_) {
                    if (!location_ || !locationPort_) throw usageError("--location and --port go together");
                    if (!words_[0].empty() || portOptions_.hub || portOptions_.serial || portOptions_.device ||
                        portOptions_.index) {
                        throw usageError("--location names the port alone: give no HUB PORT, --hub, --serial, "
                                         "--device or --index with it");
                    }
                    const anyhub::PortAddress port = locationPortFrom(*location_, *locationPort_);
                    run_ = [this, port, adding] {
                        return adding ? watchAddByLocationCommand(stateFolder(), port)
                                      : watchRemoveByLocationCommand(stateFolder(), port);
                    };
                    return;
                }
                const PortName name = portOptions_.name(given({&words_[0], &words_[1]}));
                run_ = [this, name, adding] {
                    return adding ? watchAddCommand(stateFolder(), name) : watchRemoveCommand(stateFolder(), name);
                };
            });
        }
        CLI::App& list = command(watch, "list", "List the watched devices");
        jsonFlag(list, "one JSON object: devices");
        list.final_callback([this] { run_ = [this] { return watchListCommand(stateFolder(), output_); }; });
    }

    void addTimes() {
        CLI::App& times = command(app_, "times",
                                  "Show the interval and the off time of auto recovery, or store new ones (in ticks "
                                  "of about a second)");
        times.add_option("INTERVAL", words_[0], "check each watched device every INTERVAL ticks, 1 to 255");
        times.add_option("OFFTIME", words_[1], "keep a failed port off for OFFTIME + 1 ticks, 1 to 255");
        jsonFlag(times, "one JSON object: interval and offTime");
        times.final_callback([this] {
            const std::vector<std::string> words = given({&words_[0], &words_[1]});
            std::optional<std::pair<std::uint8_t, std::uint8_t>> values;
            if (words.size() == 1) throw usageError("times: give both INTERVAL and OFFTIME, or neither");
            if (words.size() == 2) values.emplace(parseTicks("interval", words[0]), parseTicks("off time", words[1]));
            run_ = [this, values] { return timesCommand(stateFolder(), values, output_); };
        });
    }

    void addRecovery() {
        CLI::App& recovery = *app_.add_subcommand(
            "recovery", "Switch the stored auto-recovery flag on or off, or show it (a program that loads the hub "
                        "library in the state folder runs auto recovery while it is on)");
        recovery.require_subcommand(1);
        const std::pair<const char*, RecoveryAction> kActions[] = {
            {"on", RecoveryAction::On}, {"off", RecoveryAction::Off}, {"status", RecoveryAction::Status}};
        for (const auto& [name, action] : kActions) {
            CLI::App& sub = command(recovery, name, name == std::string("status") ? "Print on or off"
                                                                                   : "Store the flag");
            sub.final_callback([this, action = action] {
                run_ = [this, action] { return recoveryCommand(stateFolder(), action); };
            });
        }
    }

    // CLI11's message, in the program's words where it has a better one:
    // a command that needs a further command word and has none, or an
    // unknown one.
    std::string message(const CLI::ParseError& error) const {
        const CLI::App* command = &app_;
        std::string path;
        while (!command->get_subcommands().empty()) {
            command = command->get_subcommands().front();
            path += command->get_name() + " ";
        }
        if (command->get_require_subcommand_min() == 0 || !command->get_subcommands().empty()) return error.what();
        std::vector<std::string> names;
        for (const CLI::App* sub : command->get_subcommands([](const CLI::App*) { return true; })) {
            names.push_back(sub->get_name());
        }
        std::string choices;
        for (std::size_t i = 0; i < names.size(); ++i) {
            choices += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
        }
        std::vector<std::string> extras = command->remaining();
        if (extras.empty()) extras = app_.remaining();
        if (path.empty()) {
            if (!extras.empty()) return "unknown command " + extras.front() + ": the commands are " + choices;
            return "give a command: " + choices;
        }
        path.pop_back();
        if (!extras.empty()) return "unknown command " + path + " " + extras.front() + ": " + path + " takes " + choices;
        return path + " needs one of " + choices;
    }

    CLI::App app_{"", "vostrel"};
    std::optional<std::string> stateDirOption_;
    Output output_ = Output::Text;
    bool follow_ = false;
    std::string words_[3];
    PortOptions portOptions_;
    std::optional<std::string> offTime_;
    std::optional<std::string> location_;
    std::optional<std::string> locationPort_;
    std::optional<std::string> hubFilterLocation_;
    std::optional<std::string> hubFilterId_;
    std::optional<std::string> hubFilterSerial_;
    std::function<int()> run_;
};

}  // namespace

int runCommandLine(int argc, char** argv) {
    return reportingFailures([&] {
        CommandLine commandLine;
        return commandLine.run(argc, argv);
    });
}

}  // namespace vostrel::cli
