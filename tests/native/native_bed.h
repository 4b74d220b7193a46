// The native vendor library's tests run on umockdev test beds made from
// simulator benches: the bed's attribute files are plain files, so a port
// switched through its `disable` attribute shows in the file.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "core/bench.h"
#include "core/bench_file.h"
#include "core/bus_view.h"
#include "core/description.h"
#include "core/umockdev_bed.h"
#include "family_hub_list.h"
#include "mock_bus.h"

namespace vostrel::test {

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string exampleBench(const std::string& name) {
    return fileText(std::string(SIM_EXAMPLES) + "/" + name);
}

inline sim::BusView benchView(const std::string& bench) {
    auto built = std::make_shared<const sim::Bench>(sim::buildBench(sim::parseDocument(bench, "bench"), "bench"));
    return sim::BusView(std::move(built), sim::wallClockMs());
}

inline std::string bedOf(const std::string& bench, sim::BedOptions options = {}) {
    return sim::umockdevBed(benchView(bench), options);
}

// Every port's `disable` of every hub device of the family, by the port's
// folder, as the files hold them now.
inline std::map<std::string, std::string> portSwitches() {
    std::map<std::string, std::string> switches;
    for (const native::NativeHub& hub : native::readFamilyHubs()) {
        for (const native::HubSide& side : hub.sides) {
            for (const std::string& port : side.ports) switches[port] = fileText(port + "/disable");
        }
    }
    return switches;
}

}  // namespace vostrel::test
