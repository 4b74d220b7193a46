// One process's handle on a bench description file that any number of
// processes share. The file is the whole state: the simulator writes port
// power and device states back into it, so every reader sees every change.
// Reads are cheap when nothing changed (one stat); writes replace the file
// in one step under an exclusive lock, so no change is ever lost.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/bench.h"
#include "core/bus_view.h"
#include "core/description.h"
#include "core/file_system.h"

namespace vostrel::sim {

class BenchFile {
public:
    explicit BenchFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The bench as the file holds it now, read again only when it changed.
    // Throws DescriptionError when the file cannot be read or used; the
    // bench read before stays cached for the next call.
    std::shared_ptr<const Bench> current();

    // Changes the document; sees the bench as the document stands, at the
    // moment of the change. May throw to leave the file as it was.
    using Edit = std::function<void(Document&, const BusView&)>;

    // Reads the file afresh under its lock, lets `edit` change the document,
    // checks the result and replaces the file. Returns the new bench.
    // Throws what `edit` throws, DescriptionError (the file, or the result,
    // is not a bench) or std::runtime_error (the file cannot be locked or
    // written).
    std::shared_ptr<const Bench> update(const Edit& edit);

private:
    bool stampTrusted(const fs::FileStamp& stamp) const;
    void remember(const fs::FileStamp& stamp, std::string bytes, std::shared_ptr<const Bench> bench);

    std::string path_;
    std::optional<fs::FileStamp> stamp_;  // of the file the cache was read from
    std::int64_t readAtNs_ = 0;
    std::string bytes_;
    std::shared_ptr<const Bench> bench_;
    std::optional<fs::FileStamp> failedStamp_;  // a file already found unusable
    std::string failure_;
};

// Wall-clock time in milliseconds since 1970, the simulator's shared clock.
std::int64_t wallClockMs();

}  // namespace vostrel::sim
