// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the expression compiler and matcher. Input: one byte whose low bit picks
// case sensitivity, then the pattern, then (after the first 0xFF byte) the subject. Pattern and
// subject are copied into buffers of their exact size so that the address sanitizer catches any
// read past either end. Besides crashes it checks the compiled program's structure and what a
// match reports.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string_view>
#include <thread>

#include "regex/Regex.h"
#include "regex/RegexMatchContext.h"

namespace {

constexpr std::size_t kMaxPattern = 64;
constexpr std::size_t kMaxSubject = 512;

// Backtracking is exponential in nested loops whatever the sizes, so a watchdog stops a match that
// runs past its deadline. Ordinary inputs finish long before and see a token that is never stopped.
class Watchdog
{
public:
    Watchdog() : m_Thread([this](std::stop_token quit) { Watch(quit); }) {}

    std::stop_token Arm()
    {
        std::lock_guard lock(m_Mutex);
        m_Source = std::stop_source();
        m_Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        m_bArmed = true;
        return m_Source.get_token();
    }

    void Disarm()
    {
        std::lock_guard lock(m_Mutex);
        m_bArmed = false;
    }

private:
    void Watch(const std::stop_token& quit)
    {
        std::unique_lock lock(m_Mutex);
        while (!quit.stop_requested()) {
            m_Wake.wait_for(lock, quit, std::chrono::milliseconds(20), [] { return false; });
            if (m_bArmed && std::chrono::steady_clock::now() > m_Deadline) {
                m_Source.request_stop();
                m_bArmed = false;
            }
        }
    }

    std::mutex m_Mutex;
    std::condition_variable_any m_Wake;
    std::stop_source m_Source;                        // guarded by m_Mutex
    std::chrono::steady_clock::time_point m_Deadline; // guarded by m_Mutex
    bool m_bArmed = false;                            // guarded by m_Mutex
    std::jthread m_Thread;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool OperandIsIndex(RegexOp op)
{
    return op == RegexOp::Jump || op == RegexOp::Fork || op == RegexOp::InClass || op == RegexOp::NotInClass;
}

bool OperandIsSlot(RegexOp op)
{
    return op == RegexOp::PushSlot || op == RegexOp::PopSlot || op == RegexOp::MarkPos || op == RegexOp::MarkDepth ||
           op == RegexOp::ResetPos || op == RegexOp::ResetDepth || op == RegexOp::RequireProgress;
}

bool OperandIsGroup(RegexOp op)
{
    return op == RegexOp::OpenGroup || op == RegexOp::CloseGroup || op == RegexOp::MatchGroupText ||
           op == RegexOp::StashGroup || op == RegexOp::UnstashGroup;
}

void CheckProgram(const Regex& regex)
{
    const auto& program = regex.GetInstructions();
    Check(program.size() >= 3);
    Check(program[0] == RegexInstruction{RegexOp::Fork, 2});
    Check(program[1].Op == RegexOp::NoMatch || program[1].Op == RegexOp::RetryAtNextChar);
    Check(program.back().Op == RegexOp::Succeed);
    const auto size = static_cast<std::int64_t>(program.size());
    for (std::size_t i = 2; i + 1 < program.size(); ++i) {
        const RegexInstruction& instruction = program[i];
        if (OperandIsIndex(instruction.Op))
            Check(instruction.Operand > 0 && instruction.Operand < size);
        if (OperandIsSlot(instruction.Op))
            Check(instruction.Operand >= 0 && static_cast<std::uint32_t>(instruction.Operand) < regex.GetSlotCount());
        if (OperandIsGroup(instruction.Op))
            Check(instruction.Operand >= 0 && static_cast<std::uint32_t>(instruction.Operand) < regex.GetGroupCount());
        if (instruction.Op == RegexOp::Literal || instruction.Op == RegexOp::Skip)
            Check(instruction.Operand >= 0 && instruction.Operand <= 255);
        Check(instruction.Op != RegexOp::NoMatch && instruction.Op != RegexOp::RetryAtNextChar &&
              instruction.Op != RegexOp::Succeed);
    }
}

unsigned char Lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Watchdog watchdog;
    static RegexMatchContext reused(4);
    if (size < 1)
        return 0;
    const bool caseSensitive = (data[0] & 1) != 0;
    const std::uint8_t* const rest = data + 1;
    const std::size_t restSize = size - 1;
    const auto* separator = static_cast<const std::uint8_t*>(std::memchr(rest, 0xFF, restSize));
    const std::size_t patternLength = separator ? static_cast<std::size_t>(separator - rest) : restSize;
    const std::size_t subjectLength = separator ? restSize - patternLength - 1 : 0;
    if (patternLength > kMaxPattern || subjectLength > kMaxSubject)
        return 0;

    // Exact-size copies: one byte more read on either side is a sanitizer report.
    const std::unique_ptr<char[]> pattern(new char[std::max<std::size_t>(patternLength, 1)]);
    const std::unique_ptr<char[]> subject(new char[std::max<std::size_t>(subjectLength, 1)]);
    std::memcpy(pattern.get(), rest, patternLength);
    if (separator)
        std::memcpy(subject.get(), separator + 1, subjectLength);

    Regex regex;
    const std::int32_t error = regex.Parse(pattern.get(), patternLength, caseSensitive);
    Check(error >= RegexErrorNone && error < RegexErrorInvalidInput);
    Check(error == regex.GetError());
    if (error != RegexErrorNone) {
        Check(regex.LeadingLiteral().empty());
        return 0;
    }
    CheckProgram(regex);

    const std::string_view text(subject.get(), subjectLength);
    RegexMatchContext context(1);
    std::size_t end = 0;
    const std::stop_token stop = watchdog.Arm();
    const bool matched = regex.Match(text, context, &end, stop);
    if (stop.stop_requested()) {
        watchdog.Disarm();
        return 0;
    }
    std::size_t againEnd = 0;
    const bool again = regex.Match(text, reused, &againEnd, stop);
    const bool stopped = stop.stop_requested();
    watchdog.Disarm();
    if (stopped)
        return 0;

    // A context that served other expressions gives the same answer as a fresh one.
    Check(again == matched);
    if (!matched)
        return 0;
    Check(againEnd == end && reused.GetMatchStart() == context.GetMatchStart());
    Check(context.GetMatchEnd() == end);
    const std::size_t start = context.GetMatchStart();
    Check(start <= end && end <= subjectLength + 1);
    Check(start < subjectLength || start == 0);
    const std::string& leading = regex.LeadingLiteral();
    Check(start + leading.size() <= subjectLength);
    for (std::size_t i = 0; i < leading.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[start + i]);
        Check((caseSensitive ? c : Lower(c)) == static_cast<unsigned char>(leading[i]));
    }
    Check(context.GetGroupCount() == regex.GetGroupCount());
    for (std::uint32_t group = 0; group < context.GetGroupCount(); ++group) {
        const std::size_t groupStart = context.GetGroupStart(group);
        const std::size_t groupEnd = context.GetGroupEnd(group);
        Check(groupStart == reused.GetGroupStart(group) && groupEnd == reused.GetGroupEnd(group));
        if (groupStart == RegexMatchContext::NoPosition)
            Check(groupEnd == RegexMatchContext::NoPosition);
        else
            Check(groupStart <= groupEnd && groupEnd <= subjectLength);
    }
    return 0;
}
