// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexBoundedMatcher.h"

#include <algorithm>
#include <limits>
#include <new>

#include "regex/RegexMatchContext.h"
#include "regex/RegexMatcher.h"

namespace {

// A table larger than this is let go of after the line that needed it.
constexpr std::size_t kKeptTableBytes = std::size_t(1) << 20;

std::uint64_t SaturatingSteps(std::uint64_t perUnit, std::size_t instructions, std::size_t length,
                              std::uint64_t minimum)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t units = static_cast<std::uint64_t>(instructions) * (static_cast<std::uint64_t>(length) + 2);
    if (perUnit != 0 && units > (kMax - minimum) / perUnit)
        return kMax;
    return perUnit * units + minimum;
}

} // namespace

RegexBoundedMatcher::RegexBoundedMatcher(const Regex& regex, const RegexBudget& budget)
    : m_Regex(regex), m_Budget(budget)
{
    m_Decider.emplace(m_Regex);
    if (!m_Decider->CanDecide() && !m_Decider->CanPrune())
        m_Decider.reset();
}

RegexMatchLimits RegexBoundedMatcher::Limits(std::size_t length, bool quick) const
{
    const std::size_t instructions = m_Regex.GetInstructions().size();
    RegexMatchLimits limits;
    limits.MaxSteps = SaturatingSteps(m_Budget.StepsPerUnit, instructions, length, m_Budget.MinimumSteps);
    limits.MaxStackEntries = m_Budget.MaxStackBytes / sizeof(std::size_t);
    if (quick) {
        limits.MaxSteps = std::min(limits.MaxSteps, SaturatingSteps(m_Budget.QuickStepsPerUnit, instructions, length,
                                                                    m_Budget.QuickMinimumSteps));
        limits.MaxStackEntries = std::min(limits.MaxStackEntries, m_Budget.QuickStackBytes / sizeof(std::size_t));
    }
    return limits;
}

bool RegexBoundedMatcher::CanPrune(std::size_t length) const
{
    return m_Decider && m_Decider->CanPrune() && m_Decider->LiveTableBytes(length) <= m_Budget.MaxTableBytes;
}

RegexOutcome RegexBoundedMatcher::Matches(std::string_view subject, RegexMatchContext& context,
                                          const std::stop_token& stop)
{
    m_LastWork = {};
    const bool decides = AlwaysDecides();
    const bool prunes = CanPrune(subject.size());
    const RegexOutcome first = Backtrack(subject, context, nullptr, stop, Limits(subject.size(), decides || prunes));
    if (first != RegexOutcome::TooComplex && !(first == RegexOutcome::OutOfMemory && decides))
        return first;
    if (decides) {
        // Needs no stack, so a line the backtracker ran out of memory on is decided too.
        const RegexLinearDecider::Outcome outcome = m_Decider->Decide(subject, stop);
        m_LastWork.Positions += m_Decider->GetPositionsVisited();
        switch (outcome) {
        case RegexLinearDecider::Outcome::Match:
            return RegexOutcome::Match;
        case RegexLinearDecider::Outcome::NoMatch:
            return RegexOutcome::NoMatch;
        case RegexLinearDecider::Outcome::Stopped:
            return RegexOutcome::Stopped;
        }
    }
    if (!prunes)
        return first;
    return BacktrackPruned(subject, context, nullptr, stop);
}

RegexOutcome RegexBoundedMatcher::Find(std::string_view subject, RegexMatchContext& context, std::size_t& matchEnd,
                                       const std::stop_token& stop)
{
    m_LastWork = {};
    matchEnd = RegexMatchContext::NoPosition;
    const bool prunes = CanPrune(subject.size());
    const RegexOutcome first = Backtrack(subject, context, &matchEnd, stop, Limits(subject.size(), prunes));
    if (first != RegexOutcome::TooComplex || !prunes)
        return first;
    if (AlwaysDecides()) {
        // Where there is no match the linear answer is enough, and needs no table.
        const RegexLinearDecider::Outcome outcome = m_Decider->Decide(subject, stop);
        m_LastWork.Positions += m_Decider->GetPositionsVisited();
        if (outcome == RegexLinearDecider::Outcome::NoMatch)
            return RegexOutcome::NoMatch;
        if (outcome == RegexLinearDecider::Outcome::Stopped)
            return RegexOutcome::Stopped;
    }
    return BacktrackPruned(subject, context, &matchEnd, stop);
}

RegexOutcome RegexBoundedMatcher::Backtrack(std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd,
                                            const std::stop_token& stop, const RegexMatchLimits& limits)
{
    const bool matched = RegexMatcher::Match(m_Regex, subject, context, matchEnd, stop, limits);
    m_LastWork.Steps += context.GetStepCount();
    if (matched)
        return RegexOutcome::Match;
    if (stop.stop_requested())
        return RegexOutcome::Stopped;
    if (context.RanOutOfMemory())
        return RegexOutcome::OutOfMemory;
    if (context.ExhaustedBudget())
        return RegexOutcome::TooComplex;
    return RegexOutcome::NoMatch;
}

RegexOutcome RegexBoundedMatcher::BacktrackPruned(std::string_view subject, RegexMatchContext& context,
                                                  std::size_t* matchEnd, const std::stop_token& stop)
{
    RegexOutcome outcome = RegexOutcome::Stopped;
    try {
        if (m_Decider->FillLiveTable(subject, stop, m_Table)) {
            m_LastWork.Positions += m_Decider->GetPositionsVisited();
            RegexMatchLimits limits = Limits(subject.size(), false);
            limits.Live = &m_Table;
            outcome = Backtrack(subject, context, matchEnd, stop, limits);
        }
    } catch (const std::bad_alloc&) {
        outcome = RegexOutcome::OutOfMemory;
    }
    if (m_Decider->LiveTableBytes(subject.size()) > kKeptTableBytes)
        m_Table.Release();
    return outcome;
}
