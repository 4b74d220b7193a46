// Helpers for the tests of the vostrel program: it runs as a child process
// on a simulated bench in the test's scratch folder, finding the hub
// library and the stand-in vendor library in its folder through
// LD_LIBRARY_PATH (a sanitizer's dlopen does not search a program's run
// path).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "core/bench_file.h"
#include "core/bus_view.h"
#include "run_command.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::cli::test {

using sim::test::example;
using sim::test::readText;
using sim::test::writeText;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// In builds with sanitizers (CI's), a report of the program's fails the
// test whatever exit status the test expects: the sanitizers exit with 1,
// the program's status for a failed operation.
inline void expectNoSanitizerReport(const std::string& errors) {
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("runtime error:"), std::string::npos) << errors;
}

// vostrel with `arguments` (quoted for the shell), `prefix` before it
// (e.g. "env X=1 "), standard error collected apart.
inline Outcome vostrel(const std::string& arguments, const std::string& prefix = "") {
    const std::string errors = (std::filesystem::current_path() / "stderr.txt").string();
    const auto result = vostrel::test::runCommand(prefix + "'" VOSTREL_PROGRAM "' " + arguments + " 2>'" + errors + "'");
    Outcome outcome{result.exitCode, result.output, readText(errors)};
    expectNoSanitizerReport(outcome.err);
    return outcome;
}

// Every program the tests start finds the simulator's USB stack and the
// build's libraries; nothing of the user's environment leaks in.
inline void useProgramEnvironment() {
    ::setenv("VOSTREL_USBSTACK", SIM_STACK_MODULE, 1);
    ::setenv("LD_LIBRARY_PATH", LIBRARY_FOLDER ":" SIM_PT2LIB_FOLDER, 1);
    ::unsetenv("VOSTREL_STATE_DIR");
    ::unsetenv("VOSTREL_SIM_BENCH");
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        useProgramEnvironment();
        useBench("two-hubs-usb3.json");
        std::filesystem::create_directory("state");
    }
    void TearDown() override { ::unsetenv("VOSTREL_SIM_BENCH"); }

    // A copy of an example bench, or of a description given whole.
    void useBench(const std::string& example, const std::string& description = "") {
        bench_ = writeText("bench.json", description.empty() ? sim::test::example(example) : description);
        ::setenv("VOSTREL_SIM_BENCH", bench_.c_str(), 1);
    }

    // Whether the bench powers port `port` (1 to 4) of hub `hub`.
    bool powered(int hub, int port) {
        sim::BenchFile file(bench_);
        const sim::BusView view(file.current(), sim::wallClockMs());
        return view.familyHubs().at(static_cast<std::size_t>(hub))->portPower.at(static_cast<std::size_t>(port - 1));
    }

    // `list --json` as JSON; the test fails when it does not succeed.
    nlohmann::json listed(const std::string& options = "") {
        const Outcome run = vostrel("list --json " + options);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return nlohmann::json::parse(run.out);
    }

    vostrel::test::ScratchDir dir_;
    std::string bench_;
    const std::string state_ = "--state-dir state";
};

}  // namespace vostrel::cli::test
