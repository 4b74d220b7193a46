// The log reader's file rule on Windows: what is not an ordinary file in the
// log's place (a device name, a link) counts as no log, as it does for the
// library that writes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/file_tail.h"
#include "scratch_dir.h"

namespace {

using vostrel::cli::platform::endOfFile;
using vostrel::cli::platform::readTail;
using vostrel::cli::platform::TailPosition;

TEST(LogTailOnWindows, ReadsWhatWasAppendedAndCountsADeviceNameAsNoFile) {
    vostrel::test::ScratchDir dir;
    std::ofstream("vostrel.log", std::ios::binary) << "first\r\n";
    TailPosition position;
    const auto first = readTail("vostrel.log", position, 1024);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bytes, "first\r\n");
    std::ofstream("vostrel.log", std::ios::binary | std::ios::app) << "second\r\n";
    const auto second = readTail("vostrel.log", position, 1024);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->restarted);
    EXPECT_EQ(second->bytes, "second\r\n");

    TailPosition atDevice;
    EXPECT_FALSE(readTail("NUL", atDevice, 1024));
    EXPECT_EQ(endOfFile("NUL").offset, 0u);
}

TEST(LogTailOnWindows, ALinkInTheLogsPlaceIsNotFollowed) {
    vostrel::test::ScratchDir dir;
    std::ofstream("elsewhere.txt", std::ios::binary) << "secret";
    ::CreateSymbolicLinkW(L"vostrel.log", L"elsewhere.txt", SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = ::GetFileAttributesW(L"vostrel.log");
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        GTEST_SKIP() << "this system makes no symbolic links here (Wine reports success and makes none)";
    }
    TailPosition position;
    EXPECT_FALSE(readTail("vostrel.log", position, 1024));
    EXPECT_EQ(endOfFile("vostrel.log").offset, 0u);
}

}  // namespace
