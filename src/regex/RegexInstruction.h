// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The instruction kinds of a compiled expression.
enum class RegexOp : std::int32_t
{
    Skip,
    OpenGroup,
    CloseGroup,
    Literal,
    AnyChar,
    InClass,
    NotInClass,
    Jump,
    PushPos,
    PopPos,
    Fork,
    Backtrack,
    PushSlot,
    PopSlot,
    MarkPos,
    MarkDepth,
    ResetPos,
    ResetDepth,
    RequireProgress,
    MatchGroupText,
    NoMatch,
    RetryAtNextChar,
    Succeed,
    StashGroup,
    UnstashGroup,
};

// One instruction: a kind and an operand (character code, instruction index, group or slot
// number, depending on the kind).
struct RegexInstruction
{
    RegexOp Op = RegexOp::Skip;
    std::int32_t Operand = 0;

    bool operator==(const RegexInstruction&) const = default;
};
