// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/OriginLines.h"

namespace OriginLines {

OutputLineNumbers Compose(const OutputLineNumbers& shown, const OutputLineNumbers* parent)
{
    OutputLineNumbers table;
    for (std::size_t i = 0; i < shown.Size(); ++i) {
        const std::int64_t number = shown.LineNumber(i);
        const std::int64_t original = parent ? OriginalLineOf(*parent, number) : number;
        table.Append(original > 0 ? original : 0, shown.IsContext(i), shown.Filter(i));
    }
    return table;
}

std::int64_t OriginalLineOf(const OutputLineNumbers& table, std::int64_t ownLine)
{
    if (ownLine <= 0 || static_cast<std::uint64_t>(ownLine) > table.Size())
        return 0;
    const std::int64_t number = table.LineNumber(static_cast<std::size_t>(ownLine - 1));
    return number > 0 ? number : 0;
}

ShownLineOrigin MapOrigin(const OutputLineNumbers& table, const ShownLineOrigin& own, bool ownOutput)
{
    const std::int64_t original = OriginalLineOf(table, own.FileLine);
    if (original == 0)
        return {0, own.IsContext, ownOutput ? own.Filter : -1, false};
    if (ownOutput)
        return {original, own.IsContext, own.Filter, false};
    const auto index = static_cast<std::size_t>(own.FileLine - 1);
    return {original, table.IsContext(index), table.Filter(index), false};
}

std::int64_t OwnLineOfOriginal(const OutputLineNumbers& table, std::int64_t original)
{
    const std::size_t end = table.EndOfNumbered();
    if (end == 0)
        return 0;
    const std::size_t index = table.FirstAtOrAfter(original);
    if (index >= end)
        return static_cast<std::int64_t>(end);
    return static_cast<std::int64_t>(index) + 1;
}

} // namespace OriginLines
