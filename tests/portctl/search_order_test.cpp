// Where the shared hub library finds the vendor library: LD_LIBRARY_PATH
// first, then its own folder (its run path). Each case binds from a separate
// process on a copy of libVostrel_4.so in a fresh folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_command.h"
#include "scratch_dir.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

// What the probe prints for a copy of the hub library, with or without the
// complete double beside it, and LD_LIBRARY_PATH as given (unset when empty).
std::string probe(const fs::path& folder, bool doubleBeside, const std::string& libraryPath) {
    fs::create_directory(folder);
    fs::copy_file(HUB_LIBRARY, folder / "libVostrel_4.so");
    if (doubleBeside) fs::copy_file(PT2LIB_DOUBLE, folder / "libpt2lib.so");
    const std::string environment =
        libraryPath.empty() ? "env -u LD_LIBRARY_PATH " : "env LD_LIBRARY_PATH='" + libraryPath + "' ";
    const std::string command = environment + BIND_PROBE + " '" + (folder / "libVostrel_4.so").string() + "'";
    const CommandResult result = runCommand(command);
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
