// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CWholeFilePane.h"

#include <QEvent>
#include <QVBoxLayout>

#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/CPaneWorkspace.h"
#include "view/CViewBookmarks.h"
#include "view/CViewLooks.h"

namespace {

// The marked line's background as the editor takes it (0x00BBGGRR): RGB(198, 222, 255) in a
// light look, RGB(36, 64, 104) in a dark one; apart from the caret line's, which covers it
// while the caret is on it.
constexpr long LightMarkBackground = 0xFFDEC6;
constexpr long DarkMarkBackground = 0x684024;

} // namespace

CWholeFilePane::CWholeFilePane(COstrelView& view, ILogWorkspace* workspace, QWidget* parent)
    : QWidget(parent), m_pUpper(&view),
      m_pWorkspace(workspace ? std::make_unique<CPaneWorkspace>(*workspace) : nullptr),
      m_pDocument(std::make_unique<COstrelDoc>()), m_pView(new COstrelView(m_pDocument.get(), m_pWorkspace.get(), this))
{
    setObjectName(QStringLiteral("wholeFilePane"));
    m_pView->setObjectName(QStringLiteral("wholeFileView"));
    m_pDocument->SetView(m_pView);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    m_pView->OnInitialUpdate();
    m_pView->SetLineNumbersShown(true);
    // Only ever the file: nothing typed here changes it.
    m_pView->SetStreamReadOnly(true);
    DefineMarker();

    connect(&view, &COstrelView::CaretMoved, this, &CWholeFilePane::FollowCaret);
    connect(&view, &COstrelView::LoadFinished, this, &CWholeFilePane::LoadIfStale);
    connect(&view, &COstrelView::ShowsFilteredTextChanged, this, &CWholeFilePane::LoadIfStale);
    connect(&view, &COstrelView::FollowChanged, this, [this](bool follow) {
        if (m_bLoaded)
            m_pDocument->SetFollow(follow, false);
    });
    if (COstrelDoc* document = view.GetDocument())
        connect(document, &COstrelDoc::PathNameChanged, this, &CWholeFilePane::LoadIfStale);
    // The marked line comes and goes with the window of a paged text, and with a new text.
    connect(m_pView, &COstrelView::CaretMoved, this, &CWholeFilePane::PlaceMark);
    connect(m_pView, &COstrelView::LoadFinished, this, &CWholeFilePane::GoToTargetLine);
    // A bookmark set or taken away on either side shows on the other at once.
    connect(&view, &COstrelView::BookmarksChanged, this, [this] { m_pView->GetBookmarks().Refresh(); });
    connect(m_pView, &COstrelView::BookmarksChanged, this, [this] {
        if (m_pUpper)
            m_pUpper->GetBookmarks().Refresh();
    });
}

CWholeFilePane::~CWholeFilePane()
{
    // The view goes before its document.
    delete m_pView;
}

std::int64_t CWholeFilePane::GetMarkedViewLine() const
{
    if (m_nMarkedViewLine < 0)
        return -1;
    const bool marked = (m_pView->GetEditor().GetMarkers(m_nMarkedViewLine) & (1 << Marker)) != 0;
    return marked ? m_nMarkedViewLine : -1;
}

void CWholeFilePane::OnTextFormatChanged()
{
    m_pView->OnTextFormatChanged();
}

void CWholeFilePane::RefreshMarks()
{
    m_pView->RefreshMarks();
}

void CWholeFilePane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_bLoaded)
        Load();
}

void CWholeFilePane::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        DefineMarker();
}

void CWholeFilePane::DefineMarker()
{
    const long back = CViewLooks::LookIsDark() ? DarkMarkBackground : LightMarkBackground;
    m_pView->GetEditor().DefineMarker(Marker, QsciScintillaBase::SC_MARK_BACKGROUND, back, back);
}

void CWholeFilePane::Load()
{
    const COstrelDoc* upper = m_pUpper ? m_pUpper->GetDocument() : nullptr;
    if (!upper)
        return;
    const QString path = FileOf(*upper);
    if (path.isEmpty())
        return;
    m_nUpperGeneration = m_pUpper->GetTextGeneration();
    m_strLoadedPath = path;
    m_LoadedStamp = CTextToggle::StampOf(path);
    m_nMarkedViewLine = -1;
    bool loaded = false;
    if (!m_bLoaded) {
        // The first time: the document takes the file, or the set, as an opening does.
        loaded = upper->IsMerged()       ? m_pDocument->OnOpenMerged(upper->GetMergedFiles())
                 : upper->IsRotatedSet() ? m_pDocument->OnOpenRotatedSet(path)
                                         : m_pDocument->OnOpenDocument(path);
    } else {
        if (!upper->IsRotatedSet() && !upper->IsMerged() && m_pDocument->GetPathName() != path)
            m_pDocument->SetPathName(path);
        loaded = m_pView->ReloadDocumentText();
    }
    m_bLoaded = loaded || m_bLoaded;
    if (!loaded)
        return;
    ShareBookmarks();
    m_pDocument->SetFollow(m_pUpper->GetFollow(), false);
    FollowCaret();
    GoToTargetLine();
}

void CWholeFilePane::ShareBookmarks()
{
    COstrelDoc* upper = m_pUpper ? m_pUpper->GetDocument() : nullptr;
    // A tab made from filter output marks its own lines, not those of the log the pane shows.
    m_pView->GetBookmarks().ShowMarksOf(upper && !upper->GetDerivedOutput() ? upper : nullptr);
}

QString CWholeFilePane::FileOf(const COstrelDoc& document)
{
    const CDerivedOutput* derived = document.GetDerivedOutput();
    return derived ? derived->GetOriginalPath() : document.GetPathName();
}

void CWholeFilePane::LoadIfStale()
{
    if (!m_pUpper || !m_bLoaded)
        return; // read when first shown
    m_nUpperGeneration = m_pUpper->GetTextGeneration();
    const COstrelDoc* upper = m_pUpper->GetDocument();
    if (!upper)
        return;
    const QString path = FileOf(*upper);
    // A followed file changes all the time, and the pane follows it: only another file counts.
    const bool changed = !m_pView->GetFollow() && !(CTextToggle::StampOf(path) == m_LoadedStamp);
    if (path != m_strLoadedPath || changed)
        Load();
}

void CWholeFilePane::FollowCaret()
{
    if (!m_pUpper)
        return;
    if (m_pUpper->GetTextGeneration() != m_nUpperGeneration)
        LoadIfStale();
    // A line without a file line (a marker, the empty line after the output) leaves the pane as it is.
    std::int64_t fileLine = m_pUpper->GetCaretFileLine();
    // A tab made from filter output: its own lines, and its output's, stand for lines of the
    // original log, which the pane shows.
    if (const COstrelDoc* upper = m_pUpper->GetDocument(); upper && upper->GetDerivedOutput()) {
        if (!m_pUpper->GetShowsFilteredText())
            fileLine = m_pUpper->GetCaretLine();
        fileLine = fileLine > 0 ? upper->GetDerivedOutput()->OriginalLineOf(fileLine) : 0;
    }
    if (fileLine <= 0 || fileLine == m_nTargetLine)
        return;
    m_nTargetLine = fileLine;
    GoToTargetLine();
}

void CWholeFilePane::GoToTargetLine()
{
    if (m_nTargetLine <= 0 || !m_bLoaded)
        return;
    if (CPagedText* paged = m_pView->GetPagedText()) {
        // The window comes from the reader thread; the mark follows when it is shown (the caret's
        // own notice waits for a paint, which may come before the window does).
        connect(paged, &CPagedText::WindowShown, this, &CWholeFilePane::PlaceMark, Qt::UniqueConnection);
        paged->ShowLine(m_nTargetLine - 1, false);
    } else if (const std::int64_t line = HeldTargetLine(); line >= 0) {
        // While loading, a line of the first part at once; any other once the load is done.
        m_pView->GoToLine(line + 1);
    }
    PlaceMark();
}

std::int64_t CWholeFilePane::HeldTargetLine()
{
    const std::uint64_t generation = m_pView->GetTextGeneration();
    if (m_Held.Target == m_nTargetLine && m_Held.Generation == generation && m_Held.Line >= 0)
        return m_Held.Line;
    const std::int64_t start = m_pView->PositionOfFileLine(m_nTargetLine);
    const CEditor& editor = m_pView->GetEditor();
    // The start of the line after the last line feed of a text still loading is not its start yet.
    const bool held = start >= 0 && (!m_pView->IsLoading() || start < editor.GetLength());
    m_Held = {m_nTargetLine, generation, held ? editor.LineFromPosition(start) : -1};
    return m_Held.Line;
}

void CWholeFilePane::PlaceMark()
{
    CEditor& editor = m_pView->GetEditor();
    std::int64_t viewLine = -1;
    if (m_nTargetLine > 0) {
        if (const CPagedText* paged = m_pView->GetPagedText()) {
            const std::int64_t first = paged->FileLineOfViewLine(0);
            viewLine = first < 0 ? -1 : m_nTargetLine - 1 - first;
        } else {
            viewLine = HeldTargetLine();
        }
        // The last editor line is the empty one after the last line feed, or a line still loading.
        if (viewLine >= editor.GetLineCount())
            viewLine = -1;
    }
    if (viewLine == m_nMarkedViewLine && (viewLine < 0 || (editor.GetMarkers(viewLine) & (1 << Marker)) != 0))
        return;
    editor.DeleteAllMarkers(Marker);
    if (viewLine >= 0)
        editor.AddMarker(viewLine, Marker);
    m_nMarkedViewLine = viewLine;
}
