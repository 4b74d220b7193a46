// Test helper: takes the program's lock in the folder given as argument,
// prints "held" or "refused", and keeps it until stdin ends or it is killed.
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/single_instance_lock.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    auto outcome = talvern::platform::SingleInstanceLock::Outcome::Unavailable;
    const auto lock = talvern::platform::SingleInstanceLock::tryAcquire(argv[1], "RAV_UVIDARO_4", outcome);
    std::puts(lock ? "held" : "refused");
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
}
