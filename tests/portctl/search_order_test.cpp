// Where the shared hub library finds the vendor library: the system's
// ordinary search first (LD_LIBRARY_PATH, or on Windows the folders up to
// PATH), then its own folder (its run path). Each case binds from a separate
// process on a copy of the hub library in a fresh folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "environment_variables.h"
#include "run_command.h"
#include "scratch_dir.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
constexpr const char* kHubLibraryFile = "Vostrel_4.dll";
constexpr const char* kVendorLibraryFile = "pt2lib.dll";
#else
constexpr const char* kHubLibraryFile = "libVostrel_4.so";
constexpr const char* kVendorLibraryFile = "libpt2lib.so";
#endif

// What the probe prints for a copy of the hub library, with or without the
// complete double beside it, and LD_LIBRARY_PATH as given (unset when empty;
// on Windows, the folder put first in PATH).
std::string probe(const fs::path& folder, bool doubleBeside, const std::string& libraryPath) {
    fs::create_directory(folder);
    fs::copy_file(HUB_LIBRARY, folder / kHubLibraryFile);
    if (doubleBeside) fs::copy_file(PT2LIB_DOUBLE, folder / kVendorLibraryFile);
    const std::string hubLibrary = shellQuoted((folder / kHubLibraryFile).string());
#if defined(_WIN32)
    const std::string path = std::getenv("PATH");
    setVariable("PATH", libraryPath.empty() ? path : libraryPath + ";" + path);
    const CommandResult result = runCommand(shellQuoted(BIND_PROBE) + " " + hubLibrary);
    setVariable("PATH", path);
#else
    const std::string environment =
        libraryPath.empty() ? "env -u LD_LIBRARY_PATH " : "env LD_LIBRARY_PATH='" + libraryPath + "' ";
    const CommandResult result = runCommand(environment + BIND_PROBE + " " + hubLibrary);
#endif
    return result.exitCode == 0 ? result.output : result.output + "exit status " + std::to_string(result.exitCode);
}

TEST(SearchOrder, LibraryPathThenTheHubLibrarysOwnFolder) {
    const std::string bound = "bound=1 loaded=1 after unload=0\n", refused = "bound=0 loaded=0 after unload=0\n";
    const struct {
        bool doubleBeside;
        std::string libraryPath, result;
    } cases[] = {
        {false, "", refused},
        {false, PT2LIB_FOLDER, bound},
        {false, PT2LIB_INCOMPLETE_FOLDER, refused},  // a name missing: unloaded again
        {true, "", bound},
        {true, PT2LIB_INCOMPLETE_FOLDER, refused},
    };
    ScratchDir dir;
    int n = 0;
    for (const auto& c : cases) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        if (c.doubleBeside) continue;  // the sanitizer's dlopen searches its own run path, not the hub library's
#endif
        EXPECT_EQ(probe(dir.path() / std::to_string(++n), c.doubleBeside, c.libraryPath), c.result)
            << "beside: " << c.doubleBeside << ", path: " << c.libraryPath;
    }
}

}  // namespace
}  // namespace vostrel::test
