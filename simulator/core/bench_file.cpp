#include "core/bench_file.h"

#include <chrono>
#include <stdexcept>

#include "core/description_error.h"

namespace vostrel::sim {

namespace {

// A file modified this close to the moment it was read may change again
// without its stamp changing (file times move in clock ticks).
constexpr std::int64_t kStampMarginNs = 1'000'000'000;

std::int64_t wallClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::int64_t wallClockMs() { return wallClockNs() / 1'000'000; }

bool BenchFile::stampTrusted(const fs::FileStamp& stamp) const {
    return stamp_ && stamp == *stamp_ && readAtNs_ - stamp.modifiedNs > kStampMarginNs;
}

void BenchFile::remember(const fs::FileStamp& stamp, std::string bytes, std::shared_ptr<const Bench> bench) {
    stamp_ = stamp;
    readAtNs_ = wallClockNs();
    bytes_ = std::move(bytes);
    bench_ = std::move(bench);
    failedStamp_.reset();
}

std::shared_ptr<const Bench> BenchFile::current() {
    const auto stamp = fs::stampOf(path_);
    if (!stamp) throw DescriptionError(path_ + ": cannot read the bench description: no such file");
    if (bench_ && stampTrusted(*stamp)) return bench_;
    if (failedStamp_ && *failedStamp_ == *stamp && wallClockNs() - stamp->modifiedNs > kStampMarginNs) {
        throw DescriptionError(failure_);
    }

    fs::FileContents contents;
    try {
        contents = fs::readFile(path_);
    } catch (const std::runtime_error& error) {
        throw DescriptionError(error.what());
    }
    if (bench_ && contents.bytes == bytes_) {
        remember(contents.stamp, std::move(contents.bytes), bench_);
        return bench_;
    }
    try {
        auto bench = std::make_shared<const Bench>(buildBench(parseDocument(contents.bytes, path_), path_));
        remember(contents.stamp, std::move(contents.bytes), bench);
        return bench;
    } catch (const DescriptionError& error) {
        failedStamp_ = contents.stamp;
        failure_ = error.what();
        throw;
    }
}

std::shared_ptr<const Bench> BenchFile::update(const Edit& edit) {
    fs::FileLock lock(path_);
    fs::FileContents contents = fs::readFile(path_);
    Document document = parseDocument(contents.bytes, path_);
    const BusView before(std::make_shared<const Bench>(buildBench(document, path_)), wallClockMs());
    edit(document, before);
    std::string text = formatDocument(document);
    auto after = std::make_shared<const Bench>(buildBench(document, path_));
    const fs::FileStamp stamp = fs::replaceFile(path_, text);
    remember(stamp, std::move(text), after);
    return after;
}

}  // namespace vostrel::sim
