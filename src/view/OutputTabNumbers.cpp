// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/OutputTabNumbers.h"

#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "logtext/OriginLines.h"
#include "view/COstrelView.h"

const CDerivedOutput* DerivedOutputOf(const COstrelView& view)
{
    const COstrelDoc* document = view.GetDocument();
    return document ? document->GetDerivedOutput() : nullptr;
}

std::int64_t OwnLineOfViewLine(const COstrelView& view, std::int64_t viewLine)
{
    return view.OriginOfViewLine(viewLine).FileLine;
}

std::int64_t OriginalCaretLine(const COstrelView& view, const CDerivedOutput& derived)
{
    const CEditor& editor = view.GetEditor();
    return derived.OriginalLineOf(OwnLineOfViewLine(view, editor.LineFromPosition(editor.GetCurrentPosition())));
}

QString GoToOriginalLine(COstrelView& view, const CDerivedOutput& derived, std::int64_t number)
{
    const std::int64_t own = OriginLines::OwnLineOfOriginal(derived.GetOrigins(), number);
    view.GoToNumberedLine(own > 0 ? own : 1);
    const std::int64_t reached = OriginalCaretLine(view, derived);
    if (reached == number || reached == 0)
        return QString();
    if (reached > number)
        return QStringLiteral("File line %1 is not in this tab: at the next line it has, file line %2")
            .arg(number)
            .arg(reached);
    return QStringLiteral("File line %1 is past the last line of this tab: at file line %2").arg(number).arg(reached);
}
