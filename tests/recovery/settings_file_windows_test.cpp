// What Windows adds to the settings file's and the event log's guarantees:
// another program may hold the file open, and a name may be a device, a
// pipe or a link. None of it may tear the file, leave litter, block or be
// written through.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>

#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "loaded_library.h"
#include "platform/files.h"

namespace {

using namespace vostrel;
using vostrel::test::makeRecord;
using vostrel::test::readBytes;
using vostrel::test::settingsNow;

class SettingsFileOnWindows : public test::LoadedLibrary {
protected:
    static void add(int hub, int port) {
        const DeviceInfoRecord record = makeRecord(hub, port);
        ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    }

    static std::vector<std::string> filesHere() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(".")) names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(SettingsFileOnWindows, ASaveRefusedWhileAnotherProgramHoldsTheFileKeepsItWholeAndLeavesNoLitter) {
    add(0, 0);
    const auto before = readBytes("vostrel.dat");
    // Open the way a program that does not expect the file to be replaced opens it.
    HANDLE reader = ::CreateFileW(L"vostrel.dat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    add(0, 1);
    ::CloseHandle(reader);
    EXPECT_EQ(readBytes("vostrel.dat"), before);
    EXPECT_EQ(filesHere(), std::vector<std::string>{"vostrel.dat"});

    add(0, 2);  // and the next save goes through
    EXPECT_NE(readBytes("vostrel.dat"), before);
    EXPECT_EQ(filesHere(), std::vector<std::string>{"vostrel.dat"});
}

TEST_F(SettingsFileOnWindows, AFolderInTheSettingsFilesPlaceIsNeitherReadNorReplaced) {
    AutoCheckSettings block{};
    block.interval = 9;
    reloadWith(block);
    EXPECT_EQ(settingsNow().interval, 9);
    libraryUnload();
    std::filesystem::remove("vostrel.dat");
    std::filesystem::create_directory("vostrel.dat");
    libraryLoad();
    EXPECT_EQ(settingsNow().interval, 5);
    add(0, 0);
    EXPECT_TRUE(std::filesystem::is_directory("vostrel.dat"));
    EXPECT_EQ(filesHere(), std::vector<std::string>{"vostrel.dat"});
}

// A server end of a pipe that nobody ever writes to: reading it would wait
// forever.
class SilentPipe {
public:
    explicit SilentPipe(const std::wstring& name)
        : handle_(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 4, 4096, 4096, 0,
                                     nullptr)) {}
    ~SilentPipe() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST(FilesOnWindows, DevicesAndPipesAreRefusedAtOnceNeverReadOrWritten) {
    const std::string pipe = "\\\\.\\pipe\\vostrel-test-" + std::to_string(::GetCurrentProcessId());
    const SilentPipe server(std::wstring(pipe.begin(), pipe.end()));
    ASSERT_TRUE(server.valid());
    for (const std::string name : {"NUL", "CONIN$", pipe.c_str()}) {
        std::array<unsigned char, 16> buffer{};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(platform::readFilePrefix(name.c_str(), buffer.data(), buffer.size()), 0u) << name;
        EXPECT_FALSE(platform::appendLineToFile(name.c_str(), "line\r\n", 6)) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
    }
}

TEST(FilesOnWindows, ALinkInTheFilesPlaceIsNotFollowed) {
    test::ScratchDir dir;
    test::writeBytes("elsewhere.dat", "secret", 6);
    ::CreateSymbolicLinkW(L"vostrel.dat", L"elsewhere.dat", SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = ::GetFileAttributesW(L"vostrel.dat");
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        GTEST_SKIP() << "this system makes no symbolic links here (Wine reports success and makes none)";
    }
    std::array<unsigned char, 16> buffer{};
    EXPECT_EQ(platform::readFilePrefix("vostrel.dat", buffer.data(), buffer.size()), 0u);
    EXPECT_FALSE(platform::appendLineToFile("vostrel.dat", "line\r\n", 6));
    EXPECT_EQ(readBytes("elsewhere.dat"), (std::vector<unsigned char>{'s', 'e', 'c', 'r', 'e', 't'}));
}

}  // namespace
