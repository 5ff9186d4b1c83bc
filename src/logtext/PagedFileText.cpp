// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/PagedFileText.h"

#include "filtering/PlainIndexedText.h"

PagedFileText::PagedFileText(const IndexedText& text) : m_Text(text), m_Lines(text) {}

PagedFileText::PagedFileText(const FileLineIndex& index)
    : m_pOwnText(std::make_unique<PlainIndexedText>(index)), m_Text(*m_pOwnText), m_Lines(*m_pOwnText)
{}

PagedFileText::~PagedFileText() = default;

ShownLineOrigin PagedFileText::OriginOf(std::int64_t line) const
{
    // Not bounded by the lines indexed so far: a window may show lines the index has yet to count.
    if (line < 0)
        return {};
    return {line + 1, false, -1};
}

bool PagedFileText::TakesFollowedBytes() const
{
    return m_Text.IsFollowable();
}
