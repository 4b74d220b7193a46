// Binding with whatever the ordinary library search finds. This executable
// has no run path and links no vendor library; CTest runs each suite with
// LD_LIBRARY_PATH set for it: unset, the incomplete double's folder, the
// complete double's folder.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "hub_operations.h"
#include "loaded_library.h"

namespace vostrel::test {
namespace {

constexpr char kVendorLibrary[] = "libpt2lib.so";

bool vendorLibraryLoaded() {
    void* library = ::dlopen(kVendorLibrary, RTLD_NOW | RTLD_NOLOAD);
    if (library != nullptr) ::dlclose(library);
    return library != nullptr;
}

// Whether the search finds a vendor library, and whether it has all names.
enum class Found { Nothing, Incomplete, Complete };

Found whatTheSearchFinds() {
    void* library = ::dlopen(kVendorLibrary, RTLD_NOW);
    if (library == nullptr) return Found::Nothing;
    const bool complete = ::dlsym(library, "MchpProgramFileWithSerial") != nullptr;
    ::dlclose(library);
    return complete ? Found::Complete : Found::Incomplete;
}

using NothingOnSearchPath = LoadedLibrary;

TEST_F(NothingOnSearchPath, BindingFailsAndEveryHubOperationFails) {
    ASSERT_EQ(whatTheSearchFinds(), Found::Nothing);
    EXPECT_EQ(Hub_InitPt2lib(), 0);
    expectEveryHubOperationFails();
}

using IncompleteOnSearchPath = LoadedLibrary;

// A missing name is found only after the library was loaded and eleven names
// resolved; the failed binding unloads it again, so no call can reach it.
TEST_F(IncompleteOnSearchPath, BindingFailsAndUnloadsWhatItLoaded) {
    ASSERT_EQ(whatTheSearchFinds(), Found::Incomplete);
    ASSERT_FALSE(vendorLibraryLoaded());
    EXPECT_EQ(Hub_InitPt2lib(), 0);
    EXPECT_FALSE(vendorLibraryLoaded());
    expectEveryHubOperationFails();
}

using CompleteOnSearchPath = LoadedLibrary;

// Each binding releases the one before, the unload releases the last: the
// vendor library is gone afterwards.
TEST_F(CompleteOnSearchPath, EveryBindingReleasesTheLastOneAndUnloadReleasesIt) {
    ASSERT_EQ(whatTheSearchFinds(), Found::Complete);
    ASSERT_FALSE(vendorLibraryLoaded());
    EXPECT_EQ(Hub_InitPt2lib(), 1);
    EXPECT_TRUE(vendorLibraryLoaded());
    EXPECT_EQ(Hub_InitPt2lib(), 1);
    EXPECT_EQ(Hub_InitPt2lib(), 1);
    libraryUnload();
    EXPECT_FALSE(vendorLibraryLoaded());
    libraryLoad();
}

}  // namespace
}  // namespace vostrel::test
