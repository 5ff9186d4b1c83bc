// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stop_token>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "filtering/FileChangeClassifier.h"
#include "filtering/FileChangeWaiter.h"
#include "support/TempDir.h"

namespace {

FileReadState Known(std::uint64_t offset, std::string tail)
{
    FileReadState state;
    state.Device = 7;
    state.Inode = 100;
    state.Offset = offset;
    state.Tail = std::move(tail);
    return state;
}

// The open file is the one known; the name still points at it.
FileObservation Same(std::uint64_t size, std::string bytesAtTail)
{
    FileObservation now;
    now.OpenKnown = true;
    now.OpenIsRegular = true;
    now.OpenSize = size;
    now.OpenDevice = 7;
    now.OpenInode = 100;
    now.NamePresent = true;
    now.NameIsRegular = true;
    now.NameDevice = 7;
    now.NameInode = 100;
    now.BytesAtTail = std::move(bytesAtTail);
    return now;
}

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

} // namespace

TEST(FileChangeClassifierTest, DecidesFromWhatWasReadAndWhatIsThere)
{
    struct Case
    {
        const char* What;
        FileObservation Now;
        FileChange Expected;
    };
    FileObservation renamedAway = Same(10, "0123456789");
    renamedAway.NameInode = 101;
    FileObservation renamedAwayAndGrown = Same(12, "0123456789");
    renamedAwayAndGrown.NameInode = 101;
    FileObservation gone = Same(10, "0123456789");
    gone.NamePresent = false;
    FileObservation goneAndEmptied = Same(0, "");
    goneAndEmptied.NamePresent = false;
    FileObservation folder = Same(10, "0123456789");
    folder.NameIsRegular = false;
    folder.NameInode = 102;
    FileObservation rotatedThenOldEmptied = Same(0, "");
    rotatedThenOldEmptied.NameInode = 101;
    const Case cases[] = {
        {"nothing new", Same(10, "0123456789"), FileChange::Unchanged},
        {"appended", Same(15, "0123456789"), FileChange::Grew},
        {"shorter", Same(4, ""), FileChange::Rewritten},
        {"emptied, then written again to the same size", Same(10, "abcdefghij"), FileChange::Rewritten},
        {"emptied, then written again beyond", Same(30, "abcdefghij"), FileChange::Rewritten},
        {"one byte of the tail differs", Same(30, "0123456788"), FileChange::Rewritten},
        {"shrank between the looks (short tail read)", Same(10, "01234"), FileChange::Rewritten},
        {"another file took the name", renamedAway, FileChange::Replaced},
        {"the old file is read to its end before the new one", renamedAwayAndGrown, FileChange::Grew},
        {"rotated: a rewrite of the old one is nobody's business", rotatedThenOldEmptied, FileChange::Replaced},
        {"no file has the name", gone, FileChange::Gone},
        {"the open file was emptied after its name went", goneAndEmptied, FileChange::Rewritten},
        {"a folder has the name", folder, FileChange::NotAFile},
    };
    const FileReadState known = Known(10, "0123456789");
    for (const Case& test : cases)
        EXPECT_EQ(ClassifyFileChange(known, test.Now), test.Expected) << test.What;

    // Nothing read yet: no tail to compare, so any size is growth or nothing.
    EXPECT_EQ(ClassifyFileChange(Known(0, ""), Same(0, "")), FileChange::Unchanged);
    EXPECT_EQ(ClassifyFileChange(Known(0, ""), Same(5, "")), FileChange::Grew);
}

// The tail keeps the last bytes read, however they came.
TEST(FileChangeClassifierTest, TailFollowsWhatWasRead)
{
    FileReadState state;
    state.Advance("abc");
    state.Advance("def");
    EXPECT_EQ(state.Offset, 6u);
    EXPECT_EQ(state.Tail, "abcdef");
    const std::string block(100, 'x');
    state.Advance(block + "0123456789");
    EXPECT_EQ(state.Offset, 116u);
    ASSERT_EQ(state.Tail.size(), FileReadState::TailBytes);
    EXPECT_EQ(state.Tail.substr(FileReadState::TailBytes - 10), "0123456789");
    std::string small(FileReadState::TailBytes - 1, 'y');
    state.Advance(small);
    EXPECT_EQ(state.Tail, "9" + small);
    state.StartAgain();
    EXPECT_EQ(state.Offset, 0u);
    EXPECT_TRUE(state.Tail.empty());
}

// On real files: a truncation refilled past the old size is told from plain growth by the bytes
// that were read, with the same descriptor and the same inode.
TEST(FileChangeClassifierTest, ObservesARefillOfTheSameFile)
{
    TempDir dir;
    const std::string path = dir.Write("log", "line one\nline two\n");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    FileReadState known;
    ASSERT_TRUE(IdentifyOpenFile(fd, known));
    LoadReadState(fd, 18, known);
    EXPECT_EQ(known.Tail, "line one\nline two\n");
    EXPECT_EQ(ClassifyFileChange(known, ObserveFile(fd, path, known)), FileChange::Unchanged);
    Append(path, "line three\n");
    EXPECT_EQ(ClassifyFileChange(known, ObserveFile(fd, path, known)), FileChange::Grew);

    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    Append(path, "another first line\nand more of it\n");
    EXPECT_EQ(ClassifyFileChange(known, ObserveFile(fd, path, known)), FileChange::Rewritten);

    std::filesystem::remove(path);
    EXPECT_EQ(ClassifyFileChange(known, ObserveFile(fd, path, known)), FileChange::Rewritten);
    known.StartAgain();
    EXPECT_EQ(ClassifyFileChange(known, ObserveFile(fd, path, known)), FileChange::Grew);
    ::close(fd);
}

// A folder that takes the name is waited out like a missing file: told once, then the wait
// lasts until a file comes (or a stop), and never turns into reading the folder.
TEST(FileChangeWaiterTest, WaitsOutAFolderAtTheName)
{
    TempDir dir;
    const std::string path = dir.Write("log", "old\n");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    FileReadState known;
    ASSERT_TRUE(IdentifyOpenFile(fd, known));
    LoadReadState(fd, 4, known);
    FileChangeWaiter waiter(path);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);

    std::stop_source never;
    EXPECT_EQ(waiter.Wait(fd, known, never.get_token()), FileChangeWaiter::Change::Missing);

    // The wait looks at the name before it looks at the stop request: Stopped means the folder
    // was seen and not taken for a change, even with the folder's own contents changing.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(waiter.Wait(fd, known, stop.get_token()), FileChangeWaiter::Change::Stopped);
    std::ofstream(path + "/inside") << "x";
    EXPECT_EQ(waiter.Wait(fd, known, stop.get_token()), FileChangeWaiter::Change::Stopped);

    // Left waiting, it returns once a file has the name again.
    std::atomic<int> result{-1};
    std::thread waiting([&] { result = static_cast<int>(waiter.Wait(fd, known, never.get_token())); });
    std::filesystem::remove_all(path);
    const std::string next = dir.Write("log.new", "new\n");
    std::filesystem::rename(next, path);
    waiting.join();
    EXPECT_EQ(result.load(), static_cast<int>(FileChangeWaiter::Change::Replaced));
    ::close(fd);
}
