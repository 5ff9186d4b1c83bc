// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <QByteArray>

#include "filtering/OutputLineNumbers.h"
#include "logtext/ShownText.h"
#include "view/CEditor.h"
#include "view/CEditorLines.h"
#include "view/CFilterOutputText.h"
#include "view/CFollowedFile.h"
#include "view/COverviewStrip.h"
#include "view/CTextToggle.h"
#include "view/CViewEncoding.h"
#include "view/CViewLoading.h"
#include "view/CViewLooks.h"
#include "view/CViewPaging.h"
#include "view/CViewSaving.h"
#include "view/QsciHeaders.h"

class COstrelDoc;
class CEditAnyway;
class CLineNumberMargin;
class CMatchHighlighter;
class CRuleHighlighter;
class CViewBookmarks;
class CPagedText;
class ILogWorkspace;
struct CProblemReport;
class QFile;
class QPrinter;
struct OutputBatch;

// The view of one log document: the file's bytes, unchanged, or the output of a filtering run.
// The first part of a file shows at once; the whole text comes in on a loading thread and takes
// its place. Commands that need the whole text, or edit it, wait for the load first.
// The view presents; its parts each keep one kind of text and its state: loading the whole
// file (CViewLoading), a file too big for the editor (CViewPaging), filter output
// (CFilterOutputText), the texts put aside for Ctrl+T (CTextToggle), a followed file
// (CFollowedFile), saving (CViewSaving) and the looks (CViewLooks). Only CEditor talks to the
// editor.
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

    static constexpr std::uint32_t FilterOutputBackground = CViewLooks::FilterOutputBackground;
    static constexpr std::uint32_t WholeFileBackground = CViewLooks::WholeFileBackground;
    static constexpr std::uint32_t DarkWholeFileBackground = CViewLooks::DarkWholeFileBackground;
    static constexpr std::uint32_t DarkFilterOutputBackground = CViewLooks::DarkFilterOutputBackground;
    // A followed whole file beyond this many bytes is shown paged.
    static constexpr long DefaultFollowedEditorLimit = CFollowedFile::DefaultEditorLimit;
    // A text beyond this many bytes is shown wrapped through the paged view's window: the editor
    // wraps all of its text at once whenever the caret goes far (Ctrl+End, Go To, a find).
    static constexpr std::int64_t WrappedEditorLimit = 256 * 1024;

    // The workspace gives the font, the printer and the owner of the find dialogs; a view
    // without one (a test's) uses the defaults.
    explicit COstrelView(COstrelDoc* document, ILogWorkspace* workspace = nullptr, QWidget* parent = nullptr);
    ~COstrelView() override;

    COstrelDoc* GetDocument() const { return m_pDocument; }
    // The text shown, of whichever kind (the whole file, paged, filter output, a followed file
    // that started anew): it numbers the lines and says where each comes from.
    const ShownText& Shown() const;
    // The 0-based line of the shown text at an editor line: the paged view maps its window onto
    // the file; -1 while the window is not placed.
    std::int64_t ShownLineOfViewLine(std::int64_t viewLine) const;
    // The editor's messages, all of them; its text changes tell TextAboutToChange first.
    CEditor& GetEditor() { return m_Editor; }
    const CEditor& GetEditor() const { return m_Editor; }
    ILogWorkspace* GetWorkspace() const { return m_pWorkspace; }

    // Title, margins, no wrapping and the font of the settings.
    void OnInitialUpdate();

    // Replaces the text by the file's content; the first part at once, the rest from the loading thread.
    void LoadFile(std::unique_ptr<QFile> file);
    bool IsLoading() const { return m_Loading.IsLoading(); }
    // Replaces the text by a rotated set's files, oldest first, as one read-only paged text.
    // Files that cannot be read are left out, and one message names each with its reason; false,
    // after a message, when none of them can be read.
    bool LoadRotatedSet(const QStringList& paths);
    // The view shows a rotated set (paged, read-only, not followed).
    bool IsRotatedSet() const { return m_Paging.IsRotatedSet(); }
    // The whole rotated set is shown and its live file can grow.
    bool CanFollowSet() const { return !GetShowsFilteredText() && m_Paging.IsSetFollowable(); }
    // Shows logs merged by time in place of what the view showed; false, with the reason
    // reported, when one of them cannot be merged.
    bool LoadMerged(const QStringList& paths) { return m_Paging.ShowMerge(paths); }
    bool IsMerged() const { return m_Paging.IsMerged(); }
    // Waits for the whole text, showing a wait cursor; for commands that need all of it.
    void FinishLoading() { m_Loading.Finish(); }
    // Stops loading; the first part stays.
    void StopLoading() { m_Loading.Stop(); }
    // Changes whenever the view is given a new text (a file, filter output); the whole text
    // taking the place of the first part is the same text.
    std::uint64_t GetTextGeneration() const { return m_nTextGeneration; }
    // Re-reads the document's file: whole-file state, modified flag clear, pending line selected.
    // False, with a message, when the file cannot be opened; the view then keeps its text.
    bool ReloadDocumentText();
    // The view shows a window of a file too big for the editor: read-only, paged through.
    bool IsPaged() const { return m_Paging.IsPaged(); }
    // Edit Anyway: a paged file loaded whole into the editor once the user agrees to the memory.
    CEditAnyway& GetEditAnyway() const { return m_Paging.GetEditAnyway(); }
    CPagedText* GetPagedText() const { return m_Paging.GetPagedText(); }
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
    // Read-only to the user whatever else the view does: a stream that still writes the file.
    bool IsStreamReadOnly() const { return m_bStreamReadOnly; }
    void SetStreamReadOnly(bool readOnly);
    // Replaces [start, end) by the bytes, with undo, even while a search holds the text; nothing
    // when the view is read-only for its own reasons. The end of the replacement, or -1.
    std::int64_t ReplaceTextRange(std::int64_t start, std::int64_t end, const QByteArray& bytes);
    // Writes the whole text to the document's path through a save file; reports a failure.
    // Once written, the view shows that file: it is watched, and filter output becomes its
    // whole text, numbered as its own lines.
    bool WriteViewText() { return m_Saving.WriteViewText(); }
    // Save As: asks for the new name and, for an existing file, whether to replace it. Filter
    // output is offered a new name beside its log ("app-filtered.log"), never the log itself.
    bool RunSaveAs() { return m_Saving.RunSaveAs(); }
    // Save As with the path chosen: the document becomes the new file once it is written. A
    // paged view copies its file on a thread: true once the copy is under way, and SaveAsFinished
    // tells how it ended.
    bool SaveAs(const QString& path) { return m_Saving.SaveAs(path); }
    // The name Save As offers first.
    QString SuggestSaveAsPath() const { return m_Saving.SuggestSaveAsPath(); }
    // The last load stopped early: only part of the file is shown, and it is never saved over it.
    bool IsTextIncomplete() const { return m_bTextIncomplete; }
    // The encoding the file is read in: told by the file or chosen in View > Encoding.
    const CViewEncoding& GetTextEncoding() const { return m_Encoding; }
    // Reads the file again in the encoding (an iconv name; empty for the one the file tells);
    // false, after a message, when it cannot be read or the text has unsaved edits the user keeps.
    bool ChooseEncoding(const std::string& name);
    // The encoding chosen for the document in an earlier session (an iconv name), before or just
    // after its file is first read; nothing to ask, no edits to lose.
    void RestoreEncodingChoice(const std::string& name);
    // Says why, and true, when saving to path would write an incomplete text over its file.
    bool RefuseIncompleteSave(const QString& path) { return m_Saving.RefuseIncompleteSave(path); }
    static QString FailedToOpenMessage(const QString& path, const QString& reason)
    {
        return CViewLoading::FailedToOpenMessage(path, reason);
    }

    // Empties the view for a filtering run's output: light cyan, no undo, modified flag clear,
    // read-only until EndFilterOutput.
    void BeginFilterOutput() { m_Output.Begin(); }
    void EndFilterOutput() { m_Output.End(); }
    // Appends a batch of kept lines in one call, with no undo record and the modified flag clear.
    void AppendOutputLines(const OutputBatch& batch) { m_Output.Append(batch); }

    // Paste and Select All as the editor allows them: Paste while the text takes an edit and the
    // clipboard holds text, Select All while there is text.
    bool CanPaste() const;
    bool CanSelectAll() const;
    // The printer, or the file, a print goes to, and its colour and duplex settings.
    static void CopyPrinterChoice(const QPrinter& from, QPrinter& to);
    // The workspace's font changed: the view takes it.
    void OnTextFormatChanged() { m_Looks.ApplyFont(); }
    // While printing, the light look's colours: paper is white.
    void SetPrintingColours(bool printing) { m_Looks.SetPrinting(printing); }

    std::int64_t GetCaretLine() const;
    // In a text of several files (a rotated set, or its filter output), the caret's file name and
    // its line there (1-based); false for a text of one file, or while the window is not placed.
    bool GetCaretFilePlace(QString& name, std::int64_t& line) const;
    // Where the text at an editor line comes from (nothing while the paged window is not placed).
    ShownLineOrigin OriginOfViewLine(std::int64_t viewLine) const;
    // In filter output, the file line of the caret's line; 0 elsewhere or for a line without one.
    std::int64_t GetCaretFileLine() const;
    // Where file line `line` (1-based) starts in the text the editor holds whole, the file's own
    // line ends counted (a lone carriage return breaks the editor's lines, not the file's); -1
    // while the editor does not hold it.
    std::int64_t PositionOfFileLine(std::int64_t line) { return m_Toggle.PositionOfFileLine(line); }
    // The file line (1-based, 0 for none) shown at an editor line, and whether it is context.
    std::int64_t FileLineOfViewLine(std::int64_t viewLine, bool& isContext) const;
    // The same, with the filter that kept the line (-1: none, or not filter output).
    std::int64_t FileLineOfViewLine(std::int64_t viewLine, bool& isContext, int& filter) const;
    void SetLineNumbersShown(bool shown);
    // Marks what the document's filters and the workspace's highlight rules match in the lines on
    // screen (after scrolling, new text, or a change of the filters or the rules).
    void RefreshMarks();
    const CMatchHighlighter& GetHighlighter() const { return *m_pHighlighter; }
    const CRuleHighlighter& GetRuleHighlighter() const { return *m_pRuleHighlighter; }
    // The document's bookmarks as this view shows them and goes to them.
    CViewBookmarks& GetBookmarks() { return *m_pBookmarks; }
    bool GetLineNumbersShown() const;
    CLineNumberMargin& GetMargin() { return *m_pMargin; }
    // The strip beside the scroll bar that shows where the kept lines, or Find's lines, lie.
    COverviewStrip& GetOverview() { return *m_pOverview; }
    const COverviewStrip& GetOverview() const { return *m_pOverview; }
    int GetWordWrap() const { return m_Paging.GetWordWrap(); }
    // The caret goes to the start. A text beyond WrappedEditorLimit wraps in the paged view (read
    // only); one with unsaved edits that long stays unwrapped, and the status note says why.
    void SetWordWrap(int mode);
    void SetChildFrameTitle(const QString& name, bool modified);
    bool IsTextModified() const;
    void SetTextUnmodified();

    bool GetShowsFilteredText() const { return m_bShowsFilteredText; }
    // The file line number of every output line shown (a copy: for tests and small outputs).
    std::vector<std::int64_t> GetFileLineNumbers() const { return m_Output.Numbers().ToVector(); }
    const OutputLineNumbers& GetOutputLineNumbers() const { return m_Output.Numbers(); }
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
    void SetFollow(bool follow) { m_Following.SetFollow(follow); }
    bool GetFollow() const { return m_Following.GetFollow(); }
    // While the caret is on the last line, new lines at the end take the caret and the screen along.
    void SetScrollsWithEnd(bool scrolls) { m_Following.SetScrollsWithEnd(scrolls); }
    void SetFollowedEditorLimit(long bytes) { m_Following.SetEditorLimit(bytes); }
    // Appends bytes of a followed file to a whole file shown: no undo, the modified flag as it was.
    void AppendFollowedBytes(const QByteArray& bytes) { m_Following.OnBytesAppended(bytes); }
    // The file on disk is no longer what the view shows (and the view does not follow it).
    bool IsFileChangedOnDisk() const { return m_Following.IsChangedOnDisk(); }

    // Whether a filter output of this document is kept for the toggle.
    bool HasKeptFilterOutput() const { return m_Toggle.HasKeptOutput(); }
    // The output kept for the toggle no longer answers the document's filters: the toggle makes it anew.
    void ForgetKeptFilterOutput() { m_Toggle.ReleaseOutput(); }

    // Ctrl+double-click at a position: the whole file again with that output line's file line
    // selected. False when the view shows the whole file or the line has no recorded number.
    bool GoToFileLineAt(std::int64_t position);

public Q_SLOTS:
    // The edits of the Edit menu wait for a load, whose end would drop them.
    void cut() override;
    void paste() override;
    void removeSelectedText() override;

    void OnFileSaveAs() { RunSaveAs(); }
    void OnFormatFont() { m_Looks.ChooseFont(); }
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
    // The document's bookmarks were set, taken away or replaced.
    void BookmarksChanged();
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
    // No style bytes (they would double the memory of a big log) and positions past 2 GiB.
    static constexpr int DocumentOptions =
        QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE | QsciScintillaBase::SC_DOCUMENTOPTION_TEXT_LARGE;
    // Room a new editor document gets beyond the text it is made for.
    static constexpr std::int64_t DocumentSlack = 1024 * 1024;

    friend class CEditAnyway;
    friend class CEncodingChoice;
    friend class CFilterOutputText;
    friend class CFollowedFile;
    friend class COverviewStrip;
    friend class CTextToggle;
    friend class CViewLoading;
    friend class CViewPaging;
    friend class CViewSaving;

    // A fresh, unstyled editor document for a new text; settings that live in the document follow.
    void ReplaceDocument(std::int64_t sizeHint);
    // Code page and line ends, which the editor keeps with each document.
    void ApplyDocumentSettings();
    // The editor's read-only flag, which each document keeps: the view's own state or a hold.
    void ApplyReadOnly();
    void SetShowsFilteredText(bool showsFilteredText);
    // The whole file is shown again, in its colours, after filter output.
    void ShowAsWholeFile();
    // Problems go to the workspace, which shows them.
    void Report(const CProblemReport& problem) const;
    void SetStatusNote(const QString& note);
    // The margin's numbers for what the view shows now: the editor's, or written per line.
    void UpdateMarginNumbering();
    // New lines were appended: the margin and the marks follow.
    void NoteLinesAppended();
    // Room on the right of the text for the paged view's own scroll bar.
    void SetScrollBarRoom(int width);
    // Keeps the caret and the screen at the end when they were there before new text came.
    bool IsCaretOnLastLine() const;
    void FollowEnd();
    // Selects the line starting there and brings it to the middle of the screen.
    void SelectLineAt(std::int64_t lineStart, std::int64_t lineEnd);
    // A key that moves about the first part can go ahead while loading; any other waits for the load.
    static bool KeyNeedsWholeText(const QKeyEvent* event);

    CEditor m_Editor;
    CEditorLines m_EditorLines; // before the parts that read it
    COstrelDoc* m_pDocument;
    ILogWorkspace* m_pWorkspace;
    CViewLooks m_Looks;
    std::unique_ptr<CLineNumberMargin> m_pMargin;
    std::unique_ptr<CMatchHighlighter> m_pHighlighter;
    std::unique_ptr<CRuleHighlighter> m_pRuleHighlighter;
    std::unique_ptr<CViewBookmarks> m_pBookmarks;
    CViewLoading m_Loading;
    CViewPaging m_Paging;
    CFilterOutputText m_Output;
    CTextToggle m_Toggle;
    CFollowedFile m_Following;
    CViewSaving m_Saving;
    CViewEncoding m_Encoding;
    bool m_bShowsFilteredText = false;
    bool m_bTextIncomplete = false;
    std::int64_t m_nPendingFileLine = 0;
    bool m_bPendingFileEnd = false; // the next load ends with the caret at the file's end
    QString m_strStatusNote;
    std::uint64_t m_nTextGeneration = 0;
    bool m_bReadOnly = false;
    bool m_bStreamReadOnly = false;
    int m_nSearchHolds = 0;
    long m_pInitialDocument = 0;
    // Last: it reads the workspace, and sets the margins of a view whose parts are all there.
    std::unique_ptr<COverviewStrip> m_pOverview = std::make_unique<COverviewStrip>(*this);
};
