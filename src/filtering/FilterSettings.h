// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "filtering/Filter.h"

// An ordered list of at most MaxFilters filters, the exclude switch and the log file's path.
// List order matters: the engine tries filters in this order and the first match decides.
// Indexed operations take any index: an invalid one yields the default or does nothing.
// Not synchronised: a filtering run works on its own copy (see FilterRun).
class FilterSettings
{
public:
    static constexpr int MaxFilters = 1024;

    FilterSettings() = default;
    FilterSettings(const FilterSettings&) = delete; // filters move only by CopyFiltersFrom
    FilterSettings& operator=(const FilterSettings&) = delete;

    // Appends a filter when the list has room; a full list ignores the add silently.
    void AddFilter(const std::u16string& text, std::int32_t regExp);
    void SetFilter(int index, const std::u16string& text, std::int32_t regExp);
    void DeleteFilter(int index);
    // Destroys every filter; ExcludeMatches, Path and FileName stay.
    void ClearFilters();
    // Replaces this list's filters by independent copies of the other's; nothing else is copied.
    void CopyFiltersFrom(const FilterSettings& other);

    int GetCount() const { return m_nCount; }
    std::u16string GetFilterString(int index) const;
    std::int32_t GetRegExp(int index) const;
    bool GetCaseSensitive(int index) const;
    void SetCaseSensitive(int index, bool caseSensitive);
    std::int32_t GetOutputBeforeMatch(int index) const;
    void SetOutputBeforeMatch(int index, std::int32_t lines);
    std::int32_t GetOutputAfterMatch(int index) const;
    void SetOutputAfterMatch(int index, std::int32_t lines);
    // Whether the filter takes part in a run; a new filter does. A switched-off filter keeps its
    // place, and counts towards MaxFilters like any other.
    bool GetEnabled(int index) const;
    void SetEnabled(int index, bool enabled);
    // How many filters a run would use.
    int GetEnabledCount() const;
    // The filter at index, or null for an invalid index.
    const Filter* GetFilter(int index) const;

    bool GetExcludeMatches() const { return m_bExcludeMatches; }
    void SetExcludeMatches(bool exclude) { m_bExcludeMatches = exclude; }

    // Stores the path and derives FileName: the part after the last "/" or "\".
    void SetPath(const std::u16string& path);
    const std::u16string& GetPath() const { return m_strPath; }
    const std::u16string& GetFileName() const { return m_strFileName; }

private:
    bool IsValidIndex(int index) const { return index >= 0 && index < m_nCount; }

    int m_nCount = 0;
    bool m_bExcludeMatches = false;
    std::u16string m_strFileName;
    std::u16string m_strPath;
    std::array<std::unique_ptr<Filter>, MaxFilters> m_Filters;
};
