// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target that holds the automaton, the linear decider, the bounded matcher and the
// required literals to the plain backtracker. Input: one byte of switches (bit 0: case-sensitive;
// bit 1: the pattern is written by a generator from the grammar, driven by the input, rather than
// taken as raw bytes), then the pattern (raw: up to the first 0xFF byte), then the subject's
// bytes. The subject is tried whole and line by line (each line with its line feed, a CR LF
// ending read as LF, as the engine hands lines over). For every subject the backtracker's answer
// must be the automaton's and the linear decider's, the bounded matcher must give the same
// answer and the same match (start and end, and the groups too for a program without progress
// checks, see RegexBoundedMatcher::Find) unless it says the line is too complex (never for an
// expression without back references), and a subject that matches must hold one of the
// required literals (and, where a hit is a match, only such subjects).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "regex/Regex.h"
#include "regex/RegexBoundedMatcher.h"
#include "regex/RegexDfa.h"
#include "regex/RegexLinearDecider.h"
#include "regex/RegexMatchContext.h"
#include "regex/RegexMatcher.h"
#include "regex/RegexNfa.h"
#include "regex/RequiredLiterals.h"

namespace {

constexpr std::size_t kMaxPattern = 96;
constexpr std::size_t kMaxSubject = 1024;

// Backtracking can take exponential time: the reference gets this many steps, and a subject it
// cannot finish in them is skipped. Counting steps rather than time keeps every input's outcome
// the same from run to run.
constexpr std::uint64_t kReferenceSteps = 4'000'000;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "automaton fuzzer: %s\n", what);
        std::abort();
    }
}

// Reads choices from the input; past its end every choice is 0.
class Choices
{
public:
    Choices(const std::uint8_t* data, std::size_t size) : m_pData(data), m_nSize(size) {}
    unsigned Next(unsigned limit) { return m_nPos < m_nSize ? m_pData[m_nPos++] % limit : 0; }
    bool Done() const { return m_nPos >= m_nSize; }
    std::size_t Used() const { return m_nPos; }

private:
    const std::uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nPos = 0;
};

const char kPatternBytes[] = {'a',    'b',    'A',    'B', 'z', '0', '9', '-', ' ', '\r', '\n', '\0',
                              '\x80', '\xE9', '\xFF', '$', '^', '*', '+', '?', '|', ')',  ']',  '}'};

// A pattern from the whole grammar: literals (escaped too), ".", classes, abbreviations, groups,
// match groups, back references, negations, every quantifier and alternation.
void Generate(Choices& choices, std::string& out, int depth)
{
    const unsigned items = 1 + choices.Next(4);
    for (unsigned item = 0; item < items && out.size() < kMaxPattern; ++item) {
        switch (choices.Next(depth > 3 ? 6 : 12)) {
        case 0:
        case 1:
        case 2:
            out.push_back(kPatternBytes[choices.Next(sizeof(kPatternBytes))]);
            break;
        case 3:
            out.push_back('.');
            break;
        case 4: {
            out.push_back('[');
            if (choices.Next(3) == 0)
                out.push_back('^');
            const unsigned ranges = 1 + choices.Next(3);
            for (unsigned r = 0; r < ranges; ++r) {
                const char low = kPatternBytes[choices.Next(12)];
                if (choices.Next(4) == 0)
                    out.push_back('\\');
                out.push_back(low);
                if (choices.Next(2) == 0) {
                    out.push_back('-');
                    out.push_back(kPatternBytes[choices.Next(12)]);
                }
            }
            out.push_back(']');
            break;
        }
        case 5:
            out.push_back('\\');
            out.push_back("abcdhnqwzt.\\*D"[choices.Next(14)]);
            break;
        case 6:
        case 7:
            out.push_back('(');
            Generate(choices, out, depth + 1);
            out.push_back(')');
            break;
        case 8:
            out.push_back('{');
            Generate(choices, out, depth + 1);
            out.push_back('}');
            break;
        case 9:
            out.push_back('\\');
            out.push_back(static_cast<char>('0' + choices.Next(3)));
            break;
        case 10:
            out.push_back('!');
            break;
        default:
            out.push_back('|');
            break;
        }
        switch (choices.Next(10)) {
        case 0:
            out.push_back('*');
            break;
        case 1:
            out.push_back('+');
            break;
        case 2:
            out.push_back('?');
            break;
        case 3:
            out += "*?";
            break;
        case 4:
            out += "+?";
            break;
        case 5:
            out += "??";
            break;
        default:
            break;
        }
    }
}

std::string MakeSubject(Choices& choices)
{
    static const char kSubjectBytes[] = {'a',  'b',  'A',    'B',    'z',    'Z',    '0', '9',  '-', ' ', '\t', '\r',
                                         '\n', '\0', '\x80', '\xE9', '\xC9', '\xFF', '"', '\'', '.', '*', 'e',  'x'};
    std::string subject;
    while (!choices.Done() && subject.size() < kMaxSubject) {
        const char byte = kSubjectBytes[choices.Next(sizeof(kSubjectBytes))];
        const unsigned run = choices.Next(8) == 0 ? 1 + choices.Next(200) : 1;
        subject.append(std::min<std::size_t>(run, kMaxSubject - subject.size()), byte);
    }
    return subject;
}

// Subjects compared with the backtracker, printed when the run ends.
std::uint64_t g_nCompared = 0;
std::uint64_t g_nComparedWithAutomaton = 0;
std::uint64_t g_nComparedWithDecider = 0;
std::uint64_t g_nComparedWithBounded = 0;
std::uint64_t g_nThroughTable = 0;
std::uint64_t g_nTooComplex = 0;
std::uint64_t g_nSkipped = 0;

void PrintCounts()
{
    std::fprintf(
        stderr,
        "automaton fuzzer: %llu subjects compared, %llu of them with the automaton, %llu with the linear "
        "decider, %llu with the bounded matcher (%llu through the table, %llu too complex), %llu skipped\n",
        static_cast<unsigned long long>(g_nCompared), static_cast<unsigned long long>(g_nComparedWithAutomaton),
        static_cast<unsigned long long>(g_nComparedWithDecider),
        static_cast<unsigned long long>(g_nComparedWithBounded), static_cast<unsigned long long>(g_nThroughTable),
        static_cast<unsigned long long>(g_nTooComplex), static_cast<unsigned long long>(g_nSkipped));
}

bool Holds(const Regex& regex, RegexOp op)
{
    for (const RegexInstruction& instruction : regex.GetInstructions())
        if (instruction.Op == op)
            return true;
    return false;
}

// The bounded matcher against the reference's outcome on one subject, both ways of asking.
// Finding a match (not only deciding one) without back references needs the table, which
// skips no branch that captures inside a negation: only then may Find give up.
void CheckBounded(RegexBoundedMatcher& bounded, const std::string& text, bool matched,
                  const RegexMatchContext& reference, std::size_t referenceEnd, bool hasBackReference, bool prunes,
                  bool comparesGroups)
{
    RegexMatchContext context(4);
    const RegexOutcome decided = bounded.Matches(text, context);
    std::size_t end = 0;
    const RegexOutcome found = bounded.Find(text, context, end);
    if (bounded.GetLastWork().Positions > 0)
        ++g_nThroughTable;
    if (decided == RegexOutcome::TooComplex || found == RegexOutcome::TooComplex) {
        Check(hasBackReference || decided != RegexOutcome::TooComplex, "too complex without a back reference");
        Check(hasBackReference || !prunes, "no match found without a back reference");
        ++g_nTooComplex;
        return;
    }
    ++g_nComparedWithBounded;
    const RegexOutcome expected = matched ? RegexOutcome::Match : RegexOutcome::NoMatch;
    Check(decided == expected, "the bounded matcher and the backtracker disagree");
    Check(found == expected, "the bounded matcher finds what the backtracker does not");
    if (!matched)
        return;
    Check(end == referenceEnd, "the bounded match ends elsewhere");
    Check(context.GetMatchStart() == reference.GetMatchStart(), "the bounded match starts elsewhere");
    if (!comparesGroups)
        return;
    for (std::uint32_t group = 0; group < reference.GetGroupCount(); ++group) {
        Check(context.GetGroupStart(group) == reference.GetGroupStart(group), "a bounded group starts elsewhere");
        Check(context.GetGroupEnd(group) == reference.GetGroupEnd(group), "a bounded group ends elsewhere");
    }
}

bool Holds(std::string_view subject, const RequiredLiterals& required)
{
    std::string folded(subject);
    if (!required.CaseSensitive)
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
    for (const std::string& literal : required.Literals)
        if (folded.find(literal) != std::string::npos)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int registered = std::atexit(PrintCounts);
    (void)registered;
    if (size < 1)
        return 0;
    const bool caseSensitive = (data[0] & 1) != 0;
    const bool generated = (data[0] & 2) != 0;
    std::string pattern;
    std::string subject;
    if (generated) {
        Choices choices(data + 1, size - 1);
        if (choices.Next(8) == 0)
            pattern.push_back('^');
        Generate(choices, pattern, 0);
        if (choices.Next(6) == 0)
            pattern.push_back('$');
        subject = MakeSubject(choices);
    } else {
        const auto* separator = static_cast<const std::uint8_t*>(std::memchr(data + 1, 0xFF, size - 1));
        const std::size_t patternLength = separator ? static_cast<std::size_t>(separator - data - 1) : size - 1;
        if (patternLength > kMaxPattern)
            return 0;
        pattern.assign(reinterpret_cast<const char*>(data + 1), patternLength);
        if (separator)
            subject.assign(reinterpret_cast<const char*>(separator + 1),
                           static_cast<std::size_t>(data + size - separator - 1));
        if (subject.size() > kMaxSubject)
            return 0;
    }

    Regex regex;
    if (regex.Parse(pattern, caseSensitive) != RegexErrorNone)
        return 0;
    const bool exact = RegexNfa::IsExact(regex);
    const RequiredLiterals required = FindRequiredLiterals(regex);
    for (const std::string& literal : required.Literals)
        Check(!literal.empty() && literal.find_first_of("\r\n") == std::string::npos, "a literal holds a line end");
    Check(!required.IsMatch || exact, "a hit is a match only for exact programs");

    RegexDfa roomy(regex);
    RegexDfa cramped(regex, 512); // empties its cache all the time
    RegexMatchContext context(4);
    const bool hasBackReference = Holds(regex, RegexOp::MatchGroupText);
    const bool comparesGroups = !Holds(regex, RegexOp::RequireProgress);
    RegexLinearDecider decider(regex);
    Check(decider.CanDecide() == !hasBackReference, "the linear decider refuses a compiled program");
    // With the usual budget, and with no quick share, so that every line that does not finish at
    // once goes to the fallback or the table; a small stack cap sends long loops there too.
    RegexBoundedMatcher bounded(regex);
    RegexBudget eager;
    eager.QuickStepsPerUnit = 0;
    eager.QuickMinimumSteps = (data[0] & 4) != 0 ? 0 : 40;
    eager.QuickStackBytes = 64 * sizeof(std::size_t);
    RegexBoundedMatcher hurried(regex, eager);
    RegexMatchLimits referenceLimits;
    referenceLimits.MaxSteps = kReferenceSteps;

    // The whole subject, then each line as the engine hands it over.
    std::vector<std::string> subjects{subject};
    for (std::size_t start = 0; start < subject.size();) {
        const std::size_t lineFeed = subject.find('\n', start);
        const std::size_t end = lineFeed == std::string::npos ? subject.size() : lineFeed + 1;
        std::string line = subject.substr(start, end - start);
        if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n')
            line.erase(line.size() - 2, 1);
        subjects.push_back(std::move(line));
        start = end;
    }
    for (const std::string& text : subjects) {
        std::size_t referenceEnd = 0;
        const bool matched = RegexMatcher::Match(regex, text, context, &referenceEnd, {}, referenceLimits);
        if (context.ExhaustedBudget()) {
            // The expression backtracks too much to serve as a reference here, and would on the
            // lines after it too: an input is checked up to there.
            ++g_nSkipped;
            break;
        }
        ++g_nCompared;
        if (decider.CanDecide()) {
            ++g_nComparedWithDecider;
            Check((decider.Decide(text, {}) == RegexLinearDecider::Outcome::Match) == matched,
                  "the linear decider and the backtracker disagree");
        }
        CheckBounded(bounded, text, matched, context, referenceEnd, hasBackReference, decider.CanPrune(),
                     comparesGroups);
        CheckBounded(hurried, text, matched, context, referenceEnd, hasBackReference, decider.CanPrune(),
                     comparesGroups);
        if (exact) {
            ++g_nComparedWithAutomaton;
            Check(roomy.Matches(text) == matched, "the automaton and the backtracker disagree");
            Check(cramped.Matches(text) == matched, "the automaton with a small cache disagrees");
        }
        if (!required.Literals.empty()) {
            const bool holds = Holds(text, required);
            if (matched)
                Check(holds, "a match without any required literal");
            if (required.IsMatch)
                Check(holds == matched, "a literal hit that is not a match");
        }
    }
    return 0;
}
