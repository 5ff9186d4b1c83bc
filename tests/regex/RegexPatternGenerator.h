// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <random>
#include <string>

// Small random patterns from the whole grammar, for tests that hold a fast matcher to the
// backtracker, and subjects over the few bytes those patterns tell apart. Seeded by the caller,
// so every run sees the same cases.
class RegexPatternGenerator
{
public:
    explicit RegexPatternGenerator(unsigned seed) : m_Random(seed) {}

    // A pattern; back references only when asked for.
    std::string Pattern(bool backReferences)
    {
        std::string pattern;
        if (Next(6) == 0)
            pattern.push_back('^');
        Items(pattern, 0, backReferences);
        if (Next(5) == 0)
            pattern.push_back('$');
        return pattern;
    }

    std::string Subject()
    {
        static const char kBytes[] = {'a', 'b', 'A', 'x', '\n', '\0', '1'};
        std::string subject;
        const unsigned length = Next(9);
        for (unsigned i = 0; i < length; ++i)
            subject.push_back(kBytes[Next(sizeof kBytes)]);
        return subject;
    }

    unsigned Next(unsigned limit) { return static_cast<unsigned>(m_Random() % limit); }

private:
    void Items(std::string& out, int depth, bool backReferences)
    {
        const unsigned items = 1 + Next(3);
        for (unsigned item = 0; item < items && out.size() < 24; ++item) {
            switch (Next(depth > 2 ? 5 : 11)) {
            case 0:
            case 1:
                out.push_back("abAx1"[Next(5)]);
                break;
            case 2:
                out += Next(2) ? "." : "\\n";
                break;
            case 3:
                out += Next(2) ? "[ab]" : (Next(2) ? "[^a\\n]" : std::string("[\0-\x01]", 5));
                break;
            case 4:
                if (backReferences) {
                    out += Next(2) ? "\\0" : "\\1";
                    break;
                }
                out.push_back('!');
                break;
            case 5:
            case 6:
                out.push_back('!');
                break;
            case 7:
            case 8:
                out.push_back('(');
                Items(out, depth + 1, backReferences);
                out.push_back(')');
                break;
            case 9:
                out.push_back('{');
                Items(out, depth + 1, backReferences);
                out.push_back('}');
                break;
            default:
                out.push_back('|');
                break;
            }
            static const char* const kQuantifiers[] = {"*", "+", "?", "*?", "+?", "??"};
            if (Next(3) == 0)
                out += kQuantifiers[Next(6)];
        }
    }

    std::mt19937 m_Random;
};
