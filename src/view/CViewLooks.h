// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

class CEditor;
class ILogWorkspace;

// How a view's text looks: the workspace's font, the background of the kind of text shown (the
// whole file, or filter output's light cyan) and the light or dark look of the application.
// Everything goes to the editor's default style; the margin takes its styles after each change.
class CViewLooks
{
public:
    // RGB(238, 255, 255) as the editor takes it (0x00BBGGRR): the background of filter output.
    static constexpr std::uint32_t FilterOutputBackground = 0xFFFFEE;
    static constexpr std::uint32_t WholeFileBackground = 0xFFFFFF;
    // Their counterparts in a dark look: RGB(30, 30, 30) and RGB(22, 52, 56).
    static constexpr std::uint32_t DarkWholeFileBackground = 0x1E1E1E;
    static constexpr std::uint32_t DarkFilterOutputBackground = 0x383416;

    // stylesChanged: called after the editor's styles were set anew (the margin's follow them).
    CViewLooks(CEditor& editor, ILogWorkspace* workspace, std::function<void()> stylesChanged);

    // The background shown for one of the two above, in a light or a dark look.
    static std::uint32_t ShownBackground(std::uint32_t color, bool dark);
    // Whether the application's look is dark (its text fields' background is).
    static bool LookIsDark();

    // The caret's colours and the font, in the look the view has now.
    void ApplyAll();
    void ApplyFont();
    void SetBackground(std::uint32_t color);
    std::uint32_t GetBackground() const { return m_crBackground; }
    // The application's look may have changed: true when the view's did.
    bool FollowApplicationLook();
    // While printing, the light look's colours: paper is white.
    void SetPrinting(bool printing);
    // Format > Font: the dialog opens on the font shown; the choice goes to the workspace.
    bool ChooseFont();

private:
    void ApplyLookColours();
    bool SetDark(bool dark);

    CEditor& m_Editor;
    ILogWorkspace* m_pWorkspace;
    std::function<void()> m_StylesChanged;
    std::uint32_t m_crBackground = WholeFileBackground; // as in a light look; see ShownBackground
    bool m_bDarkLook = false;
};
