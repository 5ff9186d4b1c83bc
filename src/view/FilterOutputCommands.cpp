// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/FilterOutputCommands.h"

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"

namespace {

bool HasFilterSwitchedOn(const COstrelDoc& document)
{
    return document.GetFilterSettings().GetEnabledCount() > 0;
}

} // namespace

void RunToggleFilterOutputCommand(COstrelView& view, COstrelDoc& document, bool excludeMatches)
{
    if (view.ToggleFilterOutput() == COstrelView::ToggleResult::NeedsRun && HasFilterSwitchedOn(document))
        document.ApplyOwnFilters(excludeMatches);
}

bool CanToggleFilterOutput(const COstrelView& view, const COstrelDoc* document)
{
    return view.GetShowsFilteredText() || view.HasKeptFilterOutput() || (document && HasFilterSwitchedOn(*document));
}

void RunFollowCommand(COstrelView& view, COstrelDoc& document, bool follow, bool excludeMatches)
{
    view.SetFollow(follow);
    if (follow && view.GetShowsFilteredText() && HasFilterSwitchedOn(document))
        document.ApplyOwnFilters(excludeMatches);
}

void RunWordWrapCommand(COstrelView& view)
{
    view.SetWordWrap(view.GetWordWrap() == COstrelView::WrapNone ? COstrelView::WrapToWindow : COstrelView::WrapNone);
}

QString DescribeFilterOutput(const COstrelDoc& document)
{
    return document.GetOutputExcludesMatches() ? QStringLiteral("Filter output (excluding matches)")
                                               : QStringLiteral("Filter output");
}
