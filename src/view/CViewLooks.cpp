// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewLooks.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QFontInfo>
#include <QPalette>

#include "view/CEditor.h"
#include "view/CFontDlg.h"
#include "view/ILogWorkspace.h"

namespace {

// Character-format bits as the settings store keeps them.
constexpr std::uint32_t FormatMaskBold = 0x00000001;
constexpr std::uint32_t FormatMaskItalic = 0x00000002;
constexpr std::uint32_t FormatMaskUnderline = 0x00000004;
constexpr std::uint32_t FormatMaskChosenFont = 0xF800000F; // size, face, colour, offset, charset, effects
constexpr int TwipsPerPoint = 20;

// The line that holds the caret, in every view: light enough for the cyan of filter output.
constexpr long CaretLineBackground = 0xC8F8FF;     // RGB(255, 248, 200) as the editor takes it
constexpr long DarkCaretLineBackground = 0x3C3424; // RGB(36, 52, 60)
constexpr long DarkText = 0xDCDCDC;
constexpr long DarkCaret = 0xF0F0F0;

// Text below this contrast with its background is hard to read (the large-text rule of thumb).
constexpr double MinimumContrast = 3.0;

double RelativeLuminance(std::uint32_t bgr)
{
    const auto channel = [](std::uint32_t value) {
        const double c = static_cast<double>(value & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(bgr) + 0.7152 * channel(bgr >> 8) + 0.0722 * channel(bgr >> 16);
}

double ContrastRatio(std::uint32_t a, std::uint32_t b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

CViewLooks::CViewLooks(CEditor& editor, ILogWorkspace* workspace, std::function<void()> stylesChanged)
    : m_Editor(editor), m_pWorkspace(workspace), m_StylesChanged(std::move(stylesChanged)), m_bDarkLook(LookIsDark())
{}

std::uint32_t CViewLooks::ShownBackground(std::uint32_t color, bool dark)
{
    if (!dark)
        return color;
    // Dark counterparts; filter output keeps its cyan tint.
    if (color == FilterOutputBackground)
        return DarkFilterOutputBackground;
    if (color == WholeFileBackground)
        return DarkWholeFileBackground;
    return color;
}

bool CViewLooks::LookIsDark()
{
    return QApplication::palette().color(QPalette::Base).lightness() < 128;
}

void CViewLooks::ApplyAll()
{
    ApplyLookColours();
    ApplyFont();
}

void CViewLooks::ApplyFont()
{
    const CTextFormat format = m_pWorkspace ? m_pWorkspace->GetTextFormat() : CTextFormat();
    const auto mask = static_cast<std::uint32_t>(format.Mask);
    const auto effects = static_cast<std::uint32_t>(format.Effects);

    // In a dark look a colour that would not stand out from the background (black, the default,
    // or any dark one) reads light instead; the chosen colour comes back in a light look.
    const auto chosen = static_cast<std::uint32_t>(format.Color & 0xFFFFFF);
    const long text = m_bDarkLook && ContrastRatio(chosen, ShownBackground(m_crBackground, true)) < MinimumContrast
                          ? DarkText
                          : static_cast<long>(chosen);
    m_Editor.SetStyleFore(QsciScintillaBase::STYLE_DEFAULT, text);
    m_Editor.SetStyleFont(QsciScintillaBase::STYLE_DEFAULT, format.Face.toUtf8());
    const std::uint32_t shown = format.Height != 0 ? mask & effects : 0; // no font chosen: no effects
    if (format.Height != 0)
        m_Editor.SetStyleSize(QsciScintillaBase::STYLE_DEFAULT,
                              static_cast<int>(static_cast<long>(format.Height) *
                                               QsciScintillaBase::SC_FONT_SIZE_MULTIPLIER / TwipsPerPoint));
    m_Editor.SetStyleBold(QsciScintillaBase::STYLE_DEFAULT, (shown & FormatMaskBold) != 0);
    m_Editor.SetStyleItalic(QsciScintillaBase::STYLE_DEFAULT, (shown & FormatMaskItalic) != 0);
    m_Editor.SetStyleUnderline(QsciScintillaBase::STYLE_DEFAULT, (shown & FormatMaskUnderline) != 0);
    m_Editor.SetStyleBack(QsciScintillaBase::STYLE_DEFAULT,
                          static_cast<long>(ShownBackground(m_crBackground, m_bDarkLook)));
    m_Editor.ClearAllStyles();
    if (m_StylesChanged)
        m_StylesChanged();
}

void CViewLooks::SetBackground(std::uint32_t color)
{
    m_crBackground = color;
    m_Editor.SetStyleBack(QsciScintillaBase::STYLE_DEFAULT, static_cast<long>(ShownBackground(color, m_bDarkLook)));
    m_Editor.ClearAllStyles();
    if (m_StylesChanged)
        m_StylesChanged();
}

void CViewLooks::ApplyLookColours()
{
    m_Editor.SetCaretLineBack(m_bDarkLook ? DarkCaretLineBackground : CaretLineBackground);
    m_Editor.SetCaretFore(m_bDarkLook ? DarkCaret : 0L);
}

bool CViewLooks::SetDark(bool dark)
{
    if (dark == m_bDarkLook)
        return false;
    m_bDarkLook = dark;
    ApplyAll();
    return true;
}

bool CViewLooks::FollowApplicationLook()
{
    return SetDark(LookIsDark());
}

void CViewLooks::SetPrinting(bool printing)
{
    // The light look's colours, whatever the application's look; the look's own come back after.
    SetDark(!printing && LookIsDark());
}

bool CViewLooks::ChooseFont()
{
    // The dialog opens on the font the view shows: the configured face may be missing and replaced
    // by another, and that one is what the user sees.
    const int size = m_Editor.GetStyleSize(QsciScintillaBase::STYLE_DEFAULT);
    QFont shown(QString::fromUtf8(m_Editor.GetStyleFont(QsciScintillaBase::STYLE_DEFAULT)));
    if (size > 0)
        shown.setPointSizeF(static_cast<double>(size) /
                            static_cast<double>(QsciScintillaBase::SC_FONT_SIZE_MULTIPLIER));
    shown.setFamily(QFontInfo(shown).family());
    shown.setBold(m_Editor.GetStyleBold(QsciScintillaBase::STYLE_DEFAULT));
    shown.setItalic(m_Editor.GetStyleItalic(QsciScintillaBase::STYLE_DEFAULT));
    shown.setUnderline(m_Editor.GetStyleUnderline(QsciScintillaBase::STYLE_DEFAULT));
    const auto fore = static_cast<std::uint32_t>(m_Editor.GetStyleFore(QsciScintillaBase::STYLE_DEFAULT));

    CFontDlg dialog(nullptr);
    dialog.SetCurrentFont(shown);
    dialog.SetCurrentColor(QColor(static_cast<int>(fore & 0xFF), static_cast<int>((fore >> 8) & 0xFF),
                                  static_cast<int>((fore >> 16) & 0xFF)));
    if (dialog.exec() != QDialog::Accepted || !m_pWorkspace)
        return false;
    const QFont font = dialog.GetCurrentFont();
    const QColor color = dialog.GetCurrentColor();
    std::uint32_t effects = 0;
    effects |= font.bold() ? FormatMaskBold : 0;
    effects |= font.italic() ? FormatMaskItalic : 0;
    effects |= font.underline() ? FormatMaskUnderline : 0;
    // Kept in memory; the settings store gets it at exit.
    CTextFormat format = m_pWorkspace->GetTextFormat();
    format.Face = font.family();
    format.Color = static_cast<std::uint32_t>(color.red()) | static_cast<std::uint32_t>(color.green()) << 8 |
                   static_cast<std::uint32_t>(color.blue()) << 16;
    format.Height = static_cast<std::int32_t>(font.pointSizeF() * TwipsPerPoint + 0.5);
    format.Offset = 0;
    format.Mask = static_cast<std::int32_t>(FormatMaskChosenFont);
    format.Effects = static_cast<std::int32_t>(effects);
    // Every view takes it at once (the workspace tells them), this one included.
    m_pWorkspace->SetTextFormat(format);
    ApplyFont();
    return true;
}
