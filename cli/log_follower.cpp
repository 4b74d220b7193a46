#include "log_follower.h"

namespace vostrel::cli {
namespace {

constexpr std::size_t kReadLimit = 1 << 20;  // per call: a long log is read in steps

}  // namespace

LogFollower::LogFollower(std::string path, From from)
    : path_(std::move(path)), position_(from == From::End ? platform::endOfFile(path_) : platform::TailPosition{}) {}

std::vector<std::string> LogFollower::newLines() {
    std::vector<std::string> lines;
    for (;;) {
        const auto read = platform::readTail(path_, position_, kReadLimit);
        if (!read) {
            position_ = {};
            partLine_.clear();
            return lines;
        }
        if (read->restarted) partLine_.clear();
        partLine_ += read->bytes;
        std::size_t start = 0;
        for (auto end = partLine_.find('\n'); end != std::string::npos; end = partLine_.find('\n', start)) {
            std::string line = partLine_.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            start = end + 1;
        }
        partLine_.erase(0, start);
        if (read->bytes.size() < kReadLimit) return lines;
    }
}

}  // namespace vostrel::cli
