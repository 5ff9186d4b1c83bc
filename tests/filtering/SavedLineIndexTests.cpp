// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "filtering/FileDescriptor.h"
#include "filtering/FileLineIndex.h"
#include "filtering/SavedLineIndex.h"
#include "support/TempDir.h"

namespace {

// Lines of random lengths, some empty, the last one without a line feed when asked.
std::string RandomLines(std::uint32_t seed, int count, bool endsWithLineFeed = true)
{
    std::mt19937 random(seed);
    std::string text;
    for (int i = 0; i < count; ++i) {
        text.append(std::uniform_int_distribution<std::size_t>(0, 120)(random), static_cast<char>('a' + i % 26));
        if (i + 1 < count || endsWithLineFeed)
            text += '\n';
    }
    return text;
}

struct Expected
{
    std::int64_t LineCount = 1;
    std::vector<std::uint64_t> Checkpoints{0};
};

Expected IndexOf(const std::string& text)
{
    Expected expected;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n')
            continue;
        if (expected.LineCount++ % FileLineIndex::Stride == 0)
            expected.Checkpoints.push_back(i + 1);
    }
    return expected;
}

// Builds the index of the file with the saved indexes in folder; waits until it is complete.
struct BuiltIndex
{
    std::uint64_t Reused = 0;
    std::int64_t LineCount = 0;
    std::vector<std::uint64_t> Checkpoints;
};

BuiltIndex Build(const std::string& path, const std::string& folder, FileLineIndex::KnownLines known = {})
{
    FileLineIndex index(path);
    index.SetSaveFolder(folder);
    if (known.Size > 0)
        index.TakeKnownLines(std::move(known));
    int error = 0;
    EXPECT_TRUE(index.Start(error)) << error;
    for (int i = 0; i < 60000 && !index.IsComplete(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(index.IsComplete());
    BuiltIndex built;
    built.Reused = index.GetReusedBytes();
    built.LineCount = index.GetLineCount();
    for (std::int64_t line = 0; line < built.LineCount; line += FileLineIndex::Stride)
        built.Checkpoints.push_back(index.Locate(line).Offset);
    return built;
}

void ExpectIndexOf(const BuiltIndex& built, const std::string& text)
{
    const Expected expected = IndexOf(text);
    EXPECT_EQ(built.LineCount, expected.LineCount);
    EXPECT_EQ(built.Checkpoints, expected.Checkpoints);
}

// The lines of text as an editor holding it would hand them over.
FileLineIndex::KnownLines KnownLinesOf(const std::string& text)
{
    const Expected expected = IndexOf(text);
    FileLineIndex::KnownLines known;
    known.Size = text.size();
    known.LineFeeds = expected.LineCount - 1;
    known.Checkpoints = expected.Checkpoints;
    known.Head = text.substr(0, 4096);
    known.Tail = text.substr(text.size() - std::min<std::size_t>(4096, text.size()));
    return known;
}

struct timespec ModificationTime(const std::string& path)
{
    struct stat status
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return status.st_mtim;
}

void SetModificationTime(const std::string& path, struct timespec time)
{
    const struct timespec times[2] = {time, time};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Overwrites bytes in place, so the file keeps its inode and size.
void Overwrite(const std::string& path, std::uint64_t offset, const std::string& bytes)
{
    const FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_GE(file.Get(), 0);
    ASSERT_EQ(::pwrite(file.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
}

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Puts an environment variable back as it was when the test ends.
class EnvironmentKept
{
public:
    explicit EnvironmentKept(const char* name) : m_Name(name)
    {
        const char* value = std::getenv(name);
        m_bWasSet = value != nullptr;
        m_Value = value ? value : "";
    }
    ~EnvironmentKept()
    {
        if (m_bWasSet)
            ::setenv(m_Name, m_Value.c_str(), 1);
        else
            ::unsetenv(m_Name);
    }
    EnvironmentKept(const EnvironmentKept&) = delete;
    EnvironmentKept& operator=(const EnvironmentKept&) = delete;

private:
    const char* m_Name;
    std::string m_Value;
    bool m_bWasSet = false;
};

} // namespace

TEST(FileLineIndexSavedTest, ASecondOpenTakesTheSavedIndex)
{
    TempDir dir;
    const std::string folder = (dir.Path() / "cache").string();
    const std::string text = RandomLines(1, 30000);
    const std::string path = dir.Write("big.log", text);

    const BuiltIndex first = Build(path, folder);
    EXPECT_EQ(first.Reused, 0u);
    ExpectIndexOf(first, text);
    EXPECT_TRUE(std::filesystem::is_regular_file(SavedLineIndex(folder).GetEntryPath(path)));

    const BuiltIndex second = Build(path, folder);
    EXPECT_EQ(second.Reused, text.size());
    ExpectIndexOf(second, text);

    // Another name of the same file has an entry of its own; the path is the key.
    const std::string other = (dir.Path() / "other.log").string();
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    EXPECT_EQ(Build(other, folder).Reused, 0u);
    // Without a folder nothing is saved or taken.
    EXPECT_EQ(Build(path, "").Reused, 0u);
}

TEST(FileLineIndexSavedTest, AChangedFileIsReadAgain)
{
    TempDir dir;
    const std::string folder = (dir.Path() / "cache").string();
    const std::string text = RandomLines(2, 20000);
    const std::string path = dir.Write("big.log", text);
    const auto saveFresh = [&] {
        std::filesystem::remove_all(folder);
        dir.Write("big.log", text);
        ASSERT_EQ(Build(path, folder).Reused, 0u);
    };

    // A new modification time, bytes and size as they were.
    saveFresh();
    struct timespec later = ModificationTime(path);
    later.tv_sec += 10;
    SetModificationTime(path, later);
    const BuiltIndex touched = Build(path, folder);
    EXPECT_EQ(touched.Reused, 0u);
    ExpectIndexOf(touched, text);
    EXPECT_EQ(Build(path, folder).Reused, text.size()) << "saved again for the new time";

    // Bytes changed in place at the start and at the end, with the time put back: the samples.
    for (const std::uint64_t offset : {std::uint64_t{5}, std::uint64_t{text.size() - 3}}) {
        saveFresh();
        const struct timespec saved = ModificationTime(path);
        std::string changed = text;
        changed[offset] = text[offset] == '\n' ? 'Q' : '\n';
        Overwrite(path, offset, changed.substr(offset, 1));
        SetModificationTime(path, saved);
        const BuiltIndex built = Build(path, folder);
        EXPECT_EQ(built.Reused, 0u) << offset;
        ExpectIndexOf(built, changed);
    }

    // Another file put in its place, same bytes and time: another inode.
    saveFresh();
    {
        const struct timespec saved = ModificationTime(path);
        const std::string copy = dir.Write("copy.log", text);
        SetModificationTime(copy, saved);
        ASSERT_EQ(::rename(copy.c_str(), path.c_str()), 0);
        EXPECT_EQ(Build(path, folder).Reused, 0u);
    }

    // Shorter than what the saved index covers.
    saveFresh();
    const std::string shorter = text.substr(0, text.size() / 2);
    std::filesystem::resize_file(path, shorter.size());
    const BuiltIndex cut = Build(path, folder);
    EXPECT_EQ(cut.Reused, 0u);
    ExpectIndexOf(cut, shorter);
}

TEST(FileLineIndexSavedTest, AGrownFileKeepsTheSavedPart)
{
    TempDir dir;
    const std::string folder = (dir.Path() / "cache").string();
    // The saved part ends inside a line, and the appended bytes finish that line first.
    const std::string head = RandomLines(3, 20000) + "unfinished";
    const std::string path = dir.Write("big.log", head);
    ASSERT_EQ(Build(path, folder).Reused, 0u);
    const std::string tail = "the rest of it\n" + RandomLines(4, 3000);
    Append(path, tail);
    const BuiltIndex grown = Build(path, folder);
    EXPECT_EQ(grown.Reused, head.size());
    ExpectIndexOf(grown, head + tail);

    // Grown, but the end of the saved part was rewritten too: nothing of it is taken.
    std::filesystem::remove_all(folder);
    dir.Write("big.log", head);
    ASSERT_EQ(Build(path, folder).Reused, 0u);
    Overwrite(path, head.size() - 2, "\n\n");
    Append(path, tail);
    std::string changed = head + tail;
    changed[head.size() - 2] = changed[head.size() - 1] = '\n';
    const BuiltIndex rewritten = Build(path, folder);
    EXPECT_EQ(rewritten.Reused, 0u);
    ExpectIndexOf(rewritten, changed);
}

TEST(FileLineIndexKnownTest, KnownLinesAreTakenWhileTheFileStillHoldsTheirBytes)
{
    TempDir dir;
    const std::string folder = (dir.Path() / "cache").string();
    // Same size, same first and last 4096 bytes, other lines between: what is taken shows
    // whether the known lines or the file's own were used.
    const std::string ends(4096, 'e');
    const std::string known = ends + "\n" + RandomLines(5, 20000) + ends;
    std::string file = known;
    for (std::size_t i = 4200; i < file.size() - 4200; ++i)
        file[i] = file[i] == '\n' ? 'x' : file[i];
    const std::string path = dir.Write("big.log", file);
    const BuiltIndex taken = Build(path, "", KnownLinesOf(known));
    ExpectIndexOf(taken, known);

    // Grown since: the known part is taken, and the rest is counted on from its end.
    dir.Write("big.log", known);
    const std::string more = "rest of the last line\n" + RandomLines(6, 500, false);
    Append(path, more);
    ExpectIndexOf(Build(path, "", KnownLinesOf(known)), known + more);

    // Read instead: the file no longer starts, or ends, with the known bytes, or is shorter.
    std::string changed = known;
    changed[10] = '\n';
    dir.Write("big.log", changed);
    ExpectIndexOf(Build(path, "", KnownLinesOf(known)), changed);
    changed = known;
    changed[known.size() - 10] = '\n';
    dir.Write("big.log", changed);
    ExpectIndexOf(Build(path, "", KnownLinesOf(known)), changed);
    dir.Write("big.log", known.substr(0, known.size() / 2));
    ExpectIndexOf(Build(path, "", KnownLinesOf(known)), known.substr(0, known.size() / 2));

    // Lines that do not add up are read instead, whatever the bytes say.
    dir.Write("big.log", file);
    FileLineIndex::KnownLines uneven = KnownLinesOf(known);
    uneven.Checkpoints.pop_back();
    ExpectIndexOf(Build(path, "", uneven), file);

    // A saved index comes first; known lines do not stand in for it.
    dir.Write("big.log", file);
    ASSERT_EQ(Build(path, folder).Reused, 0u);
    const BuiltIndex saved = Build(path, folder, KnownLinesOf(known));
    EXPECT_EQ(saved.Reused, file.size());
    ExpectIndexOf(saved, file);
}

TEST(FileLineIndexSavedTest, ADamagedEntryIsIgnoredAndWrittenAnew)
{
    TempDir dir;
    const std::string folder = (dir.Path() / "cache").string();
    const std::string text = RandomLines(5, 20000);
    const std::string path = dir.Write("big.log", text);
    ASSERT_EQ(Build(path, folder).Reused, 0u);
    const std::string entry = SavedLineIndex(folder).GetEntryPath(path);
    const std::string good = ReadFile(entry);
    ASSERT_GT(good.size(), 200u);

    std::vector<std::pair<const char*, std::string>> damaged;
    damaged.emplace_back("empty", "");
    damaged.emplace_back("cut in the header", good.substr(0, 50));
    damaged.emplace_back("cut in the checkpoints", good.substr(0, good.size() - 8));
    damaged.emplace_back("longer", good + "x");
    damaged.emplace_back("foreign", std::string(good.size(), 'z'));
    for (const std::size_t offset : {std::size_t{1}, std::size_t{9}, std::size_t{40}, good.size() - 5}) {
        std::string flipped = good;
        flipped[offset] = static_cast<char>(flipped[offset] ^ 0x10);
        damaged.emplace_back("a byte changed", flipped);
    }
    for (const auto& [what, bytes] : damaged) {
        std::ofstream(entry, std::ios::binary | std::ios::trunc) << bytes;
        const BuiltIndex built = Build(path, folder);
        EXPECT_EQ(built.Reused, 0u) << what;
        ExpectIndexOf(built, text);
        EXPECT_EQ(ReadFile(entry), good) << what << ": written anew";
    }
    // A folder where the entry should be is no entry either.
    std::filesystem::remove(entry);
    std::filesystem::create_directory(entry);
    ExpectIndexOf(Build(path, folder), text);
}

TEST(FileLineIndexSavedTest, AnUnwritableFolderLeavesTheIndexWhole)
{
    TempDir dir;
    const std::string text = RandomLines(6, 20000);
    const std::string path = dir.Write("big.log", text);

    // The cache folder's name is taken by a file: nothing can be created in it.
    const std::string blocked = dir.Write("blocked", "not a folder");
    const BuiltIndex built = Build(path, blocked + "/ostrel");
    EXPECT_EQ(built.Reused, 0u);
    ExpectIndexOf(built, text);
    EXPECT_EQ(ReadFile(blocked), "not a folder");

    // A folder without write permission (which binds only users other than root).
    if (::geteuid() != 0) {
        const std::filesystem::path locked = dir.Path() / "locked";
        std::filesystem::create_directory(locked);
        std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        ExpectIndexOf(Build(path, locked.string()), text);
        EXPECT_TRUE(std::filesystem::is_empty(locked));
    }
}

TEST(FileLineIndexSavedTest, TheUserCacheFolderFollowsTheEnvironment)
{
    const EnvironmentKept keptCache("XDG_CACHE_HOME");
    const EnvironmentKept keptHome("HOME");
    TempDir dir;
    const std::string cache = (dir.Path() / "xdg").string();
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    EXPECT_EQ(SavedLineIndex::DefaultFolder(), cache + "/ostrel");

    // The index saves in it and takes from it.
    const std::string text = RandomLines(7, 5000);
    const std::string path = dir.Write("big.log", text);
    for (const std::uint64_t reused : {std::uint64_t{0}, std::uint64_t{text.size()}}) {
        FileLineIndex index(path);
        index.SaveInUserCache();
        int error = 0;
        ASSERT_TRUE(index.Start(error));
        for (int i = 0; i < 60000 && !index.IsComplete(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(index.IsComplete());
        EXPECT_EQ(index.GetReusedBytes(), reused);
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(SavedLineIndex(cache + "/ostrel").GetEntryPath(path)));

    // A relative XDG_CACHE_HOME is not used; HOME's .cache is.
    ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SavedLineIndex::DefaultFolder(), "/home/someone/.cache/ostrel");
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(SavedLineIndex::DefaultFolder(), "");
}

TEST(SavedLineIndexTest, TheFolderKeepsToItsLimitDroppingTheLeastRecentlyUsed)
{
    TempDir dir;
    const std::string folder = (dir.Path() / "cache").string();
    std::vector<std::string> logs;
    std::vector<SavedLineIndex::Contents> contents;
    for (int i = 0; i < 4; ++i) {
        const std::string text = "line " + std::to_string(i) + "\nand more\n";
        logs.push_back(dir.Write("log" + std::to_string(i), text));
        contents.push_back(SavedLineIndex::Contents{text.size(), 2, {0}});
    }
    // Room for three entries: the header, the path and one checkpoint each.
    const std::uint64_t entrySize = 104 + std::filesystem::absolute(logs[0]).string().size() + 8;
    const SavedLineIndex saved(folder, 3 * entrySize);
    const auto save = [&](int i) {
        const FileDescriptor file(::open(logs[static_cast<std::size_t>(i)].c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(saved.Save(logs[static_cast<std::size_t>(i)], file.Get(), FileLineIndex::Stride,
                               contents[static_cast<std::size_t>(i)]));
        // Entries used one second apart, so their order does not hang on the clock's resolution.
        SetModificationTime(saved.GetEntryPath(logs[static_cast<std::size_t>(i)]), {1000000 + i * 10, 0});
    };
    const auto load = [&](int i) {
        const FileDescriptor file(::open(logs[static_cast<std::size_t>(i)].c_str(), O_RDONLY | O_CLOEXEC));
        SavedLineIndex::Contents loaded;
        return saved.Load(logs[static_cast<std::size_t>(i)], file.Get(), FileLineIndex::Stride, loaded) &&
               loaded.Size == contents[static_cast<std::size_t>(i)].Size && loaded.LineFeeds == 2;
    };
    for (int i = 0; i < 3; ++i)
        save(i);
    EXPECT_TRUE(load(0) && load(1) && load(2));
    // Taking an entry makes it recently used: log 1 is now the oldest.
    SetModificationTime(saved.GetEntryPath(logs[1]), {1000000, 0});
    SetModificationTime(saved.GetEntryPath(logs[0]), {1000005, 0});
    save(3);
    EXPECT_TRUE(load(0));
    EXPECT_FALSE(load(1));
    EXPECT_TRUE(load(2));
    EXPECT_TRUE(load(3));

    // An entry bigger than the whole limit is not written.
    const SavedLineIndex tiny(folder, 16);
    const FileDescriptor file(::open(logs[0].c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(tiny.Save(logs[0], file.Get(), FileLineIndex::Stride, contents[0]));
    // Nor contents that cannot stand for an index.
    EXPECT_FALSE(saved.Save(logs[0], file.Get(), FileLineIndex::Stride, SavedLineIndex::Contents{10, 200, {0}}));
    EXPECT_FALSE(saved.Save(logs[0], file.Get(), FileLineIndex::Stride, SavedLineIndex::Contents{1000, 2, {0}}))
        << "more bytes than the file has";
}
