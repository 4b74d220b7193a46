#include "core/live_bench.h"

#include <cstdio>
#include <cstdlib>

#include "core/description_error.h"

namespace vostrel::sim {

BenchFile* LiveBench::file() {
    const char* named = std::getenv(kBenchVariable);
    if (named == nullptr || *named == '\0') {
        file_.reset();
        view_.reset();
        return nullptr;
    }
    if (!file_ || file_->path() != named) {
        file_ = std::make_unique<BenchFile>(named);
        view_.reset();
    }
    return file_.get();
}

void LiveBench::report(const std::string& problem) {
    if (problem == reported_) return;
    reported_ = problem;
    std::fprintf(stderr, "vostrel simulator: %s\n", problem.c_str());
}

std::shared_ptr<const BusView> LiveBench::view() {
    BenchFile* bench = file();
    if (bench == nullptr) return nullptr;
    try {
        auto current = bench->current();
        const std::int64_t now = wallClockMs();
        if (!view_ || &view_->bench() != current.get() || now >= view_->validUntil()) {
            view_ = std::make_shared<const BusView>(std::move(current), now);
        }
        reported_.clear();
    } catch (const DescriptionError& error) {
        report(error.what());
    }
    return view_;
}

std::shared_ptr<const BusView> LiveBench::update(const BenchFile::Edit& edit) {
    BenchFile* bench = file();
    if (bench == nullptr) throw DescriptionError(std::string("no bench: ") + kBenchVariable + " is not set");
    auto updated = bench->update(edit);
    view_ = std::make_shared<const BusView>(std::move(updated), wallClockMs());
    return view_;
}

}  // namespace vostrel::sim
