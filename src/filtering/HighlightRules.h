// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One rule of the highlights: every occurrence of its text in the lines a view shows is drawn in
// its colours, whatever the view shows and whatever the filters keep. Colours are 0xRRGGBB.
struct HighlightRule
{
    std::string Pattern; // UTF-8: literal text, or an expression of the filters' language
    bool RegExp = false;
    bool CaseSensitive = false;
    std::uint32_t Fore = 0x000000;
    std::uint32_t Back = 0xFFE066;

    bool operator==(const HighlightRule&) const = default;
};

// The colours a new rule takes, in turn: pairs of a text and a background colour that read the
// same in light and dark looks, since both are drawn.
struct HighlightColours
{
    std::uint32_t Fore;
    std::uint32_t Back;
};
inline constexpr std::array<HighlightColours, 8> HighlightPalette = {{
    {0x000000, 0xFFE066}, // black on yellow
    {0xFFFFFF, 0xC62828}, // white on red
    {0x000000, 0x8BE28B}, // black on green
    {0xFFFFFF, 0x1E5BC6}, // white on blue
    {0x000000, 0xFFAA44}, // black on orange
    {0xFFFFFF, 0x7B3FA0}, // white on purple
    {0x000000, 0x7FDBE8}, // black on cyan
    {0xFFFFFF, 0x2E7D32}, // white on dark green
}};

// The first pair of the palette no rule uses yet; once all are taken, they come round again.
HighlightColours NextHighlightColours(const std::vector<HighlightRule>& rules);

// The most rules a list holds: the dialog adds no more, and the settings keep no more.
inline constexpr std::size_t MaxHighlightRules = 200;

// Why a text cannot be a rule's pattern, or empty when it can: it must not be empty and must
// stay on one line (a view is marked line by line, and the files keep a rule on one line).
std::string HighlightPatternProblem(std::string_view pattern);

// A rule as one line of a highlights file, without the line feed:
// "literal|regex case|nocase #RRGGBB #RRGGBB pattern", the pattern to the end of the line.
std::string FormatHighlightRule(const HighlightRule& rule);
// Reads a line FormatHighlightRule wrote; on a bad line returns false with why in message.
bool ParseHighlightRule(std::string_view line, HighlightRule& rule, std::string& message);

// The first line of a highlights file.
inline constexpr std::string_view HighlightsFileHeader = "# Ostrel highlights 1";

// A highlights file: the header, then one rule a line. Rules with a pattern that cannot be kept
// (HighlightPatternProblem) must not be given.
std::string FormatHighlightsFile(const std::vector<HighlightRule>& rules);
// Reads a highlights file's text into rules, which it changes only when the whole text is good:
// on a bad text it returns false with a message naming the line and what is wrong with it.
// After the header, empty lines and lines that begin with '#' are comments.
bool ParseHighlightsFile(std::string_view text, std::vector<HighlightRule>& rules, std::string& message);
