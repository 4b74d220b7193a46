// A description file that cannot be used, with where the fault lies: the
// file, then a line and column for text that does not parse, or the JSON
// pointer of the value that is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace vostrel::sim {

class DescriptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vostrel::sim
