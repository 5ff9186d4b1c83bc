// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexNfa.h"

#include "regex/Regex.h"

namespace {

unsigned char Folded(unsigned char byte, bool caseSensitive)
{
    return !caseSensitive && byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

void SetByte(std::array<std::uint64_t, 4>& bytes, unsigned byte)
{
    bytes[byte >> 6] |= std::uint64_t(1) << (byte & 63);
}

} // namespace

bool RegexNfa::IsExact(const Regex& regex)
{
    const std::vector<RegexInstruction>& program = regex.GetInstructions();
    if (regex.GetError() != RegexErrorNone || program.size() < 3)
        return false;
    for (std::size_t i = 2; i < program.size(); ++i) {
        switch (program[i].Op) {
        case RegexOp::MatchGroupText: // the text depends on the path taken to it
        case RegexOp::MarkDepth:      // MarkDepth, ResetDepth and ResetPos only occur in negations
        case RegexOp::ResetDepth:
        case RegexOp::ResetPos:
        case RegexOp::NoMatch:
        case RegexOp::RetryAtNextChar:
            return false;
        case RegexOp::Fork: {
            // The second branch must resume where the Fork was: a PopPos of the position pushed
            // just before it, or a branch that only fails.
            const RegexOp next = i + 1 < program.size() ? program[i + 1].Op : RegexOp::Succeed;
            const bool restores = next == RegexOp::PopPos && program[i - 1].Op == RegexOp::PushPos;
            const bool fails = next == RegexOp::Backtrack || (next == RegexOp::UnstashGroup && i + 2 < program.size() &&
                                                              program[i + 2].Op == RegexOp::Backtrack);
            if (!restores && !fails)
                return false;
            break;
        }
        default:
            break;
        }
    }
    return true;
}

RegexNfa::RegexNfa(const Regex& regex, Mode mode)
    : m_Program(regex.GetInstructions()), m_Mode(mode), m_bAnchored(false), m_bCaseSensitive(regex.IsCaseSensitive())
{
    m_bAnchored = m_Program.size() > 1 && m_Program[1].Op == RegexOp::NoMatch;
    m_NodeOfInstruction.assign(m_Program.size(), -1);
    m_Mark.assign(m_Program.size(), 0);
    for (std::size_t ip = 2; ip < m_Program.size(); ++ip) {
        const RegexOp op = m_Program[ip].Op;
        if (op == RegexOp::Literal || op == RegexOp::AnyChar || op == RegexOp::InClass || op == RegexOp::NotInClass ||
            (op == RegexOp::MatchGroupText && m_Mode == Mode::Overapproximate))
            AddNode(static_cast<std::int32_t>(ip));
    }
    if (m_Program.size() >= 3) {
        BeginRound();
        m_bStartMatches = Closure(2, m_StartNodes);
    }
}

std::array<std::uint64_t, 4> RegexNfa::ConsumedBytes(const std::vector<RegexInstruction>& program, std::size_t ip,
                                                     bool caseSensitive)
{
    std::array<std::uint64_t, 4> bytes{};
    const RegexInstruction& instruction = program[ip];
    switch (instruction.Op) {
    case RegexOp::Literal:
        if (instruction.Operand == 0)
            break;
        for (unsigned byte = 0; byte < 256; ++byte)
            if (Folded(static_cast<unsigned char>(byte), caseSensitive) == instruction.Operand)
                SetByte(bytes, byte);
        break;
    case RegexOp::InClass:
    case RegexOp::NotInClass: {
        const bool inClass = instruction.Op == RegexOp::InClass;
        const auto end = static_cast<std::size_t>(instruction.Operand);
        for (unsigned byte = 0; byte < 256; ++byte) {
            const int c = Folded(static_cast<unsigned char>(byte), caseSensitive);
            bool found = false;
            for (std::size_t item = ip + 1; item + 1 < end && !found; item += 2)
                found = program[item].Operand <= c && c <= program[item + 1].Operand;
            if (found == inClass)
                SetByte(bytes, byte);
        }
        break;
    }
    default: // AnyChar: every byte, never the end
        bytes = {~std::uint64_t(0), ~std::uint64_t(0), ~std::uint64_t(0), ~std::uint64_t(0)};
        break;
    }
    return bytes;
}

void RegexNfa::AddNode(std::int32_t ip)
{
    const RegexInstruction& instruction = m_Program[static_cast<std::size_t>(ip)];
    Node node;
    node.Instruction = ip;
    node.Next = ip + 1;
    switch (instruction.Op) {
    case RegexOp::Literal:
        node.ConsumesEnd = instruction.Operand == 0;
        node.Bytes = ConsumedBytes(m_Program, static_cast<std::size_t>(ip), m_bCaseSensitive);
        break;
    case RegexOp::InClass:
    case RegexOp::NotInClass:
        node.Bytes = ConsumedBytes(m_Program, static_cast<std::size_t>(ip), m_bCaseSensitive);
        node.Next = instruction.Operand;
        break;
    case RegexOp::MatchGroupText:
        // Read loosely: any number of any bytes, so the node loops on itself; the closure also
        // steps past it for the empty text.
        node.Bytes = {~std::uint64_t(0), ~std::uint64_t(0), ~std::uint64_t(0), ~std::uint64_t(0)};
        node.AnyLength = true;
        node.Next = ip;
        break;
    default: // AnyChar
        node.Bytes = ConsumedBytes(m_Program, static_cast<std::size_t>(ip), m_bCaseSensitive);
        break;
    }
    m_NodeOfInstruction[static_cast<std::size_t>(ip)] = static_cast<std::int32_t>(m_Nodes.size());
    m_Nodes.push_back(node);
}

void RegexNfa::BeginRound()
{
    if (++m_nRound == 0) {
        std::fill(m_Mark.begin(), m_Mark.end(), 0);
        m_nRound = 1;
    }
}

bool RegexNfa::Closure(std::int32_t start, std::vector<std::uint32_t>& out)
{
    bool succeeds = false;
    const auto size = static_cast<std::int32_t>(m_Program.size());
    m_Pending.clear();
    m_Pending.push_back(start);
    while (!m_Pending.empty()) {
        const std::int32_t ip = m_Pending.back();
        m_Pending.pop_back();
        if (ip < 0 || ip >= size || m_Mark[static_cast<std::size_t>(ip)] == m_nRound)
            continue;
        m_Mark[static_cast<std::size_t>(ip)] = m_nRound;
        const RegexInstruction& instruction = m_Program[static_cast<std::size_t>(ip)];
        const std::int32_t node = m_NodeOfInstruction[static_cast<std::size_t>(ip)];
        if (node >= 0) {
            out.push_back(static_cast<std::uint32_t>(node));
            if (instruction.Op == RegexOp::MatchGroupText)
                m_Pending.push_back(ip + 1);
            continue;
        }
        switch (instruction.Op) {
        case RegexOp::Succeed:
            succeeds = true;
            break;
        case RegexOp::Backtrack:
        case RegexOp::NoMatch:
        case RegexOp::RetryAtNextChar: // new attempts are the caller's business
            break;
        case RegexOp::Jump:
            m_Pending.push_back(instruction.Operand);
            break;
        case RegexOp::Fork:
            // Second branch pushed first so that the target is explored first; the order does not
            // change the set, only how it is found.
            m_Pending.push_back(ip + 1);
            m_Pending.push_back(instruction.Operand);
            break;
        case RegexOp::MarkDepth:
            // Overapproximate only: the start of a negation; step over its operand to the branch
            // that resumes after the construct.
            m_Pending.push_back(ip + 2);
            break;
        default: // moves that only touch the stack, slots or groups
            m_Pending.push_back(ip + 1);
            break;
        }
    }
    return succeeds;
}
