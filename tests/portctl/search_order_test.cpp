// Where the shared hub library finds the vendor library: LD_LIBRARY_PATH
// first, then its own folder. Each case copies libVostrel_4.so into a fresh
// folder, with or without the recording double beside it, and binds from a
// separate process.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "scratch_dir.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

// A sanitizer's dlopen interceptor calls dlopen from the sanitizer runtime,
// so the search uses that runtime's run path instead of the hub library's.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kRunPathHidden = true;
#else
constexpr bool kRunPathHidden = false;
#endif

#define SKIP_IF_RUN_PATH_HIDDEN() \
    if (kRunPathHidden) GTEST_SKIP() << "the sanitizer's dlopen ignores the hub library's run path"

class SearchOrder : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(dir_.path() / "hub"); }

    void putDoubleBesideTheHubLibrary() {
        fs::copy_file(PT2LIB_DOUBLE, dir_.path() / "hub" / "libpt2lib.so");
    }

    // Runs the probe on a copy of the hub library with LD_LIBRARY_PATH as
    // given (unset when empty) and returns what it printed.
    std::string bindWith(const std::string& libraryPath) {
        const fs::path hubLibrary = dir_.path() / "hub" / "libVostrel_4.so";
        if (!fs::exists(hubLibrary)) fs::copy_file(HUB_LIBRARY, hubLibrary);
        const std::string environment =
            libraryPath.empty() ? "env -u LD_LIBRARY_PATH " : "env LD_LIBRARY_PATH='" + libraryPath + "' ";
        std::FILE* pipe = ::popen((environment + BIND_PROBE + " '" + hubLibrary.string() + "'").c_str(), "r");
        if (pipe == nullptr) return "popen failed";
        std::string out;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        const int status = ::pclose(pipe);
        if (status != 0) out += "exit status " + std::to_string(status);
        return out;
    }

    ScratchDir dir_;
};

TEST_F(SearchOrder, FindsTheVendorLibraryBesideItself) {
    SKIP_IF_RUN_PATH_HIDDEN();
    putDoubleBesideTheHubLibrary();
    EXPECT_EQ(bindWith(""), "bound=1\n");
}

TEST_F(SearchOrder, BindsNothingWhenNoVendorLibraryIsFound) {
    EXPECT_EQ(bindWith(""), "bound=0\n");
}

// The incomplete double on LD_LIBRARY_PATH is found before the complete one
// beside the hub library, which a run path searched first would have found.
TEST_F(SearchOrder, LibraryPathGoesBeforeItsOwnFolder) {
    SKIP_IF_RUN_PATH_HIDDEN();
    putDoubleBesideTheHubLibrary();
    EXPECT_EQ(bindWith(PT2LIB_INCOMPLETE_FOLDER), "bound=0\n");
}

}  // namespace
}  // namespace vostrel::test
