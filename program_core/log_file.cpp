#include "program_core/log_file.h"

#include <fstream>
#include <iterator>

#include "program_core/text.h"

namespace vostrel::program {

std::vector<std::string> logLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const auto lineFeed = bytes.find('\n');
        std::string_view line = bytes.substr(0, lineFeed);
        bytes.remove_prefix(lineFeed == std::string_view::npos ? bytes.size() : lineFeed + 1);
        if (lineFeed != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(textFromBytes(line));
    }
    return lines;
}

std::vector<std::string> readLogFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return logLines(bytes);
}

std::string readLastLogLine(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return {};
    const std::streamoff size = file.tellg();
    if (size < 0) return {};
    // A line is at most about a kilobyte; the window grows until it holds
    // the whole last line, or the whole file.
    for (std::streamoff window = 4096;; window *= 4) {
        const std::streamoff start = size > window ? size - window : 0;
        std::string tail(static_cast<std::size_t>(size - start), '\0');
        if (!file.seekg(start) || !file.read(tail.data(), static_cast<std::streamsize>(tail.size()))) return {};
        while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) tail.pop_back();
        const auto lineFeed = tail.rfind('\n');
        if (lineFeed != std::string::npos || start == 0) {
            return textFromBytes(std::string_view(tail).substr(lineFeed == std::string::npos ? 0 : lineFeed + 1));
        }
    }
}

}  // namespace vostrel::program
