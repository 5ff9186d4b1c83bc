// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexLinearDecider.h"

#include <algorithm>

#include "regex/Regex.h"
#include "regex/RegexLiveTable.h"
#include "regex/RegexNfa.h"

namespace {

// How many positions a pass works through between two looks at the stop token.
constexpr std::uint64_t kStopCheckInterval = 4096;

bool IsConsumer(RegexOp op)
{
    return op == RegexOp::Literal || op == RegexOp::AnyChar || op == RegexOp::InClass || op == RegexOp::NotInClass;
}

bool IsGroupWrite(RegexOp op)
{
    return op == RegexOp::OpenGroup || op == RegexOp::CloseGroup || op == RegexOp::StashGroup ||
           op == RegexOp::UnstashGroup;
}

// MarkPos p; MarkDepth q; Fork operand; ResetPos p; ResetDepth q; Jump past; operand...;
// close: ResetPos p; ResetDepth q; Backtrack; past:
struct NegationFrame
{
    std::int32_t Start = 0;   // the MarkPos
    std::int32_t Operand = 0; // first instruction of the operand, Start + 6
    std::int32_t Close = 0;   // the ResetPos that ends the operand
};

} // namespace

RegexLinearDecider::RegexLinearDecider(const Regex& regex)
    : RegexLinearDecider(regex.GetError() == RegexErrorNone ? regex.GetInstructions() : std::vector<RegexInstruction>(),
                         regex.IsCaseSensitive())
{}

RegexLinearDecider::RegexLinearDecider(const std::vector<RegexInstruction>& program, bool caseSensitive)
{
    m_bValid = Analyse(program, caseSensitive);
    if (!m_bValid) {
        m_Kinds.clear();
        m_Consumers.clear();
        m_Scopes.clear();
        m_Predecessors.clear();
        m_PredecessorStart.clear();
    }
}

// Reads the program into the graph the pass walks, and checks on the way that it is built only
// from the shapes the reasoning above the class relies on. Anything else is left to the
// backtracker.
bool RegexLinearDecider::Analyse(const std::vector<RegexInstruction>& program, bool caseSensitive)
{
    if (program.size() < 3 || program.size() > (std::size_t(1) << 30))
        return false;
    const auto size = static_cast<std::int32_t>(program.size());
    const auto op = [&](std::int32_t ip) { return program[static_cast<std::size_t>(ip)].Op; };
    const auto operand = [&](std::int32_t ip) { return program[static_cast<std::size_t>(ip)].Operand; };
    if (op(0) != RegexOp::Fork || operand(0) != 2 || op(size - 1) != RegexOp::Succeed ||
        (op(1) != RegexOp::NoMatch && op(1) != RegexOp::RetryAtNextChar))
        return false;
    m_bAnchored = op(1) == RegexOp::NoMatch;

    // Class items are data, never executed.
    std::vector<bool> data(program.size(), false);
    for (std::int32_t ip = 2; ip < size - 1;) {
        if (op(ip) != RegexOp::InClass && op(ip) != RegexOp::NotInClass) {
            ++ip;
            continue;
        }
        const std::int32_t end = operand(ip);
        if (end <= ip || end > size - 1 || (end - ip - 1) % 2 != 0)
            return false;
        for (std::int32_t item = ip + 1; item < end; ++item) {
            if (op(item) != RegexOp::Skip)
                return false;
            data[static_cast<std::size_t>(item)] = true;
        }
        ip = end;
    }

    // Negations, found by their first two instructions, which nothing else emits in a row.
    std::vector<NegationFrame> frames;
    std::vector<bool> framePart(program.size(), false); // the instructions a negation's shape fixes
    for (std::int32_t ip = 2; ip + 6 < size; ++ip) {
        if (data[static_cast<std::size_t>(ip)] || op(ip) != RegexOp::MarkPos || op(ip + 1) != RegexOp::MarkDepth)
            continue;
        const std::int32_t position = operand(ip);
        const std::int32_t depth = operand(ip + 1);
        const std::int32_t past = operand(ip + 5);
        if (op(ip + 2) != RegexOp::Fork || operand(ip + 2) != ip + 6 || op(ip + 3) != RegexOp::ResetPos ||
            operand(ip + 3) != position || op(ip + 4) != RegexOp::ResetDepth || operand(ip + 4) != depth ||
            op(ip + 5) != RegexOp::Jump || past - 3 <= ip + 6 || past > size - 1)
            return false;
        const std::int32_t close = past - 3;
        if (op(close) != RegexOp::ResetPos || operand(close) != position || op(close + 1) != RegexOp::ResetDepth ||
            operand(close + 1) != depth || op(close + 2) != RegexOp::Backtrack)
            return false;
        frames.push_back({ip, ip + 6, close});
        for (const std::int32_t part : {ip + 1, ip + 2, ip + 3, ip + 4, ip + 5, close, close + 1, close + 2}) {
            if (data[static_cast<std::size_t>(part)] || framePart[static_cast<std::size_t>(part)])
                return false;
            framePart[static_cast<std::size_t>(part)] = true;
        }
    }

    // The scope of each instruction: the innermost operand that holds it (its closing reset
    // included), or the whole program, numbered frames.size(). Operands must nest.
    const auto top = static_cast<std::int32_t>(frames.size());
    std::vector<std::int32_t> scopeOf(program.size(), top);
    {
        std::vector<std::int32_t> open;
        std::size_t next = 0;
        for (std::int32_t ip = 0; ip < size; ++ip) {
            while (!open.empty() && frames[static_cast<std::size_t>(open.back())].Close < ip)
                open.pop_back();
            if (next < frames.size() && frames[next].Operand == ip) {
                // Nested inside the innermost open operand, its whole shape included.
                if (!open.empty() && frames[next].Close + 2 >= frames[static_cast<std::size_t>(open.back())].Close)
                    return false;
                open.push_back(static_cast<std::int32_t>(next));
                ++next;
            }
            if (!open.empty())
                scopeOf[static_cast<std::size_t>(ip)] = open.back();
        }
        if (next != frames.size())
            return false;
    }

    m_Kinds.assign(program.size(), Kind::Dead);
    m_NegationOperand.assign(program.size(), -1);
    std::vector<std::pair<std::int32_t, std::int32_t>> edges; // moves: (from, to)
    // The only way into a negation's fixed instructions, and into a PopPos, is the one its shape
    // gives: anything else would see a slot or a stack entry set elsewhere.
    std::vector<std::int32_t> onlyFrom(program.size(), -1);
    for (const NegationFrame& frame : frames) {
        for (std::int32_t k = 1; k <= 5; ++k)
            onlyFrom[static_cast<std::size_t>(frame.Start + k)] = frame.Start + k - 1;
        onlyFrom[static_cast<std::size_t>(frame.Close + 1)] = -2; // reached from the close only, never a move
        onlyFrom[static_cast<std::size_t>(frame.Close + 2)] = -2;
        m_Kinds[static_cast<std::size_t>(frame.Close)] = Kind::Target;
        m_Kinds[static_cast<std::size_t>(frame.Start + 2)] = Kind::Negation;
        m_NegationOperand[static_cast<std::size_t>(frame.Start + 2)] = frame.Operand;
        m_Kinds[static_cast<std::size_t>(frame.Start)] = Kind::Move;
        edges.emplace_back(frame.Start, frame.Start + 1);
        for (std::int32_t k = 1; k <= 4; ++k) {
            if (k != 2)
                m_Kinds[static_cast<std::size_t>(frame.Start + k)] = Kind::Move;
            edges.emplace_back(frame.Start + k, frame.Start + k + 1);
        }
        m_Kinds[static_cast<std::size_t>(frame.Start + 5)] = Kind::Move;
        edges.emplace_back(frame.Start + 5, frame.Close + 3);
    }
    m_Kinds[static_cast<std::size_t>(size - 1)] = Kind::Target;

    for (std::int32_t ip = 2; ip < size - 1; ++ip) {
        const auto at = static_cast<std::size_t>(ip);
        if (data[at] || framePart[at] || (m_Kinds[at] != Kind::Dead))
            continue;
        const RegexOp kind = op(ip);
        if (IsConsumer(kind)) {
            Consumer consumer;
            consumer.Instruction = ip;
            consumer.Next = kind == RegexOp::InClass || kind == RegexOp::NotInClass ? operand(ip) : ip + 1;
            consumer.ConsumesEnd = kind == RegexOp::Literal && operand(ip) == 0;
            consumer.Bytes = RegexNfa::ConsumedBytes(program, at, caseSensitive);
            m_Kinds[at] = Kind::Consumer;
            m_Consumers.push_back(consumer);
            continue;
        }
        switch (kind) {
        case RegexOp::Backtrack:
            break;
        case RegexOp::MatchGroupText:
            // Dead to the pass; the live table only records branches that never reach one.
            m_bHasBackReferences = true;
            break;
        case RegexOp::NoMatch:
        case RegexOp::RetryAtNextChar:
        case RegexOp::Succeed:
        case RegexOp::MarkDepth: // outside a negation's shape
        case RegexOp::ResetPos:
        case RegexOp::ResetDepth:
            return false;
        case RegexOp::Jump:
            m_Kinds[at] = Kind::Move;
            edges.emplace_back(ip, operand(ip));
            break;
        case RegexOp::Fork: {
            // The second branch resumes where the Fork was (PopPos of the position pushed just
            // before), or only fails.
            const bool restores = op(ip - 1) == RegexOp::PushPos && op(ip + 1) == RegexOp::PopPos;
            const bool fails = op(ip + 1) == RegexOp::Backtrack || (op(ip + 1) == RegexOp::UnstashGroup &&
                                                                    ip + 2 < size && op(ip + 2) == RegexOp::Backtrack);
            if (!restores && !fails)
                return false;
            if (restores)
                onlyFrom[at + 1] = ip;
            m_Kinds[at] = Kind::Move;
            edges.emplace_back(ip, operand(ip));
            edges.emplace_back(ip, ip + 1);
            break;
        }
        case RegexOp::PopPos:
            if (onlyFrom[at] != ip - 1)
                return false; // not the second branch of a Fork that restores the position
            m_Kinds[at] = Kind::Move;
            edges.emplace_back(ip, ip + 1);
            break;
        default: // moves that only touch the stack, slots or groups
            m_Kinds[at] = Kind::Move;
            edges.emplace_back(ip, ip + 1);
            break;
        }
    }

    // Every step stays within its scope (or reaches the scope's end), and enters fixed
    // instructions only the way their shape gives.
    const auto allowed = [&](std::int32_t from, std::int32_t to) {
        if (to < 2 || to >= size || data[static_cast<std::size_t>(to)])
            return false;
        if (scopeOf[static_cast<std::size_t>(to)] != scopeOf[static_cast<std::size_t>(from)])
            return false;
        const std::int32_t only = onlyFrom[static_cast<std::size_t>(to)];
        return only == -1 || only == from;
    };
    for (const auto& [from, to] : edges)
        if (!allowed(from, to))
            return false;
    for (const Consumer& consumer : m_Consumers)
        if (!allowed(consumer.Instruction, consumer.Next))
            return false;

    // Reversed moves, as ranges per instruction. A negation's Fork steps only past the construct;
    // its operand is looked at, not entered.
    m_PredecessorStart.assign(program.size() + 1, 0);
    for (const auto& [from, to] : edges)
        ++m_PredecessorStart[static_cast<std::size_t>(to) + 1];
    for (std::size_t i = 1; i < m_PredecessorStart.size(); ++i)
        m_PredecessorStart[i] += m_PredecessorStart[i - 1];
    m_Predecessors.assign(edges.size(), 0);
    std::vector<std::uint32_t> fill(m_PredecessorStart.begin(), m_PredecessorStart.end() - 1);
    for (const auto& [from, to] : edges)
        m_Predecessors[fill[static_cast<std::size_t>(to)]++] = from;

    // Inner operands first: a negation reads its operand's answer at the same position.
    std::vector<std::int32_t> order(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        order[i] = static_cast<std::int32_t>(frames.size() - 1 - i);
    std::vector<std::int32_t> scopeIndex(frames.size() + 1);
    m_Scopes.resize(frames.size() + 1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        scopeIndex[static_cast<std::size_t>(order[i])] = static_cast<std::int32_t>(i);
        m_Scopes[i].Target = frames[static_cast<std::size_t>(order[i])].Close;
    }
    scopeIndex[frames.size()] = static_cast<std::int32_t>(frames.size());
    m_Scopes.back().Target = size - 1;
    for (std::size_t i = 0; i < m_Consumers.size(); ++i) {
        const auto scope = scopeOf[static_cast<std::size_t>(m_Consumers[i].Instruction)];
        m_Scopes[static_cast<std::size_t>(scopeIndex[static_cast<std::size_t>(scope)])].Consumers.push_back(
            static_cast<std::uint32_t>(i));
    }

    m_Here.assign(program.size(), 0);
    m_After.assign(program.size(), 0);
    m_Pending.reserve(program.size());
    FindTrackedTargets(program, scopeOf);
    return true;
}

// The Fork targets whose answer depends on the position alone, and whose skipping leaves no
// trace: no back reference can run from them, nor a capture inside a negation (it stays when the
// negation fails), and the Fork is not inside a match group that a back reference reads (a
// failed branch there has closed the group, and only leaving the group restores it, so a later
// branch inside it would read what the skipped branch captured).
void RegexLinearDecider::FindTrackedTargets(const std::vector<RegexInstruction>& program,
                                            const std::vector<std::int32_t>& scopeOf)
{
    const auto size = static_cast<std::int32_t>(program.size());
    const auto top = static_cast<std::int32_t>(m_Scopes.size() - 1);
    // Every step the backtracker can take as it runs, and who can reach what it must not skip.
    std::vector<std::pair<std::int32_t, std::int32_t>> steps;
    std::vector<bool> tainted(program.size(), false);
    std::vector<std::int32_t> pending;
    for (std::int32_t ip = 2; ip < size; ++ip) {
        const RegexInstruction& instruction = program[static_cast<std::size_t>(ip)];
        const bool executed = m_Kinds[static_cast<std::size_t>(ip)] != Kind::Dead ||
                              instruction.Op == RegexOp::Backtrack || instruction.Op == RegexOp::MatchGroupText ||
                              instruction.Op == RegexOp::ResetDepth;
        if (!executed)
            continue;
        if (instruction.Op == RegexOp::MatchGroupText ||
            (IsGroupWrite(instruction.Op) && scopeOf[static_cast<std::size_t>(ip)] != top)) {
            tainted[static_cast<std::size_t>(ip)] = true;
            pending.push_back(ip);
        }
        const auto add = [&](std::int32_t to) {
            if (to >= 0 && to < size)
                steps.emplace_back(to, ip);
        };
        switch (instruction.Op) {
        case RegexOp::Succeed:
        case RegexOp::Backtrack:
            break;
        case RegexOp::Jump:
        case RegexOp::InClass:
        case RegexOp::NotInClass:
            add(instruction.Operand);
            break;
        case RegexOp::Fork:
            add(instruction.Operand);
            add(ip + 1);
            break;
        default:
            add(ip + 1);
            break;
        }
    }
    // Reversed, as ranges per instruction.
    std::vector<std::uint32_t> fromStart(program.size() + 1, 0);
    for (const auto& [to, from] : steps)
        ++fromStart[static_cast<std::size_t>(to) + 1];
    for (std::size_t i = 1; i < fromStart.size(); ++i)
        fromStart[i] += fromStart[i - 1];
    std::vector<std::int32_t> froms(steps.size());
    {
        std::vector<std::uint32_t> fill(fromStart.begin(), fromStart.end() - 1);
        for (const auto& [to, from] : steps)
            froms[fill[static_cast<std::size_t>(to)]++] = from;
    }
    while (!pending.empty()) {
        const auto ip = static_cast<std::size_t>(pending.back());
        pending.pop_back();
        for (std::uint32_t k = fromStart[ip]; k < fromStart[ip + 1]; ++k) {
            const auto predecessor = static_cast<std::size_t>(froms[k]);
            if (!tainted[predecessor]) {
                tainted[predecessor] = true;
                pending.push_back(froms[k]);
            }
        }
    }

    // The bodies of the match groups some back reference reads: StashGroup n; OpenGroup n;
    // Fork body; UnstashGroup n; Backtrack; body; CloseGroup n. A group never holds itself.
    std::vector<bool> referenced(static_cast<std::size_t>(size), false);
    for (const RegexInstruction& instruction : program)
        if (instruction.Op == RegexOp::MatchGroupText && instruction.Operand >= 0 && instruction.Operand < size)
            referenced[static_cast<std::size_t>(instruction.Operand)] = true;
    std::vector<bool> inReadGroup(program.size(), false);
    std::vector<bool> open(static_cast<std::size_t>(size), false);
    int openRead = 0;
    for (std::int32_t ip = 2; ip < size; ++ip) {
        const RegexInstruction& instruction = program[static_cast<std::size_t>(ip)];
        const auto group = static_cast<std::size_t>(std::clamp(instruction.Operand, 0, size - 1));
        inReadGroup[static_cast<std::size_t>(ip)] = openRead > 0;
        if (instruction.Op == RegexOp::StashGroup && m_Kinds[static_cast<std::size_t>(ip)] != Kind::Dead) {
            const bool header = ip + 5 < size && program[static_cast<std::size_t>(ip) + 1].Op == RegexOp::OpenGroup &&
                                program[static_cast<std::size_t>(ip) + 2].Op == RegexOp::Fork &&
                                program[static_cast<std::size_t>(ip) + 2].Operand == ip + 5;
            if (!header || open[group]) {
                m_Columns.assign(program.size(), -1); // not a shape to reason about: track nothing
                m_TrackedTargets.clear();
                m_nTrackedTargets = 0;
                return;
            }
            open[group] = true;
            openRead += referenced[group] ? 1 : 0;
        } else if (instruction.Op == RegexOp::CloseGroup && open[group]) {
            open[group] = false;
            openRead -= referenced[group] ? 1 : 0;
        }
    }

    m_Columns.assign(program.size(), -1);
    m_TrackedTargets.clear();
    for (std::int32_t ip = 0; ip < size; ++ip) {
        if (program[static_cast<std::size_t>(ip)].Op != RegexOp::Fork)
            continue;
        const std::int32_t target = program[static_cast<std::size_t>(ip)].Operand;
        const auto at = static_cast<std::size_t>(target);
        if (inReadGroup[static_cast<std::size_t>(ip)] || tainted[at] || m_Columns[at] >= 0 ||
            m_Kinds[at] == Kind::Target || m_Kinds[at] == Kind::Dead)
            continue;
        m_Columns[at] = static_cast<std::int32_t>(m_TrackedTargets.size());
        m_TrackedTargets.push_back(target);
    }
    m_nTrackedTargets = m_TrackedTargets.size();
}

RegexLinearDecider::Outcome RegexLinearDecider::Decide(std::string_view subject, const std::stop_token& stop)
{
    if (!CanDecide())
        return Outcome::NoMatch;
    return Run<false>(subject, stop, nullptr);
}

std::size_t RegexLinearDecider::LiveTableBytes(std::size_t subjectLength) const
{
    return (subjectLength + 2) * ((m_nTrackedTargets + 63) / 64) * sizeof(std::uint64_t);
}

bool RegexLinearDecider::FillLiveTable(std::string_view subject, const std::stop_token& stop, RegexLiveTable& table)
{
    if (!CanPrune())
        return false;
    table.m_Columns = m_Columns;
    table.m_nWordsPerPosition = (m_nTrackedTargets + 63) / 64;
    table.m_Bits.assign((subject.size() + 2) * table.m_nWordsPerPosition, 0);
    return Run<true>(subject, stop, &table) != Outcome::Stopped;
}

template <bool FillsTable>
RegexLinearDecider::Outcome RegexLinearDecider::Run(std::string_view subject, const std::stop_token& stop,
                                                    RegexLiveTable* table)
{
    const auto* const text = reinterpret_cast<const unsigned char*>(subject.data());
    const std::size_t length = subject.size();
    m_nPositionsVisited = 0;
    // From the position past the end (where only moves remain) back to the first.
    for (std::size_t position = length + 1;; --position) {
        if (++m_nPositionsVisited % kStopCheckInterval == 0 && stop.stop_requested())
            return Outcome::Stopped;
        m_Here.swap(m_After);
        std::fill(m_Here.begin(), m_Here.end(), 0);
        const unsigned char byte = position < length ? text[position] : 0;
        for (const Scope& scope : m_Scopes)
            Propagate(scope, position, length, byte);
        if constexpr (FillsTable) {
            std::uint64_t* const words = table->m_Bits.data() + position * table->m_nWordsPerPosition;
            for (std::size_t column = 0; column < m_nTrackedTargets; ++column)
                if (m_Here[static_cast<std::size_t>(m_TrackedTargets[column])])
                    words[column >> 6] |= std::uint64_t(1) << (column & 63);
        } else {
            // Attempts start at 0 and, unanchored, at every position before the end.
            if (m_Here[2] && (position == 0 || (!m_bAnchored && position < length)))
                return Outcome::Match;
        }
        if (position == 0)
            return Outcome::NoMatch;
    }
}

// The least fixpoint of one scope at one position: the target holds; a consumer holds when it
// accepts what is here and its successor held one position on; a move holds when a successor
// does, a negation's only when its operand (already done) does not hold here.
void RegexLinearDecider::Propagate(const Scope& scope, std::size_t position, std::size_t length, unsigned char byte)
{
    std::uint8_t* const here = m_Here.data();
    const std::uint8_t* const after = m_After.data();
    m_Pending.clear();
    here[scope.Target] = 1;
    m_Pending.push_back(scope.Target);
    for (const std::uint32_t index : scope.Consumers) {
        const Consumer& consumer = m_Consumers[index];
        const bool accepts = position < length
                                 ? !consumer.ConsumesEnd && ((consumer.Bytes[byte >> 6] >> (byte & 63)) & 1)
                                 : position == length && consumer.ConsumesEnd;
        if (accepts && after[consumer.Next] && !here[consumer.Instruction]) {
            here[consumer.Instruction] = 1;
            m_Pending.push_back(consumer.Instruction);
        }
    }
    while (!m_Pending.empty()) {
        const auto ip = static_cast<std::size_t>(m_Pending.back());
        m_Pending.pop_back();
        for (std::uint32_t k = m_PredecessorStart[ip]; k < m_PredecessorStart[ip + 1]; ++k) {
            const auto predecessor = static_cast<std::size_t>(m_Predecessors[k]);
            if (here[predecessor])
                continue;
            if (m_Kinds[predecessor] == Kind::Negation &&
                here[static_cast<std::size_t>(m_NegationOperand[predecessor])])
                continue; // the operand matches here: the negation fails
            here[predecessor] = 1;
            m_Pending.push_back(static_cast<std::int32_t>(predecessor));
        }
    }
}
