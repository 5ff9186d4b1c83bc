// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

// The lines of a document the user marked, each by its number (a file line, 1-based), kept in
// order. A mark belongs to the line of the file, not to where a view shows it: filter output
// shows the marks of the lines it kept.
class BookmarkSet
{
public:
    // Where Next or Previous lands: the line, and whether the search went round the end (or the
    // start) to find it.
    struct Step
    {
        std::int64_t Line = 0;
        bool Wrapped = false;
    };
    // Whether a marked line can be gone to in what is shown (filter output keeps only some).
    using Reachable = std::function<bool(std::int64_t line)>;

    // Marks the line, or takes its mark away; true when the line is marked afterwards. Lines
    // below 1 stand for no file line and are never marked.
    bool Toggle(std::int64_t line);
    bool Contains(std::int64_t line) const { return m_Lines.contains(line); }
    bool Empty() const { return m_Lines.empty(); }
    std::size_t Size() const { return m_Lines.size(); }
    void Clear() { m_Lines.clear(); }
    // Every marked line, in order.
    std::vector<std::int64_t> All() const { return {m_Lines.begin(), m_Lines.end()}; }
    // Replaces the marks by these lines (any order; repeats and lines below 1 are dropped).
    void Assign(const std::vector<std::int64_t>& lines);

    // The first reachable marked line after `from`, else, going round, the first one from the
    // start up to and including `from`. Nothing when no marked line is reachable.
    std::optional<Step> Next(std::int64_t from, const Reachable& reachable = {}) const;
    // The same toward the start: the last reachable marked line before `from`, else from the end.
    std::optional<Step> Previous(std::int64_t from, const Reachable& reachable = {}) const;

private:
    std::set<std::int64_t> m_Lines;
};
