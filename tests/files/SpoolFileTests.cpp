// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/SpoolFile.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The pid of a process that has ended and been reaped.
pid_t DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// A child that has ended and is kept unreaped (a zombie) until Reap.
pid_t UnreapedPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    // waitid with WNOWAIT waits for the end and leaves the child to be reaped later.
    siginfo_t info = {};
    ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT);
    return child;
}

void Touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

} // namespace

TEST(SpoolFileTests, CreatesAPrivateFileInANewFolderAndRemovesItWhenGone)
{
    TempDir dir;
    const fs::path folder = dir.Path() / "run" / "ostrel";
    std::string path;
    {
        SpoolFile spool;
        ASSERT_EQ(spool.Create(folder.string(), "stdin"), 0);
        path = spool.GetPath();
        ASSERT_TRUE(fs::exists(path));
        EXPECT_EQ(fs::path(path).parent_path(), folder);
        EXPECT_NE(fs::path(path).filename().string().find(std::to_string(::getpid())), std::string::npos);
        struct stat status = {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
        ASSERT_EQ(::stat(folder.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        ASSERT_GE(spool.GetDescriptor(), 0);
        EXPECT_EQ(::write(spool.GetDescriptor(), "abc", 3), 3);
        EXPECT_EQ(fs::file_size(path), 3u);

        // A second spool in the same folder is a file of its own.
        SpoolFile other;
        ASSERT_EQ(other.Create(folder.string(), "stdin"), 0);
        EXPECT_NE(other.GetPath(), path);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(SpoolFileTests, ReportsAFolderThatCannotBeMade)
{
    TempDir dir;
    Touch(dir.Path() / "file");
    SpoolFile spool;
    EXPECT_EQ(spool.Create((dir.Path() / "file" / "ostrel").string(), "stdin"), ENOTDIR);
    EXPECT_TRUE(spool.GetPath().empty());
    EXPECT_EQ(spool.GetDescriptor(), -1);
}

TEST(SpoolFileTests, SweepRemovesOnlyTheFilesOfDeadProcesses)
{
    TempDir dir;
    const fs::path folder = dir.Path();
    SpoolFile mine;
    ASSERT_EQ(mine.Create(folder.string(), "command"), 0);
    const fs::path dead = folder / ("spool-" + std::to_string(DeadPid()) + "-stdin-abcdef");
    const fs::path parent = folder / ("spool-" + std::to_string(::getppid()) + "-stdin-abcdef");
    const fs::path foreign = folder / "notes.txt";
    const fs::path badPid = folder / "spool-x-stdin-abcdef";
    const pid_t zombie = UnreapedPid();
    const fs::path unreaped = folder / ("spool-" + std::to_string(zombie) + "-command-abcdef");
    for (const fs::path& path : {dead, parent, foreign, badPid, unreaped})
        Touch(path);

    EXPECT_EQ(SpoolFile::SweepLeftovers(folder.string()), 2);
    int status = 0;
    ::waitpid(zombie, &status, 0);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(unreaped));
    for (const fs::path& kept : {fs::path(mine.GetPath()), parent, foreign, badPid})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_EQ(SpoolFile::SweepLeftovers((folder / "missing").string()), 0);
}

TEST(SpoolFileTests, DefaultFolderPrefersTheRuntimeFolder)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime ? runtime : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(SpoolFile::DefaultFolder(), "/run/user/4242/ostrel");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("XDG_CACHE_HOME", "/home/u/.cache", 1);
    EXPECT_EQ(SpoolFile::DefaultFolder(), "/home/u/.cache/ostrel");
    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SpoolFile::DefaultFolder(), "/home/u/.cache/ostrel");
    if (runtime)
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
}
