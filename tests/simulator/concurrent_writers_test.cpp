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

TEST(ConcurrentWriters, LoseNoChange) {
    // Each writer, with its own handle on the file, counts up in one shared
    // value: a lost update would leave the count short.
    constexpr int kWriters = 4;
    constexpr int kSteps = 25;
    vostrel::test::ScratchDir dir;
    const std::string path = test::writeText(
        "bench.json", R"({"controllers": [{"number": 0, "devices": [{"port": 1, "kind": "family-hub"}]}]})");
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&path] {
            BenchFile file(path);
            for (int i = 0; i < kSteps; ++i) {
                file.update([](Document& document, const BusView& view) {
                    const Device& hub = view.bench().controllers[0].devices[0];
                    const std::uint32_t count = hub.programmed ? hub.programmed->serial + 1 : 1;
                    recordProgramming(document, hub, {0, count, 0});
                });
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    BenchFile file(path);
    EXPECT_EQ(file.current()->controllers[0].devices[0].programmed->serial,
              static_cast<std::uint32_t>(kWriters * kSteps));
}

}  // namespace
}  // namespace vostrel::sim
