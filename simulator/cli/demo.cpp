#include "cli/demo.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cli/bench_tree.h"
#include "cli/demo_host.h"
#include "cli/names.h"
#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "core/description_error.h"
#include "core/live_bench.h"
#include "frame/text.h"
#include "usbbus/utf.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"

namespace vostrel::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Short times, so that a recovery takes a few seconds: every tick checks the
// device, and a failed port stays off for one tick.
constexpr std::uint8_t kInterval = 1;
constexpr std::uint8_t kOffTime = 1;
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr const char* kLogFile = "vostrel.log";
constexpr const char* kBenchFile = "bench.json";

// The hub library's exports that the demo calls.
class HubLibrary {
public:
    explicit HubLibrary(const std::string& path)
        : library_(path),
          getDeviceInfo(library_.function<decltype(Hub_GetDeviceInfo)>("Hub_GetDeviceInfo")),
          getPortInfo(library_.function<decltype(Hub_GetDeviceInfo_Index_and_Port)>("Hub_GetDeviceInfo_Index_and_Port")),
          setTimes(library_.function<decltype(Hub_SetAutoCheckTimeInfo)>("Hub_SetAutoCheckTimeInfo")),
          watch(library_.function<decltype(Hub_SetAutoCheckDeviceInfo)>("Hub_SetAutoCheckDeviceInfo")),
          start(library_.function<decltype(Hub_StartAutoRecovery)>("Hub_StartAutoRecovery")),
          stop(library_.function<decltype(Hub_StopAutoRecovery)>("Hub_StopAutoRecovery")) {}

private:
    host::Library library_;

public:
    decltype(&Hub_GetDeviceInfo) getDeviceInfo;
    decltype(&Hub_GetDeviceInfo_Index_and_Port) getPortInfo;
    decltype(&Hub_SetAutoCheckTimeInfo) setTimes;
    decltype(&Hub_SetAutoCheckDeviceInfo) watch;
    decltype(&Hub_StartAutoRecovery) start;
    decltype(&Hub_StopAutoRecovery) stop;
};

std::string text(const char16_t (&field)[kTextUnits]) {
    return usbbus::utf16ToUtf8(std::u16string_view(field, textLength(field)));
}

// The device the demo watches: a device on a port of a hub of the family.
struct Target {
    std::string pointer;
    std::string hubPointer;
    int hub = -1;
    int port = 0;
};

Target targetFor(const BusView& view, const Device& device) {
    const Device* hub = parentOf(view.bench(), device);
    if (hub == nullptr || hub->kind != Kind::FamilyHub) {
        throw std::runtime_error(device.label() + " does not hang on a port of a hub of the family");
    }
    const PortView* seen = view.portOf(device);
    if (view.hubIndexOf(*hub) < 0 || seen == nullptr || !isWorking(*seen)) {
        throw std::runtime_error(device.label() + " does not work now (" + stateText(view, device) +
                                 "): the demo watches a working device");
    }
    return {device.pointer, hub->pointer, view.hubIndexOf(*hub), device.port};
}

Target chooseTarget(const BusView& view, const std::optional<std::string>& name) {
    if (name) return targetFor(view, deviceNamed(view, *name));
    for (const Device* hub : view.familyHubs()) {
        for (const Device& device : hub->devices) {
            const PortView* seen = view.portOf(device);
            if (seen != nullptr && isWorking(*seen)) return targetFor(view, device);
        }
    }
    throw std::runtime_error("no working device hangs on a hub of the family on this bench");
}

// What the demo loads, by path.
struct Libraries {
    std::string hub, vendor, usbStack;
};

// In the build tree the hub library lies beside vostrel-sim and the
// simulator's libraries in its folder "simulator" (on Windows beside it as
// well); installed, vostrel-sim lies with the simulator's libraries in their
// folder, two folders below the library folder that holds the hub library.
Libraries findLibraries() {
    const std::filesystem::path program = host::programFolder();
    const auto find = [](const char* name, std::initializer_list<std::filesystem::path> folders) {
        for (const std::filesystem::path& folder : folders) {
            if (std::filesystem::exists(folder / name)) return (folder / name).string();
        }
        throw std::runtime_error(std::string(name) + " is missing beside vostrel-sim: build the project");
    };
    return {find(host::kHubLibraryFile, {program, program.parent_path().parent_path()}),
            find(host::kVendorLibraryFile, {program / "simulator", program}),
            find(host::kUsbStackFile, {program / "simulator", program})};
}

// New complete lines of the event log since the last call.
class LogFollower {
public:
    std::vector<std::string> newLines() {
        std::vector<std::string> lines;
        std::ifstream log(kLogFile, std::ios::binary);
        if (!log) return lines;
        log.seekg(static_cast<std::streamoff>(offset_));
        std::string chunk((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        offset_ += chunk.size();
        pending_ += chunk;
        for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
            std::string line = pending_.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            pending_.erase(0, end + 1);
        }
        return lines;
    }

private:
    std::size_t offset_ = 0;
    std::string pending_;
};

class Demo {
public:
    explicit Demo(const DemoOptions& options) : options_(options) {}

    int run() {
        const auto [text, origin] = sourceBench();
        buildBench(parseDocument(text, origin), origin);  // says where a bad description is wrong
        const Libraries libraries = findLibraries();

        host::WorkFolder work;
        std::ofstream(kBenchFile, std::ios::binary) << text;
        host::setVariable(kBenchVariable, work.path() + "/" + kBenchFile);
        host::setVariable("VOSTREL_USBSTACK", libraries.usbStack);
        std::printf("A simulated bench (%s) in %s\n", origin.c_str(), work.path().c_str());

        BenchFile bench(work.path() + "/" + kBenchFile);
        const BusView view(bench.current(), wallClockMs());
        const Target target = chooseTarget(view, options_.device);
        const Device& device = *findDevice(view.bench(), target.pointer);
        label_ = device.label();
        place_ = "hub " + std::to_string(target.hub) + " port " + std::to_string(target.port);

        // Loaded first, the stand-in is the vendor library the hub library
        // binds, whatever its search would find (LD_LIBRARY_PATH or PATH come
        // first, and a sanitizer's dlopen does not search the hub library's
        // folder).
        const host::Library standIn(libraries.vendor);
        HubLibrary hub(libraries.hub);
        int result = watchAndWedge(hub, bench, target, device);
        hub.stop();
        return result;
    }

private:
    std::pair<std::string, std::string> sourceBench() const {
        std::string path;
        if (options_.bench) path = *options_.bench;
        else if (const char* named = std::getenv(kBenchVariable); named != nullptr && *named != '\0') path = named;
        if (path.empty()) return {kBuiltInBench, "a copy of the built-in bench"};
        try {
            return {fs::readFile(path).bytes, "a copy of " + path};
        } catch (const std::runtime_error& error) {
            throw DescriptionError(error.what());
        }
    }

    void say(const std::string& text) const {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        std::printf("[%5.1f s] %s\n", seconds, text.c_str());
        std::fflush(stdout);
    }

    // The library's own scan of the device's port.
    bool libraryShowsWorking(const HubLibrary& hub, const Target& target, const Device& device, bool configured) {
        hub.getDeviceInfo(block_.get());
        const PortInfoRecord& seen = portRecord(*block_, target.hub, target.port - 1);
        return block_->hubCount > target.hub && seen.connectionStatus == DeviceConnected &&
               seen.vendorId == device.vendorId && seen.productId == device.productId &&
               (!configured || seen.configurationValue != 0);
    }

    int watchAndWedge(const HubLibrary& hub, BenchFile& bench, const Target& target, const Device& device) {
        if (!libraryShowsWorking(hub, target, device, true)) {
            std::fprintf(stderr, "vostrel-sim: the hub library's scan does not show %s at %s\n", label_.c_str(),
                         place_.c_str());
            return 1;
        }
        std::printf("The hub library finds %d %s of the family.\n", block_->hubCount,
                    block_->hubCount == 1 ? "hub" : "hubs");
        DeviceInfoRecord record{};
        hub.getPortInfo(&record, target.hub, target.port - 1);
        hub.watch(&record);
        hub.setTimes(kInterval, kOffTime);
        std::printf("Watching %s at %s: 0x%04X:0x%04X \"%s\" \"%s\"\n", label_.c_str(), place_.c_str(),
                    record.vendorId, record.productId, text(record.manufacturer).c_str(), text(record.product).c_str());
        if (hub.start() == 0) {
            std::fprintf(stderr, "vostrel-sim: the hub library's monitor did not start\n");
            return 1;
        }
        std::printf("Auto recovery enabled: the monitor checks the device every tick (about a second).\n");
        std::fflush(stdout);
        start_ = Clock::now();

        const auto wedged = bench.update([&](Document& document, const BusView& view) {
            setState(document, *findDevice(view.bench(), target.pointer), State::Wedged, view.now());
        });
        say(label_ + ": " + stateText(BusView(wedged, wallClockMs()), *findDevice(*wedged, target.pointer)));
        return follow(hub, bench, target, device);
    }

    int follow(const HubLibrary& hub, BenchFile& bench, const Target& target, const Device& device) {
        LogFollower log;
        bool logged = false;
        bool switchedOff = false;
        bool switchedOn = false;
        bool powered = true;
        State state = State::Wedged;
        const auto deadline = start_ + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(options_.timeoutSeconds));
        while (Clock::now() < deadline) {
            for (const std::string& line : log.newLines()) {
                say(std::string(kLogFile) + ": " + line);
                logged = true;
            }
            const BusView view(bench.current(), wallClockMs());
            const bool on = findDevice(view.bench(), target.hubPointer)->portPower[target.port - 1];
            if (on != powered) {
                say(place_ + ": power " + (on ? "on" : "off"));
                switchedOff = switchedOff || !on;
                switchedOn = switchedOff && on;
                powered = on;
            }
            const Device& now = *findDevice(view.bench(), target.pointer);
            if (now.stateAt(view.now()) != state) {
                state = now.stateAt(view.now());
                say(label_ + ": " + stateText(view, now));
            }
            if (logged && switchedOn && powered && state == State::Present &&
                libraryShowsWorking(hub, target, device, true)) {
                say("the hub library's scan shows " + label_ + " connected and configured again");
                const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
                std::printf("Recovered in %.1f s.\n", seconds);
                return 0;
            }
            std::this_thread::sleep_for(kPoll);
        }
        std::fprintf(stderr, "vostrel-sim: %s did not recover within %.0f s\n", label_.c_str(), options_.timeoutSeconds);
        return 1;
    }

    const DemoOptions& options_;
    std::string label_;
    std::string place_;
    Clock::time_point start_ = Clock::now();
    std::unique_ptr<DeviceInfoBlock> block_ = std::make_unique<DeviceInfoBlock>();
};

}  // namespace

int runDemo(const DemoOptions& options) { return Demo(options).run(); }

}  // namespace vostrel::sim
