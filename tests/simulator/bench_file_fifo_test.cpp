// Special files in a bench file's place, which only POSIX systems have in a
// folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <stdexcept>
#include <string>

#include "child_process.h"
#include "core/bench_file.h"
#include "core/description_error.h"
#include "scratch_dir.h"

namespace vostrel::sim {
namespace {

// A bench named by a FIFO has nothing to read: it is refused at once,
// never waited on for a writer.
TEST(BenchFile, AFifoIsRefusedWithoutWaiting) {
    vostrel::test::ScratchDir dir;
    ASSERT_EQ(::mkfifo("fifo.json", 0600), 0);
    const auto result = vostrel::test::runInChild([] {
        BenchFile fifo("fifo.json");
        std::string problems;
        try {
            fifo.current();
            problems += "read; ";
        } catch (const DescriptionError& error) {
            if (std::string(error.what()).find("fifo.json: not a file") == std::string::npos) problems += error.what();
        }
        try {
            fifo.update([](Document&, const BusView&) {});
            problems += "updated; ";
        } catch (const std::runtime_error& error) {
            if (std::string(error.what()).find("fifo.json: not a file") == std::string::npos) problems += error.what();
        }
        return problems;
    });
    EXPECT_EQ(result.problems, "");
}

}  // namespace
}  // namespace vostrel::sim
