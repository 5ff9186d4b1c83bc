// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string_view>
#include <vector>

#include "regex/RegexInstruction.h"

class Regex;
class RegexLiveTable;

// Decides whether a compiled expression without back references matches a subject in one
// backward pass over the subject: time in proportion to the program's size times the subject's
// length, memory in proportion to the program's size, whatever the expression. It gives the
// backtracker's answer exactly, negations included.
//
// Why that holds: without a back reference the groups and slots do not change what matches.
// Each Fork's second branch resumes at the position the Fork saw, and the progress checks only
// cut iterations that consumed nothing, which add no new (instruction, position) pairs. Whether
// some path reaches Succeed is then whether Succeed is reachable over (instruction, position),
// where a consuming instruction steps to the next position when it accepts the byte there and
// every other instruction is a move within the position. A negation is atomic: its operand is
// tried at the position alone, whatever led there, so the negation is a move that is open
// exactly when the operand cannot reach its own end from that position. Working from the end of
// the subject backwards, every pair's answer needs only the answers one position further on
// and, for a negation, its operand's answer at the same position, which is worked out first.
//
// The same pass fills a RegexLiveTable for a program with back references, for the Fork targets
// from which no back reference can run, and whose failed branches leave no capture a later one
// reads (no capture inside a negation, which outlives the negation; no Fork inside a group a
// back reference reads, which a failed branch may have closed): there the answer still depends
// on the position alone, so the backtracker can skip branches that cannot succeed and still
// gives the same answer and match. Used by one thread at a time.
class RegexLinearDecider
{
public:
    enum class Outcome
    {
        NoMatch,
        Match,
        Stopped, // a stop request came first; the answer is not known
    };

    // Reads the program of a compiled expression. May throw std::bad_alloc.
    explicit RegexLinearDecider(const Regex& regex);
    // Reads a program as the compiler lays it out; anything else is refused (CanDecide and
    // CanPrune false). May throw std::bad_alloc.
    RegexLinearDecider(const std::vector<RegexInstruction>& program, bool caseSensitive);

    // Whether Decide may be called: the program has no back reference and is made of the shapes
    // the compiler emits.
    bool CanDecide() const { return m_bValid && !m_bHasBackReferences; }
    // Whether FillLiveTable tracks any branch at all.
    bool CanPrune() const { return m_bValid && m_nTrackedTargets > 0; }

    // Whether the expression matches the subject, as the backtracker would answer. Allocates
    // nothing; looks at the stop token every few thousand positions.
    Outcome Decide(std::string_view subject, const std::stop_token& stop);

    // The memory FillLiveTable takes for a subject of the given length.
    std::size_t LiveTableBytes(std::size_t subjectLength) const;
    // Fills the table for the subject; false when a stop request came first. May throw
    // std::bad_alloc.
    bool FillLiveTable(std::string_view subject, const std::stop_token& stop, RegexLiveTable& table);

    // Positions the last Decide or FillLiveTable worked through: a measure of its work.
    std::uint64_t GetPositionsVisited() const { return m_nPositionsVisited; }

private:
    enum class Kind : std::uint8_t
    {
        Dead,     // fails, or is never executed (class items, the attempt loop)
        Target,   // the end of a scope: Succeed, or the reset that closes a negation's operand
        Move,     // consumes nothing and goes on to its successors
        Consumer, // consumes a byte (or the end of the subject, for a Literal 0)
        Negation, // the Fork of a negation: open when its operand cannot reach its end here
    };

    // A negation's operand, or the whole program: the instructions that lead to one target.
    struct Scope
    {
        std::int32_t Target = 0;
        std::vector<std::uint32_t> Consumers; // indices into m_Consumers
    };

    struct Consumer
    {
        std::int32_t Instruction = 0;
        std::int32_t Next = 0;
        bool ConsumesEnd = false; // a Literal 0: only the end of the subject
        std::array<std::uint64_t, 4> Bytes{};
    };

    bool Analyse(const std::vector<RegexInstruction>& program, bool caseSensitive);
    void FindTrackedTargets(const std::vector<RegexInstruction>& program, const std::vector<std::int32_t>& scopeOf);
    template <bool FillsTable>
    Outcome Run(std::string_view subject, const std::stop_token& stop, RegexLiveTable* table);
    void Propagate(const Scope& scope, std::size_t position, std::size_t length, unsigned char byte);

    std::vector<Kind> m_Kinds;                     // per instruction
    std::vector<std::int32_t> m_NegationOperand;   // per instruction: for a Negation, its operand's first instruction
    std::vector<std::uint32_t> m_PredecessorStart; // moves leading to each instruction, as ranges of m_Predecessors
    std::vector<std::int32_t> m_Predecessors;
    std::vector<Consumer> m_Consumers;
    std::vector<Scope> m_Scopes; // inner operands before the negations that hold them, the whole program last
    bool m_bValid = false;
    bool m_bHasBackReferences = false;
    bool m_bAnchored = false;

    // The Fork targets FillLiveTable records, each with its bit.
    std::vector<std::int32_t> m_Columns; // per instruction, -1 when not recorded
    std::vector<std::int32_t> m_TrackedTargets;
    std::size_t m_nTrackedTargets = 0;

    // Scratch of a pass: the answers at the current position and at the one after it.
    std::vector<std::uint8_t> m_Here;
    std::vector<std::uint8_t> m_After;
    std::vector<std::int32_t> m_Pending;
    std::uint64_t m_nPositionsVisited = 0;
};
