// Why a command ends without doing its work, and with which exit status:
// 2 for a command line that does not say what to do, 1 for an operation
// that failed.
#pragma once

#include <exception>
#include <iostream>
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

// Runs `command` and gives its exit status; a command that throws is reported
// on stderr and ends with the status its error names (1 for any other).
template <class Command>
int reportingFailures(Command&& command) {
    try {
        return command();
    } catch (const CommandError& error) {
        std::cerr << "vostrel: " << error.what() << std::endl;
        return error.exitStatus();
    } catch (const std::exception& error) {
        std::cerr << "vostrel: " << error.what() << std::endl;
        return kExitFailure;
    }
}

}  // namespace vostrel::cli
