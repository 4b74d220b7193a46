// The complete new lines of a growing text file, such as the event log,
// looked at from time to time.
#pragma once

#include <string>
#include <vector>

#include "platform/file_tail.h"

namespace vostrel::cli {

class LogFollower {
public:
    enum class From { Start, End };

    // From::End skips what the file holds now.
    LogFollower(std::string path, From from);

    // The lines completed since the last call, without their line ends. A
    // line still being written waits for its end. A file deleted, replaced
    // or cut shorter is read again from its start; a part line of the file
    // before is dropped then. Throws std::runtime_error when the file
    // exists but cannot be read.
    std::vector<std::string> newLines();

private:
    std::string path_;
    platform::TailPosition position_;
    std::string partLine_;
};

}  // namespace vostrel::cli
