// Test helper: takes the program's single-instance lock in the folder given
// as argument, prints "held" or "refused", and keeps the lock until its
// standard input ends or it is killed.
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/single_instance_lock.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    using talvern::platform::SingleInstanceLock;
    auto outcome = SingleInstanceLock::Outcome::Unavailable;
    const auto lock = SingleInstanceLock::tryAcquire(argv[1], "RAV_UVIDARO_4", outcome);
    std::puts(outcome == SingleInstanceLock::Outcome::Acquired ? "held" : "refused");
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}
