// The settings file in a folder others can write to, or that cannot be
// written at all: names taken by links, FIFOs and folders, leftovers of
// killed saves, a read-only folder, a file size limit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <vostrel/hub_api.h>

#include "child_process.h"
#include "library_lifecycle.h"
#include "loaded_library.h"
#include "recovery/settings.h"
#include "scratch_dir.h"

namespace {

using namespace vostrel;
using vostrel::test::makeRecord;
using vostrel::test::readBytes;
using vostrel::test::runInChild;
using vostrel::test::ScratchDir;
using vostrel::test::writeBytes;
namespace fs = std::filesystem;

const std::string kVictimText = "a file the library must never touch\n";

// Names in the current folder that look like temporary files of a save.
std::set<std::string> temporaries() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("vostrel.dat.tmp.", 0) == 0) names.insert(name);
    }
    return names;
}

std::string textOf(const fs::path& file) {
    const auto bytes = readBytes(file);
    return {bytes.begin(), bytes.end()};
}

// A settings image that nobody would mistake for the defaults.
AutoCheckSettings foreignSettings() {
    AutoCheckSettings block{};
    block.interval = 9;
    block.offTime = 8;
    block.enabled = 1;
    block.count = 2;
    block.entries[0] = makeRecord<AutoCheckEntry>(7, 1);
    block.entries[1] = makeRecord<AutoCheckEntry>(7, 2);
    return block;
}

AutoCheckSettings storedSettings() {
    AutoCheckSettings block{};
    const auto bytes = readBytes("vostrel.dat");
    if (bytes.size() == sizeof block) std::memcpy(&block, bytes.data(), sizeof block);
    return block;
}

// Adds a watched entry through the export, which saves.
std::int32_t addEntry(int hub, int port) {
    const DeviceInfoRecord record = makeRecord(hub, port);
    return Hub_SetAutoCheckDeviceInfo(&record);
}

// What the load steps left: "interval offtime enabled count".
std::string loadedState() {
    std::uint8_t interval = 0, offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    DeviceInfoRecord record{};
    int count = 0;
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) ++count;
    return std::to_string(interval) + " " + std::to_string(offTime) + " " +
           std::to_string(Hub_GetAutoRecoveryStatus()) + " " + std::to_string(count);
}

TEST(SettingsSave, ATemporaryNameTakenByALinkIsNeverWrittenThrough) {
    ScratchDir dir;
    writeBytes("victim", kVictimText.data(), kVictimText.size());
    // The name an earlier version used for this process's temporary file.
    fs::create_symlink("victim", "vostrel.dat.tmp." + std::to_string(::getpid()));

    libraryLoad();
    EXPECT_EQ(addEntry(3, 1), 1);
    libraryUnload();

    EXPECT_EQ(textOf("victim"), kVictimText);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("vostrel.dat")));
    EXPECT_EQ(storedSettings().count, 1);
    EXPECT_EQ(temporaries(), std::set<std::string>{}) << "the planted link goes, its target stays";
}

TEST(SettingsSave, LeftoversOfKilledSavesGoWithTheNextSaveThoseOfLiveSavesStay) {
    ScratchDir dir;
    writeBytes("victim", kVictimText.data(), kVictimText.size());
    for (const char* stale : {"vostrel.dat.tmp.4242", "vostrel.dat.tmp.4243.0badcafe"}) writeBytes(stale, "x", 1);
    fs::create_symlink("victim", "vostrel.dat.tmp.77");
    ::mkfifo("vostrel.dat.tmp.78", 0600);
    writeBytes("vostrel.dat.bak", "keep", 4);
    // A save under way in another process holds its temporary file locked.
    const std::string live = "vostrel.dat.tmp.999.5ca1ab1e";
    writeBytes(live, "partial", 7);
    const int liveFile = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(liveFile, LOCK_EX), 0);

    libraryLoad();
    EXPECT_EQ(addEntry(0, 0), 1);
    EXPECT_EQ(temporaries(), std::set<std::string>{live});
    EXPECT_EQ(textOf(live), "partial");
    EXPECT_TRUE(fs::exists("vostrel.dat.bak"));
    EXPECT_EQ(textOf("victim"), kVictimText);

    ::close(liveFile);  // that process has died
    EXPECT_EQ(addEntry(0, 1), 1);
    EXPECT_EQ(temporaries(), std::set<std::string>{});
    EXPECT_EQ(storedSettings().count, 2);
    libraryUnload();
}

TEST(SettingsSave, ProcessesKilledWhileSavingLeaveAWholeFileAndNoLeftoverAfterTheNextSave) {
    ScratchDir dir;
    libraryLoad();
    ASSERT_EQ(addEntry(1, 0), 1);
    libraryUnload();
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t saver = ::fork();
        if (saver == 0) {
            libraryLoad();
            for (;;) {
                addEntry(1, 1);
                const DeviceInfoRecord record = makeRecord(1, 1);
                Hub_DeleteAutoCheckDeviceInfo(&record);
            }
        }
        ASSERT_GT(saver, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + kill % 7));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        ASSERT_EQ(readBytes("vostrel.dat").size(), sizeof(AutoCheckSettings)) << "after kill " << kill;
    }
    libraryLoad();
    EXPECT_EQ(addEntry(2, 2), 1);
    EXPECT_EQ(temporaries(), std::set<std::string>{});
    libraryUnload();
}

// Two programs using the library from one folder save at the same time:
// neither may take the other's temporary file for a leftover.
TEST(SettingsSave, TwoProcessesSavingAtOnceNeverRemoveEachOthersTemporaryFile) {
    ScratchDir dir;
    libraryLoad();
    ASSERT_EQ(addEntry(5, 0), 1);  // a file to load: no report of a missing one
    libraryUnload();
    const auto result = runInChild([] {
        ::setenv("VOSTREL_DEBUG", "1", 1);
        const pid_t other = ::fork();
        libraryLoad();
        for (int round = 0; round < 100; ++round) {
            addEntry(5, round % 4);
            const DeviceInfoRecord record = makeRecord(5, round % 4);
            Hub_DeleteAutoCheckDeviceInfo(&record);
        }
        libraryUnload();
        if (other == 0) ::_exit(0);
        ::waitpid(other, nullptr, 0);
        return std::string();
    }, std::chrono::seconds(120));
    EXPECT_EQ(result.problems, "");
    EXPECT_EQ(result.errors.find("vostrel: "), std::string::npos) << result.errors;
    EXPECT_EQ(readBytes("vostrel.dat").size(), sizeof(AutoCheckSettings));
    EXPECT_EQ(temporaries(), std::set<std::string>{});
}

TEST(SettingsSave, AWriteThatFailsLeavesThePreviousFileAndNoTemporaryFile) {
    ScratchDir dir;
    libraryLoad();
    ASSERT_EQ(addEntry(0, 0), 1);
    const auto before = readBytes("vostrel.dat");
    const auto result = runInChild([] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{1000, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::setenv("VOSTREL_DEBUG", "1", 1);
        return addEntry(0, 1) == 1 ? std::string() : "a failed save is not reported to the caller";
    });
    EXPECT_EQ(result.problems, "");
    EXPECT_NE(result.errors.find("vostrel: write vostrel.dat.tmp."), std::string::npos) << result.errors;
    EXPECT_EQ(readBytes("vostrel.dat"), before);
    EXPECT_EQ(temporaries(), std::set<std::string>{});
    libraryUnload();
}

// Programs started from a folder they cannot write keep their watch list in
// memory; only the diagnostics tell of the failed saves.
TEST(SettingsSave, InAReadOnlyFolderChangesStayInMemoryAndOnlyDiagnosticsTellOfTheFailedSave) {
    for (const bool debug : {false, true}) {
        ScratchDir dir;
        ::chmod(".", 0555);
        const auto result = runInChild([debug] {
            if (debug) ::setenv("VOSTREL_DEBUG", "1", 1);
            else ::unsetenv("VOSTREL_DEBUG");
            // Root writes into any folder: give that up first.
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return std::string("setuid failed");
            libraryLoad();
            std::string problems;
            if (addEntry(4, 0) != 1 || addEntry(4, 1) != 1) problems += "an add failed; ";
            const DeviceInfoRecord first = makeRecord(4, 0);
            if (Hub_DeleteAutoCheckDeviceInfo(&first) != 1) problems += "the delete failed; ";
            if (loadedState() != "5 3 0 1") problems += "in memory: " + loadedState();
            libraryUnload();
            return problems;
        });
        ::chmod(".", 0700);
        EXPECT_EQ(result.problems, "");
        EXPECT_FALSE(fs::exists(fs::symlink_status("vostrel.dat")));
        if (debug) {
            EXPECT_NE(result.errors.find("vostrel: create vostrel.dat.tmp."), std::string::npos) << result.errors;
        } else {
            EXPECT_EQ(result.errors, "");
        }
    }
}

struct Squatter {
    const char* what;
    void (*make)();               // takes the name vostrel.dat
    bool savedOverIt;             // a save replaces the name with a file of the library
};

const Squatter kSquatters[] = {
    {"a link to another settings file", [] { fs::create_symlink("foreign.dat", "vostrel.dat"); }, true},
    {"a FIFO", [] { ::mkfifo("vostrel.dat", 0600); }, true},
    {"a folder", [] { fs::create_directory("vostrel.dat"); }, false},
};

TEST(SettingsLoad, ANameThatIsNoRegularFileLoadsAsNoFileAndIsNeverWrittenThrough) {
    for (const Squatter& squatter : kSquatters) {
        SCOPED_TRACE(squatter.what);
        ScratchDir dir;
        const AutoCheckSettings foreign = foreignSettings();
        writeBytes("foreign.dat", &foreign, sizeof foreign);
        const auto foreignBytes = readBytes("foreign.dat");
        squatter.make();

        const auto result = runInChild([] {
            ::setenv("VOSTREL_DEBUG", "1", 1);
            libraryLoad();  // would start a monitor if the foreign flag were loaded
            std::string problems;
            if (loadedState() != "5 3 0 0") problems += "loaded: " + loadedState() + "; ";
            addEntry(0, 3);
            libraryUnload();
            return problems;
        });
        EXPECT_EQ(result.problems, "");
        EXPECT_NE(result.errors.find("vostrel: open vostrel.dat: "), std::string::npos) << result.errors;
        EXPECT_EQ(readBytes("foreign.dat"), foreignBytes);
        if (squatter.savedOverIt) {
            ASSERT_TRUE(fs::is_regular_file(fs::symlink_status("vostrel.dat")));
            const AutoCheckSettings stored = storedSettings();
            EXPECT_EQ(stored.count, 1);
            EXPECT_EQ(stored.entries[0].hubIndex, 0) << "nothing of the foreign file is copied";
            EXPECT_EQ(stored.interval, 5);
        }
        EXPECT_EQ(temporaries(), std::set<std::string>{});
    }
}

}  // namespace
