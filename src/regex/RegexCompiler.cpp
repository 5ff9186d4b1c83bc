// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexCompiler.h"

#include <array>
#include <limits>
#include <new>

#include "regex/Regex.h"

namespace {

// Results of the compile routines besides an instruction index.
constexpr std::int32_t kAbsent = -1; // the construct does not occur here; nothing was emitted
constexpr std::int32_t kFailed = -2; // an error is set

// Groups, negations and abbreviations recurse; deeper nesting than this is refused as running out
// of memory rather than risking the thread's stack.
constexpr int kMaxNesting = 1000;

// Instruction indices must fit the 32-bit operand, and a program stays well below that: nested plus
// loops double the program at every level, and four million instructions (32 MiB) is far beyond
// any pattern a person writes. Growing past it counts as running out of memory.
constexpr std::size_t kMaxInstructions = std::size_t(1) << 22;
static_assert(kMaxInstructions <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()));

struct AbbreviationEntry
{
    char Letter;
    std::string_view Expansion;
};

// Each expansion is compiled as one quantified term, so for q only the double-quoted alternative
// is ever reached. The b entry holds a backslash and a "t", which the class reads as a tab; the n
// entry holds a real carriage return and line feed.
constexpr AbbreviationEntry kAbbreviations[] = {
    {'a', "([a-zA-Z0-9])"},
    {'b', "([ \\t])"},
    {'c', "([a-zA-Z])"},
    {'d', "([0-9])"},
    {'h', "([0-9a-fA-F])"},
    {'n', "(\r|(\r?\n))"},
    {'q', "(\"[^\"]*\")|('[^']*')"},
    {'w', "([a-zA-Z]+)"},
    {'z', "([0-9]+)"},
};

bool OperandIsIndex(RegexOp op)
{
    return op == RegexOp::Jump || op == RegexOp::Fork || op == RegexOp::InClass || op == RegexOp::NotInClass;
}

bool OperandIsSlot(RegexOp op)
{
    switch (op) {
    case RegexOp::PushSlot:
    case RegexOp::PopSlot:
    case RegexOp::MarkPos:
    case RegexOp::MarkDepth:
    case RegexOp::ResetPos:
    case RegexOp::ResetDepth:
    case RegexOp::RequireProgress:
        return true;
    default:
        return false;
    }
}

// An instruction of a piece that moves by indexShift instructions and whose slots are renumbered
// by slotShift. A piece only refers to its own instructions (or the one just past it) and to slots
// it allocated itself, so every such operand moves; group numbers stay.
RegexInstruction Relocated(RegexInstruction instruction, std::int32_t indexShift, std::uint32_t slotShift)
{
    if (OperandIsIndex(instruction.Op))
        instruction.Operand += indexShift;
    else if (OperandIsSlot(instruction.Op))
        instruction.Operand += static_cast<std::int32_t>(slotShift);
    return instruction;
}

} // namespace

RegexCompiler::RegexCompiler(std::vector<RegexInstruction>& program, std::uint32_t& groupCount,
                             std::uint32_t& slotCount)
    : m_Program(program), m_nGroupCount(groupCount), m_nSlotCount(slotCount)
{}

std::int32_t RegexCompiler::Compile(std::string_view pattern)
{
    m_Text = pattern;
    m_nPos = 0;
    Emit(RegexOp::Fork);
    if (Peek() == '^') {
        ++m_nPos;
        Emit(RegexOp::NoMatch);
    } else {
        Emit(RegexOp::RetryAtNextChar);
    }
    if (Failed())
        return m_nError;

    // The sequence stops at the end or at a closing character nothing opened; the rest is ignored.
    EmptyFlag flag;
    Sequence(flag);
    if (!Failed()) {
        m_Program[0].Operand = 2;
        Emit(RegexOp::Succeed);
    }
    return m_nError;
}

std::int32_t RegexCompiler::Sequence(EmptyFlag& flag)
{
    if (Peek() < 0)
        return kAbsent;
    const std::int32_t first = AlternationItem(flag);
    if (first < 0)
        return first;

    // Every further item starts with a fresh flag; the sequence could be empty only if every item
    // could, including an item that turned out absent after it had touched its flag.
    while (Peek() >= 0) {
        EmptyFlag rest;
        const std::int32_t item = AlternationItem(rest);
        flag.IfClear = flag.IfClear && rest.IfClear;
        flag.IfSet = flag.IfSet && rest.IfSet;
        if (item == kFailed)
            return kFailed;
        if (item == kAbsent)
            break;
    }
    return first;
}

// X|Y becomes: PushPos; Fork X; PopPos; Jump Y; X; Jump past Y; Y. The right-hand side is itself an
// item, so "a|b|c" is a|(b|c); the chain is compiled in a loop. Each term is compiled where it
// stands and the wrapper is slid in front of it once a "|" follows. The "Jump past Y"s wait in a
// list threaded through their operands until the end of the chain is known.
std::int32_t RegexCompiler::AlternationItem(EmptyFlag& flag)
{
    const Snapshot before = TakeSnapshot();
    std::int32_t first = kAbsent;
    std::int32_t pendingJumps = -1;
    EmptyFlag rightSides{false, false};
    for (;;) {
        EmptyFlag right;
        const std::int32_t term = QuantifiedTerm(first == kAbsent ? flag : right);
        if (term == kFailed)
            return kFailed;
        if (term == kAbsent) {
            // A "|" with nothing after it drops the whole chain; what was read stays consumed.
            Rollback(before);
            return kAbsent;
        }
        if (first == kAbsent) {
            first = term;
        } else {
            rightSides.IfClear = rightSides.IfClear || right.IfClear;
            rightSides.IfSet = rightSides.IfSet || right.IfSet;
        }
        if (Peek() != '|')
            break;
        ++m_nPos;
        const RegexInstruction wrapper[] = {
            {RegexOp::PushPos, 0}, {RegexOp::Fork, term + 4}, {RegexOp::PopPos, 0}, {RegexOp::Jump, 0}};
        if (!InsertBefore(term, wrapper, 0))
            return kFailed;
        const std::int32_t jumpPast = Emit(RegexOp::Jump, pendingJumps);
        if (jumpPast < 0)
            return kFailed;
        pendingJumps = jumpPast;
        m_Program[term + 3].Operand = jumpPast + 1;
    }
    while (pendingJumps >= 0) {
        const std::int32_t next = m_Program[pendingJumps].Operand;
        m_Program[pendingJumps].Operand = Count();
        pendingJumps = next;
    }
    flag.IfClear = flag.IfClear || rightSides.IfClear;
    flag.IfSet = flag.IfSet || rightSides.IfSet;
    return first;
}

std::int32_t RegexCompiler::QuantifiedTerm(EmptyFlag& flag)
{
    const Snapshot before = TakeSnapshot();
    EmptyFlag argument{false, true};
    const std::int32_t first = Argument(argument);
    if (first < 0)
        return first;

    const Quantifier quantifier = PeekQuantifier();
    if (quantifier == Quantifier::None) {
        flag = {flag.IfClear ? argument.IfSet : argument.IfClear, flag.IfSet ? argument.IfSet : argument.IfClear};
        return first;
    }

    // A loop body is compiled with the flag cleared; a body that could still be empty cannot be
    // repeated, while the optional forms accept it.
    const bool bodyCouldBeEmpty = argument.IfClear;
    const bool repeats = quantifier != Quantifier::Optional && quantifier != Quantifier::LazyOptional;
    if (repeats && bodyCouldBeEmpty)
        return Fail(RegexErrorEmptyRepeat);
    const bool lazy = quantifier == Quantifier::LazyStar || quantifier == Quantifier::LazyPlus ||
                      quantifier == Quantifier::LazyOptional;
    m_nPos += lazy ? 2 : 1;
    if (quantifier == Quantifier::Plus)
        flag.Clear();
    else
        flag.Set();
    return Loop(quantifier, before, first);
}

// Builds the loop around the argument just compiled at first (its "first copy"). The star and
// optional forms move that copy into the loop as its body; the plus forms keep it and append the
// star form of the loop with a second copy of it, which reuses the same group numbers and gets
// slots of its own. Loop forms, k being the loop's slot and X the body:
//   X*   PushSlot k; MarkPos k; PushPos; Fork X; PopPos; PopSlot k; Jump e; X; RequireProgress k;
//        MarkPos k; Jump PushSlot; e:
//   X?   the same without the final Jump back
//   X*?  MarkPos k; b: PushSlot k; PushPos; Fork e; PopPos; PopSlot k; X; RequireProgress k;
//        MarkPos k; Jump b; e:
//   X??  PushPos; Fork e; PopPos; X; e:
// Every further lazy iteration thus restores the position and the slot saved when the loop was
// last left, and checks progress like the greedy loops do, so every loop ends.
std::int32_t RegexCompiler::Loop(Quantifier quantifier, const Snapshot& before, std::int32_t first)
{
    const bool keepsFirstCopy = quantifier == Quantifier::Plus || quantifier == Quantifier::LazyPlus;
    const bool greedy =
        quantifier == Quantifier::Star || quantifier == Quantifier::Plus || quantifier == Quantifier::Optional;
    const bool usesSlot = quantifier != Quantifier::LazyOptional;
    const std::int32_t copyEnd = Count();
    const std::uint32_t bodySlots = m_nSlotCount - before.SlotCount;
    const std::int32_t start = keepsFirstCopy ? copyEnd : first;
    const std::int32_t k = static_cast<std::int32_t>(keepsFirstCopy ? m_nSlotCount : before.SlotCount);

    std::array<RegexInstruction, 7> instructions{};
    std::size_t length = 0;
    const auto add = [&](RegexOp op, std::int32_t operand) { instructions[length++] = {op, operand}; };
    if (greedy) {
        add(RegexOp::PushSlot, k);
        add(RegexOp::MarkPos, k);
        add(RegexOp::PushPos, 0);
        add(RegexOp::Fork, start + 7);
        add(RegexOp::PopPos, 0);
        add(RegexOp::PopSlot, k);
        add(RegexOp::Jump, 0);
    } else if (usesSlot) {
        add(RegexOp::MarkPos, k);
        add(RegexOp::PushSlot, k);
        add(RegexOp::PushPos, 0);
        add(RegexOp::Fork, 0);
        add(RegexOp::PopPos, 0);
        add(RegexOp::PopSlot, k);
    } else {
        add(RegexOp::PushPos, 0);
        add(RegexOp::Fork, 0);
        add(RegexOp::PopPos, 0);
    }
    const std::span<const RegexInstruction> prologue(instructions.data(), length);

    if (keepsFirstCopy) {
        for (const RegexInstruction& instruction : prologue)
            Emit(instruction.Op, instruction.Operand);
        if (Failed() || !AppendCopy(first, copyEnd, static_cast<std::uint32_t>(k) + 1 - before.SlotCount))
            return kFailed;
        m_nSlotCount += 1 + bodySlots;
    } else {
        if (!InsertBefore(first, prologue, usesSlot ? 1 : 0))
            return kFailed;
        m_nSlotCount += usesSlot ? 1 : 0;
    }

    if (usesSlot) {
        Emit(RegexOp::RequireProgress, k);
        Emit(RegexOp::MarkPos, k);
        if (quantifier != Quantifier::Optional)
            Emit(RegexOp::Jump, greedy ? start : start + 1);
        if (Failed())
            return kFailed;
    }
    if (greedy)
        m_Program[start + 6].Operand = Count();
    else if (usesSlot)
        m_Program[start + 3].Operand = Count();
    else
        m_Program[start + 1].Operand = Count();
    return first;
}

std::int32_t RegexCompiler::Argument(EmptyFlag& flag)
{
    const int c = Peek();
    if (c < 0 || c == '}' || c == ']' || c == ')')
        return kAbsent;
    if (m_nNesting >= kMaxNesting)
        return Fail(RegexErrorOutOfMemory);
    struct NestingScope
    {
        int& Depth;
        ~NestingScope() { --Depth; }
    } scope{++m_nNesting};

    switch (c) {
    case '{':
        ++m_nPos;
        return MatchGroup(flag);
    case '(':
        ++m_nPos;
        return Group(flag);
    case '[':
        ++m_nPos;
        flag.Clear();
        return Class();
    case '!':
        ++m_nPos;
        return Negation(flag);
    case '.':
        ++m_nPos;
        flag.Clear();
        return Emit(RegexOp::AnyChar);
    case '\\': {
        const int next = Peek(1);
        ++m_nPos;
        if (next < 0) {
            // A backslash that ends the pattern stands for itself.
            flag.Clear();
            return EmitLiteral('\\');
        }
        if (next >= '0' && next <= '9') {
            flag.Clear();
            return BackReference();
        }
        for (const AbbreviationEntry& entry : kAbbreviations) {
            if (static_cast<unsigned char>(entry.Letter) == next)
                return Abbreviation(flag, entry.Expansion);
        }
        ++m_nPos;
        flag.Clear();
        return EmitLiteral(static_cast<unsigned char>(next));
    }
    case '$':
        if (m_nPos + 1 == m_Text.size()) {
            // Only a final "$" is special: the literal 0 matches the end of the subject.
            ++m_nPos;
            flag.Clear();
            return Emit(RegexOp::Literal, 0);
        }
        break;
    default:
        break;
    }
    ++m_nPos;
    flag.Clear();
    return EmitLiteral(static_cast<unsigned char>(c));
}

// After the backslash: all the digits that follow name the group.
std::int32_t RegexCompiler::BackReference()
{
    const std::int32_t reference = Emit(RegexOp::MatchGroupText);
    if (reference < 0)
        return kFailed;
    constexpr std::uint64_t kSaturated = std::uint64_t(1) << 32; // already past any group count
    std::uint64_t group = 0;
    for (int digit = Peek(); digit >= '0' && digit <= '9'; digit = Peek()) {
        if (group < kSaturated)
            group = group * 10 + static_cast<std::uint64_t>(digit - '0');
        ++m_nPos;
    }
    if (group >= m_nGroupCount)
        return Fail(RegexErrorNoSuchGroup);
    m_Program[reference].Operand = static_cast<std::int32_t>(group);
    return reference;
}

// Compiles the expansion as one quantified term read from the table instead of the pattern. The
// expansions are never lowered. Any failure inside one is reported as RegexErrorUnexpected.
std::int32_t RegexCompiler::Abbreviation(EmptyFlag& flag, std::string_view expansion)
{
    const std::string_view pattern = m_Text;
    const std::size_t letter = m_nPos;
    m_Text = expansion;
    m_nPos = 0;
    const std::int32_t first = QuantifiedTerm(flag);
    m_Text = pattern;
    m_nPos = letter + 1;
    if (first < 0) {
        m_nError = RegexErrorUnexpected;
        return kFailed;
    }
    return first;
}

// After "{": StashGroup n; OpenGroup n; Fork body; UnstashGroup n; Backtrack; body; CloseGroup n.
// Failing back into the group restores the capture it had before.
std::int32_t RegexCompiler::MatchGroup(EmptyFlag& flag)
{
    const auto group = static_cast<std::int32_t>(m_nGroupCount++);
    const std::int32_t first = Emit(RegexOp::StashGroup, group);
    Emit(RegexOp::OpenGroup, group);
    const std::int32_t fork = Emit(RegexOp::Fork);
    Emit(RegexOp::UnstashGroup, group);
    Emit(RegexOp::Backtrack);
    if (Failed())
        return kFailed;

    const std::int32_t body = GroupBody(flag, '}', RegexErrorMissingBrace);
    if (body == kFailed)
        return kFailed;
    m_Program[fork].Operand = body;
    if (Emit(RegexOp::CloseGroup, group) < 0)
        return kFailed;
    return first;
}

// After "(": Fork body; Backtrack; body. The pair only leaves a backtrack point that fails through.
std::int32_t RegexCompiler::Group(EmptyFlag& flag)
{
    const std::int32_t first = Emit(RegexOp::Fork);
    Emit(RegexOp::Backtrack);
    if (Failed())
        return kFailed;

    const std::int32_t body = GroupBody(flag, ')', RegexErrorMissingParenthesis);
    if (body == kFailed)
        return kFailed;
    m_Program[first].Operand = body;
    return first;
}

// A group's body up to and past its closing character; an empty body becomes a Skip.
std::int32_t RegexCompiler::GroupBody(EmptyFlag& flag, char closer, std::int32_t missingCloser)
{
    std::int32_t body = Sequence(flag);
    if (body == kFailed)
        return kFailed;
    if (Peek() != closer)
        return Fail(missingCloser);
    if (body == kAbsent) {
        body = Emit(RegexOp::Skip);
        if (body < 0)
            return kFailed;
    }
    ++m_nPos;
    return body;
}

// After "[": InClass (or NotInClass) pointing past the class, then one Skip pair (low, high) per
// item in the order written.
std::int32_t RegexCompiler::Class()
{
    if (Peek() == ']')
        return Fail(RegexErrorEmptyRange);
    bool negated = false;
    if (Peek() == '^') {
        negated = true;
        ++m_nPos;
        if (Peek() == ']')
            return Fail(RegexErrorEmptyRange);
    }
    const std::int32_t first = Emit(negated ? RegexOp::NotInClass : RegexOp::InClass);
    if (first < 0)
        return kFailed;

    while (Peek() >= 0 && Peek() != ']') {
        int low = Peek();
        if (low == '\\') {
            ++m_nPos;
            low = Peek();
            if (low < 0)
                return Fail(RegexErrorMissingBracket);
            if (low == 't')
                low = '\t';
        }
        ++m_nPos;
        int high = low;
        if (Peek() == '-') {
            ++m_nPos;
            high = Peek(); // taken as written, without escapes
            if (high < 0 || high == ']')
                return Fail(RegexErrorMissingBracket);
            ++m_nPos;
            if (high < low)
                return Fail(RegexErrorInvalidRange);
        }
        Emit(RegexOp::Skip, low);
        if (Emit(RegexOp::Skip, high) < 0)
            return kFailed;
    }
    m_Program[first].Operand = Count();
    if (Peek() != ']')
        return Fail(RegexErrorMissingBracket);
    ++m_nPos;
    return first;
}

// After "!": MarkPos p; MarkDepth q; Fork X; ResetPos p; ResetDepth q; Jump e; X; ResetPos p;
// ResetDepth q; Backtrack; e:. When X matches the negation fails; when X fails the backtrack
// point resumes after the construct. Nothing is consumed either way.
std::int32_t RegexCompiler::Negation(EmptyFlag& flag)
{
    const auto position = static_cast<std::int32_t>(NewSlot());
    const auto depth = static_cast<std::int32_t>(NewSlot());
    const std::int32_t first = Emit(RegexOp::MarkPos, position);
    Emit(RegexOp::MarkDepth, depth);
    const std::int32_t fork = Emit(RegexOp::Fork);
    Emit(RegexOp::ResetPos, position);
    Emit(RegexOp::ResetDepth, depth);
    const std::int32_t jump = Emit(RegexOp::Jump);
    if (Failed())
        return kFailed;

    // One argument, without a quantifier: a quantifier after "!x" applies to the negation. An
    // absent operand makes the caller roll the construct back.
    const std::int32_t operand = Argument(flag);
    if (operand < 0)
        return operand;
    m_Program[fork].Operand = operand;
    Emit(RegexOp::ResetPos, position);
    Emit(RegexOp::ResetDepth, depth);
    const std::int32_t backtrack = Emit(RegexOp::Backtrack);
    if (backtrack < 0)
        return kFailed;
    m_Program[jump].Operand = backtrack + 1;
    return first;
}

// Literal 0 stands for the end of the subject, so a NUL byte written in the pattern becomes a
// class holding only NUL, which matches a NUL data byte.
std::int32_t RegexCompiler::EmitLiteral(unsigned char character)
{
    if (character != 0)
        return Emit(RegexOp::Literal, character);
    const std::int32_t first = Emit(RegexOp::InClass);
    Emit(RegexOp::Skip, 0);
    if (Emit(RegexOp::Skip, 0) < 0)
        return kFailed;
    m_Program[first].Operand = first + 3;
    return first;
}

std::int32_t RegexCompiler::Emit(RegexOp op, std::int32_t operand)
{
    if (Failed())
        return kFailed;
    if (m_Program.size() >= kMaxInstructions)
        return Fail(RegexErrorOutOfMemory);
    try {
        m_Program.push_back({op, operand});
    } catch (const std::bad_alloc&) {
        return Fail(RegexErrorOutOfMemory);
    }
    return Count() - 1;
}

// Slides the prologue in front of the instructions from first to the end, which move up.
bool RegexCompiler::InsertBefore(std::int32_t first, std::span<const RegexInstruction> prologue,
                                 std::uint32_t slotShift)
{
    if (Failed())
        return false;
    if (m_Program.size() + prologue.size() > kMaxInstructions)
        return OutOfMemory();
    try {
        m_Program.insert(m_Program.begin() + first, prologue.begin(), prologue.end());
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
    const auto shift = static_cast<std::int32_t>(prologue.size());
    for (std::size_t i = static_cast<std::size_t>(first) + prologue.size(); i < m_Program.size(); ++i)
        m_Program[i] = Relocated(m_Program[i], shift, slotShift);
    return true;
}

// Appends a copy of the instructions from first to end, relocated to where it lands.
bool RegexCompiler::AppendCopy(std::int32_t first, std::int32_t end, std::uint32_t slotShift)
{
    if (Failed())
        return false;
    const auto length = static_cast<std::size_t>(end - first);
    if (m_Program.size() + length > kMaxInstructions)
        return OutOfMemory();
    try {
        m_Program.reserve(m_Program.size() + length);
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
    const std::int32_t shift = Count() - first;
    for (std::int32_t i = first; i < end; ++i)
        m_Program.push_back(Relocated(m_Program[static_cast<std::size_t>(i)], shift, slotShift));
    return true;
}

bool RegexCompiler::OutOfMemory()
{
    Fail(RegexErrorOutOfMemory);
    return false;
}

std::int32_t RegexCompiler::Fail(std::int32_t error)
{
    if (m_nError == RegexErrorNone)
        m_nError = error;
    return kFailed;
}

bool RegexCompiler::Failed() const
{
    return m_nError != RegexErrorNone;
}

RegexCompiler::Snapshot RegexCompiler::TakeSnapshot() const
{
    return {m_Program.size(), m_nGroupCount, m_nSlotCount};
}

void RegexCompiler::Rollback(const Snapshot& snapshot)
{
    m_Program.resize(snapshot.InstructionCount);
    m_nGroupCount = snapshot.GroupCount;
    m_nSlotCount = snapshot.SlotCount;
}

RegexCompiler::Quantifier RegexCompiler::PeekQuantifier() const
{
    const bool lazy = Peek(1) == '?';
    switch (Peek()) {
    case '*':
        return lazy ? Quantifier::LazyStar : Quantifier::Star;
    case '+':
        return lazy ? Quantifier::LazyPlus : Quantifier::Plus;
    case '?':
        return lazy ? Quantifier::LazyOptional : Quantifier::Optional;
    default:
        return Quantifier::None;
    }
}
