// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/FilterSettingsFile.h"
#include "filtering/TextCodec.h"

namespace {

namespace fs = std::filesystem;

Filter MakeFilter(const std::u16string& text, std::int32_t regExp = 0, bool caseSensitive = false,
                  std::int32_t before = 0, std::int32_t after = 0)
{
    return Filter{caseSensitive, regExp, before, after, text};
}

std::string Describe(const Filter& filter)
{
    return "\"" + EncodeText(filter.FilterString, TextEncoding::Utf8) + "\" re=" + std::to_string(filter.RegExp) +
           " cs=" + std::to_string(filter.CaseSensitive) + " before=" + std::to_string(filter.OutputBeforeMatch) +
           " after=" + std::to_string(filter.OutputAfterMatch);
}

void Fill(FilterSettings& list, const std::vector<Filter>& filters)
{
    for (const Filter& filter : filters) {
        const int index = list.GetCount();
        list.AddFilter(filter.FilterString, filter.RegExp);
        list.SetCaseSensitive(index, filter.CaseSensitive);
        list.SetOutputBeforeMatch(index, filter.OutputBeforeMatch);
        list.SetOutputAfterMatch(index, filter.OutputAfterMatch);
    }
}

void ExpectFilters(const FilterSettings& list, const std::vector<Filter>& expected, const std::string& name)
{
    ASSERT_EQ(list.GetCount(), static_cast<int>(expected.size())) << name;
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Describe(*list.GetFilter(static_cast<int>(i))), Describe(expected[i])) << name << ", filter " << i;
}

std::string Repeat(const std::string& text, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += text;
    return out;
}

class FilterSettingsFileTests : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/ostrel-flt-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_strFolder = folder;
    }

    void TearDown() override
    {
        std::error_code error;
        fs::permissions(m_strFolder, fs::perms::owner_all, error);
        fs::remove_all(m_strFolder, error);
    }

    std::string PathOf(const std::string& name) const { return m_strFolder + "/" + name; }

    std::string WriteBytes(const std::string& name, const std::string& bytes) const
    {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_strFolder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_strFolder;
};

// Root ignores file modes: a forked child drops to "nobody" so that permissions really apply.
// Returns what fn returned, or -1 when the child could not run it.
template <class Function> int RunUnprivileged(Function fn)
{
    if (::geteuid() != 0)
        return fn();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(255);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

TEST_F(FilterSettingsFileTests, WritesTheExactLayout)
{
    FilterSettings list;
    Fill(list, {MakeFilter(u"ERROR \u00e9", 0, true, 2, 10), MakeFilter(u"^a.*b$", 5, false, 0, 2147483647)});
    list.SetExcludeMatches(true);
    // An older, longer file must be replaced, not overwritten in place.
    const std::string path = WriteBytes("exact.flt", std::string(4000, 'x'));

    const FilterFileResult result = WriteFilterSettingsFile(path, list);
    ASSERT_TRUE(result.Ok()) << result.Message;
    EXPECT_EQ(ReadBytes(path), "<FilterSettings>\r\n"
                               "   ExcludeMatches=1\r\n"
                               "</FilterSettings>\r\n"
                               "<Filter>\r\n"
                               "   FilterString=\"ERROR \xE9\"\r\n"
                               "   RegExp=0\r\n"
                               "   CaseSensitive=1\r\n"
                               "   OutputBeforeMatch=2\r\n"
                               "   OutputAfterMatch=10\r\n"
                               "</Filter>\r\n"
                               "<Filter>\r\n"
                               "   FilterString=\"^a.*b$\"\r\n"
                               "   RegExp=5\r\n"
                               "   CaseSensitive=0\r\n"
                               "   OutputBeforeMatch=0\r\n"
                               "   OutputAfterMatch=2147483647\r\n"
                               "</Filter>\r\n");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"exact.flt"});

    FilterSettings empty;
    ASSERT_TRUE(WriteFilterSettingsFile(path, empty).Ok());
    EXPECT_EQ(ReadBytes(path), "<FilterSettings>\r\n   ExcludeMatches=0\r\n</FilterSettings>\r\n");
}

TEST_F(FilterSettingsFileTests, SavedListsLoadBackEqual)
{
    struct Case
    {
        const char* Name;
        std::vector<Filter> Filters;
        bool ExcludeMatches;
        std::string ExpectedBytes; // the string as it must appear in the file
    };
    const std::u16string longest(236, u'x'); // the longest whose written line fits one 254-character piece
    const Case cases[] = {
        {"plain", {MakeFilter(u"ERROR"), MakeFilter(u"warn", 0, true, 3, 4)}, false, "\"ERROR\""},
        {"regexp 5 kept", {MakeFilter(u"a|b", 5)}, true, "RegExp=5\r\n"},
        {"latin-1", {MakeFilter(u"caf\u00e9 \u0080\u00ff")}, false, "\"caf\xE9 \x80\xFF\""},
        {"above 255 makes utf-8",
         {MakeFilter(u"\u00e9"), MakeFilter(u"\u20ac \U0001F600", 1)},
         true,
         "\"\xC3\xA9\"\r\n"},
        {"comment sign and spaces", {MakeFilter(u"  a # b  "), MakeFilter(u"")}, false, "\"  a # b  \""},
        {"longest string", {MakeFilter(longest, 0, true)}, false, "\"" + std::string(236, 'x') + "\""},
        {"latin-1 bytes that would read as utf-8 are written as utf-8",
         {MakeFilter(u"\u00c3\u00a9")},
         false,
         "\"\xC3\x83\xC2\xA9\""},
        {"longest in utf-8", {MakeFilter(std::u16string(235, u'\u00e9') + u"\u0100")}, false, "\xC4\x80\""},
    };
    for (const Case& c : cases) {
        FilterSettings saved;
        Fill(saved, c.Filters);
        saved.SetExcludeMatches(c.ExcludeMatches);
        const std::string path = PathOf("roundtrip.flt");
        ASSERT_TRUE(WriteFilterSettingsFile(path, saved).Ok()) << c.Name;
        EXPECT_NE(ReadBytes(path).find(c.ExpectedBytes), std::string::npos) << c.Name;

        FilterSettings loaded;
        Fill(loaded, std::vector<Filter>(5, MakeFilter(u"old", 1, true, 1, 1)));
        loaded.SetExcludeMatches(!c.ExcludeMatches);
        const FilterFileResult result = ReadFilterSettingsFile(path, loaded);
        ASSERT_TRUE(result.Ok()) << c.Name << ": " << result.Message;
        ExpectFilters(loaded, c.Filters, c.Name);
        EXPECT_EQ(loaded.GetExcludeMatches(), c.ExcludeMatches) << c.Name;
    }
}

std::string ReadError(FilterFileStatus status, const std::string& path, int line, const std::string& text)
{
    const char* prefix = status == FilterFileStatus::IllegalFormat ? "Illegal Filter Setting Format in \""
                                                                   : "Illegal Filter Setting in \"";
    // The line shows in one piece: without the line feed it was read with.
    const std::string shown = text.ends_with('\n') ? text.substr(0, text.size() - 1) : text;
    return prefix + path + "\" on Line " + std::to_string(line) + ":  \"" + shown + "\"";
}

const std::string MinimalFilter = "<Filter>\nFilterString=\"abc\"\n</Filter>\n";

TEST_F(FilterSettingsFileTests, ReaderLoadsWhatTheGrammarAllows)
{
    struct Case
    {
        const char* Name;
        std::string Bytes;
        std::vector<Filter> Filters;
    };
    const std::string& minimal = MinimalFilter;
    const Case cases[] = {
        {"minimal filter", minimal, {MakeFilter(u"abc")}},
        {"cr lf", "<Filter>\r\n FilterString=\"abc\"\r\n</Filter>\r\n", {MakeFilter(u"abc")}},
        {"no line feed at end", "<Filter>\nFilterString=\"abc\"\n</Filter>", {MakeFilter(u"abc")}},
        {"any case, blanks around =",
         "<filter>\n\tfilterstring =\t\"x\"\nREGEXP= 1\n casesensitive =2\noutputbeforematch  =  3\n"
         "OUTPUTAFTERMATCH=4\n</FILTER>\n",
         {MakeFilter(u"x", 1, true, 3, 4)}},
        {"any order, last value counts",
         "<Filter>\nRegExp=1\nFilterString=\"a\"\nRegExp=0\nFilterString=\"b\"\n</Filter>\n",
         {MakeFilter(u"b")}},
        {"text after tags ignored",
         "<Filter> junk\nFilterString=\"a\"\n</Filter>junk\n<FilterSettings>!\n"
         "ExcludeMatches=0\n</FilterSettings> x\n",
         {MakeFilter(u"a")}},
        {"comments after values",
         "<Filter>\nFilterString=\"a\"# c\nRegExp=7#c\nCaseSensitive=#c\n</Filter>\n",
         {MakeFilter(u"a", 7)}},
        {"quotes hold #", "<Filter>\nFilterString=\"a#b\"\n</Filter>\n", {MakeFilter(u"a#b")}},
        {"largest value",
         "<Filter>\nOutputAfterMatch=2147483647\n</Filter>\n",
         {MakeFilter(u"", 0, false, 0, 2147483647)}},
        {"settings between filters",
         "<Filter>\n</Filter>\n<FilterSettings>\n</FilterSettings>\n" + minimal,
         {MakeFilter(u""), MakeFilter(u"abc")}},
        {"0x1A ends the file", minimal + "\x1Agarbage\n", {MakeFilter(u"abc")}},
        {"latin-1 bytes", "<Filter>\nFilterString=\"\xE9\xC3\"\n</Filter>\n", {MakeFilter(u"\u00e9\u00c3")}},
        {"utf-8 bytes", "<Filter>\nFilterString=\"\xC3\xA9\xE2\x82\xAC\"\n</Filter>\n", {MakeFilter(u"\u00e9\u20ac")}},
        {"utf-8 with byte order mark", "\xEF\xBB\xBF" + minimal + "# \xC3\xA9\n", {MakeFilter(u"abc")}},
        {"pieces count characters, not bytes",
         "<Filter>\n   FilterString=\"" + Repeat("\xC3\xA9", 236) + "\"\n</Filter>\n",
         {MakeFilter(std::u16string(236, u'\u00e9'))}},
    };
    for (const Case& c : cases) {
        const std::string path = WriteBytes("case.flt", c.Bytes);
        FilterSettings list;
        Fill(list, {MakeFilter(u"old")});
        const FilterFileResult result = ReadFilterSettingsFile(path, list);
        EXPECT_EQ(result.Status, FilterFileStatus::Done) << c.Name << ": " << result.Message;
        ExpectFilters(list, c.Filters, c.Name);
    }
}

TEST_F(FilterSettingsFileTests, ReaderLoadsNothingSilently)
{
    const std::string& minimal = MinimalFilter;
    const std::pair<const char*, std::string> cases[] = {
        {"empty file", ""},
        {"comments only", "# nothing\n\n"},
        {"settings only", "<FilterSettings>\nExcludeMatches=1\n</FilterSettings>\n"},
        {"ends inside filter", "<Filter>\nFilterString=\"a\"\nRegExp=1\n"},
        {"ends inside settings", minimal + "<FilterSettings>\n"},
        {"0x1A before end tag", "<Filter>\nFilterString=\"abc\"\n\x1A</Filter>\n"},
    };
    for (const auto& [name, bytes] : cases) {
        FilterSettings list;
        const FilterFileResult result = ReadFilterSettingsFile(WriteBytes("case.flt", bytes), list);
        EXPECT_EQ(result.Status, FilterFileStatus::NoFilters) << name << ": " << result.Message;
        EXPECT_EQ(result.Message, "") << name;
        EXPECT_EQ(result.SystemError, 0) << name;
    }
}

TEST_F(FilterSettingsFileTests, ReaderStopsAtTheFirstBadLine)
{
    struct Case
    {
        const char* Name;
        std::string Bytes;
        FilterFileStatus Status;
        int Line;         // counted from 1 over every line and piece read
        std::string Text; // the line as read, indentation and line feed included, in UTF-8
    };
    using S = FilterFileStatus;
    const std::string& minimal = MinimalFilter;
    const Case cases[] = {
        {"quote inside string", "<Filter>\n   FilterString=\"say \"hi\"\"\n", S::IllegalFormat, 2,
         "   FilterString=\"say \"hi\"\"\n"},
        {"no closing quote", "<Filter>\nFilterString=\"abc\n", S::IllegalFormat, 2, "FilterString=\"abc\n"},
        {"unquoted string", "<Filter>\nFilterString=abc\n", S::IllegalFormat, 2, "FilterString=abc\n"},
        {"blank after string", "<Filter>\nFilterString=\"a\" \n", S::IllegalFormat, 2, "FilterString=\"a\" \n"},
        {"blank after value", "<Filter>\nRegExp=1 \n", S::IllegalFormat, 2, "RegExp=1 \n"},
        {"blank before comment", "<Filter>\nRegExp=1 #c\n", S::IllegalFormat, 2, "RegExp=1 #c\n"},
        {"minus sign", "<Filter>\nOutputBeforeMatch=-1\n", S::IllegalFormat, 2, "OutputBeforeMatch=-1\n"},
        {"plus sign", "<Filter>\nOutputAfterMatch=+1\n", S::IllegalFormat, 2, "OutputAfterMatch=+1\n"},
        {"empty value", "<Filter>\nRegExp=\n", S::IllegalFormat, 2, "RegExp=\n"},
        {"empty value at end of file", "<Filter>\nRegExp=   ", S::IllegalFormat, 2, "RegExp=   "},
        {"no equals sign", "<Filter>\nRegExp 1\n", S::IllegalFormat, 2, "RegExp 1\n"},
        {"longer key", "<Filter>\nRegExpression=1\n", S::IllegalFormat, 2, "RegExpression=1\n"},
        {"letter after digits", "<Filter>\nRegExp=1x\n", S::IllegalFormat, 2, "RegExp=1x\n"},
        {"beyond 32 bits", "<Filter>\nOutputAfterMatch=2147483648\n", S::IllegalFormat, 2,
         "OutputAfterMatch=2147483648\n"},
        {"exclude value", "<FilterSettings>\nExcludeMatches=yes\n", S::IllegalFormat, 2, "ExcludeMatches=yes\n"},
        {"lone cr is data, shown escaped", "<Filter>\nRegExp=1\r\r\n", S::IllegalFormat, 2, "RegExp=1\\x0D\n"},
        {"nul bytes shown escaped", std::string(300, '\0'), S::IllegalSetting, 1,
         [] {
             std::string escaped;
             for (int i = 0; i < 254; ++i)
                 escaped += "\\x00";
             return escaped;
         }()},
        {"0x1A inside string", "<Filter>\nFilterString=\"ab\x1Az\"\n", S::IllegalFormat, 2, "FilterString=\"ab"},
        {"237 characters do not fit", "<Filter>\n   FilterString=\"" + std::string(237, 'y') + "\"\r\n",
         S::IllegalFormat, 2, "   FilterString=\"" + std::string(237, 'y')},
        {"counted comments and blanks", "# one\n\n   \n\t# four\n<Filter>\n\nBogus=1\n", S::IllegalSetting, 7,
         "Bogus=1\n"},
        {"key outside a block", "\tRegExp=1\r\n", S::IllegalSetting, 1, "\tRegExp=1\n"},
        {"end tag outside", "</Filter>\n", S::IllegalSetting, 1, "</Filter>\n"},
        {"nested filter", "<Filter>\n<Filter>\n", S::IllegalSetting, 2, "<Filter>\n"},
        {"filter key in settings", "<FilterSettings>\nRegExp=1\n", S::IllegalSetting, 2, "RegExp=1\n"},
        {"exclude in filter", "<Filter>\n  ExcludeMatches=1\n", S::IllegalSetting, 2, "  ExcludeMatches=1\n"},
        {"wrong end tag", "<FilterSettings>\n</Filter>\n", S::IllegalSetting, 2, "</Filter>\n"},
        {"tag cut short", "<Filte\n", S::IllegalSetting, 1, "<Filte\n"},
        {"300 blanks are two blank lines", std::string(300, ' ') + "\nBogus\n", S::IllegalSetting, 3, "Bogus\n"},
        {"rest of a long comment", minimal + "#" + std::string(259, 'c') + "\n", S::IllegalSetting, 5,
         std::string(6, 'c') + "\n"},
        {"message in utf-8", "B\xE9\n", S::IllegalSetting, 1, "B\xC3\xA9\n"},
        {"error after a good filter", minimal + "<Filter>\nOops\n", S::IllegalSetting, 5, "Oops\n"},
    };
    for (const Case& c : cases) {
        const std::string path = WriteBytes("case.flt", c.Bytes);
        FilterSettings list;
        const FilterFileResult result = ReadFilterSettingsFile(path, list);
        EXPECT_EQ(result.Status, c.Status) << c.Name << ": " << result.Message;
        EXPECT_EQ(result.Message, ReadError(c.Status, path, c.Line, c.Text)) << c.Name;
    }
}

TEST_F(FilterSettingsFileTests, ExcludeMatchesFollowsTheFile)
{
    const std::pair<std::string, bool> cases[] = {
        {"<FilterSettings>\nExcludeMatches=1\n</FilterSettings>\n", true},
        {"<FilterSettings>\nExcludeMatches=0\n</FilterSettings>\n", false},
        {"<FilterSettings>\nExcludeMatches=0\nExcludeMatches=42\n</FilterSettings>\n", true},
        {"", true}, // no settings block: the list keeps its own
    };
    for (const auto& [settings, expected] : cases) {
        FilterSettings list;
        list.SetExcludeMatches(true);
        const std::string path = WriteBytes("exclude.flt", settings + "<Filter>\n</Filter>\n");
        ASSERT_TRUE(ReadFilterSettingsFile(path, list).Ok()) << settings;
        EXPECT_EQ(list.GetExcludeMatches(), expected) << settings;
    }
}

TEST_F(FilterSettingsFileTests, FiltersBeyondTheLimitAreDropped)
{
    std::string bytes;
    for (int i = 0; i < 1030; ++i)
        bytes += "<Filter>\nFilterString=\"f" + std::to_string(i) +
                 "\"\nCaseSensitive=" + std::to_string(i < 1024 ? 1 : 0) + "\nOutputBeforeMatch=" + std::to_string(i) +
                 "\nOutputAfterMatch=" + std::to_string(i + 1) + "\n</Filter>\n";
    const std::string path = WriteBytes("many.flt", bytes);
    FilterSettings list;
    ASSERT_TRUE(ReadFilterSettingsFile(path, list).Ok());
    ASSERT_EQ(list.GetCount(), FilterSettings::MaxFilters);
    // The dropped filters' settings must not land on the last filter that fitted.
    EXPECT_EQ(Describe(*list.GetFilter(1023)), Describe(MakeFilter(u"f1023", 0, true, 1023, 1024)));
    EXPECT_EQ(Describe(*list.GetFilter(0)), Describe(MakeFilter(u"f0", 0, true, 0, 1)));
}

TEST_F(FilterSettingsFileTests, UnreadableFilesLoadNothingSilently)
{
    const std::pair<std::string, int> cases[] = {
        {PathOf("missing.flt"), ENOENT},
        {m_strFolder, EISDIR},
        {"", ENOENT},
    };
    for (const auto& [path, error] : cases) {
        FilterSettings list;
        Fill(list, {MakeFilter(u"kept")});
        const FilterFileResult result = ReadFilterSettingsFile(path, list);
        EXPECT_EQ(result.Status, FilterFileStatus::CannotOpen) << path;
        EXPECT_EQ(result.SystemError, error) << path;
        EXPECT_EQ(result.Message, "") << path;
        EXPECT_EQ(list.GetFilterString(0), u"kept") << path;
    }
}

TEST_F(FilterSettingsFileTests, FailedWriteLeavesTheOldFileIntact)
{
    struct Case
    {
        const char* Name;
        fs::perms FolderMode;
        fs::perms FileMode;
    };
    const auto all = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all;
    const auto readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const auto readWrite = readOnly | fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const auto readOnlyFolder = readOnly | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    const Case cases[] = {
        {"read-only folder", readOnlyFolder, readWrite},
        {"read-only file", all, readOnly},
    };
    FilterSettings list;
    Fill(list, {MakeFilter(u"new")});
    for (const Case& c : cases) {
        const std::string path = WriteBytes("old.flt", "old contents");
        fs::permissions(path, c.FileMode);
        fs::permissions(m_strFolder, c.FolderMode);
        const int error = RunUnprivileged([&] {
            const FilterFileResult result = WriteFilterSettingsFile(path, list);
            return result.Status == FilterFileStatus::WriteFailed ? result.SystemError : 0;
        });
        fs::permissions(m_strFolder, fs::perms::owner_all);
        EXPECT_EQ(error, EACCES) << c.Name;
        EXPECT_EQ(ReadBytes(path), "old contents") << c.Name;
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"old.flt"}) << c.Name;
    }
}

TEST_F(FilterSettingsFileTests, WriteFailuresAreReported)
{
    FilterSettings list;
    Fill(list, {MakeFilter(u"new")});
    const std::string missingFolder = PathOf("no/such/folder.flt");
    FilterFileResult result = WriteFilterSettingsFile(missingFolder, list);
    EXPECT_EQ(result.Status, FilterFileStatus::WriteFailed);
    EXPECT_EQ(result.SystemError, ENOENT);
    EXPECT_EQ(result.Message, "Error Saving Filter Settings to \"" + missingFolder + "\": No such file or directory");

    // A folder in the way: the temporary file must not be left behind.
    fs::create_directory(PathOf("taken.flt"));
    WriteBytes("taken.flt/inside", "x");
    result = WriteFilterSettingsFile(PathOf("taken.flt"), list);
    EXPECT_EQ(result.Status, FilterFileStatus::WriteFailed);
    EXPECT_NE(result.SystemError, 0);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"taken.flt"});
}

TEST_F(FilterSettingsFileTests, StringsThatWouldNotLoadBackAreRefused)
{
    // Each would end its line, its file or its value early: the file would fail to load, or load
    // other filters than were saved.
    const std::u16string refused[] = {
        u"x\"\r\n</Filter>\r\n<Filter>\r\nFilterString=\"injected",
        u"two\nlines",
        u"cr\rinside",
        u"end\x1A",
        u"say \"hi\"",
        u"a\"#b",
        u"trailing\"",
        // Longer than one piece of the reader once indented, keyed and quoted.
        std::u16string(237, u'x'),
        std::u16string(300, u'\u00e9'),
    };
    for (const std::u16string& text : refused) {
        const std::string name = EncodeText(text, TextEncoding::Utf8);
        EXPECT_FALSE(IsSavableFilterString(text)) << name;
        FilterSettings list;
        Fill(list, {MakeFilter(u"fine"), MakeFilter(text, 1)});
        const std::string path = WriteBytes("old.flt", "old contents");
        const FilterFileResult result = WriteFilterSettingsFile(path, list);
        EXPECT_EQ(result.Status, FilterFileStatus::Unsavable) << name;
        EXPECT_EQ(FindUnsavableFilter(list), 1) << name;
        EXPECT_EQ(result.Message.rfind("Filter 2 (\"", 0), 0u) << result.Message;
        EXPECT_NE(result.Message.find("\"" + path + "\" was left as it was."), std::string::npos) << result.Message;
        const bool tooLong = text.size() > MaxSavableFilterStringLength;
        EXPECT_EQ(result.Message.find("may be at most 236 characters long") != std::string::npos, tooLong)
            << result.Message;
        EXPECT_EQ(ReadBytes(path), "old contents") << name;
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"old.flt"}) << name;
    }
    EXPECT_TRUE(IsSavableFilterString(u"  a # b = c ' \t"));
}

TEST_F(FilterSettingsFileTests, ReadingIsBoundedAndNeverWaitsForAPipe)
{
    // A file far beyond any filter list: reading stops at the bound, on the line it reached.
    std::string big = "<Filter>\nFilterString=\"abc\"\n</Filter>\n";
    const std::string comment = "# " + std::string(60, 'c') + "\n";
    while (big.size() < 9 * 1024 * 1024)
        big += comment;
    const std::string path = WriteBytes("big.flt", big);
    FilterSettings list;
    FilterFileResult result = ReadFilterSettingsFile(path, list);
    EXPECT_EQ(result.Status, FilterFileStatus::IllegalFormat);
    const std::size_t bound = 8 * 1024 * 1024;
    const std::size_t cutLineStart = big.rfind('\n', bound - 1) + 1;
    const std::int64_t cutLine =
        std::count(big.begin(), big.begin() + static_cast<std::ptrdiff_t>(cutLineStart), '\n') + 1;
    EXPECT_EQ(result.Message, ReadError(FilterFileStatus::IllegalFormat, path, static_cast<int>(cutLine),
                                        big.substr(cutLineStart, bound - cutLineStart)));

    // An endless device is one endless line, cut at the bound.
    result = ReadFilterSettingsFile("/dev/zero", list);
    EXPECT_EQ(result.Status, FilterFileStatus::IllegalFormat);
    EXPECT_EQ(result.Message.rfind("Illegal Filter Setting Format in \"/dev/zero\" on Line 1:", 0), 0u);

    // A named pipe nobody writes to reads as empty instead of holding the caller.
    const std::string pipe = PathOf("pipe.flt");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    result = ReadFilterSettingsFile(pipe, list);
    EXPECT_EQ(result.Status, FilterFileStatus::NoFilters);
}

TEST_F(FilterSettingsFileTests, ReplacingKeepsModeAndFollowsLinks)
{
    FilterSettings list;
    Fill(list, {MakeFilter(u"new")});
    const std::string path = WriteBytes("private.flt", "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("private.flt", PathOf("link.flt"));

    ASSERT_TRUE(WriteFilterSettingsFile(PathOf("link.flt"), list).Ok());
    EXPECT_TRUE(fs::is_symlink(PathOf("link.flt")));
    EXPECT_NE(ReadBytes(path).find("FilterString=\"new\""), std::string::npos);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"link.flt", "private.flt"}));
}

TEST_F(FilterSettingsFileTests, ReplacingKeepsOwnerGroupAndOtherNames)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file to another user";
    FilterSettings list;
    Fill(list, {MakeFilter(u"new")});
    const std::string path = WriteBytes("shared.flt", "old");
    ASSERT_EQ(::chown(path.c_str(), 65534, 4), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    fs::create_hard_link(path, PathOf("other.flt"));
    struct stat before = {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    ASSERT_TRUE(WriteFilterSettingsFile(path, list).Ok());
    struct stat after = {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, 65534u);
    EXPECT_EQ(after.st_gid, 4u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(ReadBytes(PathOf("other.flt")), ReadBytes(path));
    EXPECT_NE(ReadBytes(path).find("FilterString=\"new\""), std::string::npos);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"other.flt", "shared.flt"}));
}

TEST(FilterSettingsValueTests, ParsersTakeTheTextAfterTheKey)
{
    struct Case
    {
        std::u16string Text;
        bool Ok;
        std::int32_t Value;
    };
    const Case integers[] = {
        {u"=12", true, 12},         {u" = 0012\n", true, 12}, {u"=#", true, 0},    {u"=3#x y", true, 3},
        {u"=", false, 0},           {u"= \n", false, 0},      {u"12", false, 0},   {u"=1 2", false, 0},
        {u"=-0", false, 0},         {u"=0x1", false, 0},      {u"\n=1", false, 0}, {u"=2147483647", true, 2147483647},
        {u"=4294967297", false, 0},
    };
    for (const Case& c : integers) {
        std::int32_t value = -7;
        EXPECT_EQ(ParseIntegerSetting(c.Text, value), c.Ok) << EncodeText(c.Text, TextEncoding::Utf8);
        EXPECT_EQ(value, c.Ok ? c.Value : -7) << EncodeText(c.Text, TextEncoding::Utf8);
    }
    const std::pair<std::u16string, const char16_t*> strings[] = {
        {u"=\"a b\"", u"a b"}, {u" =  \"\"\n", u""}, {u"=\"x\"#c", u"x"}, {u"=\"a\nb\"", nullptr},
        {u"=\"", nullptr},     {u"\"a\"", nullptr},  {u"=", nullptr},     {u"=\"a\"b", nullptr},
    };
    for (const auto& [text, expected] : strings) {
        std::u16string value = u"unchanged";
        EXPECT_EQ(ParseStringSetting(text, value), expected != nullptr) << EncodeText(text, TextEncoding::Utf8);
        EXPECT_EQ(value, expected ? expected : u"unchanged") << EncodeText(text, TextEncoding::Utf8);
    }
}

} // namespace
