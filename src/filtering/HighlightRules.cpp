// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/HighlightRules.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string FormatColour(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseColour(std::string_view text, std::uint32_t& rgb)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    rgb = value;
    return true;
}

// The next word of a line, up to one blank, and the rest after that blank.
std::string_view NextWord(std::string_view& rest)
{
    const std::size_t blank = rest.find(' ');
    const std::string_view word = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    return word;
}

std::string Quoted(std::string_view text)
{
    // Built piece by piece: GCC 12 warns falsely of overlapping copies in "\"" + std::string.
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

} // namespace

HighlightColours NextHighlightColours(const std::vector<HighlightRule>& rules)
{
    for (const HighlightColours& colours : HighlightPalette) {
        const bool used = std::any_of(rules.begin(), rules.end(), [&colours](const HighlightRule& rule) {
            return rule.Fore == colours.Fore && rule.Back == colours.Back;
        });
        if (!used)
            return colours;
    }
    return HighlightPalette[rules.size() % HighlightPalette.size()];
}

std::string HighlightPatternProblem(std::string_view pattern)
{
    if (pattern.empty())
        return "The text to highlight is empty.";
    if (pattern.find_first_of("\r\n") != std::string_view::npos)
        return "The text to highlight must stay on one line.";
    return {};
}

std::string FormatHighlightRule(const HighlightRule& rule)
{
    return std::string(rule.RegExp ? "regex " : "literal ") + (rule.CaseSensitive ? "case " : "nocase ") +
           FormatColour(rule.Fore) + " " + FormatColour(rule.Back) + " " + rule.Pattern;
}

bool ParseHighlightRule(std::string_view line, HighlightRule& rule, std::string& message)
{
    std::string_view rest = line;
    const std::string_view kind = NextWord(rest);
    const std::string_view caseWord = NextWord(rest);
    const std::string_view foreWord = NextWord(rest);
    const std::string_view backWord = NextWord(rest);
    HighlightRule read;
    if (kind != "literal" && kind != "regex") {
        message = "unknown kind " + Quoted(kind) + "; expected \"literal\" or \"regex\"";
        return false;
    }
    read.RegExp = kind == "regex";
    if (caseWord != "case" && caseWord != "nocase") {
        message = "unknown case " + Quoted(caseWord) + "; expected \"case\" or \"nocase\"";
        return false;
    }
    read.CaseSensitive = caseWord == "case";
    if (!ParseColour(foreWord, read.Fore)) {
        message = "bad text colour " + Quoted(foreWord) + "; expected #RRGGBB";
        return false;
    }
    if (!ParseColour(backWord, read.Back)) {
        message = "bad background colour " + Quoted(backWord) + "; expected #RRGGBB";
        return false;
    }
    read.Pattern = std::string(rest);
    if (const std::string problem = HighlightPatternProblem(read.Pattern); !problem.empty()) {
        message = problem;
        return false;
    }
    rule = std::move(read);
    return true;
}

std::string FormatHighlightsFile(const std::vector<HighlightRule>& rules)
{
    std::string text(HighlightsFileHeader);
    text += "\n# kind case text-colour background pattern\n";
    for (const HighlightRule& rule : rules)
        text += FormatHighlightRule(rule) + "\n";
    return text;
}

bool ParseHighlightsFile(std::string_view text, std::vector<HighlightRule>& rules, std::string& message)
{
    std::vector<HighlightRule> read;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (lineNumber == 1) {
            if (line != HighlightsFileHeader) {
                message = "This is not a highlights file: its first line must be " + Quoted(HighlightsFileHeader) + ".";
                return false;
            }
            continue;
        }
        if (line.empty() || line.front() == '#')
            continue;
        if (line.find('\0') != std::string_view::npos) {
            message = "Line " + std::to_string(lineNumber) + ": the line holds a NUL byte.";
            return false;
        }
        HighlightRule rule;
        std::string problem;
        if (!ParseHighlightRule(line, rule, problem)) {
            message = "Line " + std::to_string(lineNumber) + ": " + problem;
            if (message.back() != '.')
                message += '.';
            return false;
        }
        if (read.size() == MaxHighlightRules) {
            message =
                "Line " + std::to_string(lineNumber) + ": more than " + std::to_string(MaxHighlightRules) + " rules.";
            return false;
        }
        read.push_back(std::move(rule));
    }
    if (lineNumber == 0) {
        message = "The file is empty: a highlights file begins with " + Quoted(HighlightsFileHeader) + ".";
        return false;
    }
    rules = std::move(read);
    return true;
}
