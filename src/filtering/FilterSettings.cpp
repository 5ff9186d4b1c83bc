// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FilterSettings.h"

void FilterSettings::AddFilter(const std::u16string& text, std::int32_t regExp)
{
    if (m_nCount >= MaxFilters)
        return;
    auto filter = std::make_unique<Filter>();
    filter->FilterString = text;
    filter->RegExp = regExp;
    m_Filters[static_cast<std::size_t>(m_nCount)] = std::move(filter);
    ++m_nCount;
}

void FilterSettings::SetFilter(int index, const std::u16string& text, std::int32_t regExp)
{
    if (!IsValidIndex(index))
        return;
    Filter& filter = *m_Filters[static_cast<std::size_t>(index)];
    filter.FilterString = text;
    filter.RegExp = regExp;
}

void FilterSettings::DeleteFilter(int index)
{
    if (!IsValidIndex(index))
        return;
    for (int j = index + 1; j < m_nCount; ++j)
        m_Filters[static_cast<std::size_t>(j - 1)] = std::move(m_Filters[static_cast<std::size_t>(j)]);
    m_Filters[static_cast<std::size_t>(m_nCount - 1)].reset();
    --m_nCount;
}

void FilterSettings::ClearFilters()
{
    for (int i = 0; i < m_nCount; ++i)
        m_Filters[static_cast<std::size_t>(i)].reset();
    m_nCount = 0;
}

void FilterSettings::CopyFiltersFrom(const FilterSettings& other)
{
    if (&other == this)
        return;
    ClearFilters();
    for (int i = 0; i < other.GetCount(); ++i) {
        AddFilter(other.GetFilterString(i), other.GetRegExp(i));
        SetCaseSensitive(i, other.GetCaseSensitive(i));
        SetOutputBeforeMatch(i, other.GetOutputBeforeMatch(i));
        SetOutputAfterMatch(i, other.GetOutputAfterMatch(i));
        SetEnabled(i, other.GetEnabled(i));
    }
}

const Filter* FilterSettings::GetFilter(int index) const
{
    return IsValidIndex(index) ? m_Filters[static_cast<std::size_t>(index)].get() : nullptr;
}

std::u16string FilterSettings::GetFilterString(int index) const
{
    const Filter* filter = GetFilter(index);
    return filter ? filter->FilterString : std::u16string();
}

std::int32_t FilterSettings::GetRegExp(int index) const
{
    const Filter* filter = GetFilter(index);
    return filter ? filter->RegExp : 0;
}

bool FilterSettings::GetCaseSensitive(int index) const
{
    const Filter* filter = GetFilter(index);
    return filter ? filter->CaseSensitive : false;
}

void FilterSettings::SetCaseSensitive(int index, bool caseSensitive)
{
    if (IsValidIndex(index))
        m_Filters[static_cast<std::size_t>(index)]->CaseSensitive = caseSensitive;
}

std::int32_t FilterSettings::GetOutputBeforeMatch(int index) const
{
    const Filter* filter = GetFilter(index);
    return filter ? filter->OutputBeforeMatch : 0;
}

void FilterSettings::SetOutputBeforeMatch(int index, std::int32_t lines)
{
    if (IsValidIndex(index))
        m_Filters[static_cast<std::size_t>(index)]->OutputBeforeMatch = lines;
}

std::int32_t FilterSettings::GetOutputAfterMatch(int index) const
{
    const Filter* filter = GetFilter(index);
    return filter ? filter->OutputAfterMatch : 0;
}

void FilterSettings::SetOutputAfterMatch(int index, std::int32_t lines)
{
    if (IsValidIndex(index))
        m_Filters[static_cast<std::size_t>(index)]->OutputAfterMatch = lines;
}

bool FilterSettings::GetEnabled(int index) const
{
    const Filter* filter = GetFilter(index);
    return filter ? filter->Enabled : false;
}

void FilterSettings::SetEnabled(int index, bool enabled)
{
    if (IsValidIndex(index))
        m_Filters[static_cast<std::size_t>(index)]->Enabled = enabled;
}

int FilterSettings::GetEnabledCount() const
{
    int count = 0;
    for (int i = 0; i < m_nCount; ++i)
        count += m_Filters[static_cast<std::size_t>(i)]->Enabled ? 1 : 0;
    return count;
}

void FilterSettings::SetPath(const std::u16string& path)
{
    m_strPath = path;
    // Paths may come from either platform: both separators end a folder name.
    const std::size_t separator = path.find_last_of(u"/\\");
    m_strFileName = separator == std::u16string::npos ? path : path.substr(separator + 1);
}
