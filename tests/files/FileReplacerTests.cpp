// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "files/FileReplacer.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;
constexpr gid_t Adm = 4;

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat StatOf(const fs::path& path)
{
    struct stat info = {};
    ::lstat(path.c_str(), &info);
    return info;
}

// Runs fn in a child that has become nobody, in the given supplementary groups, so that file
// modes apply as they do to users. Returns what fn returned, or -1 when the child failed.
int RunAsNobody(const std::vector<gid_t>& groups, const std::function<int()>& fn)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(NoGroup) != 0 || ::setuid(Nobody) != 0)
            ::_exit(255);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

#define REQUIRE_ROOT()                                                                                                 \
    if (::geteuid() != 0)                                                                                              \
    GTEST_SKIP() << "needs root to give files to other users"

std::string Commit(const std::string& path, const std::vector<std::string>& chunks, TemporaryFileKind kind,
                   ReplaceOutcome* outcome = nullptr)
{
    FileReplacer replacer(path, kind);
    int error = replacer.Begin();
    for (const std::string& chunk : chunks)
        error = error == 0 ? replacer.Write(chunk) : error;
    error = error == 0 ? replacer.Commit() : error;
    if (outcome)
        *outcome = replacer.GetOutcome();
    return error == 0 ? std::string() : std::to_string(error);
}

} // namespace

TEST(FileReplacerTests, ReplacingKeepsModeOwnerAndGroup)
{
    REQUIRE_ROOT();
    struct Case
    {
        const char* Name;
        mode_t Mode;
        uid_t Owner;
        gid_t Group;
    };
    const Case cases[] = {
        {"private, nobody:adm", 0600, Nobody, Adm},
        {"set-group-ID, group-readable", 02750, Nobody, Adm},
        {"set-user-ID program", 04755, 0, Adm},
        {"world-writable", 0666, Nobody, NoGroup},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.Write("app.log", "old text\n");
        ASSERT_EQ(::chown(path.c_str(), c.Owner, c.Group), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.Mode), 0);
        ReplaceOutcome outcome = ReplaceOutcome::None;
        EXPECT_EQ(Commit(path, {"new text\n"}, TemporaryFileKind::Unnamed, &outcome), "") << c.Name;
        const struct stat after = StatOf(path);
        EXPECT_EQ(after.st_mode & 07777, c.Mode) << c.Name;
        EXPECT_EQ(after.st_uid, c.Owner) << c.Name;
        EXPECT_EQ(after.st_gid, c.Group) << c.Name;
        EXPECT_EQ(outcome, ReplaceOutcome::Replaced) << c.Name;
        EXPECT_EQ(ReadBytes(path), "new text\n") << c.Name;
        EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"app.log"}) << c.Name;
    }
}

TEST(FileReplacerTests, ANewFileGetsTheModeTheUmaskAllows)
{
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{077}, mode_t{0}}) {
        TempDir dir;
        const mode_t previous = ::umask(mask);
        const int error = ReplaceFileContent((dir.Path() / "new.log").string(), "text");
        ::umask(previous);
        ASSERT_EQ(error, 0) << mask;
        EXPECT_EQ(StatOf(dir.Path() / "new.log").st_mode & 07777, 0666 & ~mask) << mask;
        EXPECT_EQ(ReadBytes(dir.Path() / "new.log"), "text") << mask;
    }
}

TEST(FileReplacerTests, AnUnprivilegedWriterKeepsTheGroupOnlyAsAMember)
{
    REQUIRE_ROOT();
    // Never more than the old file allowed: without its group the group's bits go, and set-ID
    // bits go with the owner or group they were for.
    struct Case
    {
        const char* Name;
        std::vector<gid_t> Groups;
        mode_t Mode;
        gid_t ExpectedGroup;
        mode_t ExpectedMode;
    };
    const Case cases[] = {
        {"member of the file's group", {Adm}, 0664, Adm, 0664},
        {"member, set-user-ID of another owner", {Adm}, 06664, Adm, 02664},
        {"not a member", {}, 0666, NoGroup, 0606},
        {"not a member, set-group-ID", {}, 02666, NoGroup, 0606},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::permissions(dir.Path(), fs::perms::all);
        const std::string path = dir.Write("shared.log", "old");
        ASSERT_EQ(::chown(path.c_str(), 0, Adm), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.Mode), 0);
        EXPECT_EQ(RunAsNobody(c.Groups, [&] { return ReplaceFileContent(path, "new"); }), 0) << c.Name;
        const struct stat after = StatOf(path);
        EXPECT_EQ(after.st_uid, Nobody) << c.Name;
        EXPECT_EQ(after.st_gid, c.ExpectedGroup) << c.Name;
        EXPECT_EQ(after.st_mode & 07777, c.ExpectedMode) << c.Name;
        EXPECT_EQ(ReadBytes(path), "new") << c.Name;
    }
}

TEST(FileReplacerTests, LinksStayAndTheFileTheyNameIsReplaced)
{
    TempDir dir;
    const fs::path root = dir.Path();
    fs::create_directories(root / "real");
    fs::create_directories(root / "sub");
    fs::create_directories(root / "made");
    const std::string real = dir.Write("real/app.log", "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real/app.log", root / "direct");
    // A chain whose last link is relative to its own folder, not to the first link's.
    fs::create_symlink("chain2", root / "chain1");
    fs::create_symlink("sub/chain3", root / "chain2");
    fs::create_symlink("../real/app.log", root / "sub/chain3");
    fs::create_symlink(real, root / "absolute");
    const std::vector<std::string> entries = Entries(root);
    for (const char* link : {"direct", "chain1", "absolute"}) {
        const std::string text = std::string("new through ") + link;
        ASSERT_EQ(ReplaceFileContent((root / link).string(), text), 0) << link;
        EXPECT_TRUE(fs::is_symlink(root / link)) << link;
        EXPECT_EQ(ReadBytes(real), text) << link;
        EXPECT_EQ(StatOf(real).st_mode & 07777, 0640u) << link;
        EXPECT_EQ(Entries(root), entries) << link;
        EXPECT_EQ(Entries(root / "real"), std::vector<std::string>{"app.log"}) << link;
    }
    EXPECT_TRUE(fs::is_symlink(root / "chain2"));
    EXPECT_TRUE(fs::is_symlink(root / "sub/chain3"));

    // A dangling link creates the file it names.
    fs::create_symlink("made/new.log", root / "dangling");
    FileReplacer replacer((root / "dangling").string());
    ASSERT_EQ(replacer.Begin(), 0);
    EXPECT_EQ(replacer.GetResolvedPath(), (root / "made/new.log").string());
    ASSERT_EQ(replacer.Write("created"), 0);
    ASSERT_EQ(replacer.Commit(), 0);
    EXPECT_TRUE(fs::is_symlink(root / "dangling"));
    EXPECT_EQ(ReadBytes(root / "made/new.log"), "created");

    // A loop is an error, and nothing is created.
    fs::create_symlink("loopB", root / "loopA");
    fs::create_symlink("loopA", root / "loopB");
    const std::vector<std::string> before = Entries(root);
    EXPECT_EQ(ReplaceFileContent((root / "loopA").string(), "x"), ELOOP);
    EXPECT_EQ(Entries(root), before);
}

TEST(FileReplacerTests, AFileWithSeveralNamesIsRewrittenInPlace)
{
    // Longer and shorter than the old text: nothing of the old may be left at the end.
    for (const TemporaryFileKind kind : {TemporaryFileKind::Unnamed, TemporaryFileKind::Named}) {
        for (const std::string& text : {std::string(3 * 1024 * 1024 + 7, 'L'), std::string("short")}) {
            TempDir dir;
            const std::string first = dir.Write("a.log", std::string(100 * 1024, 'o'));
            fs::create_directories(dir.Path() / "other");
            fs::create_hard_link(first, dir.Path() / "b.log");
            fs::create_hard_link(first, dir.Path() / "other/c.log");
            const ino_t inode = StatOf(first).st_ino;
            ReplaceOutcome outcome = ReplaceOutcome::None;
            const std::string name = std::to_string(text.size()) + (kind == TemporaryFileKind::Named ? " named" : "");
            ASSERT_EQ(Commit(first, {text.substr(0, 2), text.substr(2)}, kind, &outcome), "") << name;
            EXPECT_EQ(outcome, ReplaceOutcome::WrittenInPlace) << name;
            for (const fs::path& name2 : {fs::path(first), dir.Path() / "b.log", dir.Path() / "other/c.log"}) {
                EXPECT_EQ(StatOf(name2).st_ino, inode) << name << ' ' << name2;
                EXPECT_EQ(StatOf(name2).st_nlink, 3u) << name << ' ' << name2;
                EXPECT_TRUE(ReadBytes(name2) == text) << name << ' ' << name2;
            }
            EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"a.log", "b.log", "other"})) << name;
        }
    }
}

TEST(FileReplacerTests, AFailedRewriteLeavesTheWholeTextUnderTheSavedName)
{
    // The rewrite in place hits the file size limit after the copy was finished: the saved name
    // gets the copy, the other name keeps what the rewrite left.
    TempDir dir;
    const std::string first = dir.Write("a.log", "old text");
    ::chmod(first.c_str(), 0640);
    fs::create_hard_link(first, dir.Path() / "b.log");
    const std::string text(64 * 1024, 'n');
    constexpr rlim_t Limit = 4096;
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        FileReplacer replacer(first);
        if (replacer.Begin() != 0 || replacer.Write(text) != 0)
            ::_exit(200);
        const rlimit limit{Limit, Limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int error = replacer.Commit();
        ::_exit(replacer.GetOutcome() == ReplaceOutcome::ReplacedAfterInPlaceFailure ? error : 201);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_TRUE(ReadBytes(first) == text);
    EXPECT_EQ(StatOf(first).st_mode & 07777, 0640u);
    EXPECT_EQ(StatOf(first).st_nlink, 1u);
    const std::string left = ReadBytes(dir.Path() / "b.log");
    EXPECT_LE(left.size(), Limit);
    EXPECT_TRUE(text.starts_with(left));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"a.log", "b.log"}));
}

TEST(FileReplacerTests, AKilledWriterLeavesNothingBehind)
{
    struct Case
    {
        const char* Name;
        bool Exists;
        bool SecondName;
        TemporaryFileKind Kind;
    };
    const Case cases[] = {
        {"new file", false, false, TemporaryFileKind::Unnamed},
        {"replaced file", true, false, TemporaryFileKind::Unnamed},
        {"file with two names", true, true, TemporaryFileKind::Unnamed},
        {"named temporary file", true, false, TemporaryFileKind::Named},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = (dir.Path() / "app.log").string();
        if (c.Exists)
            dir.Write("app.log", "old");
        if (c.SecondName)
            fs::create_hard_link(path, dir.Path() / "second.log");
        const std::vector<std::string> before = Entries(dir.Path());
        int ready[2];
        int hold[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(hold), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            FileReplacer replacer(path, c.Kind);
            if (replacer.Begin() != 0 || replacer.Write(std::string(1024 * 1024, 'x')) != 0)
                ::_exit(1);
            const char kind = replacer.GetTemporaryKind() == TemporaryFileKind::Unnamed ? 'u' : 'n';
            if (::write(ready[1], &kind, 1) != 1)
                ::_exit(1);
            char never = 0;
            // The parent keeps the other end open and kills us while we wait here.
            while (::read(hold[0], &never, 1) != 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        char kind = 0;
        const bool started = ::read(ready[0], &kind, 1) == 1;
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ::close(hold[0]);
        ::close(hold[1]);
        ASSERT_TRUE(started) << c.Name;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << c.Name;
        const std::vector<std::string> after = Entries(dir.Path());
        if (kind == 'u') {
            EXPECT_EQ(after, before) << c.Name;
        } else {
            // Where the data waits under a name, that name is what a kill leaves, recognisably.
            ASSERT_EQ(after.size(), before.size() + 1) << c.Name;
            const auto extra = std::find_if(after.begin(), after.end(), [&](const std::string& name) {
                return std::find(before.begin(), before.end(), name) == before.end();
            });
            EXPECT_TRUE(extra->starts_with(".app.log.ostrel-") && extra->ends_with(".tmp")) << *extra;
            EXPECT_EQ(extra->size(), std::string(".app.log.ostrel-XXXXXX.tmp").size()) << *extra;
        }
        EXPECT_EQ(kind, c.Kind == TemporaryFileKind::Unnamed ? 'u' : 'n') << c.Name << ": O_TMPFILE in " << dir.Path();
        if (c.Exists) {
            EXPECT_EQ(ReadBytes(path), "old") << c.Name;
        }
    }
}

TEST(FileReplacerTests, RefusedWritesReturnTheErrorAndLeaveTheOldFile)
{
    REQUIRE_ROOT();
    struct Case
    {
        const char* Name;
        std::function<std::string(TempDir&)> Prepare; // returns the path to write
        bool AsNobody;
        int Error;
    };
    const auto file = [](TempDir& dir, mode_t mode, bool secondName) {
        const std::string path = dir.Write("old.log", "old contents");
        ::chmod(path.c_str(), mode);
        if (secondName)
            fs::create_hard_link(path, dir.Path() / "second.log");
        return path;
    };
    const Case cases[] = {
        {"read-only file", [&](TempDir& dir) { return file(dir, 0444, false); }, true, EACCES},
        {"read-only file with two names", [&](TempDir& dir) { return file(dir, 0444, true); }, true, EACCES},
        {"folder that may not be written",
         [&](TempDir& dir) {
             const std::string path = file(dir, 0666, false);
             fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
             return path;
         },
         true, EACCES},
        {"folder in the way",
         [&](TempDir& dir) {
             fs::create_directory(dir.Path() / "taken");
             dir.Write("taken/inside", "x");
             return (dir.Path() / "taken").string();
         },
         false, EISDIR},
        {"missing folder", [&](TempDir& dir) { return (dir.Path() / "no/such.log").string(); }, false, ENOENT},
        {"named pipe",
         [&](TempDir& dir) {
             const std::string path = (dir.Path() / "pipe").string();
             ::mkfifo(path.c_str(), 0666);
             return path;
         },
         false, EINVAL},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::permissions(dir.Path(), fs::perms::all);
        const std::string path = c.Prepare(dir);
        const std::vector<std::string> before = Entries(dir.Path());
        const auto write = [&] { return ReplaceFileContent(path, "new"); };
        EXPECT_EQ(c.AsNobody ? RunAsNobody({}, write) : write(), c.Error) << c.Name;
        EXPECT_EQ(Entries(dir.Path()), before) << c.Name;
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(ReadBytes(path), "old contents") << c.Name;
        }
    }
}

TEST(FileReplacerTests, ChunksJoinAndAnAbandonedWriteLeavesTheOldFile)
{
    for (const TemporaryFileKind kind : {TemporaryFileKind::Unnamed, TemporaryFileKind::Named}) {
        const char* name = kind == TemporaryFileKind::Unnamed ? "unnamed" : "named";
        TempDir dir;
        const std::string path = dir.Write("f", "old");
        const std::string big(3 * 1024 * 1024, 'b');
        EXPECT_EQ(Commit(path, {"one ", "", "two ", big}, kind), "") << name;
        EXPECT_TRUE(ReadBytes(path) == "one two " + big) << name;

        FileReplacer abandoned(path, kind);
        ASSERT_EQ(abandoned.Begin(), 0) << name;
        ASSERT_EQ(abandoned.Write("dropped"), 0) << name;
        abandoned.Abandon();
        EXPECT_EQ(abandoned.Write("more"), ECANCELED) << name;
        EXPECT_EQ(abandoned.Commit(), ECANCELED) << name;
        {
            FileReplacer forgotten(path, kind);
            ASSERT_EQ(forgotten.Begin(), 0) << name;
            ASSERT_EQ(forgotten.Write("dropped"), 0) << name;
        }
        EXPECT_TRUE(ReadBytes(path) == "one two " + big) << name;
        EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"f"}) << name;

        // A rename that fails at the end takes the temporary name with it.
        FileReplacer late((dir.Path() / "late").string(), kind);
        ASSERT_EQ(late.Begin(), 0) << name;
        ASSERT_EQ(late.Write("late"), 0) << name;
        fs::create_directory(dir.Path() / "late");
        dir.Write("late/inside", "x");
        EXPECT_NE(late.Commit(), 0) << name;
        EXPECT_EQ(late.GetOutcome(), ReplaceOutcome::None) << name;
        EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"f", "late"})) << name;
    }
}
