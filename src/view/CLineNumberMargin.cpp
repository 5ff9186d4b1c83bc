// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CLineNumberMargin.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "view/COstrelView.h"
#include "view/FilterColours.h"

namespace {

constexpr int Margin = 0;
// The margin style of a context line's number; the other numbers use the line-number style.
constexpr int ContextStyle = 40;
// Per filter colour, a style for its matches' numbers and one for its context's.
constexpr int FilterStyleBase = 41;
// The number of a line where the next file of a rotated set starts.
constexpr int FileStartStyle = FilterStyleBase + static_cast<int>(FilterPalette.size()) * 2;
// Per log of a merge, the style of its lines' numbers: a tint of a colour of its own.
constexpr int SourceStyleBase = FileStartStyle + 1;

int SourceStyle(int source)
{
    return SourceStyleBase + static_cast<int>(static_cast<std::size_t>(source) % FilterPalette.size());
}

int FilterStyle(int filter, bool isContext)
{
    return FilterStyleBase + static_cast<int>(static_cast<std::size_t>(filter) % FilterPalette.size()) * 2 +
           (isContext ? 1 : 0);
}

// The colour a quarter (light) or two fifths (dark) of the way from base to tint.
long Blend(long base, std::uint32_t tint, bool dark)
{
    long blended = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long from = (base >> shift) & 0xFF;
        const long to = static_cast<long>((tint >> shift) & 0xFF);
        blended |= (dark ? from + (to - from) * 2 / 5 : from + (to - from) / 4) << shift;
    }
    return blended;
}
constexpr int MarginPadding = 8;

int DigitsOf(std::int64_t number)
{
    int digits = 1;
    for (; number >= 10; number /= 10)
        ++digits;
    return digits;
}

} // namespace

CLineNumberMargin::CLineNumberMargin(COstrelView& view) : m_View(view) {}

std::int64_t CLineNumberMargin::EstimateLineCount(std::uint64_t fileSize, std::uint64_t sampleBytes,
                                                  std::int64_t sampleLineFeeds)
{
    if (sampleBytes == 0 || sampleLineFeeds <= 0)
        return 1;
    // In floating point: the product overflows for files of many terabytes.
    const double feeds =
        static_cast<double>(sampleLineFeeds) * static_cast<double>(fileSize) / static_cast<double>(sampleBytes);
    const double bounded = std::min(feeds, static_cast<double>(fileSize));
    return static_cast<std::int64_t>(std::llround(bounded)) + 1;
}

void CLineNumberMargin::SetShown(bool shown)
{
    m_bShown = shown;
    m_nDigits = 0;
    UpdateWidth();
    Refresh();
}

void CLineNumberMargin::SetNumbering(FileLineOf fileLineOf, std::int64_t largest)
{
    m_FileLineOf = std::move(fileLineOf);
    // Mapped numbers are written per line: the editor's count would be the text's own.
    if (!m_FileLineOf && m_OriginMap)
        m_FileLineOf = [this](std::int64_t viewLine) { return m_View.OriginOfViewLine(viewLine); };
    ClearTextLines(-1, -1);
    m_View.GetEditor().SetMarginType(Margin, m_FileLineOf ? QsciScintillaBase::SC_MARGIN_RTEXT
                                                          : QsciScintillaBase::SC_MARGIN_NUMBER);
    m_nWrittenFirst = m_nWrittenLast = -1;
    m_nLargest = std::max<std::int64_t>(1, largest);
    m_nDigits = 0;
    UpdateWidth();
    Refresh();
}

void CLineNumberMargin::SetOriginMap(OriginMap map, std::int64_t largest)
{
    m_OriginMap = std::move(map);
    m_nMappedLargest = m_OriginMap ? largest : 0;
    FileLineOf fileLineOf = m_FileLineOf;
    SetNumbering(std::move(fileLineOf), m_nLargest);
}

void CLineNumberMargin::SetLargest(std::int64_t largest)
{
    m_nLargest = std::max<std::int64_t>(1, largest);
    UpdateWidth();
}

void CLineNumberMargin::UpdateWidth()
{
    if (!m_bShown) {
        m_View.GetEditor().SetMarginWidth(Margin, 0);
        return;
    }
    const int digits = DigitsOf(std::max(m_nLargest, m_nMappedLargest));
    if (digits == m_nDigits)
        return;
    m_nDigits = digits;
    const std::string widest(static_cast<std::size_t>(digits), '9');
    const int width = m_View.GetEditor().TextWidth(QsciScintillaBase::STYLE_LINENUMBER, widest.c_str());
    m_View.GetEditor().SetMarginWidth(Margin, width + MarginPadding);
}

void CLineNumberMargin::Refresh()
{
    if (!m_bShown || !m_FileLineOf)
        return;
    COstrelView& view = m_View;
    const auto [first, last] = view.GetLinesOnScreen();
    if (first == m_nWrittenFirst && last == m_nWrittenLast)
        return;
    ClearTextLines(first, last);
    CEditor& editor = view.GetEditor();
    m_TextLines[editor.GetDocument()] = {first, last};
    std::string text;
    for (std::int64_t line = first; line <= last; ++line) {
        const ShownLineOrigin origin = m_OriginMap ? m_OriginMap(m_FileLineOf(line)) : m_FileLineOf(line);
        text = origin.FileLine > 0 ? std::to_string(origin.FileLine) : std::string();
        int style = origin.IsContext ? ContextStyle : QsciScintillaBase::STYLE_LINENUMBER;
        if (origin.Filter >= 0)
            style = FilterStyle(origin.Filter, origin.IsContext);
        else if (origin.StartsFile)
            style = FileStartStyle;
        else if (origin.Source >= 0)
            style = SourceStyle(origin.Source);
        editor.SetMarginText(line, text.c_str());
        editor.SetMarginStyle(line, style);
    }
    m_nWrittenFirst = first;
    m_nWrittenLast = last;
}

void CLineNumberMargin::ClearTextLines(std::int64_t keepFirst, std::int64_t keepLast)
{
    CEditor& editor = m_View.GetEditor();
    const auto written = m_TextLines.find(editor.GetDocument());
    if (written == m_TextLines.end())
        return;
    const std::int64_t lines = editor.GetLineCount();
    const auto [first, last] = written->second;
    for (std::int64_t line = first; line <= std::min(last, lines - 1); ++line) {
        if (line < keepFirst || line > keepLast)
            editor.SetMarginText(line, nullptr);
    }
    m_TextLines.erase(written);
}

void CLineNumberMargin::ApplyStyles()
{
    CEditor& editor = m_View.GetEditor();
    // The margin a shade darker than the text's background, its numbers grey, context ones lighter.
    const int lineNumberStyle = QsciScintillaBase::STYLE_LINENUMBER;
    const int contextStyle = ContextStyle;
    const long back = editor.GetStyleBack(QsciScintillaBase::STYLE_DEFAULT);
    const bool dark = ((back & 0xFF) + ((back >> 8) & 0xFF) + ((back >> 16) & 0xFF)) < 3 * 0x80;
    long shaded = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long channel = (back >> shift) & 0xFF;
        shaded |= (dark ? std::min<long>(0xFF, channel + 0x14) : channel * 15 / 16) << shift;
    }
    const int size = editor.GetStyleSize(QsciScintillaBase::STYLE_DEFAULT);
    for (const int style : {lineNumberStyle, contextStyle}) {
        editor.SetStyleBack(style, shaded);
        editor.SetStyleSize(style, size);
    }
    editor.SetStyleFore(lineNumberStyle, dark ? 0xB0B0B0L : 0x606060L);
    editor.SetStyleFore(contextStyle, dark ? 0x707070L : 0xA8A8A8L);
    // A kept line's number on a tint of its filter's colour; context a paler tint.
    for (int filter = 0; filter < static_cast<int>(FilterPalette.size()); ++filter) {
        for (const bool isContext : {false, true}) {
            const int style = FilterStyle(filter, isContext);
            const long tint = Blend(shaded, FilterColour(filter), dark);
            editor.SetStyleBack(style, isContext ? Blend(shaded, static_cast<std::uint32_t>(tint), dark) : tint);
            editor.SetStyleSize(style, size);
            editor.SetStyleFore(style, isContext ? (dark ? 0x909090L : 0x888888L) : (dark ? 0xE0E0E0L : 0x303030L));
        }
    }
    // Where a file of a set starts: white on blue, bold, plain to see at a glance.
    editor.SetStyleBack(FileStartStyle, dark ? 0x9A5A20L : 0xC07830L);
    editor.SetStyleFore(FileStartStyle, 0xFFFFFFL);
    editor.SetStyleBold(FileStartStyle, true);
    editor.SetStyleSize(FileStartStyle, size);
    // The logs of a merge in the filters' colours, the first log in the first: which log a line
    // comes from shows at a glance.
    for (int source = 0; source < static_cast<int>(FilterPalette.size()); ++source) {
        const int style = SourceStyle(source);
        editor.SetStyleBack(style, Blend(shaded, FilterColour(source), dark));
        editor.SetStyleFore(style, dark ? 0xE0E0E0L : 0x303030L);
        editor.SetStyleSize(style, size);
    }
    m_nWrittenFirst = m_nWrittenLast = -1;
    m_nDigits = 0;
    UpdateWidth();
    Refresh();
}
