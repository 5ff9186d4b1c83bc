// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RequiredLiterals.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "regex/ByteCommonness.h"
#include "regex/Regex.h"
#include "regex/RegexNfa.h"

namespace {

// Larger automatons are not analysed: every subject is then tried.
constexpr std::size_t kMaxAnalysedNodes = 4096;
// Steps the search for nodes that every match passes through may take at most.
constexpr std::size_t kMaxRequiredSearchSteps = 8'000'000;

unsigned char Folded(unsigned char byte)
{
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// What every path from a node to Succeed is known to contain: one of Items, or (not Valid)
// nothing that helps. A valid empty set means that no path gets there at all.
struct LiteralSet
{
    bool Valid = true;
    std::vector<std::string> Items;

    static LiteralSet None() { return {false, {}}; }

    std::size_t ShortestLength() const
    {
        std::size_t shortest = MaxRequiredLiteralLength;
        for (const std::string& item : Items)
            shortest = std::min(shortest, item.size());
        return shortest;
    }
};

// Adds the items of from; an item holding another is dropped, since the shorter one occurs
// wherever the longer does.
void Unite(LiteralSet& into, const LiteralSet& from)
{
    if (!into.Valid)
        return;
    if (!from.Valid) {
        into = LiteralSet::None();
        return;
    }
    for (const std::string& item : from.Items) {
        if (std::any_of(into.Items.begin(), into.Items.end(),
                        [&](const std::string& kept) { return item.find(kept) != std::string::npos; }))
            continue;
        std::erase_if(into.Items, [&](const std::string& kept) { return kept.find(item) != std::string::npos; });
        into.Items.push_back(item);
    }
    if (into.Items.size() > MaxRequiredLiterals)
        into = LiteralSet::None();
}

// About log2 of the share of positions in a text where a literal starts: its rarest byte counts
// in full, the next one half, every other one a quarter, since the bytes of the words a text
// repeats come together far more often than chance would have it.
double LiteralCost(const std::string& literal, bool caseSensitive)
{
    std::vector<double> logs;
    logs.reserve(literal.size());
    for (const char c : literal)
        logs.push_back(std::log2(ByteCommonness(static_cast<unsigned char>(c), caseSensitive) / 1e6));
    std::sort(logs.begin(), logs.end());
    double cost = 0;
    for (std::size_t i = 0; i < logs.size(); ++i)
        cost += logs[i] * (i == 0 ? 1.0 : i == 1 ? 0.5 : 0.25);
    return cost;
}

// The same for a set: the shares add up, and a set costs twice as much to look for as one literal.
double SetCost(const LiteralSet& set, bool caseSensitive)
{
    double share = 0;
    for (const std::string& item : set.Items)
        share += std::exp2(LiteralCost(item, caseSensitive));
    return std::log2(share) + (set.Items.size() > 1 ? 1.0 : 0.0);
}

// Prefers sets that rule out more subjects: a valid one; then one that occurs less often; then
// fewer literals; then longer ones.
bool IsBetter(const LiteralSet& a, const LiteralSet& b, bool caseSensitive)
{
    if (a.Valid != b.Valid)
        return a.Valid;
    if (!a.Valid)
        return false;
    if (a.Items.empty() != b.Items.empty())
        return a.Items.empty();
    if (a.Items.empty())
        return false;
    const double costA = SetCost(a, caseSensitive);
    const double costB = SetCost(b, caseSensitive);
    if (costA != costB)
        return costA < costB;
    if (a.Items.size() != b.Items.size())
        return a.Items.size() < b.Items.size();
    return a.ShortestLength() > b.ShortestLength();
}

class Analysis
{
public:
    // approximate: the program is not exact (RegexNfa::IsExact), so no literal hit is a match.
    Analysis(const Regex& regex, bool approximate)
        : m_Nfa(regex, RegexNfa::Mode::Overapproximate), m_bApproximate(approximate)
    {
        const std::vector<RegexNfa::Node>& nodes = m_Nfa.GetNodes();
        if (nodes.size() > kMaxAnalysedNodes)
            return;
        m_Successors.resize(nodes.size());
        m_Accepts.resize(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            m_Nfa.BeginRound();
            m_Accepts[i] = m_Nfa.Closure(nodes[i].Next, m_Successors[i]) || nodes[i].ConsumesEnd;
            std::sort(m_Successors[i].begin(), m_Successors[i].end());
        }
    }

    RequiredLiterals Run()
    {
        RequiredLiterals result;
        result.CaseSensitive = m_Nfa.IsCaseSensitive();
        if (m_Nfa.StartMatches() || m_Nfa.GetNodes().size() > kMaxAnalysedNodes)
            return result;
        if (FindExactLiterals(result))
            return result;
        ComputeSets();
        LiteralSet best;
        for (const std::uint32_t node : m_Nfa.GetStartNodes())
            Unite(best, m_Sets[node]);
        // The sets above are chosen node by node, each branch for itself; a literal that every
        // branch leads to may be rarer than what the branches chose.
        for (std::string& chain : RequiredChains()) {
            LiteralSet single{true, {std::move(chain)}};
            if (IsBetter(single, best, m_Nfa.IsCaseSensitive()))
                best = std::move(single);
        }
        if (best.Valid)
            result.Literals = std::move(best.Items);
        return result;
    }

private:
    // The byte a node stands for when it takes exactly one character (both cases of a letter
    // when the expression ignores case), or -1. Line ends never count: see RequiredLiterals.
    int LiteralByte(std::uint32_t index) const
    {
        const RegexNfa::Node& node = m_Nfa.GetNodes()[index];
        if (node.ConsumesEnd || node.AnyLength)
            return -1;
        int count = 0;
        int first = -1;
        for (std::size_t word = 0; word < 4; ++word) {
            count += std::popcount(node.Bytes[word]);
            if (first < 0 && node.Bytes[word] != 0)
                first = static_cast<int>(word * 64) + std::countr_zero(node.Bytes[word]);
        }
        if (first < 0)
            return -1;
        const auto folded =
            static_cast<unsigned char>(m_Nfa.IsCaseSensitive() ? first : Folded(static_cast<unsigned char>(first)));
        const int expected = (!m_Nfa.IsCaseSensitive() && folded >= 'a' && folded <= 'z') ? 2 : 1;
        if (count != expected || !node.Has(folded) || folded == '\r' || folded == '\n')
            return -1;
        return folded;
    }

    // The bytes every path through the node consumes from it on: its own, then those of its only
    // successor for as long as there is just one and no path may end.
    std::string Chain(std::uint32_t node) const
    {
        std::string chain;
        for (;;) {
            const int byte = LiteralByte(node);
            if (byte < 0)
                break;
            chain.push_back(static_cast<char>(byte));
            if (m_Accepts[node] || m_Successors[node].size() != 1 || chain.size() >= MaxRequiredLiteralLength)
                break;
            node = m_Successors[node].front();
        }
        return chain;
    }

    // A node that takes no byte at all, not even the end, ends every path that reaches it.
    bool IsPassable(std::uint32_t index) const
    {
        const RegexNfa::Node& node = m_Nfa.GetNodes()[index];
        return node.ConsumesEnd ||
               std::any_of(node.Bytes.begin(), node.Bytes.end(), [](std::uint64_t word) { return word != 0; });
    }

    // Whether some path from a start node may end without passing through the node avoided.
    bool EndsAvoiding(std::uint32_t avoided, std::vector<bool>& seen, std::vector<std::uint32_t>& pending) const
    {
        std::fill(seen.begin(), seen.end(), false);
        pending.clear();
        const auto enter = [&](std::uint32_t node) {
            if (node != avoided && !seen[node] && IsPassable(node)) {
                seen[node] = true;
                pending.push_back(node);
            }
        };
        for (const std::uint32_t node : m_Nfa.GetStartNodes())
            enter(node);
        while (!pending.empty()) {
            const std::uint32_t node = pending.back();
            pending.pop_back();
            if (m_Accepts[node])
                return true;
            for (const std::uint32_t successor : m_Successors[node])
                enter(successor);
        }
        return false;
    }

    // The literals from the nodes every match passes through: from such a node on, every path
    // takes its chain. Skipped when the search would take too long.
    std::vector<std::string> RequiredChains() const
    {
        const std::size_t count = m_Nfa.GetNodes().size();
        std::size_t edges = 0;
        std::size_t literalNodes = 0;
        for (std::uint32_t node = 0; node < count; ++node) {
            edges += m_Successors[node].size();
            literalNodes += LiteralByte(node) >= 0 ? 1 : 0;
        }
        std::vector<std::string> chains;
        if (literalNodes * (count + edges) > kMaxRequiredSearchSteps)
            return chains;
        std::vector<bool> seen(count);
        std::vector<std::uint32_t> pending;
        for (std::uint32_t node = 0; node < count; ++node)
            if (LiteralByte(node) >= 0 && !EndsAvoiding(node, seen, pending))
                chains.push_back(Chain(node));
        return chains;
    }

    // When every attempt begins with a fixed literal that ends in a match, a subject matches
    // exactly when it holds one of them.
    bool FindExactLiterals(RequiredLiterals& result) const
    {
        if (m_Nfa.IsAnchored() || m_bApproximate)
            return false;
        LiteralSet found;
        for (std::uint32_t node : m_Nfa.GetStartNodes()) {
            std::string chain;
            for (;;) {
                const int byte = LiteralByte(node);
                if (byte < 0 || chain.size() >= MaxRequiredLiteralLength)
                    return false;
                chain.push_back(static_cast<char>(byte));
                if (m_Accepts[node])
                    break;
                if (m_Successors[node].size() != 1)
                    return false;
                node = m_Successors[node].front();
            }
            Unite(found, LiteralSet{true, {chain}});
        }
        if (!found.Valid || found.Items.empty())
            return false;
        result.Literals = std::move(found.Items);
        result.IsMatch = true;
        return true;
    }

    // Per node, the best set for the paths from it, over the components of the graph with the
    // ones a component leads to first (Tarjan's order). A node on a loop contributes nothing of
    // its own: every path leaves the loop through one of its exits, or ends inside it.
    void ComputeSets()
    {
        const std::size_t count = m_Nfa.GetNodes().size();
        m_Sets.assign(count, LiteralSet::None());
        for (const std::vector<std::uint32_t>& component : StronglyConnectedComponents()) {
            const std::uint32_t first = component.front();
            const bool loops = component.size() > 1 ||
                               std::binary_search(m_Successors[first].begin(), m_Successors[first].end(), first);
            if (!loops) {
                LiteralSet best = LiteralSet::None();
                const std::string chain = Chain(first);
                if (!chain.empty())
                    best = LiteralSet{true, {chain}};
                const RegexNfa::Node& node = m_Nfa.GetNodes()[first];
                const bool takesNothing =
                    std::all_of(node.Bytes.begin(), node.Bytes.end(), [](std::uint64_t word) { return word == 0; });
                LiteralSet after;
                if (takesNothing && !node.ConsumesEnd)
                    after = LiteralSet{}; // no path goes on from here
                else if (m_Accepts[first])
                    after = LiteralSet::None();
                else
                    for (const std::uint32_t successor : m_Successors[first])
                        Unite(after, m_Sets[successor]);
                if (IsBetter(after, best, m_Nfa.IsCaseSensitive()))
                    best = std::move(after);
                m_Sets[first] = std::move(best);
                continue;
            }
            LiteralSet exits;
            for (const std::uint32_t node : component) {
                if (m_Accepts[node]) {
                    exits = LiteralSet::None();
                    break;
                }
                for (const std::uint32_t successor : m_Successors[node])
                    if (m_Component[successor] != m_Component[first])
                        Unite(exits, m_Sets[successor]);
            }
            for (const std::uint32_t node : component)
                m_Sets[node] = exits;
        }
    }

    // Iterative Tarjan: components come out after every component they lead to.
    std::vector<std::vector<std::uint32_t>> StronglyConnectedComponents()
    {
        const std::size_t count = m_Nfa.GetNodes().size();
        constexpr std::uint32_t kUnvisited = 0xFFFFFFFFu;
        std::vector<std::uint32_t> order(count, kUnvisited);
        std::vector<std::uint32_t> low(count, 0);
        std::vector<bool> onStack(count, false);
        std::vector<std::uint32_t> stack;
        std::vector<std::pair<std::uint32_t, std::size_t>> calls;
        std::vector<std::vector<std::uint32_t>> components;
        m_Component.assign(count, 0);
        std::uint32_t counter = 0;
        for (std::uint32_t root = 0; root < count; ++root) {
            if (order[root] != kUnvisited)
                continue;
            calls.emplace_back(root, 0);
            while (!calls.empty()) {
                auto& [node, edge] = calls.back();
                if (edge == 0) {
                    order[node] = low[node] = counter++;
                    stack.push_back(node);
                    onStack[node] = true;
                }
                if (edge < m_Successors[node].size()) {
                    const std::uint32_t next = m_Successors[node][edge++];
                    if (order[next] == kUnvisited)
                        calls.emplace_back(next, 0);
                    else if (onStack[next])
                        low[node] = std::min(low[node], order[next]);
                    continue;
                }
                const std::uint32_t done = node;
                calls.pop_back();
                if (!calls.empty())
                    low[calls.back().first] = std::min(low[calls.back().first], low[done]);
                if (low[done] == order[done]) {
                    std::vector<std::uint32_t> component;
                    for (std::uint32_t member = kUnvisited; member != done;) {
                        member = stack.back();
                        stack.pop_back();
                        onStack[member] = false;
                        m_Component[member] = static_cast<std::uint32_t>(components.size());
                        component.push_back(member);
                    }
                    components.push_back(std::move(component));
                }
            }
        }
        return components;
    }

    RegexNfa m_Nfa;
    bool m_bApproximate;
    std::vector<std::vector<std::uint32_t>> m_Successors;
    std::vector<bool> m_Accepts; // a path may end right after the node
    std::vector<LiteralSet> m_Sets;
    std::vector<std::uint32_t> m_Component;
};

} // namespace

RequiredLiterals FindRequiredLiterals(const Regex& regex)
{
    if (regex.GetError() != RegexErrorNone || regex.GetInstructions().size() < 3)
        return {};
    Analysis analysis(regex, !RegexNfa::IsExact(regex));
    return analysis.Run();
}
