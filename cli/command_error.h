// Why a command ends without doing its work, and with which exit status:
// 2 for a command line that does not say what to do, 1 for an operation
// that failed.
#pragma once

#include <stdexcept>
#include <string>

namespace vostrel::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class CommandError : public std::runtime_error {
public:
    CommandError(int exitStatus, const std::string& message) : std::runtime_error(message), exitStatus_(exitStatus) {}
    int exitStatus() const { return exitStatus_; }

private:
    int exitStatus_;
};

inline CommandError usageError(const std::string& message) { return CommandError(kExitUsage, message); }
inline CommandError failure(const std::string& message) { return CommandError(kExitFailure, message); }

}  // namespace vostrel::cli
