// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "regex/RegexInstruction.h"

class RegexMatchContext;

// Parse error codes returned by Regex::Parse.
enum RegexError : std::int32_t
{
    RegexErrorNone = 0,
    RegexErrorOutOfMemory = 1,
    RegexErrorMissingBrace = 2,
    RegexErrorMissingParenthesis = 3,
    RegexErrorMissingBracket = 4,
    RegexErrorUnexpected = 5,
    RegexErrorEmptyRange = 6,
    RegexErrorNoSuchGroup = 7,
    RegexErrorInvalidRange = 8,
    RegexErrorEmptyRepeat = 9,
    RegexErrorInvalidInput = 10,
};

// The message text of a parse error code ("Unknown error" for any other value).
const char* RegexErrorText(std::int32_t code);

// A compiled expression: a flat program for the backtracking matcher. Patterns and subjects
// are byte strings with a length; every byte is one character (0 to 255), NUL included.
// A Regex is used by one thread at a time; Match does not change it.
class Regex
{
public:
    // Compiles the pattern, replacing what the object held; returns a RegexError code.
    // A null pattern returns RegexErrorInvalidInput and leaves the object untouched.
    std::int32_t Parse(const char* pattern, std::size_t length, bool caseSensitive);
    std::int32_t Parse(std::string_view pattern, bool caseSensitive)
    {
        return Parse(pattern.data() ? pattern.data() : "", pattern.size(), caseSensitive);
    }

    // True when the expression matches anywhere in the subject. matchEnd, when given, receives
    // the end of the match. A stop request ends the match early with false; so does a failed
    // allocation. Only valid after a Parse that returned RegexErrorNone.
    bool Match(std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd = nullptr,
               std::stop_token stop = {}) const;

    // Bytes that every match must begin with (lower case when the expression is case-insensitive):
    // lets a caller skip subjects that cannot match. Empty when there is no such prefix.
    const std::string& LeadingLiteral() const { return m_strLeadingLiteral; }

    std::int32_t GetError() const { return m_nError; }
    const std::vector<RegexInstruction>& GetInstructions() const { return m_Instructions; }
    std::uint32_t GetGroupCount() const { return m_nGroupCount; }
    std::uint32_t GetSlotCount() const { return m_nSlotCount; }
    bool IsCaseSensitive() const { return m_bCaseSensitive; }

private:
    static std::string FindLeadingLiteral(const std::vector<RegexInstruction>& program);

    std::int32_t m_nError = RegexErrorNone;
    std::vector<RegexInstruction> m_Instructions;
    std::uint32_t m_nGroupCount = 0;
    std::uint32_t m_nSlotCount = 0;
    bool m_bCaseSensitive = true;
    std::string m_strLeadingLiteral;
};
