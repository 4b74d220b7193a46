// vostrel-sim: looks at and changes a simulated bench, and shows the hub
// library recovering a wedged device on one.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/bench_tree.h"
#include "cli/demo.h"
#include "cli/names.h"
#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "core/description_error.h"
#include "core/live_bench.h"
#include "core/umockdev_bed.h"

namespace vostrel::sim {

namespace {

constexpr const char* kUsage = R"(usage: vostrel-sim [--bench FILE] COMMAND [ARGUMENTS]

The bench is the description file FILE, else the file that VOSTREL_SIM_BENCH
names. Changes are written into that file, where every program using the
bench sees them at once.

commands:
  show                   the bench as a tree: hubs, port power, devices, states
  plug DEVICE            plug a device in again; it works
  unplug DEVICE          pull a device out
  wedge DEVICE           wedge a device: it stays unconfigured (or fails, as its
                         "wedgedAs" says) until its port is powered off and on
  heal DEVICE            make a device work again
  fail DEVICE STATUS     make a device fail with connection status 2 to 5:
                         2 DeviceFailedEnumeration, 3 DeviceGeneralFailure,
                         4 DeviceCausedOvercurrent, 5 DeviceNotEnoughPower
  unconfigure DEVICE     leave a device attached but not configured
  power HUB PORT on|off  switch a port (1 to 4) of a hub of the family
  umockdev-bed [--no-port-states] [--no-port-switches]
                         print the bench as a umockdev test bed: what the
                         Linux kernel would show of it under /sys (with
                         umockdev-run --device, the hub library's own Linux
                         stack scans it); --no-port-states: as a kernel
                         before 6.5, without the ports' state attribute;
                         --no-port-switches: as a kernel before 6.0, without
                         the ports' disable attribute
  demo [--device DEVICE] [--timeout SECONDS]
                         the hub library watches a device, the device wedges,
                         and the monitor power-cycles its port until it works
                         again; runs on a copy of the bench (or of a built-in
                         one) in a temporary folder

DEVICE: an id, HUB:PORT such as 0:2, or a location such as 0-1.2.
HUB: a hub index (as the hub library numbers hubs), an id, a location or a
serial number.
)";

// A command line that does not say what to do.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::uint32_t failStatusNamed(std::string_view text) {
    for (std::uint32_t status = 2; status <= 5; ++status) {
        if (text == std::to_string(status) || text == statusName(status)) return status;
    }
    throw UsageError("unknown status " + std::string(text) +
                     ": expected 2 to 5 or one of DeviceFailedEnumeration, DeviceGeneralFailure, "
                     "DeviceCausedOvercurrent, DeviceNotEnoughPower");
}

class CommandLine {
public:
    CommandLine(int argc, char** argv) : args_(argv + 1, argv + argc) {}

    int run() {
        while (!args_.empty() && args_.front().starts_with("-")) {
            const std::string option = take("an option");
            if (option == "--help" || option == "-h") {
                std::fputs(kUsage, stdout);
                return 0;
            }
            if (option == "--bench") {
                benchPath_ = take("the bench file after --bench");
            } else if (option.starts_with("--bench=")) {
                benchPath_ = option.substr(8);
            } else {
                throw UsageError("unknown option " + option);
            }
        }
        const std::string command = take("a command");
        if (command == "demo") return demo();
        if (command == "show") return show();
        if (command == "plug") return changeDevice(State::Present);
        if (command == "unplug") return changeDevice(State::Unplugged);
        if (command == "wedge") return changeDevice(State::Wedged);
        if (command == "heal") return changeDevice(State::Present);
        if (command == "unconfigure") return changeDevice(State::Unconfigured);
        if (command == "fail") return changeDevice(State::Failed);
        if (command == "power") return power();
        if (command == "umockdev-bed") return bed();
        throw UsageError("unknown command " + command);
    }

private:
    std::string take(const char* what) {
        if (args_.empty()) throw UsageError(std::string("missing ") + what);
        std::string arg = args_.front();
        args_.erase(args_.begin());
        return arg;
    }

    void finished() const {
        if (!args_.empty()) throw UsageError("unexpected argument " + args_.front());
    }

    BenchFile benchFile() const {
        if (benchPath_) return BenchFile(*benchPath_);
        const char* named = std::getenv(kBenchVariable);
        if (named == nullptr || *named == '\0') {
            throw UsageError(std::string("no bench: give --bench FILE or set ") + kBenchVariable);
        }
        return BenchFile(named);
    }

    int show() {
        finished();
        BenchFile file = benchFile();
        const BusView view(file.current(), wallClockMs());
        std::printf("bench %s\n%s", file.path().c_str(), benchTree(view).c_str());
        return 0;
    }

    int bed() {
        BedOptions options;
        for (bool more = true; more && !args_.empty();) {
            more = false;
            if (args_.front() == "--no-port-states") {
                take("--no-port-states");
                options.portStates = false;
                more = true;
            } else if (args_.front() == "--no-port-switches") {
                take("--no-port-switches");
                options.portSwitches = false;
                more = true;
            }
        }
        finished();
        BenchFile file = benchFile();
        const BusView view(file.current(), wallClockMs());
        std::fputs(umockdevBed(view, options).c_str(), stdout);
        return 0;
    }

    int changeDevice(State state) {
        const std::string name = take("a device");
        const std::optional<std::uint32_t> status =
            state == State::Failed ? std::optional(failStatusNamed(take("a status (2 to 5)"))) : std::nullopt;
        finished();
        BenchFile file = benchFile();
        std::string pointer;
        const auto bench = file.update([&](Document& document, const BusView& view) {
            const Device& device = deviceNamed(view, name);
            pointer = device.pointer;
            setState(document, device, state, view.now());
            if (status) setFailStatus(document, device, *status);
        });
        report(BusView(bench, wallClockMs()), pointer);
        return 0;
    }

    int power() {
        const std::string hubName = take("a hub");
        const std::string portText = take("a port (1 to 4)");
        const std::string onOff = take("on or off");
        finished();
        if (portText.size() != 1 || portText[0] < '1' || portText[0] > '4') {
            throw UsageError("no port " + portText + ": ports are 1 to 4");
        }
        if (onOff != "on" && onOff != "off") throw UsageError("expected on or off, found " + onOff);
        const int port = portText[0] - '0';
        BenchFile file = benchFile();
        std::string pointer;
        const auto bench = file.update([&](Document& document, const BusView& view) {
            const Device& hub = familyHubNamed(view, hubName);
            pointer = hub.pointer;
            setPortPower(document, hub, port, onOff == "on", view.now());
        });
        const BusView view(bench, wallClockMs());
        const Device& hub = *findDevice(view.bench(), pointer);
        const int index = view.hubIndexOf(hub);
        std::printf("%s port %d: power %s\n",
                    index >= 0 ? ("hub " + std::to_string(index)).c_str() : hub.location.c_str(), port,
                    onOff.c_str());
        for (const Device& device : hub.devices) {
            if (device.port == port) report(view, device.pointer);
        }
        return 0;
    }

    int demo() {
        DemoOptions options;
        options.bench = benchPath_;
        while (!args_.empty()) {
            const std::string option = take("an option");
            if (option == "--device") {
                options.device = take("a device after --device");
            } else if (option == "--timeout") {
                const std::string value = take("seconds after --timeout");
                char* end = nullptr;
                options.timeoutSeconds = std::strtod(value.c_str(), &end);
                if (end == value.c_str() || *end != '\0' || !(options.timeoutSeconds > 0)) {
                    throw UsageError("expected seconds above 0 after --timeout, found " + value);
                }
            } else {
                throw UsageError("unknown demo option " + option);
            }
        }
        return runDemo(options);
    }

    static void report(const BusView& view, const std::string& pointer) {
        const Device& device = *findDevice(view.bench(), pointer);
        std::printf("%s (%s): %s\n", device.label().c_str(), placeOf(view, device).c_str(),
                    stateText(view, device).c_str());
    }

    std::vector<std::string> args_;
    std::optional<std::string> benchPath_;
};

}  // namespace

}  // namespace vostrel::sim

int main(int argc, char** argv) {
    using namespace vostrel::sim;
    try {
        return CommandLine(argc, argv).run();
    } catch (const UsageError& error) {
        std::fprintf(stderr, "vostrel-sim: %s\n(vostrel-sim --help shows the commands)\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vostrel-sim: %s\n", error.what());
        return 1;
    }
}
