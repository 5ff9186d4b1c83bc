// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "regex/Regex.h"
#include "regex/RegexMatchContext.h"

// Readable failure output for compiled programs.
inline const char* OpName(RegexOp op)
{
    static const char* const names[] = {
        "Skip",      "OpenGroup",       "CloseGroup", "Literal",         "AnyChar",
        "InClass",   "NotInClass",      "Jump",       "PushPos",         "PopPos",
        "Fork",      "Backtrack",       "PushSlot",   "PopSlot",         "MarkPos",
        "MarkDepth", "ResetPos",        "ResetDepth", "RequireProgress", "MatchGroupText",
        "NoMatch",   "RetryAtNextChar", "Succeed",    "StashGroup",      "UnstashGroup"};
    const auto index = static_cast<std::size_t>(op);
    return index < std::size(names) ? names[index] : "?";
}

inline void PrintTo(const RegexInstruction& instruction, std::ostream* out)
{
    *out << OpName(instruction.Op) << ' ' << instruction.Operand;
}

inline RegexInstruction I(RegexOp op, std::int32_t operand = 0)
{
    return {op, operand};
}

// Reads one operand: a number or a quoted character.
inline std::int32_t Operand(std::string_view text)
{
    if (text.size() == 3 && text.front() == '\'' && text.back() == '\'')
        return static_cast<unsigned char>(text[1]);
    return std::stoi(std::string(text));
}

inline std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The whole program around a body written as "Op operand; Op; 'c'", where a quoted character
// alone is a Literal: Fork 2; RetryAtNextChar (NoMatch when anchored); body; Succeed.
inline std::vector<RegexInstruction> Program(std::string_view body, bool anchored = false)
{
    std::vector<RegexInstruction> program{I(RegexOp::Fork, 2),
                                          I(anchored ? RegexOp::NoMatch : RegexOp::RetryAtNextChar)};
    while (!Trimmed(body).empty()) {
        const std::size_t end = std::min(body.find(';'), body.size());
        const std::string_view item = Trimmed(body.substr(0, end));
        body.remove_prefix(std::min(end + 1, body.size()));
        if (item.front() == '\'') {
            program.push_back(I(RegexOp::Literal, Operand(item)));
            continue;
        }
        const std::string_view name = item.substr(0, item.find(' '));
        RegexOp op = RegexOp::Skip;
        while (OpName(op) != name) {
            if (std::string_view(OpName(op)) == "?")
                throw std::invalid_argument("unknown instruction " + std::string(name));
            op = static_cast<RegexOp>(static_cast<int>(op) + 1);
        }
        program.push_back(I(op, name.size() < item.size() ? Operand(Trimmed(item.substr(name.size()))) : 0));
    }
    program.push_back(I(RegexOp::Succeed));
    return program;
}

struct MatchOutcome
{
    std::int32_t Error = RegexErrorNone;
    bool Matched = false;
    std::size_t Start = RegexMatchContext::NoPosition;
    std::size_t End = RegexMatchContext::NoPosition;
    std::vector<std::pair<std::size_t, std::size_t>> Groups;
};

// Parses and matches in one go; the outcome says what the context holds after a match.
inline MatchOutcome RunMatch(std::string_view pattern, std::string_view subject, bool caseSensitive = true)
{
    MatchOutcome outcome;
    Regex regex;
    outcome.Error = regex.Parse(pattern, caseSensitive);
    if (outcome.Error != RegexErrorNone)
        return outcome;
    RegexMatchContext context(256);
    std::size_t end = 0;
    outcome.Matched = regex.Match(subject, context, &end);
    if (outcome.Matched) {
        outcome.Start = context.GetMatchStart();
        outcome.End = end;
        for (std::uint32_t group = 0; group < context.GetGroupCount(); ++group)
            outcome.Groups.emplace_back(context.GetGroupStart(group), context.GetGroupEnd(group));
    }
    return outcome;
}

// Makes control bytes in a failure message visible.
inline std::string Printable(std::string_view text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 15]);
        }
    }
    return out;
}
