// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/COstrelView.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

#include "document/CFileUsage.h"
#include "document/COstrelDoc.h"
#include "files/FileReplacer.h"
#include "filtering/FileChangeTexts.h"
#include "filtering/FileLineIndex.h"
#include "filtering/FilterRun.h"
#include "filtering/LineFeedCounter.h"
#include "filtering/OutputLine.h"
#include "filtering/TextCodec.h"
#include "view/CFileCopier.h"
#include "view/CFileFollower.h"
#include "view/CFontDlg.h"
#include "view/CLineNumberMargin.h"
#include "view/CLineStartFinder.h"
#include "view/CMatchHighlighter.h"
#include "view/CPagedText.h"
#include "view/CTextLoader.h"
#include "view/CViewAccessibility.h"
#include "view/CViewPrinting.h"
#include "view/ILoader.h"
#include "view/ILogWorkspace.h"
#include "view/ProblemReports.h"

namespace {

// Character-format bits as the settings store keeps them.
constexpr std::uint32_t FormatMaskBold = 0x00000001;
constexpr std::uint32_t FormatMaskItalic = 0x00000002;
constexpr std::uint32_t FormatMaskUnderline = 0x00000004;
constexpr std::uint32_t FormatMaskStrikeOut = 0x00000008;
constexpr std::uint32_t FormatMaskChosenFont = 0xF800000F; // size, face, colour, offset, charset, effects
constexpr int TwipsPerPoint = 20;

// The line that holds the caret, in every view: light enough for the cyan of filter output.
constexpr long CaretLineBackground = 0xC8F8FF;     // RGB(255, 248, 200) as the editor takes it
constexpr long DarkCaretLineBackground = 0x3C3424; // RGB(36, 52, 60)
constexpr long DarkText = 0xDCDCDC;
constexpr long DarkCaret = 0xF0F0F0;

// The first part of a file is read before the window shows; the rest comes on the loading thread.
constexpr std::chrono::milliseconds FirstLoadBudget{100};
constexpr std::int64_t FirstPartSize = 4 * 1024 * 1024;
constexpr std::int64_t FirstPartSlack = 1024 * 1024;

// No style bytes (they would double the memory of a big log) and positions past 2 GiB.
constexpr int DocumentOptions =
    QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE | QsciScintillaBase::SC_DOCUMENTOPTION_TEXT_LARGE;

long ToLong(std::int64_t value)
{
    return static_cast<long>(value);
}

// Text below this contrast with its background is hard to read (the large-text rule of thumb).
constexpr double MinimumContrast = 3.0;

double RelativeLuminance(std::uint32_t bgr)
{
    const auto channel = [](std::uint32_t value) {
        const double c = static_cast<double>(value & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(bgr) + 0.7152 * channel(bgr >> 8) + 0.0722 * channel(bgr >> 16);
}

double ContrastRatio(std::uint32_t a, std::uint32_t b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

COstrelView::COstrelView(COstrelDoc* document, ILogWorkspace* workspace, QWidget* parent)
    : QsciScintilla(parent), m_Editor(*this, [this](EditorTextChange change) { Q_EMIT TextAboutToChange(change); }),
      m_pDocument(document), m_pWorkspace(workspace)
{
    setObjectName(QStringLiteral("logView"));
    CViewAccessibility::Install();
    // Modification events double the cost of loading; the modified state comes from GETMODIFY.
    SendScintilla(SCI_SETMODEVENTMASK, 0UL);
    // QScintilla's own document stays alive until we hand it back in the destructor.
    m_pInitialDocument = SendScintilla(SCI_GETDOCPOINTER);
    SendScintilla(SCI_ADDREFDOCUMENT, 0UL, m_pInitialDocument);
    ReplaceDocument(0);

    for (int margin = 0; margin < 5; ++margin)
        setMarginWidth(margin, 0);
    SendScintilla(SCI_SETMARGINLEFT, 0UL, 4L);
    m_pMargin = std::make_unique<CLineNumberMargin>(*this);
    m_pMargin->SetShown(m_pWorkspace && m_pWorkspace->GetShowLineNumbers());
    m_pHighlighter = std::make_unique<CMatchHighlighter>(*this);
    SendScintilla(SCI_SETSCROLLWIDTH, 1UL);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1UL);
    setWrapMode(QsciScintilla::WrapNone);
    // The caret's line stays marked while the focus is elsewhere: Go To's target is easy to see.
    SendScintilla(SCI_SETCARETLINEVISIBLE, 1UL);
    SendScintilla(SCI_SETCARETLINEVISIBLEALWAYS, 1UL);
    m_bDarkLook = LookIsDark();
    ApplyLookColours();

    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) {
        if (m_pPaged)
            m_pPaged->OnViewScrolled();
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
    StopPaged();
    StopLoading();
    ReleaseStashedText(*this, m_WholeStash);
    ReleaseStashedText(*this, m_OutputStash);
    SendScintilla(SCI_SETDOCPOINTER, 0UL, m_pInitialDocument);
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, m_pInitialDocument);
}

void COstrelView::ReplaceDocument(std::int64_t sizeHint)
{
    Q_EMIT TextAboutToChange(TextChange::Replacing);
    const long document =
        SendScintilla(SCI_CREATEDOCUMENT, static_cast<unsigned long>(sizeHint), static_cast<long>(DocumentOptions));
    SendScintilla(SCI_SETDOCPOINTER, 0UL, document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document);
    // A new text is editable until a load or a filtering run says otherwise.
    SetTextReadOnly(false);
    ApplyDocumentSettings();
    ++m_nTextGeneration;
}

void COstrelView::ApplyDocumentSettings()
{
    const bool utf8 = LocaleTextEncoding() == TextEncoding::Utf8;
    SendScintilla(SCI_SETCODEPAGE, utf8 ? static_cast<unsigned long>(SC_CP_UTF8) : 0UL);
    SendScintilla(SCI_SETEOLMODE, static_cast<unsigned long>(SC_EOL_LF));
    ApplyReadOnly();
}

void COstrelView::OnInitialUpdate()
{
    if (m_pDocument)
        SetChildFrameTitle(m_pDocument->GetTitle(), false);
    SetWordWrap(WrapNone);
    ApplyFont();
}

void COstrelView::ApplyFont()
{
    const CTextFormat format = m_pWorkspace ? m_pWorkspace->GetTextFormat() : CTextFormat();
    const auto mask = static_cast<std::uint32_t>(format.Mask);
    const auto effects = static_cast<std::uint32_t>(format.Effects);

    // In a dark look a colour that would not stand out from the background (black, the default,
    // or any dark one) reads light instead; the chosen colour comes back in a light look.
    const auto chosen = static_cast<std::uint32_t>(format.Color & 0xFFFFFF);
    const long text = m_bDarkLook && ContrastRatio(chosen, ShownBackground(m_crBackground, true)) < MinimumContrast
                          ? DarkText
                          : static_cast<long>(chosen);
    SendScintilla(SCI_STYLESETFORE, static_cast<unsigned long>(STYLE_DEFAULT), text);
    SendScintilla(SCI_STYLESETFONT, static_cast<uintptr_t>(STYLE_DEFAULT), format.Face.toUtf8().constData());
    if (format.Height != 0) {
        SendScintilla(SCI_STYLESETSIZEFRACTIONAL, static_cast<unsigned long>(STYLE_DEFAULT),
                      static_cast<long>(format.Height) * SC_FONT_SIZE_MULTIPLIER / TwipsPerPoint);
        const std::uint32_t shown = mask & effects;
        SendScintilla(SCI_STYLESETBOLD, static_cast<unsigned long>(STYLE_DEFAULT), (shown & FormatMaskBold) ? 1L : 0L);
        SendScintilla(SCI_STYLESETITALIC, static_cast<unsigned long>(STYLE_DEFAULT),
                      (shown & FormatMaskItalic) ? 1L : 0L);
        SendScintilla(SCI_STYLESETUNDERLINE, static_cast<unsigned long>(STYLE_DEFAULT),
                      (shown & FormatMaskUnderline) ? 1L : 0L);
    } else {
        // No font was ever chosen: the editor's own size, no effects.
        SendScintilla(SCI_STYLESETBOLD, static_cast<unsigned long>(STYLE_DEFAULT), 0L);
        SendScintilla(SCI_STYLESETITALIC, static_cast<unsigned long>(STYLE_DEFAULT), 0L);
        SendScintilla(SCI_STYLESETUNDERLINE, static_cast<unsigned long>(STYLE_DEFAULT), 0L);
    }
    SendScintilla(SCI_STYLESETBACK, static_cast<unsigned long>(STYLE_DEFAULT),
                  static_cast<long>(ShownBackground(m_crBackground, m_bDarkLook)));
    SendScintilla(SCI_STYLECLEARALL);
    if (m_pMargin)
        m_pMargin->ApplyStyles();
}

std::uint32_t COstrelView::ShownBackground(std::uint32_t color, bool dark)
{
    if (!dark)
        return color;
    // Dark counterparts; filter output keeps its cyan tint.
    if (color == FilterOutputBackground)
        return DarkFilterOutputBackground;
    if (color == WholeFileBackground)
        return DarkWholeFileBackground;
    return color;
}

bool COstrelView::LookIsDark()
{
    return QApplication::palette().color(QPalette::Base).lightness() < 128;
}

void COstrelView::ApplyLookColours()
{
    SendScintilla(SCI_SETCARETLINEBACK, m_bDarkLook ? DarkCaretLineBackground : CaretLineBackground);
    SendScintilla(SCI_SETCARETFORE, m_bDarkLook ? DarkCaret : 0L);
}

void COstrelView::changeEvent(QEvent* event)
{
    QsciScintilla::changeEvent(event);
    if (event->type() != QEvent::PaletteChange && event->type() != QEvent::ApplicationPaletteChange)
        return;
    const bool dark = LookIsDark();
    if (dark == m_bDarkLook)
        return;
    m_bDarkLook = dark;
    ApplyLookColours();
    ApplyFont();
    if (m_pHighlighter)
        m_pHighlighter->Refresh();
}

void COstrelView::SetBackground(std::uint32_t color)
{
    m_crBackground = color;
    SendScintilla(SCI_STYLESETBACK, static_cast<unsigned long>(STYLE_DEFAULT),
                  static_cast<long>(ShownBackground(color, m_bDarkLook)));
    SendScintilla(SCI_STYLECLEARALL);
    if (m_pMargin)
        m_pMargin->ApplyStyles();
}

void COstrelView::SetShowsFilteredText(bool showsFilteredText)
{
    if (m_bShowsFilteredText == showsFilteredText)
        return;
    m_bShowsFilteredText = showsFilteredText;
    // Filter output follows through its run; only the whole file takes the bytes themselves.
    if (m_pFollower)
        m_pFollower->SetFollowing(m_bFollow && !showsFilteredText);
    Q_EMIT ShowsFilteredTextChanged(showsFilteredText);
}

void COstrelView::LoadFile(std::unique_ptr<QFile> file)
{
    StopLoading();
    StopPaged();
    m_pFollower.reset();
    SetFileChangedOnDisk(false);
    m_bTextIncomplete = false;
    const std::int64_t size = file->size();
    if (StartPaged(file->fileName(), size)) {
        if (m_bPendingFileEnd) {
            m_bPendingFileEnd = false;
            m_pPaged->ShowEnd();
        }
        return;
    }
    // Room for the first part only: the whole file goes into a document of its own on the
    // loading thread.
    ReplaceDocument(std::min(size, FirstPartSize) + FirstPartSlack);
    UpdateMarginNumbering();
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_bLoadShowsCursor = true;

    m_pLoader = std::make_unique<CTextLoader>(
        std::move(file), m_nPendingFileLine,
        [this](const char* bytes, std::size_t length) {
            Q_EMIT TextAboutToChange(TextChange::Appending);
            SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(length), bytes);
        },
        [this](std::int64_t room) { return CreateDocumentLoader(room); });
    connect(m_pLoader.get(), &CTextLoader::Progress, this, &COstrelView::LoadProgress);
    connect(m_pLoader.get(), &CTextLoader::Finished, this, &COstrelView::OnLoadFinished);
    m_nExpectedLines = 0;
    m_pLoader->Start(FirstLoadBudget, FirstPartSize);
    if (!IsLoading())
        return;
    // The margin as wide from the first part on as the file's last line needs.
    const std::int64_t firstLines = SendScintilla(SCI_GETLINECOUNT);
    m_nExpectedLines = CLineNumberMargin::EstimateLineCount(
        static_cast<std::uint64_t>(size), static_cast<std::uint64_t>(SendScintilla(SCI_GETLENGTH)), firstLines - 1);
    UpdateMarginNumbering();
    // The first part is swapped for the whole text at the end: edits would be lost, so the
    // commands that edit wait for the load first.
    SetTextReadOnly(true);
    SelectPendingLine(m_pLoader->GetWantedLineStart(), false);
}

ILoader* COstrelView::CreateDocumentLoader(std::int64_t room) const
{
    // Runs on the loading thread. Making a loader only builds a document of its own and touches
    // nothing of this editor, and its room is made there, away from the GUI thread.
    const long loader =
        SendScintilla(SCI_CREATELOADER, static_cast<unsigned long>(room), static_cast<long>(DocumentOptions));
    return reinterpret_cast<ILoader*>(loader);
}

void COstrelView::ShowLoadedDocument(ILoader* loader)
{
    // The first part is the start of the whole text, so positions, selection and scrolling carry over.
    const long anchor = SendScintilla(SCI_GETANCHOR);
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long firstLine = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    const long xOffset = SendScintilla(SCI_GETXOFFSET);
    Q_EMIT TextAboutToChange(TextChange::Moving);
    void* document = loader->ConvertToDocument();
    SendScintilla(SCI_SETDOCPOINTER, 0UL, document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document);
    ApplyDocumentSettings();
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(anchor), caret);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstLine));
    SendScintilla(SCI_SETXOFFSET, static_cast<unsigned long>(xOffset));
}

void COstrelView::SelectPendingLine(std::int64_t lineStart, bool loadingDone)
{
    if (lineStart < 0) {
        if (loadingDone)
            m_nPendingFileLine = 0; // the file has fewer lines now
        return;
    }
    const std::int64_t length = SendScintilla(SCI_GETLENGTH);
    const std::int64_t start = std::min(lineStart, length);
    // The file line ends at its line feed; a lone carriage return on the way is part of it.
    Q_EMIT TextAboutToChange(TextChange::Moving);
    const auto* rest = reinterpret_cast<const char*>(
        SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), ToLong(length - start)));
    const auto* feed =
        rest ? static_cast<const char*>(std::memchr(rest, '\n', static_cast<std::size_t>(length - start))) : nullptr;
    if (!loadingDone && !feed)
        return; // the line may go on past the first part
    std::int64_t end = feed ? start + (feed - rest) : length;
    if (end > start && rest[end - start - 1] == '\r')
        --end;
    const std::int64_t line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), ToLong(end));
    const std::int64_t visible = SendScintilla(SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(line));
    const std::int64_t onScreen = SendScintilla(SCI_LINESONSCREEN);
    SendScintilla(SCI_SETFIRSTVISIBLELINE,
                  static_cast<unsigned long>(std::max<std::int64_t>(0, visible - onScreen / 2)));
    m_nPendingFileLine = 0;
}

void COstrelView::OnLoadFinished(bool succeeded)
{
    if (ILoader* loader = m_pLoader->TakeDocumentLoader())
        ShowLoadedDocument(loader);
    // A line the first part already showed is not selected again: the user may have moved on.
    const std::int64_t lineStart = m_nPendingFileLine > 0 ? m_pLoader->GetWantedLineStart() : -1;
    const QString error = m_pLoader->GetErrorString();
    m_bShownLinesAreFileLines = succeeded && !m_pLoader->HasLoneCarriageReturn();
    m_ShownStamp = succeeded && m_pDocument ? StampOf(m_pDocument->GetPathName()) : FileStamp();
    EndLoading();
    m_RestartLines.clear();
    m_nExpectedLines = 0; // the editor counts the lines now
    UpdateMarginNumbering();
    SelectPendingLine(lineStart, true);
    if (m_bPendingFileEnd) {
        m_bPendingFileEnd = false;
        FollowEnd();
    }
    m_pLoader.release()->deleteLater();
    if (succeeded) {
        WatchFile(static_cast<std::uint64_t>(SendScintilla(SCI_GETLENGTH)));
        if (m_bFollow && SendScintilla(SCI_GETLENGTH) > FollowedEditorLimit())
            PageFollowedFile();
    }
    if (!succeeded) {
        // Only part of the file is shown: saving it over the file would cut the file short.
        m_bTextIncomplete = true;
        const QString path = m_pDocument ? m_pDocument->GetPathName() : QString();
        Report({QStringLiteral("Ostrel"), FailedToOpenMessage(path, error), CProblemReport::Kind::Warning});
        Q_EMIT LoadFailed();
    }
    Q_EMIT LoadFinished();
}

QString COstrelView::FailedToOpenMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("Failed to open document.\n\n%1: %2").arg(path, reason);
}

void COstrelView::EndLoading()
{
    SetTextReadOnly(false);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
    SendScintilla(SCI_SETSAVEPOINT);
    if (m_bLoadShowsCursor) {
        QApplication::restoreOverrideCursor();
        m_bLoadShowsCursor = false;
    }
}

bool COstrelView::IsLoading() const
{
    return m_pLoader != nullptr;
}

void COstrelView::FinishLoading()
{
    if (!m_pLoader)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_pLoader->WaitForEnd();
    QApplication::restoreOverrideCursor();
}

void COstrelView::StopLoading()
{
    if (!m_pLoader)
        return;
    m_pLoader.reset();
    EndLoading();
}

bool COstrelView::ReloadDocumentText()
{
    if (!m_pDocument)
        return false;
    const QString path = m_pDocument->GetPathName();
    QString error;
    auto file = OpenLogFile(path, error);
    if (!file) {
        Report({QStringLiteral("Ostrel"), FailedToOpenMessage(path, error), CProblemReport::Kind::Warning});
        m_nPendingFileLine = 0;
        return false;
    }
    // Filter output a run has finished stays aside for the toggle.
    if (m_bShowsFilteredText && !m_bReceivingOutput && !m_pPaged && !m_OutputLineNumbers.Empty()) {
        ReleaseStashedText(*this, m_OutputStash);
        KeepShownText(m_OutputStash);
        m_OutputStash.Numbers = std::move(m_OutputLineNumbers);
    }
    SetBackground(WholeFileBackground);
    m_OutputLineNumbers.Clear();
    SetShowsFilteredText(false);
    ReleaseStashedText(*this, m_WholeStash);
    LoadFile(std::move(file));
    return true;
}

COstrelView::FileStamp COstrelView::StampOf(const QString& path)
{
    struct stat status
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

bool COstrelView::ShowsPristineWholeFile() const
{
    return m_pDocument && !m_bShowsFilteredText && !m_pPaged && !IsLoading() && !IsTextModified() &&
           !m_bTextIncomplete && m_ShownStamp.IsValid();
}

void COstrelView::KeepShownText(StashedText& stash)
{
    stash.Document = SendScintilla(SCI_GETDOCPOINTER);
    SendScintilla(SCI_ADDREFDOCUMENT, 0UL, stash.Document);
    stash.Stamp = m_ShownStamp;
    stash.EditorLinesAreFileLines = m_bShownLinesAreFileLines;
    stash.Length = SendScintilla(SCI_GETLENGTH);
}

void COstrelView::ShowStashedText(StashedText& stash)
{
    Q_EMIT TextAboutToChange(TextChange::Replacing);
    SendScintilla(SCI_SETDOCPOINTER, 0UL, stash.Document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, stash.Document);
    stash.Document = 0;
    ApplyDocumentSettings();
    ++m_nTextGeneration;
    m_ShownStamp = stash.Stamp;
    m_bShownLinesAreFileLines = stash.EditorLinesAreFileLines;
    m_bTextIncomplete = false;
    SendScintilla(SCI_SETSAVEPOINT);
}

void COstrelView::ReleaseStashedText(COstrelView& view, StashedText& stash)
{
    if (stash.Document != 0)
        view.SendScintilla(SCI_RELEASEDOCUMENT, 0UL, stash.Document);
    stash = StashedText();
}

std::int64_t COstrelView::PositionOfFileLine(std::int64_t line)
{
    if (line <= 1)
        return 0;
    if (m_bShownLinesAreFileLines) {
        const std::int64_t position = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
        return position;
    }
    // Lone carriage returns break the editor's lines: count the line feeds themselves.
    CLineStartFinder finder(line);
    const std::string_view bytes = GetTextBytes();
    finder.Feed(bytes.data(), bytes.size());
    return finder.GetLineStart();
}

COstrelView::ToggleResult COstrelView::ToggleFilterOutput()
{
    if (IsLoading() || m_bReceivingOutput)
        return ToggleResult::Busy;
    if (m_bShowsFilteredText) {
        // The whole file as it was last shown, when the file is still that, or gone: reading
        // it anew would show nothing better.
        const FileStamp now = m_pDocument ? StampOf(m_pDocument->GetPathName()) : FileStamp();
        // A text too long to wrap in the editor is read anew into the paged view instead.
        if (m_WholeStash.Document == 0 || !m_pDocument || !(m_WholeStash.Stamp == now || !now.IsValid()) ||
            (m_nWordWrap != WrapNone && m_WholeStash.Length > WrappedEditorLimit)) {
            // What Ctrl+double-click does on the caret's line: the file read anew. From the
            // empty line after the output, where Follow leaves the caret: at the file's end.
            const long caret = SendScintilla(SCI_GETCURRENTPOS);
            if (!m_OutputLineNumbers.Empty() && caret >= SendScintilla(SCI_GETLENGTH) &&
                OutputLineFromPosition(caret) == static_cast<std::int64_t>(m_OutputLineNumbers.Size())) {
                m_nPendingFileLine = 0;
                m_bPendingFileEnd = true;
                if (!ReloadDocumentText())
                    m_bPendingFileEnd = false;
                return ToggleResult::Done;
            }
            GoToFileLineAt(caret);
            return ToggleResult::Done;
        }
        // The file is as it was when it was last shown whole: that text again, at once.
        bool isContext = false;
        const std::int64_t fileLine = FileLineOfViewLine(
            SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(SendScintilla(SCI_GETCURRENTPOS))),
            isContext);
        // From the empty line after the output (where Follow leaves the caret): the file's end.
        const bool toEnd = fileLine == 0 && !m_OutputLineNumbers.Empty() && IsCaretOnLastLine();
        if (!m_pPaged && !m_OutputLineNumbers.Empty()) {
            ReleaseStashedText(*this, m_OutputStash);
            KeepShownText(m_OutputStash);
            m_OutputStash.Numbers = std::move(m_OutputLineNumbers);
        }
        StopPaged();
        ShowStashedText(m_WholeStash);
        SetBackground(WholeFileBackground);
        m_OutputLineNumbers.Clear();
        SetShowsFilteredText(false);
        SetTextReadOnly(false);
        UpdateMarginNumbering();
        if (fileLine > 0)
            SelectPendingLine(PositionOfFileLine(fileLine), true);
        else if (toEnd)
            FollowEnd();
        return ToggleResult::Done;
    }
    if (m_OutputStash.Document == 0 || !m_pDocument)
        return ToggleResult::NeedsRun;
    if (!(m_OutputStash.Stamp == StampOf(m_pDocument->GetPathName()))) {
        ReleaseStashedText(*this, m_OutputStash); // the file changed: that output is out of date
        return ToggleResult::NeedsRun;
    }
    if (m_nWordWrap != WrapNone && m_OutputStash.Length > WrappedEditorLimit) {
        ReleaseStashedText(*this, m_OutputStash); // made anew, it goes to the paged view
        return ToggleResult::NeedsRun;
    }
    const std::int64_t caretFileLine =
        m_bShownLinesAreFileLines && !m_pPaged
            ? GetCaretLine()
            : (m_pPaged ? GetCaretLine()
                        : static_cast<std::int64_t>(CountLineFeeds(
                              GetTextBytes().data(), static_cast<std::size_t>(SendScintilla(SCI_GETCURRENTPOS)))) +
                              1);
    if (ShowsPristineWholeFile()) {
        ReleaseStashedText(*this, m_WholeStash);
        KeepShownText(m_WholeStash);
    }
    StopPaged();
    OutputLineNumbers numbers = std::move(m_OutputStash.Numbers);
    ShowStashedText(m_OutputStash);
    m_OutputLineNumbers = std::move(numbers);
    SetBackground(FilterOutputBackground);
    SetShowsFilteredText(true);
    UpdateMarginNumbering();
    // The kept line nearest the caret's file line: the first at or after it, or the last before.
    std::size_t low = 0;
    std::size_t high = m_OutputLineNumbers.Size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        const std::int64_t number = m_OutputLineNumbers.LineNumber(middle);
        if (number > 0 && number < caretFileLine)
            low = middle + 1;
        else
            high = middle;
    }
    if (low > 0 &&
        (low == m_OutputLineNumbers.Size() || m_OutputLineNumbers.LineNumber(low) <= 0 ||
         caretFileLine - m_OutputLineNumbers.LineNumber(low - 1) < m_OutputLineNumbers.LineNumber(low) - caretFileLine))
        --low;
    const auto outputLine = static_cast<unsigned long>(low);
    const long start = SendScintilla(SCI_POSITIONFROMLINE, outputLine);
    long end = SendScintilla(SCI_GETLINEENDPOSITION, outputLine);
    if (end > start && SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(end - 1)) == '\r')
        --end;
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), end);
    const std::int64_t visible = SendScintilla(SCI_VISIBLEFROMDOCLINE, outputLine);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max<std::int64_t>(
                                               0, visible - SendScintilla(SCI_LINESONSCREEN) / 2)));
    return ToggleResult::Done;
}

std::unique_ptr<QFile> COstrelView::OpenLogFile(const QString& path, QString& error)
{
    // A pipe would hold the window until some writer came, a device may never end: only files.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = info.isDir() ? QStringLiteral("Is a folder") : QStringLiteral("Not a regular file");
        return nullptr;
    }
    // QFile opens without locks of any kind: writers may go on writing while we read.
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

bool COstrelView::IsFileInUse(const QString& path)
{
    return CFileUsage::IsFileInUse(path);
}

std::string_view COstrelView::GetTextBytes()
{
    // Asking for the text in one piece moves the editor's gap to its end.
    Q_EMIT TextAboutToChange(TextChange::Moving);
    const std::int64_t length = SendScintilla(SCI_GETLENGTH);
    const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    if (!bytes || length <= 0)
        return {};
    return std::string_view(bytes, static_cast<std::size_t>(length));
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

void COstrelView::ApplyReadOnly()
{
    SendScintilla(SCI_SETREADONLY, m_bReadOnly || m_nSearchHolds > 0 ? 1UL : 0UL);
}

std::int64_t COstrelView::ReplaceTextRange(std::int64_t start, std::int64_t end, const QByteArray& bytes)
{
    if (m_bReadOnly)
        return -1;
    Q_EMIT TextAboutToChange(TextChange::Editing);
    SendScintilla(SCI_SETREADONLY, 0UL);
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), ToLong(end));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    ApplyReadOnly();
    return SendScintilla(SCI_GETTARGETEND);
}

bool COstrelView::WriteViewText()
{
    if (!m_pDocument)
        return false;
    FinishLoading();
    // The file keeps its owner, mode and links; a failure leaves it as it was.
    const int error = ReplaceFileContent(QFile::encodeName(m_pDocument->GetPathName()).toStdString(), GetTextBytes());
    if (error != 0) {
        Report({QStringLiteral("Save File Error"), SaveErrorText(error)});
        return false;
    }
    ShowWrittenFile();
    return true;
}

void COstrelView::ShowWrittenFile()
{
    // The saver puts a new file in place of the old one: its stamp, its watch and its line
    // numbers from now on. Watching the old file would call our own save a change on disk and
    // keep the replaced file open, holding its disk space.
    if (m_bShowsFilteredText) {
        // The output, saved under its own name, is that file's whole text.
        ReleaseStashedText(*this, m_WholeStash);
        SetBackground(WholeFileBackground);
        m_OutputLineNumbers.Clear();
        SetShowsFilteredText(false);
        m_bReceivingOutput = false;
        SetTextReadOnly(false);
    }
    // Output kept for the toggle came from the file as it was before.
    ReleaseStashedText(*this, m_OutputStash);
    const std::string_view bytes = GetTextBytes();
    CLineStartFinder lines;
    lines.Feed(bytes.data(), bytes.size());
    m_bShownLinesAreFileLines = !lines.SawLoneCarriageReturn();
    m_RestartLines.clear();
    m_bTextIncomplete = false;
    m_ShownStamp = StampOf(m_pDocument->GetPathName());
    UpdateMarginNumbering();
    WatchFile(static_cast<std::uint64_t>(bytes.size()));
}

QString COstrelView::SuggestSaveAsPath() const
{
    const QString path = m_pDocument->GetPathName();
    if (!m_bShowsFilteredText)
        return path;
    // Filter output is offered a name of its own beside the log, never the log it came from.
    const QFileInfo log(path);
    const QString suffix = log.suffix().isEmpty() ? QString() : u'.' + log.suffix();
    const QString base = log.completeBaseName().isEmpty() ? log.fileName() : log.completeBaseName();
    for (int number = 1;; ++number) {
        const QString name =
            base % QStringLiteral("-filtered") % (number == 1 ? QString() : QStringLiteral("-%1").arg(number)) % suffix;
        const QString candidate = log.dir().filePath(name);
        if (!QFileInfo::exists(candidate) || number == 100)
            return candidate;
    }
}

bool COstrelView::RunSaveAs()
{
    if (!m_pDocument)
        return false;
    const QFileInfo suggested(SuggestSaveAsPath());
    QFileDialog dialog(nullptr, QString(), suggested.absolutePath(),
                       QStringLiteral("Log Files (*.log);;All Files (*)"));
    dialog.setObjectName(QStringLiteral("saveAsDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    // The question comes from us, after the dialog, so it reads the same with every dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(suggested.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo::exists(path) && !ConfirmOverwrite(path))
        return false;
    return SaveAs(path);
}

bool COstrelView::ConfirmOverwrite(const QString& path) const
{
    CQuestion question;
    question.Caption = QStringLiteral("Confirm Save As");
    question.Text = QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName());
    question.Buttons = QMessageBox::Yes | QMessageBox::No;
    question.DefaultButton = QMessageBox::No;
    question.Name = QStringLiteral("confirmOverwriteBox");
    return AskQuestion(m_pWorkspace, question) == QMessageBox::Yes;
}

void COstrelView::Report(const CProblemReport& problem) const
{
    ReportProblem(m_pWorkspace, problem);
}

QString COstrelView::SaveErrorText(int error)
{
    // The number as it always was, and what it means.
    return QStringLiteral("Error Saving File - Error %1: %2")
        .arg(error)
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}

bool COstrelView::RefuseIncompleteSave(const QString& path)
{
    if (!m_bTextIncomplete || !m_pDocument || QFileInfo(path).absoluteFilePath() != m_pDocument->GetPathName())
        return false;
    Report({QStringLiteral("Save File Error"),
            QStringLiteral("The file could not be read to its end, so only part of it is shown. Saving "
                           "that part over \"%1\" would cut the file short; it was not saved.")
                .arg(path)});
    return true;
}

bool COstrelView::SaveAs(const QString& path)
{
    if (!m_pDocument)
        return false;
    if (m_pPaged)
        return StartPagedSaveAs(path);
    FinishLoading();
    if (RefuseIncompleteSave(path))
        return false;
    const QString oldPath = m_pDocument->GetPathName();
    m_pDocument->SetPathName(path);
    if (!WriteViewText()) {
        // The document stays with the file it had: reloads and runs must not read a file that
        // was never written.
        m_pDocument->SetPathName(oldPath);
        return false;
    }
    // A text written out in full counts as saved, and the new file holds all of it.
    m_bTextIncomplete = false;
    SetTextUnmodified();
    m_pDocument->SetTitleShowsModified(false);
    SetChildFrameTitle(m_pDocument->GetTitle(), false);
    return true;
}

bool COstrelView::StartPagedSaveAs(const QString& path)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    // What is shown: the document's file, or the file filter output too big for the editor went to.
    const QString shown = QFileInfo(m_pPaged->GetPath()).absoluteFilePath();
    if (target == shown) {
        Q_EMIT SaveAsFinished(true); // the file is already there, as it is shown
        return true;
    }
    if (m_pCopier) {
        Report({QStringLiteral("Save File Error"), QStringLiteral("A copy of this file is still being saved.")});
        return false;
    }
    m_pCopier = std::make_unique<CFileCopier>(shown, target);
    connect(m_pCopier.get(), &CFileCopier::Progress, this,
            [this](int percent) { SetStatusNote(QStringLiteral("Saving %1%").arg(percent)); });
    connect(m_pCopier.get(), &CFileCopier::Finished, this, [this](int error) {
        const QString copied = m_pCopier->GetTarget();
        m_pCopier.release()->deleteLater();
        SetStatusNote(m_pPaged ? PagedNote() : QString());
        if (error != 0) {
            Report({QStringLiteral("Save File Error"), SaveErrorText(error)});
            Q_EMIT SaveAsFinished(false);
            return;
        }
        // The copy is the document's file from now on: it is read and watched at the caret's
        // line, numbered as its own lines (filter output too), and the original is let go.
        const std::int64_t caretLine = GetCaretLine();
        m_pDocument->SetPathName(copied);
        m_pDocument->SetTitleShowsModified(false);
        SetChildFrameTitle(m_pDocument->GetTitle(), false);
        ReleaseStashedText(*this, m_OutputStash);
        m_nPendingFileLine = std::max<std::int64_t>(caretLine, 1);
        ReloadDocumentText();
        Q_EMIT SaveAsFinished(true);
    });
    m_pCopier->Start();
    return true;
}

void COstrelView::BeginFilterOutput()
{
    // The whole file stays aside while it is as it was read: the toggle comes back to it at once.
    if (ShowsPristineWholeFile()) {
        ReleaseStashedText(*this, m_WholeStash);
        KeepShownText(m_WholeStash);
    }
    StopLoading();
    StopPaged();
    ReplaceDocument(0);
    m_ShownStamp = m_pDocument ? StampOf(m_pDocument->GetPathName()) : FileStamp();
    m_bReceivingOutput = true;
    m_RestartLines.clear();
    WatchFile(static_cast<std::uint64_t>(std::max<std::int64_t>(0, m_ShownStamp.Size)));
    m_bTextIncomplete = false;
    SetBackground(FilterOutputBackground);
    m_OutputLineNumbers.Clear();
    m_nPendingFileLine = 0;
    SetShowsFilteredText(true);
    UpdateMarginNumbering();
    SendScintilla(SCI_SETSAVEPOINT);
    // Typed text would shift the output's lines against their recorded file lines.
    SetTextReadOnly(true);
}

void COstrelView::EndFilterOutput()
{
    m_bReceivingOutput = false;
    if (!IsLoading())
        SetTextReadOnly(false);
}

void COstrelView::AppendOutputLines(const OutputBatch& batch)
{
    const bool atEnd = m_bScrollsWithEnd && !m_pPaged && IsCaretOnLastLine();
    const std::int64_t threshold = PagedThreshold();
    if (m_pSpillFile) {
        const auto size = static_cast<qint64>(batch.Text.size());
        if (m_pSpillFile->write(batch.Text.data(), size) != size || !m_pSpillFile->flush())
            SetStatusNote(QStringLiteral("Cannot keep the filter output: %1").arg(m_pSpillFile->errorString()));
        else if (m_pPaged)
            m_pPaged->NoteFileGrew();
    } else if (threshold > 0 && !m_pPaged &&
               SendScintilla(SCI_GETLENGTH) + static_cast<std::int64_t>(batch.Text.size()) >= threshold) {
        SpillFilterOutput(batch);
    } else if (!batch.Text.empty()) {
        Q_EMIT TextAboutToChange(TextChange::Appending);
        SendScintilla(SCI_SETREADONLY, 0UL);
        SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
        SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(batch.Text.size()), batch.Text.data());
        SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
        ApplyReadOnly();
    }
    SendScintilla(SCI_SETSAVEPOINT);
    std::int64_t largest = 0;
    for (const OutputLine& line : batch.Lines) {
        m_OutputLineNumbers.Append(line.LineNumber, line.IsContext, line.Filter);
        largest = std::max(largest, line.LineNumber);
    }
    m_pMargin->GrowLargest(largest);
    m_pMargin->Refresh();
    m_pHighlighter->Invalidate();
    RefreshMarks();
    if (atEnd)
        FollowEnd();
}

bool COstrelView::SpillFilterOutput(const OutputBatch& batch)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("ostrel-output-XXXXXX.log")));
    const std::string_view shown = GetTextBytes();
    const bool written =
        file->open() &&
        file->write(shown.data(), static_cast<qint64>(shown.size())) == static_cast<qint64>(shown.size()) &&
        file->write(batch.Text.data(), static_cast<qint64>(batch.Text.size())) ==
            static_cast<qint64>(batch.Text.size()) &&
        file->flush();
    if (!written) {
        SetStatusNote(QStringLiteral("Cannot keep the filter output: %1").arg(file->errorString()));
        return false;
    }
    m_pSpillFile = std::move(file);
    // Shown paged from now on, still as filter output.
    if (!StartPaged(m_pSpillFile->fileName(), m_pSpillFile->size(), true))
        return false;
    SetBackground(FilterOutputBackground);
    return true;
}

std::int64_t COstrelView::GetCaretLine() const
{
    const long position = SendScintilla(SCI_GETCURRENTPOS);
    const std::int64_t line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    if (m_pPaged) {
        // The file's line; 0 while the index has not reached the window yet.
        const std::int64_t fileLine = m_pPaged->FileLineOfViewLine(line);
        return fileLine < 0 ? 0 : fileLine + 1;
    }
    if (!m_RestartLines.empty() && !m_bShowsFilteredText) {
        bool isContext = false;
        return FileLineOfViewLine(line, isContext);
    }
    return line + 1;
}

std::int64_t COstrelView::GetCaretFileLine() const
{
    if (!m_bShowsFilteredText)
        return 0;
    const long position = SendScintilla(SCI_GETCURRENTPOS);
    bool isContext = false;
    return FileLineOfViewLine(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)), isContext);
}

std::int64_t COstrelView::FileLineOfViewLine(std::int64_t viewLine, bool& isContext) const
{
    int filter = -1;
    return FileLineOfViewLine(viewLine, isContext, filter);
}

std::int64_t COstrelView::FileLineOfViewLine(std::int64_t viewLine, bool& isContext, int& filter) const
{
    isContext = false;
    filter = -1;
    std::int64_t line = viewLine; // 0-based: of the output when filtered, of the file otherwise
    if (m_pPaged) {
        line = m_pPaged->FileLineOfViewLine(viewLine);
        if (line < 0)
            return 0;
    }
    if (!m_bShowsFilteredText) {
        // After a marker of a followed file that started anew, the lines count from it.
        const auto after = std::upper_bound(m_RestartLines.begin(), m_RestartLines.end(), line);
        if (after == m_RestartLines.begin())
            return line + 1;
        const std::int64_t marker = *(after - 1);
        return line == marker ? 0 : line - marker;
    }
    if (line >= static_cast<std::int64_t>(m_OutputLineNumbers.Size()))
        return 0;
    const auto index = static_cast<std::size_t>(line);
    isContext = m_OutputLineNumbers.IsContext(index);
    filter = m_OutputLineNumbers.Filter(index);
    return m_OutputLineNumbers.LineNumber(index);
}

void COstrelView::RefreshMarks()
{
    if (m_pDocument)
        m_pHighlighter->SetFilters(
            MakeFilterRun(m_pDocument->GetFilterSettings(), std::string(), LocaleTextEncoding()));
    m_pHighlighter->Refresh();
}

void COstrelView::WatchFile(std::uint64_t offset)
{
    m_pFollower.reset();
    SetFileChangedOnDisk(false);
    if (!m_pDocument)
        return;
    m_pFollower = std::make_unique<CFileFollower>(m_pDocument->GetPathName(), offset);
    connect(m_pFollower.get(), &CFileFollower::ChangedOnDisk, this, [this] {
        // Filter output that follows its file is never out of date.
        if (!(m_bFollow && m_bShowsFilteredText))
            SetFileChangedOnDisk(true);
        // The paged view reads the file itself: it shows the file as it now is.
        if (m_pPaged && !m_bShowsFilteredText)
            m_pPaged->NoteFileChanged();
    });
    connect(m_pFollower.get(), &CFileFollower::BytesAppended, this, &COstrelView::AppendFollowedBytes);
    connect(m_pFollower.get(), &CFileFollower::FileRestarted, this, &COstrelView::OnFileRestarted);
    connect(m_pFollower.get(), &CFileFollower::FileMissingChanged, this, [this](bool missing) {
        if (m_bFollow && !m_bShowsFilteredText)
            SetStatusNote(missing ? QString::fromLatin1(FileChangeTexts::GoneNote) : RestingNote());
    });
    // Filter output follows through its run; the whole file through the follower.
    m_pFollower->SetFollowing(m_bFollow && !m_bShowsFilteredText);
}

void COstrelView::SetFollow(bool follow)
{
    if (follow == m_bFollow)
        return;
    m_bFollow = follow;
    m_bScrollsWithEnd = follow;
    Q_EMIT FollowChanged(follow);
    if (m_pFollower) {
        const bool following = follow && !m_bShowsFilteredText;
        if (following && m_bFileChangedOnDisk && !m_pPaged) {
            // What changed while nobody followed cannot be told apart: the file is read anew.
            ReloadDocumentText();
            return;
        }
        m_pFollower->SetFollowing(following);
    }
    if (follow)
        SetFileChangedOnDisk(false);
    if (follow && !m_pPaged && SendScintilla(SCI_GETLENGTH) > FollowedEditorLimit())
        PageFollowedFile();
}

QString COstrelView::RestingNote() const
{
    return m_pPaged ? PagedRestingNote() : QString();
}

QString COstrelView::PagedNote() const
{
    if (m_pPaged && !m_pPaged->IsIndexComplete())
        return QStringLiteral("Indexing %1%").arg(m_pPaged->GetIndexPercent());
    return RestingNote();
}

void COstrelView::ShowSearchProgress(int percent)
{
    SetStatusNote(percent >= 0 ? QStringLiteral("Searching %1%").arg(percent)
                               : (m_bFileChangedOnDisk ? QStringLiteral("File changed on disk") : RestingNote()));
}

void COstrelView::SetFileChangedOnDisk(bool changed)
{
    if (changed == m_bFileChangedOnDisk)
        return;
    m_bFileChangedOnDisk = changed;
    // A part of the file that cannot be read any more says more than that it changed.
    if (!m_bReadProblemNoted)
        SetStatusNote(changed ? QStringLiteral("File changed on disk") : RestingNote());
    Q_EMIT FileChangedOnDiskChanged(changed);
}

std::pair<std::int64_t, std::int64_t> COstrelView::GetLinesOnScreen() const
{
    const std::int64_t lines = SendScintilla(SCI_GETLINECOUNT);
    const std::int64_t firstVisible = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    const std::int64_t onScreen = SendScintilla(SCI_LINESONSCREEN);
    const std::int64_t first = SendScintilla(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(firstVisible));
    const std::int64_t last =
        std::min(lines - 1, static_cast<std::int64_t>(SendScintilla(
                                SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(firstVisible + onScreen))));
    return {first, last};
}

bool COstrelView::IsCaretOnLastLine() const
{
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    return SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret)) >=
           SendScintilla(SCI_GETLINECOUNT) - 1;
}

void COstrelView::FollowEnd()
{
    const long length = SendScintilla(SCI_GETLENGTH);
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(length), length);
    SendScintilla(SCI_SCROLLCARET);
}

void COstrelView::AppendFollowedBytes(const QByteArray& bytes)
{
    if (m_pPaged) {
        // While a window is on its way the caret is not where the user left it.
        // Reaching the end takes the caret on the last line of the file's last window; keeping
        // it, only the caret on the window's last line, as the index may have grown meanwhile.
        if (!m_pPaged->IsMoving())
            m_pPaged->SetKeepsEnd(m_bScrollsWithEnd && IsCaretOnLastLine() &&
                                  (m_pPaged->KeepsEnd() || m_pPaged->GetWindowEnd() >= m_pPaged->GetFileSize()));
        m_pPaged->NoteFileGrew();
        return;
    }
    if (IsLoading() || bytes.isEmpty() || m_bShowsFilteredText)
        return;
    if (SendScintilla(SCI_GETLENGTH) + bytes.size() > FollowedEditorLimit() && PageFollowedFile())
        return;
    const bool atEnd = IsCaretOnLastLine();
    AppendFromFile(bytes);
    if (m_bScrollsWithEnd && atEnd)
        FollowEnd();
    if (m_RestartLines.empty())
        m_pMargin->SetLargest(SendScintilla(SCI_GETLINECOUNT));
    else
        m_pMargin->GrowLargest(SendScintilla(SCI_GETLINECOUNT) - m_RestartLines.back());
    m_pMargin->Refresh();
    m_pHighlighter->Invalidate();
    RefreshMarks();
}

void COstrelView::AppendFromFile(const QByteArray& bytes)
{
    const bool wasModified = IsTextModified();
    Q_EMIT TextAboutToChange(TextChange::Appending);
    SendScintilla(SCI_SETREADONLY, 0UL);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
    ApplyReadOnly();
    // Text that came from the file is no edit of the user's.
    if (!wasModified)
        SendScintilla(SCI_SETSAVEPOINT);
}

bool COstrelView::PageFollowedFile()
{
    // The user's edits stay in the editor, whatever growing it costs.
    if (m_pPaged || m_bShowsFilteredText || IsLoading() || IsTextModified() || !m_pDocument || m_bPagingFollowed)
        return false;
    m_bPagingFollowed = true;
    // Not from within the follower's own signal: starting the paged view makes a new follower.
    QTimer::singleShot(0, this, [this] {
        m_bPagingFollowed = false;
        if (m_pPaged || m_bShowsFilteredText || IsLoading() || IsTextModified() || !m_pDocument || !m_bFollow)
            return;
        const bool atEnd = IsCaretOnLastLine();
        const std::int64_t caretLine = GetCaretLine();
        StopLoading();
        m_nPendingFileLine = atEnd ? 0 : caretLine;
        const QString path = m_pDocument->GetPathName();
        if (!StartPaged(path, QFileInfo(path).size(), true))
            return;
        if (atEnd) {
            m_pPaged->SetKeepsEnd(true);
            m_pPaged->ShowEnd();
        }
    });
    return true;
}

void COstrelView::OnFileRestarted(bool replaced)
{
    if (m_bShowsFilteredText)
        return; // the run that follows the file marks it in the output
    const QString note = QString::fromLatin1(FileChangeTexts::RestartNote(replaced));
    if (m_pPaged) {
        // The paged view shows the file itself: it starts again on the new one, once the
        // follower that tells of it is done telling.
        QTimer::singleShot(0, this, [this, note] {
            if (!m_pPaged || !m_pDocument)
                return;
            StopPaged();
            if (StartPaged(m_pDocument->GetPathName(), 0, true))
                SetStatusNote(note);
        });
        return;
    }
    const bool atEnd = IsCaretOnLastLine();
    // The marker on a line of its own, after whatever the old file left unfinished.
    QByteArray marker(FileChangeTexts::RestartMarker(replaced));
    const long length = SendScintilla(SCI_GETLENGTH);
    if (length > 0 && SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(length - 1)) != '\n')
        marker.prepend('\n');
    AppendFromFile(marker);
    m_RestartLines.push_back(SendScintilla(SCI_GETLINECOUNT) - 2);
    m_bShownLinesAreFileLines = false;
    UpdateMarginNumbering();
    if (m_bScrollsWithEnd && atEnd)
        FollowEnd();
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
    if (!m_pPaged && !m_bShowsFilteredText && m_RestartLines.empty()) {
        const std::int64_t expected = IsLoading() ? m_nExpectedLines : 0;
        m_pMargin->SetNumbering({}, std::max<std::int64_t>(SendScintilla(SCI_GETLINECOUNT), expected));
        return;
    }
    std::int64_t largest = m_pPaged ? m_pPaged->GetExpectedLineCount() : SendScintilla(SCI_GETLINECOUNT);
    if (m_bShowsFilteredText && !m_OutputLineNumbers.Empty())
        largest = std::max(largest, m_OutputLineNumbers.LineNumber(m_OutputLineNumbers.Size() - 1));
    m_pMargin->SetNumbering([this](std::int64_t viewLine, bool& isContext,
                                   int& filter) { return FileLineOfViewLine(viewLine, isContext, filter); },
                            largest);
}

std::int64_t COstrelView::GetGoToLineCount()
{
    // Filter output is numbered by the file's lines, as the margin shows: up to the last kept one.
    if (m_bShowsFilteredText) {
        std::int64_t last = 0;
        for (std::size_t i = m_OutputLineNumbers.Size(); i-- > 0 && last == 0;)
            last = m_OutputLineNumbers.LineNumber(i);
        if (last > 0)
            return last;
    }
    if (m_pPaged)
        return m_pPaged->GetIndex().GetLineCount();
    // The line count is that of the whole text.
    FinishLoading();
    return SendScintilla(SCI_GETLINECOUNT);
}

QString COstrelView::GoToNumberedLine(std::int64_t number)
{
    const std::int64_t count = GetGoToLineCount();
    if (!m_bShowsFilteredText || m_OutputLineNumbers.Empty()) {
        GoToLine(std::min(number, count));
        return number > count ? QStringLiteral("Line %1 is past the end: at the last line, %2").arg(number).arg(count)
                              : QString();
    }
    // The kept line of that file line, or the first kept one after it.
    std::size_t low = 0;
    std::size_t high = m_OutputLineNumbers.Size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        const std::int64_t shown = m_OutputLineNumbers.LineNumber(middle);
        if (shown > 0 && shown < number)
            low = middle + 1;
        else
            high = middle;
    }
    while (low < m_OutputLineNumbers.Size() && m_OutputLineNumbers.LineNumber(low) <= 0)
        ++low; // a marker line has no file line
    if (low >= m_OutputLineNumbers.Size()) {
        // Past the last kept line: there, and say so.
        std::size_t last = m_OutputLineNumbers.Size();
        while (last > 0 && m_OutputLineNumbers.LineNumber(last - 1) <= 0)
            --last;
        GoToLine(static_cast<std::int64_t>(last));
        return QStringLiteral("File line %1 is past the last kept line: at file line %2").arg(number).arg(count);
    }
    GoToLine(static_cast<std::int64_t>(low) + 1);
    const std::int64_t shown = m_OutputLineNumbers.LineNumber(low);
    return shown == number
               ? QString()
               : QStringLiteral("File line %1 is not kept: at the next kept line, file line %2").arg(number).arg(shown);
}

void COstrelView::GoToLine(std::int64_t line)
{
    if (m_pPaged) {
        m_pPaged->ShowLine(line - 1, false);
        return;
    }
    // The line in the middle of the view, with the caret at its start.
    const auto target = static_cast<unsigned long>(line - 1);
    SendScintilla(SCI_GOTOLINE, target);
    const std::int64_t visible = SendScintilla(SCI_VISIBLEFROMDOCLINE, target);
    const std::int64_t onScreen = SendScintilla(SCI_LINESONSCREEN);
    SendScintilla(SCI_SETFIRSTVISIBLELINE,
                  static_cast<unsigned long>(std::max<std::int64_t>(0, visible - onScreen / 2)));
}

std::int64_t COstrelView::PagedThreshold() const
{
    const std::int64_t threshold = m_pWorkspace ? m_pWorkspace->GetPagedViewThreshold() : 0;
    if (m_nWordWrap == WrapNone)
        return threshold;
    return threshold > 0 ? std::min(threshold, WrappedEditorLimit) : WrappedEditorLimit;
}

long COstrelView::FollowedEditorLimit() const
{
    return m_nWordWrap == WrapNone ? m_nFollowedEditorLimit
                                   : std::min(m_nFollowedEditorLimit, static_cast<long>(WrappedEditorLimit));
}

QString COstrelView::PagedRestingNote() const
{
    return m_bPagedForWrap ? QStringLiteral("Read-only while wrapped: the text is too long to wrap at once")
                           : QStringLiteral("Read-only: the file is larger than the editing limit");
}

bool COstrelView::StartPaged(const QString& path, std::int64_t size, bool always)
{
    const std::int64_t threshold = PagedThreshold();
    if (!always && (threshold <= 0 || size < threshold))
        return false;
    // Only for wrapping when the editor would hold it otherwise.
    const std::int64_t editingLimit = m_pWorkspace ? m_pWorkspace->GetPagedViewThreshold() : 0;
    const bool forWrap = m_nWordWrap != WrapNone && (editingLimit <= 0 || size < editingLimit);
    auto paged = std::make_unique<CPagedText>(
        *this, path, m_nWordWrap != WrapNone ? CPagedText::WrappedWindowBytes : CPagedText::WindowBytes);
    ReplaceDocument(CPagedText::WindowBytes + FirstPartSlack);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SetTextReadOnly(true);
    // The paged view's own scroll bar stands for the whole file.
    SendScintilla(SCI_SETVSCROLLBAR, 0UL);
    QString error;
    if (!paged->Start(m_nPendingFileLine, error)) {
        SendScintilla(SCI_SETVSCROLLBAR, 1UL);
        SetTextReadOnly(false);
        return false;
    }
    m_nPendingFileLine = 0;
    m_pPaged = std::move(paged);
    m_bPagedForWrap = forWrap;
    // The index's progress only while nothing more pressing is to be said.
    connect(m_pPaged.get(), &CPagedText::IndexProgress, this, [this] {
        if (!m_bReadProblemNoted && !m_bFileChangedOnDisk)
            SetStatusNote(PagedNote());
    });
    connect(m_pPaged.get(), &CPagedText::IndexFinished, this, [this] {
        if (!m_bReadProblemNoted && !m_bFileChangedOnDisk)
            SetStatusNote(PagedNote());
    });
    connect(m_pPaged.get(), &CPagedText::ReadProblem, this, [this](const QString& reason) {
        m_bReadProblemNoted = true;
        SetStatusNote(QStringLiteral("Cannot read the file: %1").arg(reason));
    });
    // Read again: what the status bar said of it is no longer true.
    connect(m_pPaged.get(), &CPagedText::ReadRecovered, this, [this] {
        m_bReadProblemNoted = false;
        SetStatusNote(m_bFileChangedOnDisk ? QStringLiteral("File changed on disk") : PagedNote());
    });
    PlacePagedScrollBar();
    UpdateMarginNumbering();
    if (!m_pSpillFile)
        WatchFile(static_cast<std::uint64_t>(size));
    connect(m_pPaged.get(), &CPagedText::IndexProgress, this, [this] {
        if (m_pPaged)
            m_pMargin->SetLargest(m_pPaged->GetExpectedLineCount());
    });
    SetStatusNote(QStringLiteral("Indexing 0%"));
    return true;
}

void COstrelView::StopPaged()
{
    m_pSpillFile.reset();
    if (!m_pPaged)
        return;
    m_pPaged.reset();
    m_bPagedForWrap = false;
    m_bReadProblemNoted = false;
    setViewportMargins(0, 0, 0, 0);
    SendScintilla(SCI_SETVSCROLLBAR, 1UL);
    SetTextReadOnly(false);
    SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
    SetStatusNote(QString());
}

void COstrelView::ShowPagedWindow(const char* bytes, std::size_t size)
{
    Q_EMIT TextAboutToChange(TextChange::Replacing);
    SendScintilla(SCI_SETREADONLY, 0UL);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(size), bytes);
    ApplyReadOnly();
    SendScintilla(SCI_SETSAVEPOINT);
    UpdateMarginNumbering();
}

void COstrelView::SetStatusNote(const QString& note)
{
    if (note == m_strStatusNote)
        return;
    m_strStatusNote = note;
    Q_EMIT StatusNoteChanged(note);
}

void COstrelView::PlacePagedScrollBar()
{
    QScrollBar* bar = m_pPaged ? m_pPaged->GetScrollBar() : nullptr;
    if (!bar)
        return;
    const int width = bar->sizeHint().width();
    setViewportMargins(0, 0, width, 0);
    const QRect area = viewport()->geometry();
    bar->setGeometry(area.right() + 1, area.top(), width, area.height());
}

void COstrelView::resizeEvent(QResizeEvent* event)
{
    QsciScintilla::resizeEvent(event);
    PlacePagedScrollBar();
}

void COstrelView::SetWordWrap(int mode)
{
    if (mode == m_nWordWrap) {
        SendScintilla(SCI_SETSEL, 0UL, 0L);
        return;
    }
    const int before = m_nWordWrap;
    m_nWordWrap = mode;
    // The editor wraps the whole text as soon as the caret goes far: a text too long for that
    // is shown through the paged view's window first, a small one while wrapped.
    if (!ShowTextForWrapMode()) {
        m_nWordWrap = before;
        return;
    }
    setWrapMode(mode == WrapNone ? QsciScintilla::WrapNone : QsciScintilla::WrapWord);
    SendScintilla(SCI_SETSEL, 0UL, 0L);
}

bool COstrelView::ShowTextForWrapMode()
{
    const bool wrapped = m_nWordWrap != WrapNone;
    if (m_pPaged) {
        if (!wrapped && m_bPagedForWrap && !m_pSpillFile && m_pDocument) {
            // The file fits the editor again: read into it, from the start as the wrap leaves it.
            m_nPendingFileLine = 0;
            ReloadDocumentText(); // a file that cannot be read stays shown as it is
            return true;
        }
        const std::int64_t window = wrapped ? CPagedText::WrappedWindowBytes : CPagedText::WindowBytes;
        if (m_pPaged->GetWindowBytes() == window)
            return true;
        // The same file through a window of the size for this mode, from its start.
        const QString path = m_pPaged->GetPath();
        std::unique_ptr<QTemporaryFile> spill = std::move(m_pSpillFile);
        StopPaged();
        m_pSpillFile = std::move(spill);
        m_nPendingFileLine = 0;
        StartPaged(path, QFileInfo(path).size(), true);
        if (m_bShowsFilteredText)
            SetBackground(FilterOutputBackground);
        return true;
    }
    if (!wrapped || SendScintilla(SCI_GETLENGTH) <= WrappedEditorLimit)
        return true;
    if (m_bShowsFilteredText && !IsTextModified()) {
        // The output so far goes to a file of its own; a run still going on appends there.
        OutputBatch none;
        return SpillFilterOutput(none);
    }
    if (!m_bShowsFilteredText && m_pDocument && !IsTextModified() && !m_bTextIncomplete && m_RestartLines.empty()) {
        // The whole file, as it is on disk: its window is read from there.
        StopLoading();
        m_nPendingFileLine = 0;
        const QString path = m_pDocument->GetPathName();
        if (StartPaged(path, QFileInfo(path).size(), true))
            return true;
    }
    // Unsaved edits live only in the editor: the text stays unwrapped rather than hold the window.
    SetStatusNote(QStringLiteral("Word Wrap is off: the text is too long to wrap while it has unsaved changes"));
    return false;
}

void COstrelView::SetChildFrameTitle(const QString& name, bool modified)
{
    if (QWidget* frame = parentWidget())
        frame->setWindowTitle(modified ? name + u'*' : name);
}

bool COstrelView::IsTextModified() const
{
    return SendScintilla(SCI_GETMODIFY) != 0;
}

void COstrelView::SetTextUnmodified()
{
    SendScintilla(SCI_SETSAVEPOINT);
}

std::int64_t COstrelView::OutputLineFromPosition(std::int64_t position)
{
    if (m_pPaged) // the output's lines are the paged file's lines
        return m_pPaged->FileLineOfViewLine(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
    const std::string_view bytes = GetTextBytes();
    const auto end =
        static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(bytes.size())));
    return static_cast<std::int64_t>(CountLineFeeds(bytes.data(), end));
}

bool COstrelView::GoToFileLineAt(std::int64_t position)
{
    if (!m_bShowsFilteredText)
        return false;
    const std::int64_t outputLine = OutputLineFromPosition(position);
    if (outputLine < 0 || outputLine >= static_cast<std::int64_t>(m_OutputLineNumbers.Size()))
        return false;
    m_nPendingFileLine = m_OutputLineNumbers.LineNumber(static_cast<std::size_t>(outputLine));
    ReloadDocumentText();
    return true;
}

void COstrelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_bShowsFilteredText && event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        const QPoint point = event->position().toPoint();
        const long position =
            SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(point.x()), static_cast<long>(point.y()));
        // A line without a recorded file line (the end marker, an empty last line) does nothing.
        GoToFileLineAt(position);
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
    if (m_pPaged || (!IsLoading() && SendScintilla(SCI_CANPASTE) == 0))
        return false;
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    return clipboard && clipboard->hasText();
}

bool COstrelView::CanSelectAll() const
{
    return SendScintilla(SCI_GETLENGTH) > 0;
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
    if (m_pPaged) {
        const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
        if (control && event->key() == Qt::Key_Home) {
            m_pPaged->ShowStart();
            return;
        }
        if (control && event->key() == Qt::Key_End) {
            m_pPaged->ShowEnd();
            return;
        }
        const bool down = event->key() == Qt::Key_Down || event->key() == Qt::Key_PageDown;
        const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
        if ((down || up) && m_pPaged->MovePastEdge(down))
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

void COstrelView::OnFileSaveAs()
{
    RunSaveAs();
}

void COstrelView::OnFormatFont()
{
    // The dialog opens on the font the view shows: the configured face may be missing and replaced
    // by another, and that one is what the user sees.
    const long size = SendScintilla(SCI_STYLEGETSIZEFRACTIONAL, static_cast<unsigned long>(STYLE_DEFAULT));
    QByteArray face(256, '\0');
    SendScintilla(SCI_STYLEGETFONT, static_cast<unsigned long>(STYLE_DEFAULT), static_cast<void*>(face.data()));
    QFont shown(QString::fromUtf8(face.constData()));
    if (size > 0)
        shown.setPointSizeF(static_cast<double>(size) / static_cast<double>(SC_FONT_SIZE_MULTIPLIER));
    shown.setFamily(QFontInfo(shown).family());
    shown.setBold(SendScintilla(SCI_STYLEGETBOLD, static_cast<unsigned long>(STYLE_DEFAULT)) != 0);
    shown.setItalic(SendScintilla(SCI_STYLEGETITALIC, static_cast<unsigned long>(STYLE_DEFAULT)) != 0);
    shown.setUnderline(SendScintilla(SCI_STYLEGETUNDERLINE, static_cast<unsigned long>(STYLE_DEFAULT)) != 0);
    const auto fore =
        static_cast<std::uint32_t>(SendScintilla(SCI_STYLEGETFORE, static_cast<unsigned long>(STYLE_DEFAULT)));

    CFontDlg dialog(nullptr);
    dialog.SetCurrentFont(shown);
    dialog.SetCurrentColor(QColor(static_cast<int>(fore & 0xFF), static_cast<int>((fore >> 8) & 0xFF),
                                  static_cast<int>((fore >> 16) & 0xFF)));
    if (dialog.exec() != QDialog::Accepted || !m_pWorkspace)
        return;
    const QFont font = dialog.GetCurrentFont();
    const QColor color = dialog.GetCurrentColor();
    std::uint32_t effects = 0;
    effects |= font.bold() ? FormatMaskBold : 0;
    effects |= font.italic() ? FormatMaskItalic : 0;
    effects |= font.underline() ? FormatMaskUnderline : 0;
    // Kept in memory; the settings store gets it at exit.
    CTextFormat format = m_pWorkspace->GetTextFormat();
    format.Face = font.family();
    format.Color = static_cast<std::uint32_t>(color.red()) | static_cast<std::uint32_t>(color.green()) << 8 |
                   static_cast<std::uint32_t>(color.blue()) << 16;
    format.Height = static_cast<std::int32_t>(font.pointSizeF() * TwipsPerPoint + 0.5);
    format.Offset = 0;
    format.Mask = static_cast<std::int32_t>(FormatMaskChosenFont);
    format.Effects = static_cast<std::int32_t>(effects);
    // Every view takes it at once (the workspace tells them), this one included.
    m_pWorkspace->SetTextFormat(format);
    ApplyFont();
}

void COstrelView::OnTextFormatChanged()
{
    ApplyFont();
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

void COstrelView::SetPrintingColours(bool printing)
{
    // The light look's colours, whatever the application's look; the look's own come back after.
    const bool dark = !printing && LookIsDark();
    if (dark == m_bDarkLook)
        return;
    m_bDarkLook = dark;
    ApplyLookColours();
    ApplyFont();
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
