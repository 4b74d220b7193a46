// Helpers for the simulator's tests: files in the test's scratch folder, the
// simulator's libraries loaded into the test process, the command line run
// as a child process.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "core/bench.h"
#include <vostrel/pt2lib_api.h>
#include "run_command.h"
#include "shared_library.h"

namespace vostrel::sim::test {

inline std::string readText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string writeText(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
    return std::filesystem::absolute(name).string();
}

inline std::string example(const std::string& name) { return readText(std::string(SIM_EXAMPLES) + "/" + name); }

inline const Device& named(const Bench& bench, const std::string& id) {
    const Device* found = nullptr;
    forEachDevice(bench, [&](const Device& device) {
        if (device.id == id) found = &device;
    });
    if (found == nullptr) throw std::runtime_error("no device " + id);
    return *found;
}

// The library stays loaded: it keeps state for the whole process.
template <typename Function>
Function* symbol(const char* library, const char* name) {
    void* loaded = vostrel::test::loadSharedLibrary(library);
    void* found = loaded != nullptr ? vostrel::test::sharedLibrarySymbol(loaded, name) : nullptr;
    if (found == nullptr) throw std::runtime_error(std::string(library) + ": no " + name);
    return reinterpret_cast<Function*>(found);
}

#define PT2(name) vostrel::sim::test::symbol<std::remove_pointer_t<name##_t>>(SIM_PT2LIB, #name)

// Runs vostrel-sim with `arguments` (already quoted for the shell).
inline vostrel::test::CommandResult runCli(const std::string& arguments) {
    return vostrel::test::runCommand(vostrel::test::shellQuoted(SIM_CLI) + " " + arguments + " 2>&1");
}

}  // namespace vostrel::sim::test
