// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/COstrelView.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QUrl>

#include "document/CFileUsage.h"
#include "document/COstrelDoc.h"
#include "filtering/FileLineIndex.h"
#include "filtering/FilterRun.h"
#include "filtering/LineFeedCounter.h"
#include "filtering/TextCodec.h"
#include "logtext/PagedFileText.h"
#include "view/CLineNumberMargin.h"
#include "view/CMatchHighlighter.h"
#include "view/CPagedText.h"
#include "view/CRuleHighlighter.h"
#include "view/CViewAccessibility.h"
#include "view/CViewBookmarks.h"
#include "view/CViewPrinting.h"
#include "view/ILogWorkspace.h"
#include "view/ProblemReports.h"

COstrelView::COstrelView(COstrelDoc* document, ILogWorkspace* workspace, QWidget* parent)
    : QsciScintilla(parent), m_Editor(*this, [this](EditorTextChange change) { Q_EMIT TextAboutToChange(change); }),
      m_EditorLines(m_Editor), m_pDocument(document), m_pWorkspace(workspace), m_Looks(m_Editor, workspace,
                                                                                       [this] {
                                                                                           if (m_pMargin)
                                                                                               m_pMargin->ApplyStyles();
                                                                                       }),
      m_Loading(*this), m_Paging(*this), m_Output(*this), m_Toggle(*this), m_Following(*this), m_Saving(*this)
{
    setObjectName(QStringLiteral("logView"));
    CViewAccessibility::Install();
    // Modification events double the cost of loading; the modified state comes from GETMODIFY.
    m_Editor.SetModificationEvents(0);
    // QScintilla's own document stays alive until we hand it back in the destructor.
    m_pInitialDocument = m_Editor.GetDocument();
    m_Editor.AddDocumentReference(m_pInitialDocument);
    ReplaceDocument(0);

    for (int margin = 0; margin < 5; ++margin)
        m_Editor.SetMarginWidth(margin, 0);
    m_Editor.SetMarginLeft(4);
    m_pMargin = std::make_unique<CLineNumberMargin>(*this);
    m_pMargin->SetShown(m_pWorkspace && m_pWorkspace->GetShowLineNumbers());
    m_pHighlighter = std::make_unique<CMatchHighlighter>(*this);
    m_pRuleHighlighter = std::make_unique<CRuleHighlighter>(*this);
    m_pBookmarks = std::make_unique<CViewBookmarks>(*this);
    m_Editor.SetScrollWidth(1, true);
    setWrapMode(QsciScintilla::WrapNone);
    // The caret's line stays marked while the focus is elsewhere: Go To's target is easy to see.
    m_Editor.SetCaretLineVisible(true, true);
    m_Looks.ApplyAll();

    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) {
        if (CPagedText* paged = GetPagedText())
            paged->OnViewScrolled();
        m_pMargin->Refresh();
        RefreshMarks();
        Q_EMIT CaretMoved();
    });
    connect(this, &QsciScintillaBase::SCN_URIDROPPED, this, [this](const QUrl& url) {
        if (url.isLocalFile())
            Q_EMIT FileDropped(url.toLocalFile());
    });
}

COstrelView::~COstrelView()
{
    Q_EMIT TextAboutToChange(TextChange::Replacing);
    m_Paging.Stop();
    m_Loading.Stop();
    m_Toggle.ReleaseWholeFile();
    m_Toggle.ReleaseOutput();
    m_Editor.SetDocument(m_pInitialDocument, true);
}

void COstrelView::ReplaceDocument(std::int64_t sizeHint)
{
    m_Editor.SetDocument(m_Editor.CreateDocument(sizeHint, DocumentOptions), true);
    // A new text is editable until a load or a filtering run says otherwise.
    SetTextReadOnly(false);
    ApplyDocumentSettings();
    ++m_nTextGeneration;
}

void COstrelView::ApplyDocumentSettings()
{
    const bool utf8 = LocaleTextEncoding() == TextEncoding::Utf8;
    m_Editor.SetCodePage(utf8 ? SC_CP_UTF8 : 0);
    m_Editor.SetLineEnds(SC_EOL_LF);
    ApplyReadOnly();
}

void COstrelView::OnInitialUpdate()
{
    if (m_pDocument)
        SetChildFrameTitle(m_pDocument->GetTitle(), false);
    SetWordWrap(WrapNone);
    m_Looks.ApplyFont();
}

void COstrelView::changeEvent(QEvent* event)
{
    QsciScintilla::changeEvent(event);
    if (event->type() != QEvent::PaletteChange && event->type() != QEvent::ApplicationPaletteChange)
        return;
    if (m_Looks.FollowApplicationLook() && m_pHighlighter)
        m_pHighlighter->Refresh();
}

void COstrelView::SetShowsFilteredText(bool showsFilteredText)
{
    if (m_bShowsFilteredText == showsFilteredText)
        return;
    m_bShowsFilteredText = showsFilteredText;
    // Filter output follows through its run; only the whole file takes the bytes themselves.
    m_Following.SetWholeFileShown(!showsFilteredText);
    Q_EMIT ShowsFilteredTextChanged(showsFilteredText);
}

void COstrelView::ShowAsWholeFile()
{
    m_Looks.SetBackground(WholeFileBackground);
    m_Output.ClearNumbers();
    SetShowsFilteredText(false);
}

void COstrelView::LoadFile(std::unique_ptr<QFile> file)
{
    m_Loading.Stop();
    m_Paging.Stop();
    m_Following.StopWatching();
    m_Following.SetChangedOnDisk(false);
    m_bTextIncomplete = false;
    m_Encoding.Resolve(static_cast<int>(file->handle()));
    if (m_Paging.Start(file->fileName(), file->size())) {
        if (m_bPendingFileEnd) {
            m_bPendingFileEnd = false;
            GetPagedText()->ShowEnd();
        }
        return;
    }
    m_Loading.Load(std::move(file));
}

bool COstrelView::ReloadDocumentText()
{
    if (!m_pDocument)
        return false;
    // Filter output a run has finished stays aside for the toggle.
    const bool keepOutput =
        m_bShowsFilteredText && !m_Output.IsReceiving() && !IsPaged() && !m_Output.Numbers().Empty();
    if (m_pDocument->IsRotatedSet() || m_pDocument->IsMerged()) {
        if (keepOutput)
            m_Toggle.KeepOutput();
        // The set's files as they are now: the live file may be gone, the older ones still there.
        ShowAsWholeFile();
        m_Toggle.ReleaseWholeFile();
        return m_pDocument->IsMerged() ? LoadMerged(m_pDocument->GetMergedFiles())
                                       : LoadRotatedSet(m_pDocument->GetRotatedSetFiles());
    }
    const QString path = m_pDocument->GetPathName();
    QString error;
    auto file = OpenLogFile(path, error);
    if (!file) {
        Report({QStringLiteral("Ostrel"), FailedToOpenMessage(path, error), CProblemReport::Kind::Warning});
        m_nPendingFileLine = 0;
        return false;
    }
    if (keepOutput)
        m_Toggle.KeepOutput();
    ShowAsWholeFile();
    m_Toggle.ReleaseWholeFile();
    LoadFile(std::move(file));
    return true;
}

bool COstrelView::LoadRotatedSet(const QStringList& paths)
{
    return m_Paging.ShowSet(paths);
}

COstrelView::ToggleResult COstrelView::ToggleFilterOutput()
{
    switch (m_Toggle.Toggle()) {
    case CTextToggle::Result::Done:
        return ToggleResult::Done;
    case CTextToggle::Result::NeedsRun:
        return ToggleResult::NeedsRun;
    case CTextToggle::Result::Busy:
        break;
    }
    return ToggleResult::Busy;
}

std::unique_ptr<QFile> COstrelView::OpenLogFile(const QString& path, QString& error)
{
    return CViewLoading::OpenLogFile(path, error);
}

bool COstrelView::IsFileInUse(const QString& path)
{
    return CFileUsage::IsFileInUse(path);
}

std::string_view COstrelView::GetTextBytes()
{
    return m_Editor.GetText();
}

void COstrelView::HoldTextForSearch()
{
    ++m_nSearchHolds;
    ApplyReadOnly();
}

void COstrelView::ReleaseTextForSearch()
{
    if (m_nSearchHolds > 0)
        --m_nSearchHolds;
    ApplyReadOnly();
}

void COstrelView::SetTextReadOnly(bool readOnly)
{
    const bool changed = m_bReadOnly != readOnly;
    m_bReadOnly = readOnly;
    ApplyReadOnly();
    if (changed)
        Q_EMIT ReadOnlyChanged(readOnly);
}

void COstrelView::SetStreamReadOnly(bool readOnly)
{
    m_bStreamReadOnly = readOnly;
    ApplyReadOnly();
}

void COstrelView::ApplyReadOnly()
{
    m_Editor.SetReadOnly(m_bReadOnly || m_bStreamReadOnly || m_nSearchHolds > 0);
}

std::int64_t COstrelView::ReplaceTextRange(std::int64_t start, std::int64_t end, const QByteArray& bytes)
{
    if (m_bReadOnly || m_bStreamReadOnly)
        return -1;
    const std::int64_t replacedEnd = m_Editor.ReplaceRange(start, end, bytes, true);
    ApplyReadOnly();
    return replacedEnd;
}

void COstrelView::Report(const CProblemReport& problem) const
{
    ReportProblem(m_pWorkspace, problem);
}

const ShownText& COstrelView::Shown() const
{
    if (m_bShowsFilteredText)
        return m_Output.Text();
    if (const ShownText* paged = m_Paging.GetText())
        return *paged;
    return m_Following.Text();
}

std::int64_t COstrelView::ShownLineOfViewLine(std::int64_t viewLine) const
{
    const CPagedText* paged = GetPagedText();
    return paged ? paged->FileLineOfViewLine(viewLine) : viewLine;
}

std::int64_t COstrelView::GetCaretLine() const
{
    // 0 while the paged view's window is not placed yet.
    const std::int64_t line = ShownLineOfViewLine(m_Editor.LineFromPosition(m_Editor.GetCurrentPosition()));
    return line < 0 ? 0 : Shown().PlaceNumberOf(line);
}

bool COstrelView::GetCaretFilePlace(QString& name, std::int64_t& line) const
{
    const std::int64_t shownLine = ShownLineOfViewLine(m_Editor.LineFromPosition(m_Editor.GetCurrentPosition()));
    if (shownLine < 0)
        return false;
    const std::string file = Shown().FileNameOf(shownLine);
    if (file.empty())
        return false;
    name = QFile::decodeName(file.c_str());
    line = Shown().LineInFileOf(shownLine);
    return true;
}

ShownLineOrigin COstrelView::OriginOfViewLine(std::int64_t viewLine) const
{
    const std::int64_t line = ShownLineOfViewLine(viewLine);
    return line < 0 ? ShownLineOrigin() : Shown().OriginOf(line);
}

std::int64_t COstrelView::GetCaretFileLine() const
{
    if (!m_bShowsFilteredText)
        return 0;
    bool isContext = false;
    return FileLineOfViewLine(m_Editor.LineFromPosition(m_Editor.GetCurrentPosition()), isContext);
}

std::int64_t COstrelView::FileLineOfViewLine(std::int64_t viewLine, bool& isContext) const
{
    int filter = -1;
    return FileLineOfViewLine(viewLine, isContext, filter);
}

std::int64_t COstrelView::FileLineOfViewLine(std::int64_t viewLine, bool& isContext, int& filter) const
{
    const ShownLineOrigin origin = OriginOfViewLine(viewLine);
    isContext = origin.IsContext;
    filter = origin.Filter;
    return origin.FileLine;
}

void COstrelView::RefreshMarks()
{
    if (m_pDocument)
        m_pHighlighter->SetFilters(
            MakeFilterRun(m_pDocument->GetFilterSettings(), std::string(), LocaleTextEncoding()));
    m_pHighlighter->Refresh();
    if (m_pWorkspace)
        m_pRuleHighlighter->SetRules(m_pWorkspace->GetHighlightRules());
    m_pRuleHighlighter->Refresh();
    m_pBookmarks->Refresh();
}

void COstrelView::NoteLinesAppended()
{
    m_pMargin->Refresh();
    m_pHighlighter->Invalidate();
    m_pRuleHighlighter->Invalidate();
    RefreshMarks();
}

void COstrelView::ShowSearchProgress(int percent)
{
    SetStatusNote(percent >= 0 ? QStringLiteral("Searching %1%").arg(percent)
                               : (m_Following.IsChangedOnDisk() ? QStringLiteral("File changed on disk")
                                                                : m_Paging.RestingNote()));
}

std::pair<std::int64_t, std::int64_t> COstrelView::GetLinesOnScreen() const
{
    const std::int64_t lines = m_Editor.GetLineCount();
    const std::int64_t firstVisible = m_Editor.GetFirstVisibleLine();
    const std::int64_t onScreen = m_Editor.GetLinesOnScreen();
    const std::int64_t first = m_Editor.DocumentLineFromVisible(firstVisible);
    const std::int64_t last = std::min(lines - 1, m_Editor.DocumentLineFromVisible(firstVisible + onScreen));
    return {first, last};
}

bool COstrelView::IsCaretOnLastLine() const
{
    return m_Editor.LineFromPosition(m_Editor.GetCurrentPosition()) >= m_Editor.GetLineCount() - 1;
}

void COstrelView::FollowEnd()
{
    m_Editor.GoToEnd();
}

void COstrelView::SelectLineAt(std::int64_t lineStart, std::int64_t lineEnd)
{
    const std::int64_t line = m_Editor.LineFromPosition(lineStart);
    m_Editor.SetSelection(lineStart, lineEnd);
    const std::int64_t visible = m_Editor.VisibleFromDocumentLine(line);
    m_Editor.SetFirstVisibleLine(std::max<std::int64_t>(0, visible - m_Editor.GetLinesOnScreen() / 2));
}

void COstrelView::SetLineNumbersShown(bool shown)
{
    m_pMargin->SetShown(shown);
}

bool COstrelView::GetLineNumbersShown() const
{
    return m_pMargin->IsShown();
}

void COstrelView::UpdateMarginNumbering()
{
    if (!m_pMargin)
        return;
    m_pHighlighter->Invalidate();
    m_pRuleHighlighter->Invalidate();
    const CPagedText* paged = GetPagedText();
    const ShownText& shown = Shown();
    if (!paged && shown.IsNumberedByPlace()) {
        // The editor counts the lines itself.
        m_pMargin->SetNumbering({}, std::max(m_Editor.GetLineCount(), m_Loading.GetExpectedLines()));
        return;
    }
    const std::int64_t shownLines = paged ? paged->GetExpectedLineCount() : m_Editor.GetLineCount();
    const std::int64_t largest = std::max(shownLines, shown.GetLastNumber());
    m_pMargin->SetNumbering([this](std::int64_t viewLine) { return OriginOfViewLine(viewLine); }, largest);
}

std::int64_t COstrelView::GetGoToLineCount()
{
    // The count is that of the whole text; filter output is numbered by the file's lines, as the
    // margin shows: up to the last kept one.
    if (!IsPaged())
        FinishLoading();
    return Shown().GetLastNumber();
}

QString COstrelView::GoToNumberedLine(std::int64_t number)
{
    if (!IsPaged())
        FinishLoading();
    const NumberedLineFound found = Shown().FindNumber(number);
    GoToLine(found.Line + 1);
    switch (found.How) {
    case NumberedLineFound::Reach::Exact:
        return QString();
    case NumberedLineFound::Reach::Next:
        return QStringLiteral("File line %1 is not kept: at the next kept line, file line %2")
            .arg(number)
            .arg(found.Number);
    case NumberedLineFound::Reach::PastEnd:
        break;
    }
    return found.ByFileLine
               ? QStringLiteral("File line %1 is past the last kept line: at file line %2")
                     .arg(number)
                     .arg(found.Number)
               : QStringLiteral("Line %1 is past the end: at the last line, %2").arg(number).arg(found.Number);
}

void COstrelView::GoToLine(std::int64_t line)
{
    if (CPagedText* paged = GetPagedText()) {
        paged->ShowLine(line - 1, false);
        return;
    }
    // The line in the middle of the view, with the caret at its start.
    m_Editor.GoToLine(line - 1);
    const std::int64_t visible = m_Editor.VisibleFromDocumentLine(line - 1);
    m_Editor.SetFirstVisibleLine(std::max<std::int64_t>(0, visible - m_Editor.GetLinesOnScreen() / 2));
}

void COstrelView::ShowPagedWindow(const char* bytes, std::size_t size)
{
    m_Editor.SetReadOnly(false);
    m_Editor.ClearAll();
    m_Editor.AppendText(bytes, size);
    ApplyReadOnly();
    m_Editor.SetSavePoint();
    UpdateMarginNumbering();
}

void COstrelView::SetStatusNote(const QString& note)
{
    if (note == m_strStatusNote)
        return;
    m_strStatusNote = note;
    Q_EMIT StatusNoteChanged(note);
}

void COstrelView::SetScrollBarRoom(int width)
{
    m_pOverview->SetBarRoom(width);
}

void COstrelView::resizeEvent(QResizeEvent* event)
{
    QsciScintilla::resizeEvent(event);
    m_Paging.PlaceScrollBar();
}

void COstrelView::SetWordWrap(int mode)
{
    if (mode != GetWordWrap()) {
        if (!m_Paging.SetWordWrap(mode))
            return;
        setWrapMode(mode == WrapNone ? QsciScintilla::WrapNone : QsciScintilla::WrapWord);
    }
    m_Editor.SetSelection(0, 0);
}

void COstrelView::SetChildFrameTitle(const QString& name, bool modified)
{
    if (QWidget* frame = parentWidget())
        frame->setWindowTitle(modified ? name + u'*' : name);
}

bool COstrelView::IsTextModified() const
{
    return m_Editor.IsModified();
}

void COstrelView::SetTextUnmodified()
{
    m_Editor.SetSavePoint();
}

std::int64_t COstrelView::OutputLineFromPosition(std::int64_t position)
{
    if (const CPagedText* paged = GetPagedText()) // the output's lines are the paged file's lines
        return paged->FileLineOfViewLine(m_Editor.LineFromPosition(position));
    const std::string_view bytes = GetTextBytes();
    const auto end =
        static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(bytes.size())));
    return static_cast<std::int64_t>(CountLineFeeds(bytes.data(), end));
}

bool COstrelView::GoToFileLineAt(std::int64_t position)
{
    const ShownText& shown = Shown();
    if (!shown.IsFilterOutput())
        return false;
    const std::int64_t outputLine = OutputLineFromPosition(position);
    const std::int64_t fileLine = outputLine < 0 ? 0 : shown.OriginOf(outputLine).FileLine;
    if (fileLine <= 0)
        return false; // a marker, or the empty line after the output
    m_nPendingFileLine = fileLine;
    ReloadDocumentText();
    return true;
}

void COstrelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (Shown().IsFilterOutput() && event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        const QPoint point = event->position().toPoint();
        // A line without a recorded file line (the end marker, an empty last line) does nothing.
        GoToFileLineAt(m_Editor.PositionFromPoint(point.x(), point.y()));
        event->accept();
        return;
    }
    QsciScintilla::mouseDoubleClickEvent(event);
}

void COstrelView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("viewContextMenu"));
    QAction* cutAction = menu.addAction(QStringLiteral("Cu&t\tCtrl+X"), this, &COstrelView::cut);
    QAction* copyAction = menu.addAction(QStringLiteral("&Copy\tCtrl+C"), this, &QsciScintilla::copy);
    QAction* pasteAction = menu.addAction(QStringLiteral("&Paste\tCtrl+V"), this, &COstrelView::paste);
    QAction* selectAllAction = menu.addAction(QStringLiteral("Select A&ll\tCtrl+A"), this, [this] { selectAll(true); });
    const bool hasSelection = hasSelectedText();
    // While loading the view refuses edits only until the load is done.
    cutAction->setEnabled(hasSelection && (IsLoading() || !isReadOnly()));
    copyAction->setEnabled(hasSelection);
    pasteAction->setEnabled(CanPaste());
    selectAllAction->setEnabled(CanSelectAll());
    menu.exec(event->globalPos());
}

bool COstrelView::CanPaste() const
{
    // As the editor allows it: text that takes an edit (a load only delays it) and text to paste.
    if (IsPaged() || (!IsLoading() && !m_Editor.CanPaste()))
        return false;
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    return clipboard && clipboard->hasText();
}

bool COstrelView::CanSelectAll() const
{
    return m_Editor.GetLength() > 0;
}

bool COstrelView::KeyNeedsWholeText(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_Escape:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
        return false;
    case Qt::Key_End:
        // Ctrl+End asks for the end of the file, not of its first part.
        return (event->modifiers() & Qt::ControlModifier) != 0;
    default:
        return !event->matches(QKeySequence::Copy);
    }
}

void COstrelView::keyPressEvent(QKeyEvent* event)
{
    if (CPagedText* paged = GetPagedText()) {
        const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
        if (control && event->key() == Qt::Key_Home) {
            paged->ShowStart();
            return;
        }
        if (control && event->key() == Qt::Key_End) {
            paged->ShowEnd();
            return;
        }
        const bool down = event->key() == Qt::Key_Down || event->key() == Qt::Key_PageDown;
        const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
        if ((down || up) && paged->MovePastEdge(down))
            return;
    }
    if (IsLoading() && KeyNeedsWholeText(event))
        FinishLoading();
    // Alt and Ctrl combinations are commands, never text: one the editor has no command for must
    // not type its letter into the log. AltGr characters come without either and still type.
    if ((event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) && !event->text().isEmpty()) {
        QKeyEvent command(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                          event->nativeVirtualKey(), event->nativeModifiers(), QString(), event->isAutoRepeat(),
                          event->count());
        command.setAccepted(false);
        QsciScintilla::keyPressEvent(&command);
        event->setAccepted(command.isAccepted());
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void COstrelView::inputMethodEvent(QInputMethodEvent* event)
{
    FinishLoading();
    QsciScintilla::inputMethodEvent(event);
}

void COstrelView::cut()
{
    FinishLoading();
    QsciScintilla::cut();
}

void COstrelView::paste()
{
    FinishLoading();
    QsciScintilla::paste();
}

void COstrelView::removeSelectedText()
{
    FinishLoading();
    QsciScintilla::removeSelectedText();
}

void COstrelView::OnFilePrint()
{
    CViewPrinting(*this).Print();
}

void COstrelView::OnFilePrintPreview()
{
    CViewPrinting(*this).PrintPreview();
}

void COstrelView::CopyPrinterChoice(const QPrinter& from, QPrinter& to)
{
    CViewPrinting::CopyPrinterChoice(from, to);
}

void COstrelView::OnDeleteAllFilters()
{
    if (!m_bShowsFilteredText || !m_pDocument)
        return;
    const QString path = m_pDocument->GetPathName();
    if (IsFileInUse(path)) {
        CQuestion question;
        question.Caption = QStringLiteral("File In Use");
        question.Text = QStringLiteral("File \"%1\" is currently in use by another process.  Deleting All Filters will "
                                       "Result in the document being re-loaded which may result in a newer version of "
                                       "the document.  Proceed?")
                            .arg(path);
        question.Buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        question.Name = QStringLiteral("fileInUseBox");
        question.Severity = CProblemReport::Kind::Information;
        if (AskQuestion(m_pWorkspace, question) != QMessageBox::Yes)
            return;
    }
    ReloadDocumentText();
}
