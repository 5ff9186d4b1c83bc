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

bool CanToggleFilterOutput(const COstrelView& view, const COstrelDoc* document)
{
    return view.GetShowsFilteredText() || view.HasKeptFilterOutput() || (document && HasFilterSwitchedOn(*document));
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
