// SPDX-License-Identifier: GPL-3.0-or-later
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "filtering/RotatedSet.h"

namespace {

class RotatedSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Dir =
            std::filesystem::temp_directory_path() / ("ostrel-rotated-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_Dir);
        std::filesystem::create_directories(m_Dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_Dir); }

    std::string Touch(const std::string& name)
    {
        const std::string path = (m_Dir / name).string();
        std::ofstream(path) << name << '\n';
        return path;
    }
    std::vector<std::string> NamesOf(const std::string& path)
    {
        std::vector<RotatedSetMember> members;
        std::string error;
        EXPECT_TRUE(FindRotatedSet(path, members, error)) << error;
        std::vector<std::string> names;
        for (const RotatedSetMember& member : members)
            names.push_back(std::filesystem::path(member.Path).filename().string());
        return names;
    }

    std::filesystem::path m_Dir;
};

TEST_F(RotatedSetTest, NumberedFilesComeOldestFirstWithTheLiveFileLast)
{
    // Written in a shuffled order: the folder's order must not matter.
    std::vector<std::string> names = {"app.log",       "app.log.1",     "app.log.2.gz", "app.log.3.zst",
                                      "app.log.10.xz", "app.log.9.bz2", "app.log.4"};
    std::shuffle(names.begin(), names.end(), std::mt19937(3));
    for (const std::string& name : names)
        Touch(name);
    // Look-alikes of other logs and of no rotation stay out.
    for (const char* other :
         {"app.log.bak", "app.log.1.gz.tmp", "app.logx", "app.log.x1", "other.log.1", "app.log.", "app.log.1234567"})
        Touch(other);
    std::filesystem::create_directory(m_Dir / "app.log.5"); // a folder is no log

    const std::vector<std::string> expected = {"app.log.10.xz", "app.log.9.bz2", "app.log.4", "app.log.3.zst",
                                               "app.log.2.gz",  "app.log.1",     "app.log"};
    EXPECT_EQ(NamesOf((m_Dir / "app.log").string()), expected);
    // Any member names the same set.
    EXPECT_EQ(NamesOf((m_Dir / "app.log.3.zst").string()), expected);
    EXPECT_EQ(NamesOf((m_Dir / "app.log.10.xz").string()), expected);
}

TEST_F(RotatedSetTest, DatedFilesComeInDateOrderAndBeforeNumberedOnes)
{
    for (const char* name : {"app.log", "app.log-20261202.gz", "app.log-20261130", "app.log-2026120108",
                             "app.log-2026-12-03", "app.log.1"})
        Touch(name);
    Touch("app.log-123"); // a number, not a date
    EXPECT_EQ(NamesOf((m_Dir / "app.log").string()),
              (std::vector<std::string>{"app.log-20261130", "app.log-2026120108", "app.log-20261202.gz",
                                        "app.log-2026-12-03", "app.log.1", "app.log"}));
    EXPECT_EQ(NamesOf((m_Dir / "app.log-2026-12-03").string()).size(), 6u);
}

TEST_F(RotatedSetTest, AFileBeingCompressedIsReadOnceAndAGoneLiveFileLeavesTheRest)
{
    Touch("app.log.1");
    Touch("app.log.1.gz");
    Touch("app.log.2.gz");
    // No live file: the rotated ones are still the set.
    EXPECT_EQ(NamesOf((m_Dir / "app.log.2.gz").string()), (std::vector<std::string>{"app.log.2.gz", "app.log.1"}));
    Touch("app.log");
    EXPECT_EQ(NamesOf((m_Dir / "app.log").string()),
              (std::vector<std::string>{"app.log.2.gz", "app.log.1", "app.log"}));
}

TEST_F(RotatedSetTest, ALiveFileWithADigitInItsNameKeepsItsOwnSet)
{
    // "build.2" looks rotated from "build", but it has rotations of its own.
    Touch("build.2");
    Touch("build.2.1");
    Touch("build");
    EXPECT_EQ(NamesOf((m_Dir / "build.2").string()), (std::vector<std::string>{"build.2.1", "build.2"}));
}

TEST_F(RotatedSetTest, NothingThereOrAnUnreadableFolderIsAnError)
{
    std::vector<RotatedSetMember> members;
    std::string error;
    EXPECT_FALSE(FindRotatedSet((m_Dir / "missing.log").string(), members, error));
    EXPECT_NE(error.find("missing.log: No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(FindRotatedSet((m_Dir / "nowhere" / "app.log").string(), members, error));
    EXPECT_NE(error.find("nowhere: No such file or directory"), std::string::npos) << error;
}

TEST_F(RotatedSetTest, TellsRotatedNamesApart)
{
    RotatedSetMember::Kind kind;
    std::string age;
    EXPECT_TRUE(IsRotatedName("a.log", "a.log.12.gz", kind, age));
    EXPECT_EQ(kind, RotatedSetMember::Kind::Numbered);
    EXPECT_EQ(age, "12");
    EXPECT_TRUE(IsRotatedName("a.log", "a.log_20261201.zst", kind, age));
    EXPECT_EQ(kind, RotatedSetMember::Kind::Dated);
    EXPECT_EQ(age, "20261201");
    for (const char* name :
         {"a.log", "a.log.gz", "a.log-1", "a.log.1a", "a.log-2026-1-01", "a.log-30001201", "b.log.1"})
        EXPECT_FALSE(IsRotatedName("a.log", name, kind, age)) << name;
}

} // namespace
