// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/Regex.h"

#include <exception>

#include "regex/RegexCompiler.h"
#include "regex/RegexMatcher.h"

const char* RegexErrorText(std::int32_t code)
{
    switch (code) {
    case RegexErrorNone:
        return "No error occurred";
    case RegexErrorOutOfMemory:
        return "Out of memory";
    case RegexErrorMissingBrace:
        return "A closing brace was expected";
    case RegexErrorMissingParenthesis:
        return "A closing parenthesis was expected";
    case RegexErrorMissingBracket:
        return "A closing bracket was expected";
    case RegexErrorUnexpected:
        return "An unspecified fatal error occurred";
    case RegexErrorEmptyRange:
        return "A range expression was empty";
    case RegexErrorNoSuchGroup:
        return "A back reference was made to a group that did not exist";
    case RegexErrorInvalidRange:
        return "An invalid range was specified";
    case RegexErrorEmptyRepeat:
        return "A repeat operator (* or +) was applied to an expression that could be empty";
    case RegexErrorInvalidInput:
        return "The input string was invalid";
    default:
        return "Unknown error";
    }
}

std::int32_t Regex::Parse(const char* pattern, std::size_t length, bool caseSensitive)
{
    if (pattern == nullptr)
        return RegexErrorInvalidInput;

    m_Instructions.clear();
    m_nGroupCount = 0;
    m_nSlotCount = 0;
    m_nError = RegexErrorNone;
    m_bCaseSensitive = caseSensitive;
    m_strLeadingLiteral.clear();
    try {
        // Case-insensitive expressions are compiled from a copy with A to Z lowered, so "\D" is the
        // digit abbreviation and "[A-Z]" is "[a-z]".
        std::string lowered;
        std::string_view text(pattern, length);
        if (!caseSensitive) {
            lowered.assign(text);
            for (char& c : lowered) {
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            }
            text = lowered;
        }
        RegexCompiler compiler(m_Instructions, m_nGroupCount, m_nSlotCount);
        m_nError = compiler.Compile(text);
        if (m_nError == RegexErrorNone)
            m_strLeadingLiteral = FindLeadingLiteral(m_Instructions);
    } catch (const std::exception&) {
        // Only allocations can throw here.
        m_nError = RegexErrorOutOfMemory;
        m_strLeadingLiteral.clear();
    }
    return m_nError;
}

bool Regex::Match(std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd,
                  std::stop_token stop) const
{
    return RegexMatcher::Match(*this, subject, context, matchEnd, stop);
}

// The literals the compiled pattern starts with: every attempt executes them first, in order. A
// literal 0 is the end of the subject, not a byte, and ends the run.
std::string Regex::FindLeadingLiteral(const std::vector<RegexInstruction>& program)
{
    std::string leading;
    for (std::size_t i = 2; i < program.size() && program[i].Op == RegexOp::Literal && program[i].Operand != 0; ++i)
        leading.push_back(static_cast<char>(program[i].Operand));
    return leading;
}
