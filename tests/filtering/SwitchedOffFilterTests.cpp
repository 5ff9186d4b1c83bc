// SPDX-License-Identifier: GPL-3.0-or-later
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "filtering/FilterRun.h"
#include "filtering/FilterSettingsFile.h"
#include "filtering/TextCodec.h"
#include "support/TempDir.h"

namespace {

struct Entry
{
    std::u16string Text;
    std::int32_t RegExp = 0;
    bool CaseSensitive = false;
    std::int32_t Before = 0;
    std::int32_t After = 0;
    bool Enabled = true;
};

Entry Off(Entry entry)
{
    entry.Enabled = false;
    return entry;
}

void Fill(FilterSettings& list, const std::vector<Entry>& entries)
{
    for (const Entry& entry : entries) {
        const int index = list.GetCount();
        list.AddFilter(entry.Text, entry.RegExp);
        list.SetCaseSensitive(index, entry.CaseSensitive);
        list.SetOutputBeforeMatch(index, entry.Before);
        list.SetOutputAfterMatch(index, entry.After);
        list.SetEnabled(index, entry.Enabled);
    }
}

std::string Describe(const FilterSettings& list)
{
    std::string text = "exclude=" + std::to_string(list.GetExcludeMatches()) + "\n";
    for (int i = 0; i < list.GetCount(); ++i) {
        const Filter& filter = *list.GetFilter(i);
        text += (filter.Enabled ? "on  \"" : "off \"") + EncodeText(filter.FilterString, TextEncoding::Utf8) +
                "\" re=" + std::to_string(filter.RegExp) + " cs=" + std::to_string(filter.CaseSensitive) +
                " before=" + std::to_string(filter.OutputBeforeMatch) +
                " after=" + std::to_string(filter.OutputAfterMatch) + "\n";
    }
    return text;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// What a reader that passes over every comment line sees of a file: its other lines.
std::string WithoutCommentLines(const std::string& bytes)
{
    std::string kept;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\n', pos), bytes.size() - 1) + 1;
        const std::string line = bytes.substr(pos, end - pos);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] != '#')
            kept += line;
        pos = end;
    }
    return kept;
}

// The text of bytes read in the encoding the reader takes for the whole file they came from.
std::u16string AsText(const std::string& bytes, const std::string& wholeFile)
{
    const bool utf8 = !IsAscii(wholeFile) && IsValidUtf8(wholeFile);
    return DecodeText(bytes, utf8 ? TextEncoding::Utf8 : TextEncoding::Latin1);
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

const std::vector<std::string> GoodBlock = {
    "# Ostrel: switched off",     "#<Filter>",
    "#  FilterString=\"middle\"", "#  RegExp=0",
    "#  CaseSensitive=1",         "#  OutputBeforeMatch=2",
    "#  OutputAfterMatch=3",      "#</Filter>",
};

std::vector<std::string> Changed(std::vector<std::string> lines, std::size_t index, const std::string& line)
{
    lines[index] = line;
    return lines;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> FirstOn = {"<Filter>", "   FilterString=\"first\"", "</Filter>"};
const std::vector<std::string> LastOn = {"<Filter>", "   FilterString=\"last\"", "   RegExp=1", "</Filter>"};

} // namespace

TEST(SwitchedOffFilterTests, SettingsKeepTheSwitchThroughEdits)
{
    FilterSettings list;
    Fill(list, {{u"a"}, Off({u"b", 1, true, 2, 3}), {u"c"}});
    EXPECT_TRUE(list.GetEnabled(0));
    EXPECT_FALSE(list.GetEnabled(1));
    EXPECT_EQ(list.GetEnabledCount(), 2);
    EXPECT_FALSE(list.GetEnabled(3)) << "an invalid index yields the default";
    list.SetEnabled(-1, false);
    list.SetEnabled(3, false);
    EXPECT_EQ(list.GetEnabledCount(), 2);

    // Editing the filter's string keeps it off; deleting the one above moves it up, still off.
    list.SetFilter(1, u"B", 0);
    list.DeleteFilter(0);
    EXPECT_FALSE(list.GetEnabled(0));
    EXPECT_TRUE(list.GetEnabled(1));

    FilterSettings copy;
    copy.CopyFiltersFrom(list);
    EXPECT_EQ(Describe(copy), Describe(list));
    copy.SetEnabled(0, true);
    EXPECT_FALSE(list.GetEnabled(0)) << "the copy is independent";

    list.AddFilter(u"new", 0);
    EXPECT_TRUE(list.GetEnabled(2)) << "a new filter is on";
}

TEST(SwitchedOffFilterTests, RunsLeaveSwitchedOffFiltersOut)
{
    FilterSettings list;
    Fill(list, {Off({u"zero"}), {u"ERROR", 0, true}, Off({u"w.rn", 1, false, 1, 1}), {u"info", 0, false, 0, 1}});
    list.SetExcludeMatches(true);
    const FilterRun run = MakeFilterRun(list, "/some.log", TextEncoding::Latin1);
    ASSERT_EQ(run.Filters.size(), 2u);
    EXPECT_EQ(run.Filters[0].Pattern, "ERROR");
    EXPECT_EQ(run.Filters[1].Pattern, "info");
    EXPECT_EQ(run.Filters[1].OutputAfterMatch, 1);
    EXPECT_TRUE(run.ExcludeMatches);

    FilterSettings allOff;
    Fill(allOff, {Off({u"a"}), Off({u"b"})});
    EXPECT_TRUE(MakeFilterRun(allOff, "/some.log", TextEncoding::Latin1).Filters.empty());
}

// A run of [A on, B off] keeps exactly the lines a run of [A] keeps, with the same filter numbers,
// whichever way the switched-off filter would have changed them.
TEST(SwitchedOffFilterTests, ARunWithAFilterOffKeepsWhatARunWithoutItKeeps)
{
    TempDir dir;
    const std::string path = dir.Write("app.log", "start\nwarn one\nERROR two\nmiddle\nwarn three\nERROR four\n"
                                                  "after\nend\n");
    struct Case
    {
        const char* Name;
        std::vector<Entry> WithOff;
        std::vector<Entry> Without;
        bool Exclude;
    };
    const Case cases[] = {
        {"off filter before", {Off({u"warn", 0, false, 1, 1}), {u"ERROR", 0, true}}, {{u"ERROR", 0, true}}, false},
        {"off filter after", {{u"ERROR", 0, true}, Off({u"e", 0, false, 0, 2})}, {{u"ERROR", 0, true}}, false},
        {"off expression between",
         {{u"warn"}, Off({u"^(ERROR|middle)", 1, true}), {u"end"}},
         {{u"warn"}, {u"end"}},
         false},
        {"exclude", {Off({u"warn"}), {u"ERROR", 0, true, 0, 1}}, {{u"ERROR", 0, true, 0, 1}}, true},
    };
    for (const Case& c : cases) {
        FilterSettings withOff;
        Fill(withOff, c.WithOff);
        withOff.SetExcludeMatches(c.Exclude);
        FilterSettings without;
        Fill(without, c.Without);
        without.SetExcludeMatches(c.Exclude);

        CollectingOutput outWithOff;
        CollectingOutput outWithout;
        ASSERT_EQ(FilterEngine(MakeFilterRun(withOff, path, TextEncoding::Latin1)).Run(std::stop_token(), outWithOff),
                  EngineResult::Finished)
            << c.Name;
        ASSERT_EQ(FilterEngine(MakeFilterRun(without, path, TextEncoding::Latin1)).Run(std::stop_token(), outWithout),
                  EngineResult::Finished)
            << c.Name;
        ASSERT_FALSE(outWithout.Lines.empty()) << c.Name << ": the case must keep something";
        ASSERT_EQ(outWithOff.Lines.size(), outWithout.Lines.size()) << c.Name;
        for (std::size_t i = 0; i < outWithout.Lines.size(); ++i) {
            EXPECT_EQ(outWithOff.Lines[i].Number, outWithout.Lines[i].Number) << c.Name << ", line " << i;
            EXPECT_EQ(outWithOff.Lines[i].IsContext, outWithout.Lines[i].IsContext) << c.Name << ", line " << i;
        }
        EXPECT_EQ(outWithOff.Filters, outWithout.Filters) << c.Name;
    }
}

TEST(SwitchedOffFilterTests, ListsWithFiltersOffLoadBackEqual)
{
    TempDir dir;
    const std::u16string longest(MaxSavableFilterStringLength, u'x');
    struct Case
    {
        const char* Name;
        std::vector<Entry> Filters;
        bool Exclude;
    };
    const Case cases[] = {
        {"first off", {Off({u"one"}), {u"two"}}, false},
        {"middle off", {{u"one", 0, true, 1, 2}, Off({u"t.o", 5, true, 3, 2147483647}), {u"three"}}, true},
        {"last off", {{u"one"}, Off({u"two"})}, false},
        {"all off", {Off({u"one"}), Off({u"two", 1})}, true},
        {"neighbours off", {Off({u"a"}), Off({u"b"}), {u"c"}, Off({u"d"})}, false},
        {"empty string off", {Off({u""}), {u"x"}}, false},
        {"comment sign and spaces off", {Off({u"  # Ostrel: switched off  "})}, false},
        {"longest string off", {Off({longest, 0, true}), {longest}}, false},
        {"latin-1 off", {Off({u"caf\u00e9 \u00ff"})}, false},
        {"utf-8 off", {Off({u"\u20ac \U0001F600", 1}), {u"\u00e9"}}, false},
    };
    for (const Case& c : cases) {
        FilterSettings saved;
        Fill(saved, c.Filters);
        saved.SetExcludeMatches(c.Exclude);
        const std::string path = (dir.Path() / "roundtrip.flt").string();
        const FilterFileResult written = WriteFilterSettingsFile(path, saved);
        ASSERT_TRUE(written.Ok()) << c.Name << ": " << written.Message;

        FilterSettings loaded;
        Fill(loaded, {{u"old"}, Off({u"old"})});
        const FilterFileResult read = ReadFilterSettingsFile(path, loaded);
        ASSERT_TRUE(read.Ok()) << c.Name << ": " << read.Message;
        EXPECT_EQ(Describe(loaded), Describe(saved)) << c.Name;

        // A reader that passes over comments sees the file of the filters that are on, byte for byte.
        FilterSettings onOnly;
        std::vector<Entry> on;
        for (const Entry& entry : c.Filters)
            if (entry.Enabled)
                on.push_back(entry);
        Fill(onOnly, on);
        onOnly.SetExcludeMatches(c.Exclude);
        const std::string onPath = (dir.Path() / "on.flt").string();
        ASSERT_TRUE(WriteFilterSettingsFile(onPath, onOnly).Ok()) << c.Name;
        // (As text: a filter that is off may need UTF-8 where the others alone would not.)
        const std::string bytes = ReadBytes(path);
        EXPECT_EQ(AsText(WithoutCommentLines(bytes), bytes), AsText(ReadBytes(onPath), ReadBytes(onPath))) << c.Name;
        // And no commented line is longer than one piece of a reader, or its rest would be read as
        // a line of its own.
        std::istringstream lines(bytes);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(DecodeText(line, TextEncoding::Utf8).size(), 255u) << c.Name << ": " << line;
    }
}

// Files written by the writer before filters could be switched off, for the same lists: a list
// without a switched-off filter must still be written byte for byte like that.
TEST(SwitchedOffFilterTests, ListsWithEveryFilterOnAreWrittenAsBefore)
{
    TempDir dir;
    struct Case
    {
        const char* File;
        std::vector<Entry> Filters;
        bool Exclude;
    };
    const Case cases[] = {
        {"mixed-latin1.flt",
         {{u"ERROR \u00e9", 0, true, 2, 10},
          {u"^a.*b$", 5, false, 0, 2147483647},
          {u"  a # b  "},
          {u"", 1, true, 7, 0}},
         true},
        {"utf8.flt", {{u"\u20ac \U0001F600", 1, false, 0, 3}, {u"caf\u00e9", 0, true, 1, 1}}, false},
        {"longest.flt", {{std::u16string(236, u'x'), 0, true}, {u"\u00c3\u00a9"}}, false},
        {"empty.flt", {}, false},
    };
    for (const Case& c : cases) {
        const std::string expected = ReadBytes(std::string(OSTREL_TEST_DATA_DIR) + "/filter-files/" + c.File);
        ASSERT_FALSE(expected.empty()) << c.File;
        FilterSettings list;
        Fill(list, c.Filters);
        list.SetExcludeMatches(c.Exclude);
        const std::string path = (dir.Path() / c.File).string();
        ASSERT_TRUE(WriteFilterSettingsFile(path, list).Ok()) << c.File;
        EXPECT_EQ(ReadBytes(path), expected) << c.File;

        // And those files load as the lists they were written from, every filter on.
        FilterSettings loaded;
        const FilterFileResult read =
            ReadFilterSettingsFile(std::string(OSTREL_TEST_DATA_DIR) + "/filter-files/" + c.File, loaded);
        if (c.Filters.empty()) {
            EXPECT_EQ(read.Status, FilterFileStatus::NoFilters) << c.File;
            continue;
        }
        ASSERT_TRUE(read.Ok()) << c.File << ": " << read.Message;
        EXPECT_EQ(Describe(loaded), Describe(list)) << c.File;
    }
}

TEST(SwitchedOffFilterTests, WritesTheBlockAsCommentLines)
{
    TempDir dir;
    FilterSettings list;
    Fill(list, {{u"first"}, Off({u"middle", 0, true, 2, 3})});
    const std::string path = (dir.Path() / "block.flt").string();
    ASSERT_TRUE(WriteFilterSettingsFile(path, list).Ok());
    EXPECT_EQ(ReadBytes(path), "<FilterSettings>\r\n   ExcludeMatches=0\r\n</FilterSettings>\r\n"
                               "<Filter>\r\n   FilterString=\"first\"\r\n   RegExp=0\r\n   CaseSensitive=0\r\n"
                               "   OutputBeforeMatch=0\r\n   OutputAfterMatch=0\r\n</Filter>\r\n" +
                                   Lines(GoodBlock));
}

// Only a complete block exactly as the writer makes it is a switched-off filter; anything else
// stays the comment it is, and the file loads as it would without it.
TEST(SwitchedOffFilterTests, CommentsThatOnlyLookLikeABlockStayComments)
{
    TempDir dir;
    struct Case
    {
        const char* Name;
        std::vector<std::string> Lines;
    };
    const std::string tooLong = "#  FilterString=\"" + std::string(MaxSavableFilterStringLength + 1, 'x') + "\"";
    const Case cases[] = {
        {"marker in other case", Changed(GoodBlock, 0, "# ostrel: switched off")},
        {"marker with a trailing blank", Changed(GoodBlock, 0, "# Ostrel: switched off ")},
        {"marker indented", Changed(GoodBlock, 0, " # Ostrel: switched off")},
        {"marker alone", {GoodBlock[0]}},
        {"block without its marker", std::vector<std::string>(GoodBlock.begin() + 1, GoodBlock.end())},
        {"block without its end", std::vector<std::string>(GoodBlock.begin(), GoodBlock.end() - 1)},
        {"a line out of order", Changed(GoodBlock, 3, "#  CaseSensitive=1")},
        {"a blank line inside", Concat(std::vector<std::string>(GoodBlock.begin(), GoodBlock.begin() + 4),
                                       Concat({""}, std::vector<std::string>(GoodBlock.begin() + 4, GoodBlock.end())))},
        {"an extra comment inside",
         Concat(std::vector<std::string>(GoodBlock.begin(), GoodBlock.begin() + 2),
                Concat({"# note"}, std::vector<std::string>(GoodBlock.begin() + 2, GoodBlock.end())))},
        {"other indentation", Changed(GoodBlock, 3, "#   RegExp=0")},
        {"key in other case", Changed(GoodBlock, 3, "#  regexp=0")},
        {"blank before a value", Changed(GoodBlock, 3, "#  RegExp= 0")},
        {"leading zero", Changed(GoodBlock, 5, "#  OutputBeforeMatch=02")},
        {"sign", Changed(GoodBlock, 5, "#  OutputBeforeMatch=+2")},
        {"empty value", Changed(GoodBlock, 5, "#  OutputBeforeMatch=")},
        {"comment after a value", Changed(GoodBlock, 3, "#  RegExp=0#")},
        {"beyond 32 bits", Changed(GoodBlock, 6, "#  OutputAfterMatch=2147483648")},
        {"case sensitivity not 0 or 1", Changed(GoodBlock, 4, "#  CaseSensitive=2")},
        {"string without its closing quote", Changed(GoodBlock, 2, "#  FilterString=\"middle")},
        {"quote inside the string", Changed(GoodBlock, 2, "#  FilterString=\"mid\"dle\"")},
        {"text after the string", Changed(GoodBlock, 2, "#  FilterString=\"middle\" ")},
        {"text after the end tag", Changed(GoodBlock, 7, "#</Filter> x")},
        {"lone CR at a line's end", Changed(GoodBlock, 7, "#</Filter>\r")},
        {"string longer than a piece", Changed(GoodBlock, 2, tooLong)},
    };
    for (const Case& c : cases) {
        // The look-alike stands between two filters that are on; the file must load exactly as
        // the same file without those comment lines does.
        const std::string withIt = dir.Write("with.flt", Lines(Concat(Concat(FirstOn, c.Lines), LastOn)));
        const std::string withoutIt = dir.Write("without.flt", Lines(Concat(FirstOn, LastOn)));
        FilterSettings loaded;
        const FilterFileResult result = ReadFilterSettingsFile(withIt, loaded);
        FilterSettings expected;
        ASSERT_TRUE(ReadFilterSettingsFile(withoutIt, expected).Ok()) << c.Name;
        if (c.Lines == Changed(GoodBlock, 2, tooLong)) {
            // The rest of the long line is a line of its own: an error, as it always was.
            EXPECT_EQ(result.Status, FilterFileStatus::IllegalSetting) << c.Name;
            EXPECT_NE(result.Message.find("on Line 7:  \"\"\""), std::string::npos) << c.Name << ": " << result.Message;
            continue;
        }
        ASSERT_TRUE(result.Ok()) << c.Name << ": " << result.Message;
        EXPECT_EQ(Describe(loaded), Describe(expected)) << c.Name;
        EXPECT_EQ(loaded.GetEnabledCount(), 2) << c.Name;

        // On its own it is no filter at all.
        FilterSettings alone;
        EXPECT_EQ(ReadFilterSettingsFile(dir.Write("alone.flt", Lines(c.Lines)), alone).Status,
                  FilterFileStatus::NoFilters)
            << c.Name;
    }
}

TEST(SwitchedOffFilterTests, BlocksAreRecognisedOnlyWhereAFilterCouldStart)
{
    TempDir dir;
    FilterSettings loaded;
    // A broken candidate followed at once by a good block: the good one counts.
    const std::string restarted =
        dir.Write("restart.flt", Lines(Concat({"# Ostrel: switched off", "#<Filter>"}, GoodBlock)));
    ASSERT_TRUE(ReadFilterSettingsFile(restarted, loaded).Ok());
    ASSERT_EQ(loaded.GetCount(), 1);
    EXPECT_FALSE(loaded.GetEnabled(0));
    EXPECT_EQ(loaded.GetFilterString(0), u"middle");
    EXPECT_TRUE(loaded.GetCaseSensitive(0));
    EXPECT_EQ(loaded.GetOutputBeforeMatch(0), 2);
    EXPECT_EQ(loaded.GetOutputAfterMatch(0), 3);

    // Inside a filter's or the settings' block the lines are comments of that block.
    const std::string insideFilter = dir.Write(
        "inside.flt", Lines(Concat(Concat({"<Filter>", "   FilterString=\"outer\""}, GoodBlock), {"</Filter>"})));
    ASSERT_TRUE(ReadFilterSettingsFile(insideFilter, loaded).Ok());
    ASSERT_EQ(loaded.GetCount(), 1);
    EXPECT_TRUE(loaded.GetEnabled(0));
    EXPECT_EQ(loaded.GetFilterString(0), u"outer");
    const std::string insideSettings = dir.Write(
        "settings.flt", Lines(Concat(Concat({"<FilterSettings>"}, GoodBlock), Concat({"</FilterSettings>"}, FirstOn))));
    ASSERT_TRUE(ReadFilterSettingsFile(insideSettings, loaded).Ok());
    ASSERT_EQ(loaded.GetCount(), 1);
    EXPECT_EQ(loaded.GetFilterString(0), u"first");

    // Line ends as a hand-edited file may have them: LF alone, and no line end at the very end.
    std::string unixEnds;
    for (const std::string& line : GoodBlock)
        unixEnds += line + "\n";
    unixEnds.pop_back();
    ASSERT_TRUE(ReadFilterSettingsFile(dir.Write("lf.flt", unixEnds), loaded).Ok());
    ASSERT_EQ(loaded.GetCount(), 1);
    EXPECT_FALSE(loaded.GetEnabled(0));

    // Line numbers in messages still count every line read, the block's lines included.
    const FilterFileResult bad =
        ReadFilterSettingsFile(dir.Write("bad.flt", Lines(Concat(GoodBlock, {"bogus"}))), loaded);
    EXPECT_EQ(bad.Status, FilterFileStatus::IllegalSetting);
    EXPECT_NE(bad.Message.find("on Line 9:  \"bogus\""), std::string::npos) << bad.Message;
}

TEST(SwitchedOffFilterTests, LimitsApplyToSwitchedOffFiltersToo)
{
    TempDir dir;
    // Every other filter off, past the end of the list: the first MaxFilters load, in order.
    FilterSettings full;
    for (int i = 0; i < FilterSettings::MaxFilters; ++i)
        Fill(full, {Entry{u"f" + DecodeText(std::to_string(i), TextEncoding::Latin1), 0, false, 0, 0, i % 2 == 0}});
    const std::string path = (dir.Path() / "full.flt").string();
    ASSERT_TRUE(WriteFilterSettingsFile(path, full).Ok());
    std::string bytes = ReadBytes(path);
    bytes += Lines(GoodBlock) + Lines(FirstOn);
    FilterSettings loaded;
    ASSERT_TRUE(ReadFilterSettingsFile(dir.Write("over.flt", bytes), loaded).Ok());
    EXPECT_EQ(Describe(loaded), Describe(full));

    // A string too long to save is refused whether its filter is on or off.
    FilterSettings tooLong;
    Fill(tooLong, {Off({std::u16string(MaxSavableFilterStringLength + 1, u'y')})});
    const FilterFileResult refused = WriteFilterSettingsFile((dir.Path() / "long.flt").string(), tooLong);
    EXPECT_EQ(refused.Status, FilterFileStatus::Unsavable);
    EXPECT_EQ(FindUnsavableFilter(tooLong), 0);
}
