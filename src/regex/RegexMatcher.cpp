// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexMatcher.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "regex/Regex.h"
#include "regex/RegexLiveTable.h"
#include "regex/RegexMatchContext.h"

namespace {

constexpr std::size_t kNoPosition = RegexMatchContext::NoPosition;

// How many instructions run between two looks at the stop token and the step budget.
constexpr std::uint32_t kCheckInterval = 4096;

// Thrown when the stack would grow past the limits' cap; ends the match like a spent budget.
struct StackBudgetExhausted
{
};

// Case-insensitive matching lowers A to Z and nothing else, on the fly, so no copy of the subject
// is made.
constexpr std::array<unsigned char, 256> kLowerCase = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}();

template <bool FoldCase> inline int Fold(unsigned char c)
{
    if constexpr (FoldCase)
        return kLowerCase[c];
    else
        return c;
}

// Finds where the next attempt can start: the next occurrence of the leading literal. Ignoring
// case, its first byte is searched in both cases, each with memchr; a find is remembered until the
// search passes it, so the subject is scanned once per case.
template <bool FoldCase> class LeadingLiteralFinder
{
public:
    LeadingLiteralFinder(std::string_view subject, std::string_view leading) : m_Subject(subject), m_Leading(leading)
    {
        if (!leading.empty()) {
            m_nLower = static_cast<unsigned char>(leading.front());
            m_nUpper = m_nLower >= 'a' && m_nLower <= 'z' ? static_cast<unsigned char>(m_nLower - 'a' + 'A') : m_nLower;
        }
    }

    bool HasLiteral() const { return !m_Leading.empty(); }

    // The first candidate at or after from (which lies inside the subject), or NoPosition.
    std::size_t Next(std::size_t from)
    {
        if constexpr (!FoldCase) {
            return m_Subject.find(m_Leading, from);
        } else {
            if (m_nNextLower < from)
                m_nNextLower = Find(m_nLower, from);
            if (m_nUpper == m_nLower)
                return m_nNextLower;
            if (m_nNextUpper < from)
                m_nNextUpper = Find(m_nUpper, from);
            return std::min(m_nNextLower, m_nNextUpper);
        }
    }

private:
    std::size_t Find(unsigned char c, std::size_t from) const
    {
        const void* found = std::memchr(m_Subject.data() + from, c, m_Subject.size() - from);
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - m_Subject.data()) : kNoPosition;
    }

    std::string_view m_Subject;
    std::string_view m_Leading;
    unsigned char m_nLower = 0;
    unsigned char m_nUpper = 0;
    std::size_t m_nNextLower = 0; // attempts start after 0, so both are searched at first use
    std::size_t m_nNextUpper = 0;
};

} // namespace

bool RegexMatcher::Match(const Regex& regex, std::string_view subject, RegexMatchContext& context,
                         std::size_t* matchEnd, const std::stop_token& stop, const RegexMatchLimits& limits)
{
    if (matchEnd)
        *matchEnd = kNoPosition;
    context.m_bOutOfMemory = false;
    context.m_bBudgetExhausted = false;
    context.m_nSteps = 0;
    if (regex.GetError() != RegexErrorNone || regex.GetInstructions().size() < 3)
        return false;
    try {
        // Start the context afresh; assign reuses the memory of earlier matches.
        context.m_nGroupCount = regex.GetGroupCount();
        context.m_Groups.assign(regex.GetGroupCount(), RegexMatchContext::GroupSpan{});
        context.m_Slots.assign(regex.GetSlotCount(), 0);
        context.m_nDepth = 0;
        context.m_nMatchStart = kNoPosition;
        context.m_nMatchEnd = kNoPosition;
        std::size_t finalPosition = kNoPosition;
        bool matched = false;
        if (limits.Live != nullptr)
            matched = regex.IsCaseSensitive() ? Run<false, true>(regex, subject, context, stop, limits, finalPosition)
                                              : Run<true, true>(regex, subject, context, stop, limits, finalPosition);
        else
            matched = regex.IsCaseSensitive() ? Run<false, false>(regex, subject, context, stop, limits, finalPosition)
                                              : Run<true, false>(regex, subject, context, stop, limits, finalPosition);
        if (matchEnd)
            *matchEnd = finalPosition;
        return matched;
    } catch (const std::bad_alloc&) {
        context.m_nDepth = 0;
        context.m_bOutOfMemory = true;
        return false;
    } catch (const StackBudgetExhausted&) {
        context.m_nDepth = 0;
        context.m_bBudgetExhausted = true;
        return false;
    }
}

template <bool FoldCase, bool Prunes>
bool RegexMatcher::Run(const Regex& regex, std::string_view subject, RegexMatchContext& context,
                       const std::stop_token& stop, const RegexMatchLimits& limits, std::size_t& finalPosition)
{
    const RegexInstruction* const program = regex.GetInstructions().data();
    const std::size_t programSize = regex.GetInstructions().size();
    const auto* const text = reinterpret_cast<const unsigned char*>(subject.data());
    const std::size_t length = subject.size();
    LeadingLiteralFinder<FoldCase> candidates(subject, regex.LeadingLiteral());
    std::size_t* const slots = context.m_Slots.data();
    RegexMatchContext::GroupSpan* const groups = context.m_Groups.data();
    std::size_t* stack = context.m_Stack.data();
    // The stack a context grew in earlier matches counts only up to this match's cap.
    std::size_t stackSize = std::min(context.m_Stack.size(), limits.MaxStackEntries);
    std::size_t depth = 0;
    std::size_t position = 0;
    std::size_t attemptStart = 0;
    std::size_t ip = 0;
    // Steps are counted in runs of at most kCheckInterval: the steps of the runs before, the length
    // of the current run, and one more than what is left of it, so that the loop only decrements
    // and tests.
    std::uint64_t stepsCounted = 0;
    auto runLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(kCheckInterval, limits.MaxSteps));
    std::uint32_t untilCheck = runLength + 1;

    // Entry 0 is never used; a pop from the empty stack gives 0.
    const auto push = [&](std::size_t word) {
        if (++depth >= stackSize) {
            stack = GrowStack(context, depth, limits.MaxStackEntries);
            stackSize = std::min(context.m_Stack.size(), limits.MaxStackEntries);
        }
        stack[depth] = word;
    };
    const auto pop = [&]() -> std::size_t { return depth == 0 ? 0 : stack[depth--]; };
    const auto finish = [&](bool matched) {
        context.m_nDepth = depth;
        context.m_nSteps = stepsCounted + (runLength + 1 - untilCheck);
        finalPosition = position;
        return matched;
    };

    for (;;) {
        if (--untilCheck == 0) {
            stepsCounted += runLength;
            context.m_nSteps = stepsCounted;
            if (stop.stop_requested()) {
                context.m_nDepth = depth;
                return false;
            }
            if (stepsCounted >= limits.MaxSteps) {
                context.m_nDepth = depth;
                context.m_bBudgetExhausted = true;
                return false;
            }
            runLength =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(kCheckInterval, limits.MaxSteps - stepsCounted));
            untilCheck = runLength; // the instruction about to run is the first of the new run
        }

        // Each case either continues with the next instruction or breaks out to fail.
        const RegexInstruction instruction = program[ip];
        const auto operand = static_cast<std::size_t>(instruction.Operand);
        switch (instruction.Op) {
        case RegexOp::Skip:
            ++ip;
            continue;
        case RegexOp::OpenGroup:
            // The end stays unset until the group closes: a back reference meanwhile is empty.
            groups[operand].Start = position;
            groups[operand].End = kNoPosition;
            ++ip;
            continue;
        case RegexOp::CloseGroup:
            groups[operand].End = position;
            ++ip;
            continue;
        case RegexOp::Literal:
            // Literal 0 is a final "$": it matches the end of the subject only, never a NUL byte.
            if (position < length) {
                if (instruction.Operand == 0 || Fold<FoldCase>(text[position]) != instruction.Operand)
                    break;
            } else if (instruction.Operand != 0 || position != length) {
                break;
            }
            ++position;
            ++ip;
            continue;
        case RegexOp::AnyChar:
            if (position >= length)
                break;
            ++position;
            ++ip;
            continue;
        case RegexOp::InClass:
        case RegexOp::NotInClass: {
            if (position >= length)
                break;
            const int c = Fold<FoldCase>(text[position]);
            std::size_t item = ip + 1;
            while (item < operand && !(program[item].Operand <= c && c <= program[item + 1].Operand))
                item += 2;
            const bool inClass = item < operand;
            if (inClass != (instruction.Op == RegexOp::InClass))
                break;
            ++position;
            ip = operand;
            continue;
        }
        case RegexOp::Jump:
            ip = operand;
            continue;
        case RegexOp::PushPos:
            push(position);
            ++ip;
            continue;
        case RegexOp::PopPos:
            position = pop();
            ++ip;
            continue;
        case RegexOp::Fork:
            if constexpr (Prunes) {
                // A branch that cannot lead to a match would only fail back here.
                if (!limits.Live->MayLead(operand, position)) {
                    ++ip;
                    continue;
                }
            }
            push(ip + 1);
            ip = operand;
            continue;
        case RegexOp::Backtrack:
            break;
        case RegexOp::PushSlot:
            push(slots[operand]);
            ++ip;
            continue;
        case RegexOp::PopSlot:
            slots[operand] = pop();
            ++ip;
            continue;
        case RegexOp::MarkPos:
            slots[operand] = position;
            ++ip;
            continue;
        case RegexOp::MarkDepth:
            slots[operand] = depth;
            ++ip;
            continue;
        case RegexOp::ResetPos:
            position = slots[operand];
            ++ip;
            continue;
        case RegexOp::ResetDepth:
            // Only ever lowers the depth; the min keeps a stray slot from raising it past the stack.
            depth = std::min(depth, slots[operand]);
            ++ip;
            continue;
        case RegexOp::RequireProgress:
            if (position == slots[operand])
                break;
            ++ip;
            continue;
        case RegexOp::MatchGroupText: {
            // An unset group, or one still open (start newer than end), matches the empty string.
            const RegexMatchContext::GroupSpan& group = groups[operand];
            if (group.Start != kNoPosition && group.End != kNoPosition && group.End > group.Start) {
                const std::size_t span = group.End - group.Start;
                if (group.End > length || position > length || length - position < span)
                    break;
                const unsigned char* here = text + position;
                const unsigned char* captured = text + group.Start;
                if constexpr (FoldCase) {
                    if (!std::equal(here, here + span, captured,
                                    [](unsigned char a, unsigned char b) { return kLowerCase[a] == kLowerCase[b]; }))
                        break;
                } else {
                    if (std::memcmp(here, captured, span) != 0)
                        break;
                }
                position += span;
            }
            ++ip;
            continue;
        }
        case RegexOp::NoMatch:
            return finish(false);
        case RegexOp::RetryAtNextChar: {
            // No attempt starts at the end of the subject. Attempts that would fail on the
            // leading literal right away are skipped: they change nothing.
            std::size_t next = attemptStart + 1;
            if (next < length && candidates.HasLiteral())
                next = candidates.Next(next);
            if (next >= length)
                return finish(false);
            attemptStart = next;
            position = next;
            depth = 0;
            ip = 0;
            continue;
        }
        case RegexOp::Succeed:
            context.m_nMatchStart = attemptStart;
            context.m_nMatchEnd = position;
            return finish(true);
        case RegexOp::StashGroup:
            push(groups[operand].Start);
            push(groups[operand].End);
            ++ip;
            continue;
        case RegexOp::UnstashGroup:
            groups[operand].End = pop();
            groups[operand].Start = pop();
            ++ip;
            continue;
        }

        // Fail: resume at the most recent backtrack point.
        ip = pop();
        if (ip >= programSize)
            return finish(false);
    }
}

std::size_t* RegexMatcher::GrowStack(RegexMatchContext& context, std::size_t depth, std::size_t maxEntries)
{
    // May throw std::bad_alloc, which ends the match with false and leaves the context consistent;
    // a stack at the limits' cap ends it as a spent budget.
    if (depth >= maxEntries)
        throw StackBudgetExhausted();
    const std::size_t entries = std::min(2 * depth + 2, maxEntries);
    if (entries > context.m_nStackLimit)
        throw std::bad_alloc();
    context.m_Stack.resize(entries);
    return context.m_Stack.data();
}
