// The bench that the environment variable VOSTREL_SIM_BENCH names, as one
// process sees it: what the simulated USB stack and the stand-in vendor
// library answer from. The variable is read at every call, so a process may
// move to another bench. Not thread-safe: its owner serialises the calls.
#pragma once

#include <memory>
#include <string>

#include "core/bench_file.h"
#include "core/bus_view.h"

namespace vostrel::sim {

inline constexpr const char* kBenchVariable = "VOSTREL_SIM_BENCH";

class LiveBench {
public:
    // The bench as its file holds it now, rebuilt when the file changed or a
    // flaky device's time came. Null when no bench is named or its file was
    // never usable; a file that turns unusable leaves the last good bench in
    // place and is reported once on stderr.
    std::shared_ptr<const BusView> view();

    // The view the last call to view() or update() left, without looking at
    // the file: for the many questions that follow one open.
    std::shared_ptr<const BusView> cached() const { return view_; }

    // Applies `edit` to the named bench (see BenchFile::update) and returns
    // the new view. Throws as BenchFile::update does, or DescriptionError
    // when no bench is named.
    std::shared_ptr<const BusView> update(const BenchFile::Edit& edit);

private:
    BenchFile* file();
    void report(const std::string& problem);

    std::unique_ptr<BenchFile> file_;
    std::shared_ptr<const BusView> view_;
    std::string reported_;
};

}  // namespace vostrel::sim
