// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "regex/RegexInstruction.h"

class Regex;

// A compiled program read as a nondeterministic automaton. Its nodes are the instructions that
// consume a character (Literal, AnyChar, InClass, NotInClass, and a Literal 0, which consumes the
// end of the subject); every other instruction is a move that consumes nothing. The byte sets
// already hold the case folding of the expression, so a byte is simply in a node's set or not.
//
// The backtracker tries every path of the program in turn; when the program has no back
// reference and no negation, each Fork's second branch resumes at the position the Fork saw (the
// compiler follows every such Fork with PopPos, or with a Backtrack that ends the branch), and
// the progress checks only cut iterations that consumed nothing. Whether some path reaches
// Succeed is then exactly whether the automaton accepts, which is what IsExact says.
//
// Built with Overapproximate, the automaton of any program accepts at least what the program
// accepts: a negation is stepped over as if it always held, and a back reference consumes any
// bytes. That is good enough to tell which literals every match must contain.
class RegexNfa
{
public:
    enum class Mode
    {
        Exact,           // only for programs IsExact accepts
        Overapproximate, // any program
    };

    struct Node
    {
        std::array<std::uint64_t, 4> Bytes{}; // the bytes it consumes, folding applied
        std::int32_t Instruction = 0;         // where it sits in the program
        std::int32_t Next = 0;                // the instruction after it has consumed
        bool ConsumesEnd = false;             // a final "$": consumes only the end of the subject
        bool AnyLength = false;               // a back reference read loosely: any bytes, any number

        bool Has(unsigned char byte) const { return (Bytes[byte >> 6] >> (byte & 63)) & 1; }
    };

    // Whether every path of the program can be followed as an automaton without changing the
    // answer: no back reference, no negation, and every Fork of a shape the compiler emits.
    static bool IsExact(const Regex& regex);

    // The bytes the consuming instruction at ip accepts, folding applied as the matcher folds the
    // subject: a Literal's byte (none for a Literal 0, which consumes only the end), a class's
    // members, or every byte for AnyChar.
    static std::array<std::uint64_t, 4> ConsumedBytes(const std::vector<RegexInstruction>& program, std::size_t ip,
                                                      bool caseSensitive);

    RegexNfa(const Regex& regex, Mode mode);

    const std::vector<Node>& GetNodes() const { return m_Nodes; }
    bool IsAnchored() const { return m_bAnchored; }
    bool IsCaseSensitive() const { return m_bCaseSensitive; }

    // Adds to out the nodes reachable from instruction ip without consuming anything (each once:
    // nodes already marked in the current round are skipped). Returns true when Succeed is
    // reachable too. Call BeginRound before each new set.
    bool Closure(std::int32_t ip, std::vector<std::uint32_t>& out);
    void BeginRound();

    // The nodes a match attempt starts with, and whether the empty string already matches there.
    const std::vector<std::uint32_t>& GetStartNodes() const { return m_StartNodes; }
    bool StartMatches() const { return m_bStartMatches; }

private:
    void AddNode(std::int32_t ip);

    std::vector<RegexInstruction> m_Program; // a copy: the automaton may outlive or move apart from the Regex
    std::vector<Node> m_Nodes;
    std::vector<std::int32_t> m_NodeOfInstruction; // -1 for moves
    std::vector<std::uint32_t> m_Mark;             // round in which an instruction was last visited
    std::vector<std::int32_t> m_Pending;           // scratch stack of Closure
    std::uint32_t m_nRound = 0;
    Mode m_Mode;
    bool m_bAnchored;
    bool m_bCaseSensitive;
    std::vector<std::uint32_t> m_StartNodes;
    bool m_bStartMatches = false;
};
