// SPDX-License-Identifier: GPL-3.0-or-later
// This test program replaces the global allocator so that it can count allocations and make one
// fail on purpose.
#include <atomic>
#include <cstdlib>
#include <new>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegexTestSupport.h"
#include "regex/RegexDfa.h"

namespace {

std::atomic<long> g_nAllocations{0};
std::atomic<long> g_nAllocationsBeforeFailure{-1}; // -1: allocations never fail

// Makes the allocation after the next count ones fail, until Disarm.
void FailAfter(long count)
{
    g_nAllocationsBeforeFailure = count;
}

void Disarm()
{
    g_nAllocationsBeforeFailure = -1;
}

} // namespace

// GCC cannot see that these replacements pair malloc with free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    g_nAllocations.fetch_add(1, std::memory_order_relaxed);
    const long before = g_nAllocationsBeforeFailure.load(std::memory_order_relaxed);
    if (before == 0)
        throw std::bad_alloc();
    if (before > 0)
        g_nAllocationsBeforeFailure.store(before - 1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

#pragma GCC diagnostic pop

namespace {

TEST(RegexMemory, WarmContextMatchesWithoutAllocating)
{
    Regex sensitive;
    Regex insensitive;
    ASSERT_EQ(sensitive.Parse("({[a-z]+}=\\0)|(x.*y)", true), RegexErrorNone);
    ASSERT_EQ(insensitive.Parse("ERR{\\d+}!x", false), RegexErrorNone);
    const std::vector<std::string> lines = {
        "abc=abc", "x" + std::string(3000, '-') + "y", "no match here", "", "err42 and ERR7x then Err9y\n",
    };
    RegexMatchContext context(16);
    std::stop_source source;
    for (const std::string& line : lines) {
        sensitive.Match(line, context, nullptr, source.get_token());
        insensitive.Match(line, context, nullptr, source.get_token());
    }

    const long before = g_nAllocations.load();
    int matches = 0;
    for (int round = 0; round < 10; ++round) {
        for (const std::string& line : lines) {
            std::size_t end = 0;
            matches += sensitive.Match(line, context, &end, source.get_token());
            matches += insensitive.Match(line, context, &end);
        }
    }
    EXPECT_EQ(g_nAllocations.load(), before);
    EXPECT_EQ(matches, 10 * 4);
}

// Lines that only visit states already built cost no allocation, however long they are.
TEST(RegexMemory, WarmAutomatonMatchesWithoutAllocating)
{
    Regex regex;
    ASSERT_EQ(regex.Parse("(ConnectionReset)|([a-z]+\\.example)|(\\d+ ms)", false), RegexErrorNone);
    RegexDfa automaton(regex);
    const std::vector<std::string> lines = {
        "GET www.example.com", std::string(5000, 'x') + " 12 ms", "connectionreset", "", "none of them\n",
    };
    for (const std::string& line : lines)
        automaton.Matches(line);

    const long before = g_nAllocations.load();
    int matches = 0;
    for (int round = 0; round < 10; ++round)
        for (const std::string& line : lines)
            matches += automaton.Matches(line);
    EXPECT_EQ(g_nAllocations.load(), before);
    EXPECT_EQ(matches, 10 * 3);
}

TEST(RegexMemory, FailedAllocationEndsWithoutMatch)
{
    Regex regex;
    ASSERT_EQ(regex.Parse("{.}*x", true), RegexErrorNone);
    const std::string line = std::string(2000, 'a') + "x";
    RegexMatchContext context(1);

    FailAfter(0);
    const bool matched = regex.Match(line, context);
    Disarm();
    EXPECT_FALSE(matched);
    EXPECT_TRUE(context.RanOutOfMemory()) << "the caller can tell it from a line that does not match";

    // The context stays usable; with every later allocation failing in turn, the answer is either
    // no match or the right match.
    std::size_t end = 0;
    ASSERT_TRUE(regex.Match(line, context, &end));
    EXPECT_EQ(end, line.size());
    EXPECT_FALSE(context.RanOutOfMemory());

    // A stack limit is running out of memory too.
    RegexMatchContext limited(4);
    limited.SetStackLimit(100);
    EXPECT_FALSE(regex.Match(line, limited));
    EXPECT_TRUE(limited.RanOutOfMemory());
    EXPECT_FALSE(regex.Match("y", limited)) << "no match, and no shortage";
    EXPECT_FALSE(limited.RanOutOfMemory());
    for (long allowed = 0; allowed < 40; ++allowed) {
        RegexMatchContext fresh(1);
        FailAfter(allowed);
        end = 0;
        const bool result = regex.Match(line, fresh, &end);
        Disarm();
        if (result) {
            EXPECT_EQ(end, line.size()) << allowed;
        }
    }
}

TEST(RegexMemory, FailedAllocationInParse)
{
    // The lowered copy of a case-insensitive pattern is the first allocation.
    {
        Regex regex;
        FailAfter(0);
        const std::int32_t error = regex.Parse("A pattern longer than any small string", false);
        Disarm();
        EXPECT_EQ(error, RegexErrorOutOfMemory);
        EXPECT_EQ(regex.GetError(), RegexErrorOutOfMemory);
    }

    // Failing each allocation in turn: running out inside an abbreviation's expansion is reported
    // as the unexpected error, anywhere else as out of memory.
    std::set<std::int32_t> seen;
    for (long allowed = 0; allowed < 64; ++allowed) {
        Regex regex;
        FailAfter(allowed);
        const std::int32_t error = regex.Parse("x\\h", true);
        Disarm();
        EXPECT_TRUE(error == RegexErrorOutOfMemory || error == RegexErrorUnexpected || error == RegexErrorNone)
            << error;
        seen.insert(error);
        if (error == RegexErrorNone) {
            RegexMatchContext context;
            EXPECT_TRUE(regex.Match("xF", context));
            break;
        }
    }
    EXPECT_EQ(seen, (std::set<std::int32_t>{RegexErrorNone, RegexErrorOutOfMemory, RegexErrorUnexpected}));
}

} // namespace
