// Helpers for the simulator's tests: benches written into the test's scratch
// folder, the environment variable that names the bench, the simulator's two
// shared libraries loaded into the test process, and the command line run as
// a child process.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "portctl/pt2lib_api.h"

namespace vostrel::sim::test {

inline std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string writeText(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
    return std::filesystem::absolute(name).string();
}

inline std::string example(const std::string& name) { return readText(std::string(SIM_EXAMPLES) + "/" + name); }

// Names the bench for the simulator's libraries while the object lives.
class BenchVariable {
public:
    explicit BenchVariable(const std::string& path) { ::setenv("VOSTREL_SIM_BENCH", path.c_str(), 1); }
    ~BenchVariable() { ::unsetenv("VOSTREL_SIM_BENCH"); }
    BenchVariable(const BenchVariable&) = delete;
    BenchVariable& operator=(const BenchVariable&) = delete;
};

inline void* loadOnce(const char* path) {
    void* library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error(std::string("cannot load ") + path);
    return library;  // stays loaded: the libraries keep state for the whole process
}

template <typename Function>
Function* symbol(void* library, const char* name) {
    void* found = ::dlsym(library, name);
    if (found == nullptr) throw std::runtime_error(std::string("missing ") + name);
    return reinterpret_cast<Function*>(found);
}

// The simulated USB stack's four functions.
struct UsbStack {
    void* (*open)(const std::uint16_t*);
    std::int32_t (*control)(void*, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*);
    void (*close)(void*);
    std::int32_t (*hostControllerInterface)(std::uint32_t, std::uint16_t*, std::uint32_t);

    static const UsbStack& load() {
        static const UsbStack stack = [] {
            void* library = loadOnce(SIM_STACK_MODULE);
            return UsbStack{
                symbol<void*(const std::uint16_t*)>(library, "UsbStack_Open"),
                symbol<std::int32_t(void*, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t,
                                    std::uint32_t*)>(library, "UsbStack_DeviceIoControl"),
                symbol<void(void*)>(library, "UsbStack_Close"),
                symbol<std::int32_t(std::uint32_t, std::uint16_t*, std::uint32_t)>(
                    library, "UsbStack_HostControllerInterface")};
        }();
        return stack;
    }

    void* openName(std::u16string_view name) const {
        std::vector<std::uint16_t> path(name.begin(), name.end());
        path.push_back(0);
        return open(path.data());
    }
};

// The stand-in vendor library's functions.
struct VendorLibrary {
    MchpUsbGetAllHubs_t getAllHubs;
    MchpUsbOpen_t open;
    MchpUsbClose_t close;
    MchpEnableLogging_t enableLogging;
    MchpUsbGetLastErr_t lastError;
    MchpUsbGetVersion_t version;
    MchpUsbDeviceReset_t reset;
    MchpUsbConfigureGPIO_t configure;
    MchpUsbGpioGet_t get;
    MchpUsbGpioSet_t set;
    MchpProgramFileWithSerial_t program;
    MchpUsbProgramFileWithUsb3Serial_t programUsb3;

    static const VendorLibrary& load() {
        static const VendorLibrary vendor = [] {
            void* library = loadOnce(SIM_PT2LIB);
            auto resolve = [&](const char* name) { return ::dlsym(library, name); };
            VendorLibrary v{};
            v.getAllHubs = reinterpret_cast<MchpUsbGetAllHubs_t>(resolve("MchpUsbGetAllHubs"));
            v.open = reinterpret_cast<MchpUsbOpen_t>(resolve("MchpUsbOpen"));
            v.close = reinterpret_cast<MchpUsbClose_t>(resolve("MchpUsbClose"));
            v.enableLogging = reinterpret_cast<MchpEnableLogging_t>(resolve("MchpEnableLogging"));
            v.lastError = reinterpret_cast<MchpUsbGetLastErr_t>(resolve("MchpUsbGetLastErr"));
            v.version = reinterpret_cast<MchpUsbGetVersion_t>(resolve("MchpUsbGetVersion"));
            v.reset = reinterpret_cast<MchpUsbDeviceReset_t>(resolve("MchpUsbDeviceReset"));
            v.configure = reinterpret_cast<MchpUsbConfigureGPIO_t>(resolve("MchpUsbConfigureGPIO"));
            v.get = reinterpret_cast<MchpUsbGpioGet_t>(resolve("MchpUsbGpioGet"));
            v.set = reinterpret_cast<MchpUsbGpioSet_t>(resolve("MchpUsbGpioSet"));
            v.program = reinterpret_cast<MchpProgramFileWithSerial_t>(resolve("MchpProgramFileWithSerial"));
            v.programUsb3 =
                reinterpret_cast<MchpUsbProgramFileWithUsb3Serial_t>(resolve("MchpUsbProgramFileWithUsb3Serial"));
            return v;
        }();
        return vendor;
    }
};

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs vostrel-sim with `arguments` (already quoted for the shell).
inline CommandResult runCli(const std::string& arguments) {
    const std::string command = std::string("'") + SIM_CLI + "' " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    CommandResult result;
    std::array<char, 4096> buffer{};
    while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace vostrel::sim::test
