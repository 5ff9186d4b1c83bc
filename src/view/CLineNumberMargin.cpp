// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CLineNumberMargin.h"

#include <algorithm>
#include <string>

#include "view/COstrelView.h"
#include "view/FilterColours.h"

namespace {

constexpr int Margin = 0;
// The margin style of a context line's number; the other numbers use the line-number style.
constexpr int ContextStyle = 40;
// Per filter colour, a style for its matches' numbers and one for its context's.
constexpr int FilterStyleBase = 41;

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

unsigned long ToWParam(std::int64_t value)
{
    return static_cast<unsigned long>(value);
}

int DigitsOf(std::int64_t number)
{
    int digits = 1;
    for (; number >= 10; number /= 10)
        ++digits;
    return digits;
}

} // namespace

CLineNumberMargin::CLineNumberMargin(COstrelView& view) : m_View(view) {}

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
    ClearTextLines(-1, -1);
    m_View.SendScintilla(
        QsciScintillaBase::SCI_SETMARGINTYPEN, static_cast<unsigned long>(Margin),
        static_cast<long>(m_FileLineOf ? QsciScintillaBase::SC_MARGIN_RTEXT : QsciScintillaBase::SC_MARGIN_NUMBER));
    m_nWrittenFirst = m_nWrittenLast = -1;
    m_nLargest = std::max<std::int64_t>(1, largest);
    m_nDigits = 0;
    UpdateWidth();
    Refresh();
}

void CLineNumberMargin::SetLargest(std::int64_t largest)
{
    m_nLargest = std::max<std::int64_t>(1, largest);
    UpdateWidth();
}

void CLineNumberMargin::UpdateWidth()
{
    if (!m_bShown) {
        m_View.SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, static_cast<unsigned long>(Margin), 0L);
        return;
    }
    const int digits = DigitsOf(m_nLargest);
    if (digits == m_nDigits)
        return;
    m_nDigits = digits;
    const std::string widest(static_cast<std::size_t>(digits), '9');
    const long width =
        m_View.SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH,
                             static_cast<unsigned long>(QsciScintillaBase::STYLE_LINENUMBER), widest.c_str());
    m_View.SendScintilla(QsciScintillaBase::SCI_SETMARGINWIDTHN, static_cast<unsigned long>(Margin),
                         width + MarginPadding);
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
    m_TextLines[view.SendScintilla(QsciScintillaBase::SCI_GETDOCPOINTER)] = {first, last};
    std::string text;
    for (std::int64_t line = first; line <= last; ++line) {
        bool isContext = false;
        int filter = -1;
        const std::int64_t number = m_FileLineOf(line, isContext, filter);
        text = number > 0 ? std::to_string(number) : std::string();
        const int style = filter >= 0 ? FilterStyle(filter, isContext)
                                      : (isContext ? ContextStyle : QsciScintillaBase::STYLE_LINENUMBER);
        view.SendScintilla(QsciScintillaBase::SCI_MARGINSETTEXT, ToWParam(line), text.c_str());
        view.SendScintilla(QsciScintillaBase::SCI_MARGINSETSTYLE, ToWParam(line), static_cast<long>(style));
    }
    m_nWrittenFirst = first;
    m_nWrittenLast = last;
}

void CLineNumberMargin::ClearTextLines(std::int64_t keepFirst, std::int64_t keepLast)
{
    COstrelView& view = m_View;
    const auto written = m_TextLines.find(view.SendScintilla(QsciScintillaBase::SCI_GETDOCPOINTER));
    if (written == m_TextLines.end())
        return;
    const std::int64_t lines = view.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    const auto [first, last] = written->second;
    for (std::int64_t line = first; line <= std::min(last, lines - 1); ++line) {
        if (line < keepFirst || line > keepLast)
            view.SendScintilla(QsciScintillaBase::SCI_MARGINSETTEXT, ToWParam(line), static_cast<const char*>(nullptr));
    }
    m_TextLines.erase(written);
}

void CLineNumberMargin::ApplyStyles()
{
    COstrelView& view = m_View;
    // The margin a shade darker than the text's background, its numbers grey, context ones lighter.
    const auto lineNumberStyle = static_cast<unsigned long>(QsciScintillaBase::STYLE_LINENUMBER);
    const auto contextStyle = static_cast<unsigned long>(ContextStyle);
    const long back = view.SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK,
                                         static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT));
    const bool dark = ((back & 0xFF) + ((back >> 8) & 0xFF) + ((back >> 16) & 0xFF)) < 3 * 0x80;
    long shaded = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long channel = (back >> shift) & 0xFF;
        shaded |= (dark ? std::min<long>(0xFF, channel + 0x14) : channel * 15 / 16) << shift;
    }
    for (const unsigned long style : {lineNumberStyle, contextStyle}) {
        view.SendScintilla(QsciScintillaBase::SCI_STYLESETBACK, style, shaded);
        view.SendScintilla(QsciScintillaBase::SCI_STYLESETSIZEFRACTIONAL, style,
                           view.SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL,
                                              static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT)));
    }
    view.SendScintilla(QsciScintillaBase::SCI_STYLESETFORE, lineNumberStyle, dark ? 0xB0B0B0L : 0x606060L);
    view.SendScintilla(QsciScintillaBase::SCI_STYLESETFORE, contextStyle, dark ? 0x707070L : 0xA8A8A8L);
    // A kept line's number on a tint of its filter's colour; context a paler tint.
    const long size = view.SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL,
                                         static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT));
    for (int filter = 0; filter < static_cast<int>(FilterPalette.size()); ++filter) {
        for (const bool isContext : {false, true}) {
            const auto style = static_cast<unsigned long>(FilterStyle(filter, isContext));
            const long tint = Blend(shaded, FilterColour(filter), dark);
            view.SendScintilla(QsciScintillaBase::SCI_STYLESETBACK, style,
                               isContext ? Blend(shaded, static_cast<std::uint32_t>(tint), dark) : tint);
            view.SendScintilla(QsciScintillaBase::SCI_STYLESETSIZEFRACTIONAL, style, size);
            view.SendScintilla(QsciScintillaBase::SCI_STYLESETFORE, style,
                               isContext ? (dark ? 0x909090L : 0x888888L) : (dark ? 0xE0E0E0L : 0x303030L));
        }
    }
    m_nWrittenFirst = m_nWrittenLast = -1;
    m_nDigits = 0;
    UpdateWidth();
    Refresh();
}
