// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "regex/RegexInstruction.h"

// The recursive-descent compiler behind Regex::Parse. It emits instructions while it reads the
// pattern; where the language needs a piece compiled a second time in another shape (a loop body,
// an alternation wrapper) it moves or copies the instructions already emitted instead of reading
// the pattern again, so compiling takes time in proportion to the program it produces.
class RegexCompiler
{
public:
    RegexCompiler(std::vector<RegexInstruction>& program, std::uint32_t& groupCount, std::uint32_t& slotCount);

    // Compiles the pattern (already lowered when the expression is case-insensitive) into the
    // complete program and returns a RegexError code. The outputs must be empty and zero.
    std::int32_t Compile(std::string_view pattern);

private:
    // Whether the code compiled so far could match the empty string. An argument only ever sets
    // this flag, clears it or leaves it alone, so it is tracked for both values it could have had
    // before the current argument: one compilation then tells what the flag would be with the
    // argument compiled again as a loop body, where it starts cleared.
    struct EmptyFlag
    {
        bool IfClear = true;
        bool IfSet = true;

        void Clear() { IfClear = IfSet = false; }
        void Set() { IfClear = IfSet = true; }
    };

    struct Snapshot
    {
        std::size_t InstructionCount;
        std::uint32_t GroupCount;
        std::uint32_t SlotCount;
    };

    enum class Quantifier
    {
        None,
        Star,
        Plus,
        Optional,
        LazyStar,
        LazyPlus,
        LazyOptional,
    };

    std::int32_t Sequence(EmptyFlag& flag);
    std::int32_t AlternationItem(EmptyFlag& flag);
    std::int32_t QuantifiedTerm(EmptyFlag& flag);
    std::int32_t Loop(Quantifier quantifier, const Snapshot& before, std::int32_t body);
    std::int32_t Argument(EmptyFlag& flag);
    std::int32_t BackReference();
    std::int32_t Abbreviation(EmptyFlag& flag, std::string_view expansion);
    std::int32_t MatchGroup(EmptyFlag& flag);
    std::int32_t Group(EmptyFlag& flag);
    std::int32_t GroupBody(EmptyFlag& flag, char closer, std::int32_t missingCloser);
    std::int32_t Class();
    std::int32_t Negation(EmptyFlag& flag);
    std::int32_t EmitLiteral(unsigned char character);

    std::int32_t Emit(RegexOp op, std::int32_t operand = 0);
    bool InsertBefore(std::int32_t first, std::span<const RegexInstruction> prologue, std::uint32_t slotShift);
    bool AppendCopy(std::int32_t first, std::int32_t end, std::uint32_t slotShift);
    std::int32_t Fail(std::int32_t error);
    bool OutOfMemory();
    bool Failed() const;
    std::uint32_t NewSlot() { return m_nSlotCount++; }
    std::int32_t Count() const { return static_cast<std::int32_t>(m_Program.size()); }
    Snapshot TakeSnapshot() const;
    void Rollback(const Snapshot& snapshot);
    Quantifier PeekQuantifier() const;

    // The character at the read position, or -1 at the end of the text.
    int Peek(std::size_t ahead = 0) const
    {
        return m_nPos + ahead < m_Text.size() ? static_cast<unsigned char>(m_Text[m_nPos + ahead]) : -1;
    }

    std::vector<RegexInstruction>& m_Program;
    std::uint32_t& m_nGroupCount;
    std::uint32_t& m_nSlotCount;
    std::int32_t m_nError = 0;
    std::string_view m_Text; // the pattern, or an abbreviation's expansion while that is compiled
    std::size_t m_nPos = 0;
    int m_nNesting = 0;
};
