// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <QByteArray>

#include "filtering/OutputLineNumbers.h"
#include "view/CEditor.h"
#include "view/QsciHeaders.h"

class COstrelDoc;
class CFileCopier;
class CFileFollower;
class CLineNumberMargin;
class CMatchHighlighter;
class CPagedText;
class CTextLoader;
class ILoader;
class ILogWorkspace;
struct CProblemReport;
class QFile;
class QPrinter;
class QTemporaryFile;
class QsciPrinter;
struct OutputBatch;

// The view of one log document: the file's bytes, unchanged, or the output of a filtering run.
// The first part of a file shows at once; the whole text comes in on a loading thread and takes
// its place. Commands that need the whole text, or edit it, wait for the load first.
class COstrelView : public QsciScintilla
{
    Q_OBJECT

public:
    enum WordWrapMode
    {
        WrapNone = 0,
        WrapToWindow = 1,
    };

    // What is about to happen to the text, told before it happens (see CEditor).
    using TextChange = EditorTextChange;

    // RGB(238, 255, 255) as the editor takes it (0x00BBGGRR): the background of filter output.
    static constexpr std::uint32_t FilterOutputBackground = 0xFFFFEE;
    static constexpr std::uint32_t WholeFileBackground = 0xFFFFFF;
    // Their counterparts in a dark look: RGB(30, 30, 30) and RGB(22, 52, 56).
    static constexpr std::uint32_t DarkWholeFileBackground = 0x1E1E1E;
    static constexpr std::uint32_t DarkFilterOutputBackground = 0x383416;
    // The background shown for one of the two above, in a light or a dark look.
    static std::uint32_t ShownBackground(std::uint32_t color, bool dark);
    // Whether the application's look is dark (its text fields' background is).
    static bool LookIsDark();
    // A followed whole file beyond this many bytes is shown paged (see PageFollowedFile).
    static constexpr long DefaultFollowedEditorLimit = 64L * 1024 * 1024;
    // A text beyond this many bytes is shown wrapped through the paged view's window: the editor
    // wraps all of its text at once whenever the caret goes far (Ctrl+End, Go To, a find).
    static constexpr std::int64_t WrappedEditorLimit = 256 * 1024;

    // The workspace gives the font, the printer and the owner of the find dialogs; a view
    // without one (a test's) uses the defaults.
    explicit COstrelView(COstrelDoc* document, ILogWorkspace* workspace = nullptr, QWidget* parent = nullptr);
    ~COstrelView() override;

    COstrelDoc* GetDocument() const { return m_pDocument; }
    // The editor's messages, all of them; its text changes tell TextAboutToChange first.
    CEditor& GetEditor() { return m_Editor; }
    const CEditor& GetEditor() const { return m_Editor; }
    ILogWorkspace* GetWorkspace() const { return m_pWorkspace; }

    // Title, margins, no wrapping and the font of the settings.
    void OnInitialUpdate();

    // Replaces the text by the file's content; the first part at once, the rest from the loading thread.
    void LoadFile(std::unique_ptr<QFile> file);
    bool IsLoading() const;
    // Waits for the whole text, showing a wait cursor; for commands that need all of it.
    void FinishLoading();
    // Stops loading; the first part stays.
    void StopLoading();
    // Changes whenever the view is given a new text (a file, filter output); the whole text
    // taking the place of the first part is the same text.
    std::uint64_t GetTextGeneration() const { return m_nTextGeneration; }
    // Re-reads the document's file: whole-file state, modified flag clear, pending line selected.
    // False, with a message, when the file cannot be opened; the view then keeps its text.
    bool ReloadDocumentText();
    // The view shows a window of a file too big for the editor: read-only, paged through.
    bool IsPaged() const { return m_pPaged != nullptr; }
    CPagedText* GetPagedText() const { return m_pPaged.get(); }
    // The paged view puts its window of the file into the editor.
    void ShowPagedWindow(const char* bytes, std::size_t size);
    // What the status bar should say of this view beyond its line ("Indexing 40%"), or nothing.
    QString GetStatusNote() const { return m_strStatusNote; }
    // The first and last text lines on screen, folded or wrapped lines counted as the editor shows them.
    std::pair<std::int64_t, std::int64_t> GetLinesOnScreen() const;
    // A search of the file under way says how far it has come (percent); -1 when it has ended.
    void ShowSearchProgress(int percent);
    // The number of lines Go To offers, and Go To itself (1-based), in either kind of view: the
    // line comes into the middle of the editable view and a third down the paged one.
    // In filter output Go To takes the file's line numbers, as the margin shows them: the count is
    // the last kept file line.
    std::int64_t GetGoToLineCount();
    void GoToLine(std::int64_t line);
    // Go To with the number typed: a line of the text, or in filter output a file line (the kept
    // line itself, else the next kept one). A number past the end goes to the last line. Returns
    // what the status bar should say when the line reached is not the one asked for.
    QString GoToNumberedLine(std::int64_t number);

    // Opens a regular file for loading; null with the reason for a folder, a pipe, a device or a
    // file that cannot be read.
    static std::unique_ptr<QFile> OpenLogFile(const QString& path, QString& error);
    // True when another process holds the file open for writing; never opens the file.
    static bool IsFileInUse(const QString& path);

    // The text's bytes, unchanged; valid until the next change of the text.
    std::string_view GetTextBytes();
    // Read-only to the user while a search holds the text; holds are counted. The view's own
    // read-only state (loading, a filtering run) comes back as it is when the last hold ends.
    void HoldTextForSearch();
    void ReleaseTextForSearch();
    // Read-only for the view's own reasons: loading, or the output of a running filter.
    bool IsTextReadOnly() const { return m_bReadOnly; }
    void SetTextReadOnly(bool readOnly);
    // Replaces [start, end) by the bytes, with undo, even while a search holds the text; nothing
    // when the view is read-only for its own reasons. The end of the replacement, or -1.
    std::int64_t ReplaceTextRange(std::int64_t start, std::int64_t end, const QByteArray& bytes);
    // Writes the whole text to the document's path through a save file; reports a failure.
    // Once written, the view shows that file: it is watched, and filter output becomes its
    // whole text, numbered as its own lines.
    bool WriteViewText();
    // Save As: asks for the new name and, for an existing file, whether to replace it. Filter
    // output is offered a new name beside its log ("app-filtered.log"), never the log itself.
    bool RunSaveAs();
    // Save As with the path chosen: the document becomes the new file once it is written. A
    // paged view copies its file on a thread: true once the copy is under way, and SaveAsFinished
    // tells how it ended.
    bool SaveAs(const QString& path);
    // The name Save As offers first.
    QString SuggestSaveAsPath() const;
    // The last load stopped early: only part of the file is shown, and it is never saved over it.
    bool IsTextIncomplete() const { return m_bTextIncomplete; }
    // Says why, and true, when saving to path would write an incomplete text over its file.
    bool RefuseIncompleteSave(const QString& path);
    static QString FailedToOpenMessage(const QString& path, const QString& reason);

    // Empties the view for a filtering run's output: light cyan, no undo, modified flag clear,
    // read-only until EndFilterOutput.
    void BeginFilterOutput();
    void EndFilterOutput();
    // Appends a batch of kept lines in one call, with no undo record and the modified flag clear.
    void AppendOutputLines(const OutputBatch& batch);

    // Paste and Select All as the editor allows them: Paste while the text takes an edit and the
    // clipboard holds text, Select All while there is text.
    bool CanPaste() const;
    bool CanSelectAll() const;
    // The printer, or the file, a print goes to, and its colour and duplex settings.
    static void CopyPrinterChoice(const QPrinter& from, QPrinter& to);
    // The workspace's font changed: the view takes it.
    void OnTextFormatChanged();
    // While printing, the light look's colours: paper is white.
    void SetPrintingColours(bool printing);

    std::int64_t GetCaretLine() const;
    // In filter output, the file line of the caret's line; 0 elsewhere or for a line without one.
    std::int64_t GetCaretFileLine() const;
    // The file line (1-based, 0 for none) shown at an editor line, and whether it is context.
    std::int64_t FileLineOfViewLine(std::int64_t viewLine, bool& isContext) const;
    // The same, with the filter that kept the line (-1: none, or not filter output).
    std::int64_t FileLineOfViewLine(std::int64_t viewLine, bool& isContext, int& filter) const;
    void SetLineNumbersShown(bool shown);
    // Marks what the document's filters match in the lines on screen (after scrolling, new text,
    // or a change of the filters).
    void RefreshMarks();
    const CMatchHighlighter& GetHighlighter() const { return *m_pHighlighter; }
    bool GetLineNumbersShown() const;
    int GetWordWrap() const { return m_nWordWrap; }
    // The caret goes to the start. A text beyond WrappedEditorLimit wraps in the paged view (read
    // only); one with unsaved edits that long stays unwrapped, and the status note says why.
    void SetWordWrap(int mode);
    void SetChildFrameTitle(const QString& name, bool modified);
    bool IsTextModified() const;
    void SetTextUnmodified();

    bool GetShowsFilteredText() const { return m_bShowsFilteredText; }
    // The file line number of every output line shown (a copy: for tests and small outputs).
    std::vector<std::int64_t> GetFileLineNumbers() const { return m_OutputLineNumbers.ToVector(); }
    const OutputLineNumbers& GetOutputLineNumbers() const { return m_OutputLineNumbers; }
    std::int64_t GetPendingFileLine() const { return m_nPendingFileLine; }
    void SetPendingFileLine(std::int64_t line) { m_nPendingFileLine = line; }
    // The 0-based line of filter output that holds a position: line feeds before it, so a lone
    // carriage return inside a line does not shift the count.
    std::int64_t OutputLineFromPosition(std::int64_t position);
    // Toggle (Ctrl+T): from filter output the whole file at the caret's file line, from the whole
    // file the last filter output of this document at the kept line nearest the caret's line,
    // both at once while the file is as it was. NeedsRun when the output must be made anew.
    enum class ToggleResult
    {
        Done,
        NeedsRun,
        Busy, // a load or a filtering run is under way
    };
    ToggleResult ToggleFilterOutput();
    // Follow: bytes appended to a whole file shown appear at its end (the caret and the screen
    // go with the end while the caret is on the last line); a file truncated or replaced goes on
    // after a marker line from its start. Filter output follows through its run instead.
    void SetFollow(bool follow);
    bool GetFollow() const { return m_bFollow; }
    // While the caret is on the last line, new lines at the end take the caret and the screen along.
    void SetScrollsWithEnd(bool scrolls) { m_bScrollsWithEnd = scrolls; }
    void SetFollowedEditorLimit(long bytes) { m_nFollowedEditorLimit = bytes; }
    // Appends bytes of a followed file to a whole file shown: no undo, the modified flag as it was.
    void AppendFollowedBytes(const QByteArray& bytes);
    // The file on disk is no longer what the view shows (and the view does not follow it).
    bool IsFileChangedOnDisk() const { return m_bFileChangedOnDisk; }

    // Whether a filter output of this document is kept for the toggle.
    bool HasKeptFilterOutput() const { return m_OutputStash.Document != 0; }

    // Ctrl+double-click at a position: the whole file again with that output line's file line
    // selected. False when the view shows the whole file or the line has no recorded number.
    bool GoToFileLineAt(std::int64_t position);

public Q_SLOTS:
    // The edits of the Edit menu wait for a load, whose end would drop them.
    void cut() override;
    void paste() override;
    void removeSelectedText() override;

    void OnFileSaveAs();
    void OnFormatFont();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnDeleteAllFilters();
    void OnEditSelectAll() { selectAll(true); }

Q_SIGNALS:
    void ShowsFilteredTextChanged(bool showsFilteredText);
    void LoadProgress(int percent);
    void LoadFinished();
    // The file could not be read to its end; the reason has been shown. Comes before LoadFinished.
    void LoadFailed();
    void StatusNoteChanged(const QString& note);
    void FileChangedOnDiskChanged(bool changed);
    void FollowChanged(bool follow);
    void SaveAsFinished(bool succeeded);
    void CaretMoved();
    // Comes before every change of the text or of where it lies in memory.
    void TextAboutToChange(COstrelView::TextChange change);
    // The view's own read-only state changed (see IsTextReadOnly).
    void ReadOnlyChanged(bool readOnly);
    // Files dropped on the view open as documents.
    void FileDropped(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A new look: the text area takes its light or dark colours.
    void changeEvent(QEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // What identifies the file's content as it was read: it is the same while these are.
    struct FileStamp
    {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        std::int64_t Size = -1;
        std::int64_t ModifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
        bool IsValid() const { return Size >= 0; }
    };
    // A text put aside for the toggle: an editor document we hold a reference to.
    struct StashedText
    {
        long Document = 0;
        FileStamp Stamp;
        bool EditorLinesAreFileLines = false;
        std::int64_t Length = 0;
        OutputLineNumbers Numbers;
    };
    static FileStamp StampOf(const QString& path);
    // The text shown has just been written to the document's path: that file is what is shown.
    void ShowWrittenFile();
    void KeepShownText(StashedText& stash);
    void ShowStashedText(StashedText& stash);
    static void ReleaseStashedText(COstrelView& view, StashedText& stash);
    // Whether the text shown is the whole file, unchanged, as it was read.
    bool ShowsPristineWholeFile() const;
    // The editor position where a 1-based file line starts in a whole file shown.
    std::int64_t PositionOfFileLine(std::int64_t line);
    // A fresh, unstyled editor document for a new text; settings that live in the document follow.
    void ReplaceDocument(std::int64_t sizeHint);
    // Code page and line ends, which the editor keeps with each document.
    void ApplyDocumentSettings();
    ILoader* CreateDocumentLoader(std::int64_t room) const;
    void ShowLoadedDocument(ILoader* loader);
    void OnLoadFinished(bool succeeded);
    // Editable again, no undo history, modified flag clear.
    void EndLoading();
    // A key that moves about the first part can go ahead while loading; any other waits for the load.
    static bool KeyNeedsWholeText(const QKeyEvent* event);
    // Selects the pending file line starting there (-1: not found) once its end is in the text.
    void SelectPendingLine(std::int64_t lineStart, bool loadingDone);
    void SetBackground(std::uint32_t color);
    // The editor's read-only flag, which each document keeps: the view's own state or a hold.
    void ApplyReadOnly();
    void ApplyFont();
    void ApplyLookColours();
    void SetShowsFilteredText(bool showsFilteredText);
    bool ConfirmOverwrite(const QString& path) const;
    // Problems go to the workspace, which shows them.
    void Report(const CProblemReport& problem) const;
    static QString SaveErrorText(int error);
    // The paged view of a file at or above the threshold; false when it is smaller.
    bool StartPaged(const QString& path, std::int64_t size, bool always = false);
    // Moves the filter output so far, and the batch, into a temporary file shown paged.
    bool SpillFilterOutput(const OutputBatch& batch);
    void StopPaged();
    // The paged view's threshold and the followed editor limit for the wrap mode.
    std::int64_t PagedThreshold() const;
    long FollowedEditorLimit() const;
    // Why the paged view is read-only: the file's size, or the wrap mode.
    QString PagedRestingNote() const;
    // Shows the text as the new wrap mode needs (see SetWordWrap); false when it cannot wrap.
    bool ShowTextForWrapMode();
    void SetStatusNote(const QString& note);
    void PlacePagedScrollBar();
    // The margin's numbers for what the view shows now: the editor's, or written per line.
    void UpdateMarginNumbering();
    // Watches the file the view shows from `offset` on: changes on disk, and following.
    void WatchFile(std::uint64_t offset);
    void OnFileRestarted(bool replaced);
    // A followed whole file grown past the followed editor limit is shown paged from then on: the
    // editor would copy its whole text each time it makes room. Deferred; false if it stays.
    bool PageFollowedFile();
    // Appends bytes of the followed file: no undo record, and no modified mark of their own.
    void AppendFromFile(const QByteArray& bytes);
    void SetFileChangedOnDisk(bool changed);
    // The note of a view that is otherwise quiet: the paged view's, or none.
    QString RestingNote() const;
    // The paged view's note while nothing went wrong: the index's progress, then the resting note.
    QString PagedNote() const;
    // Keeps the caret and the screen at the end when they were there before new text came.
    bool IsCaretOnLastLine() const;
    void FollowEnd();
    // Save As of a paged view copies the file on a thread; the document moves once it is done.
    bool StartPagedSaveAs(const QString& path);

    CEditor m_Editor;
    COstrelDoc* m_pDocument;
    ILogWorkspace* m_pWorkspace;
    bool m_bShowsFilteredText = false;
    bool m_bTextIncomplete = false;
    std::int64_t m_nPendingFileLine = 0;
    bool m_bPendingFileEnd = false; // the next load ends with the caret at the file's end
    OutputLineNumbers m_OutputLineNumbers;
    // Filter output too big for the editor goes to this file, shown paged; null otherwise.
    std::unique_ptr<QTemporaryFile> m_pSpillFile;
    int m_nWordWrap = WrapNone;
    std::unique_ptr<CTextLoader> m_pLoader;
    std::unique_ptr<CPagedText> m_pPaged;
    std::unique_ptr<CFileCopier> m_pCopier;
    std::unique_ptr<CLineNumberMargin> m_pMargin;
    std::unique_ptr<CMatchHighlighter> m_pHighlighter;
    FileStamp m_ShownStamp;                 // of the file as the text shown was read
    bool m_bShownLinesAreFileLines = false; // no lone CR: the editor's lines are the file's
    bool m_bReceivingOutput = false;        // a filtering run is appending to this view
    StashedText m_WholeStash;
    StashedText m_OutputStash;
    std::unique_ptr<CFileFollower> m_pFollower;
    bool m_bFollow = false;
    bool m_bPagingFollowed = false;
    bool m_bPagedForWrap = false;     // paged only because the text is too long to wrap in the editor
    bool m_bReadProblemNoted = false; // the paged view could not read part of its file
    // While the editor loads: the lines the whole file is likely to have, for the margin's width.
    std::int64_t m_nExpectedLines = 0;
    long m_nFollowedEditorLimit = DefaultFollowedEditorLimit;
    bool m_bScrollsWithEnd = false;
    bool m_bFileChangedOnDisk = false;
    // Editor lines that mark where a followed file started anew: the numbers count from them.
    std::vector<std::int64_t> m_RestartLines; // Save As of a paged file, while it copies
    QString m_strStatusNote;
    bool m_bLoadShowsCursor = false;
    std::uint64_t m_nTextGeneration = 0;
    std::uint32_t m_crBackground = WholeFileBackground; // as in a light look; see ShownBackground
    bool m_bDarkLook = false;
    bool m_bReadOnly = false;
    int m_nSearchHolds = 0;
    long m_pInitialDocument = 0;
};
