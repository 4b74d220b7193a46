#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

// Each writer, with its own handle on the file, counts up one shared value:
// a lost update leaves the count short.
TEST(ConcurrentWriters, LoseNoChange) {
    vostrel::test::ScratchDir dir;
    const std::string path = test::writeText(
        "bench.json", R"({"controllers": [{"number": 0, "devices": [{"port": 1, "kind": "family-hub"}]}]})");
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&path] {
            BenchFile file(path);
            for (int i = 0; i < 25; ++i) {
                file.update([](Document& document, const BusView& view) {
                    const Device& hub = view.bench().controllers[0].devices[0];
                    recordProgramming(document, hub, {0, hub.programmed ? hub.programmed->serial + 1 : 1, 0});
                });
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(BenchFile(path).current()->controllers[0].devices[0].programmed->serial, 4u * 25);
}

}  // namespace
}  // namespace vostrel::sim
