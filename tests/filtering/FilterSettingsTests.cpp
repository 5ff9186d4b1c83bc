// SPDX-License-Identifier: GPL-3.0-or-later
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "filtering/FilterSettings.h"
#include "filtering/TextCodec.h"

namespace {

void AddFullFilter(FilterSettings& list, const std::u16string& text, std::int32_t regExp, bool caseSensitive,
                   std::int32_t before, std::int32_t after)
{
    const int index = list.GetCount();
    list.AddFilter(text, regExp);
    list.SetCaseSensitive(index, caseSensitive);
    list.SetOutputBeforeMatch(index, before);
    list.SetOutputAfterMatch(index, after);
}

Filter MakeFilter(const std::u16string& text, std::int32_t regExp, bool caseSensitive, std::int32_t before,
                  std::int32_t after)
{
    return Filter{caseSensitive, regExp, before, after, text};
}

std::string Describe(const FilterSettings& list, int index)
{
    const Filter* filter = list.GetFilter(index);
    if (!filter)
        return "none";
    return "\"" + EncodeText(filter->FilterString, TextEncoding::Utf8) + "\" re=" + std::to_string(filter->RegExp) +
           " cs=" + std::to_string(filter->CaseSensitive) + " before=" + std::to_string(filter->OutputBeforeMatch) +
           " after=" + std::to_string(filter->OutputAfterMatch);
}

TEST(FilterSettingsTests, FullListIgnoresAddAndTheSettersThatFollow)
{
    FilterSettings list;
    for (int i = 0; i < FilterSettings::MaxFilters; ++i)
        AddFullFilter(list, u"f" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)), i, i % 2 == 1, i, i);
    ASSERT_EQ(list.GetCount(), 1024);
    const Filter last = *list.GetFilter(1023);

    // The two-step add used everywhere: the setters aim at the index the count had before the add.
    AddFullFilter(list, u"overflow", 9, false, 77, 88);
    EXPECT_EQ(list.GetCount(), 1024);
    EXPECT_EQ(*list.GetFilter(1023), last) << Describe(list, 1023);
    EXPECT_EQ(list.GetFilter(1024), nullptr);
}

TEST(FilterSettingsTests, InvalidIndexYieldsDefaultsAndChangesNothing)
{
    FilterSettings list;
    AddFullFilter(list, u"a", 1, true, 2, 3);
    AddFullFilter(list, u"b", 4, true, 5, 6);
    for (const int index : {-1, 2, 3, INT_MIN, INT_MAX}) {
        EXPECT_EQ(list.GetFilterString(index), u"") << index;
        EXPECT_EQ(list.GetRegExp(index), 0) << index;
        EXPECT_FALSE(list.GetCaseSensitive(index)) << index;
        EXPECT_EQ(list.GetOutputBeforeMatch(index), 0) << index;
        EXPECT_EQ(list.GetOutputAfterMatch(index), 0) << index;
        EXPECT_EQ(list.GetFilter(index), nullptr) << index;
        list.SetFilter(index, u"x", 7);
        list.SetCaseSensitive(index, false);
        list.SetOutputBeforeMatch(index, 9);
        list.SetOutputAfterMatch(index, 9);
        list.DeleteFilter(index);
        ASSERT_EQ(list.GetCount(), 2) << index;
        EXPECT_EQ(*list.GetFilter(0), MakeFilter(u"a", 1, true, 2, 3)) << index;
        EXPECT_EQ(*list.GetFilter(1), MakeFilter(u"b", 4, true, 5, 6)) << index;
    }
}

TEST(FilterSettingsTests, SetFilterKeepsTheOtherFields)
{
    FilterSettings list;
    AddFullFilter(list, u"a", 0, true, 2, 3);
    list.SetFilter(0, u"b.*", 1);
    EXPECT_EQ(*list.GetFilter(0), MakeFilter(u"b.*", 1, true, 2, 3));
}

TEST(FilterSettingsTests, DeleteMovesLaterFiltersDown)
{
    struct Case
    {
        int Index;
        std::u16string Remaining; // first letters of the filters left, in order
    };
    for (const Case& c : {Case{0, u"bc"}, Case{1, u"ac"}, Case{2, u"ab"}}) {
        FilterSettings list;
        AddFullFilter(list, u"a", 0, false, 1, 1);
        AddFullFilter(list, u"b", 1, true, 2, 2);
        AddFullFilter(list, u"c", 2, false, 3, 3);
        list.DeleteFilter(c.Index);
        ASSERT_EQ(list.GetCount(), 2) << c.Index;
        for (int i = 0; i < 2; ++i) {
            const char16_t letter = c.Remaining[static_cast<std::size_t>(i)];
            const int was = letter - u'a';
            EXPECT_EQ(*list.GetFilter(i), MakeFilter(std::u16string(1, letter), was, was == 1, was + 1, was + 1))
                << "deleted " << c.Index << ", index " << i;
        }
        EXPECT_EQ(list.GetFilter(2), nullptr);
    }
}

TEST(FilterSettingsTests, ClearKeepsExcludeAndPath)
{
    FilterSettings list;
    AddFullFilter(list, u"a", 0, false, 0, 0);
    list.SetExcludeMatches(true);
    list.SetPath(u"/var/log/app.log");
    list.ClearFilters();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetFilter(0), nullptr);
    EXPECT_TRUE(list.GetExcludeMatches());
    EXPECT_EQ(list.GetPath(), u"/var/log/app.log");
    EXPECT_EQ(list.GetFileName(), u"app.log");
}

TEST(FilterSettingsTests, CopyTakesIndependentCopiesOfFiltersOnly)
{
    FilterSettings source;
    AddFullFilter(source, u"one", 0, true, 1, 2);
    AddFullFilter(source, u"t(w)o", 5, false, 3, 4);
    AddFullFilter(source, u"three", 0, true, 0, 9);
    source.SetExcludeMatches(true);
    source.SetPath(u"/src/source.log");

    FilterSettings target;
    for (int i = 0; i < 5; ++i)
        AddFullFilter(target, u"old", 1, true, 7, 7);
    target.SetPath(u"/dst/target.log");
    target.CopyFiltersFrom(source);

    ASSERT_EQ(target.GetCount(), 3); // replaced, not extended
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(*target.GetFilter(i), *source.GetFilter(i)) << Describe(target, i);
    EXPECT_FALSE(target.GetExcludeMatches());
    EXPECT_EQ(target.GetPath(), u"/dst/target.log");
    EXPECT_EQ(target.GetFileName(), u"target.log");

    source.SetFilter(0, u"changed", 1);
    source.SetOutputAfterMatch(1, 42);
    source.DeleteFilter(2);
    EXPECT_EQ(*target.GetFilter(0), MakeFilter(u"one", 0, true, 1, 2));
    EXPECT_EQ(*target.GetFilter(1), MakeFilter(u"t(w)o", 5, false, 3, 4));
    EXPECT_EQ(*target.GetFilter(2), MakeFilter(u"three", 0, true, 0, 9));

    target.CopyFiltersFrom(target);
    EXPECT_EQ(target.GetCount(), 3);
    EXPECT_EQ(target.GetFilterString(2), u"three");
}

TEST(FilterSettingsTests, SetPathDerivesFileName)
{
    struct Case
    {
        std::u16string Path;
        std::u16string FileName;
    };
    const Case cases[] = {
        {u"C:\\logs\\app.log", u"app.log"},
        {u"/var/log/app.log", u"app.log"},
        {u"app.log", u"app.log"},
        {u"", u""},
        {u"/var/log/", u""},
        {u"C:\\logs/mixed\\app.log", u"app.log"},
    };
    FilterSettings list;
    for (const Case& c : cases) {
        list.SetPath(c.Path);
        EXPECT_EQ(list.GetPath(), c.Path);
        EXPECT_EQ(list.GetFileName(), c.FileName) << EncodeText(c.Path, TextEncoding::Utf8);
    }
}

} // namespace
