// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTimeGoTo.h"

#include <memory>

#include <QDateTime>
#include <QFileInfo>

#include "document/COstrelDoc.h"
#include "filtering/IndexedText.h"
#include "time/IndexedFileLines.h"
#include "time/TimeEntry.h"
#include "time/TimeLayoutDetector.h"
#include "time/TimedLines.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

namespace {

// The lines of the editor's text, read in place without moving its gap.
class CEditorLines : public ILineReader
{
public:
    explicit CEditorLines(CEditor& editor) : m_Editor(editor), m_nLineCount(editor.GetLineCount()) {}

    std::int64_t GetLineCount() override { return m_nLineCount; }
    std::string_view GetLineStart(std::int64_t line) override
    {
        if (line < 0 || line >= m_nLineCount)
            return {};
        const std::int64_t start = m_Editor.PositionFromLine(line);
        std::int64_t length = m_Editor.GetLineEndPosition(line) - start;
        if (length > static_cast<std::int64_t>(LineTimePrefixBytes))
            length = static_cast<std::int64_t>(LineTimePrefixBytes);
        if (length <= 0)
            return {};
        const char* bytes = m_Editor.GetRange(start, length);
        return bytes ? std::string_view(bytes, static_cast<std::size_t>(length)) : std::string_view();
    }

private:
    CEditor& m_Editor;
    std::int64_t m_nLineCount;
};

std::unique_ptr<ILineReader> LinesOf(COstrelView& view)
{
    if (const CPagedText* paged = view.GetPagedText())
        return std::make_unique<IndexedFileLines>(paged->GetIndex());
    return std::make_unique<CEditorLines>(view.GetEditor());
}

QString PathOf(const COstrelView& view)
{
    if (const CPagedText* paged = view.GetPagedText())
        return paged->GetPath();
    return view.GetDocument() ? view.GetDocument()->GetPathName() : QString();
}

TimeLayout Detect(ILineReader& lines, const TimeContext& context)
{
    TimeLayoutDetector detector(context);
    const std::int64_t count = lines.GetLineCount();
    for (std::int64_t line = 0; line < count && detector.AddLine(lines.GetLineStart(line)); ++line) {
    }
    return detector.GetLayout();
}

} // namespace

CTimeGoTo::CTimeGoTo(COstrelView& view) : m_View(view), m_Context(ContextForFile(PathOf(view))) {}

TimeContext CTimeGoTo::ContextForFile(const QString& path)
{
    const QFileInfo info(path);
    const QDateTime when = !path.isEmpty() && info.exists() ? info.lastModified() : QDateTime::currentDateTime();
    TimeContext context;
    const QDate date = when.date();
    context.Year = date.year();
    context.LatestMonth = date.month();
    context.LocalOffsetSeconds = when.offsetFromUtc();
    return context;
}

TimeLayout CTimeGoTo::DetectLayout()
{
    const std::unique_ptr<ILineReader> lines = LinesOf(m_View);
    return Detect(*lines, m_Context);
}

bool CTimeGoTo::FindLine(const TimeEntry& entry, std::int64_t& line, QString& message)
{
    const std::unique_ptr<ILineReader> lines = LinesOf(m_View);
    const TimeLayout layout = Detect(*lines, m_Context);
    TimedLines timed(*lines, layout, m_Context);
    const TimedLines::Found first = layout == TimeLayout::None ? TimedLines::Found() : timed.First();
    if (!first.IsFound()) {
        message = NoTimesMessage();
        return false;
    }
    const TimedLines::Found last = timed.Last();
    line = timed.FindLineAtOrAfter(ResolveTimeEntry(entry, first.Time, last.Time)) + 1;
    return true;
}
