// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "filtering/OutputLineNumbers.h"
#include "view/QsciHeaders.h"

class COstrelDoc;
class CFileCopier;
class CPagedText;
class CTextLoader;
class ILoader;
class ILogWorkspace;
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

    // RGB(238, 255, 255) as the editor takes it (0x00BBGGRR): the background of filter output.
    static constexpr std::uint32_t FilterOutputBackground = 0xFFFFEE;
    static constexpr std::uint32_t WholeFileBackground = 0xFFFFFF;

    // The workspace gives the font, the printer and the owner of the find dialogs; a view
    // without one (a test's) uses the defaults.
    explicit COstrelView(COstrelDoc* document, ILogWorkspace* workspace = nullptr, QWidget* parent = nullptr);
    ~COstrelView() override;

    COstrelDoc* GetDocument() const { return m_pDocument; }
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
    // The number of lines Go To offers, and Go To itself (1-based), in either kind of view: the
    // line comes into the middle of the editable view and a third down the paged one.
    std::int64_t GetGoToLineCount();
    void GoToLine(std::int64_t line);

    // Opens a regular file for loading; null with the reason for a folder, a pipe, a device or a
    // file that cannot be read.
    static std::unique_ptr<QFile> OpenLogFile(const QString& path, QString& error);
    // True when another process holds the file open for writing; never opens the file.
    static bool IsFileInUse(const QString& path);

    // The text's bytes, unchanged; valid until the next change of the text.
    std::string_view GetTextBytes();
    // Writes the whole text to the document's path through a save file; reports a failure.
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

    std::int64_t GetCaretLine() const;
    int GetWordWrap() const { return m_nWordWrap; }
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
    void SaveAsFinished(bool succeeded);
    void CaretMoved();
    // Files dropped on the view open as documents.
    void FileDropped(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
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
    // The whole text, the page of Print Setup and white paper, for printing and its preview.
    void PreparePrinting(QsciPrinter& printer);
    void ApplyFont();
    void SetShowsFilteredText(bool showsFilteredText);
    static bool ConfirmOverwrite(const QString& path);
    // The paged view of a file at or above the threshold; false when it is smaller.
    bool StartPaged(const QString& path, std::int64_t size, bool always = false);
    // Moves the filter output so far, and the batch, into a temporary file shown paged.
    bool SpillFilterOutput(const OutputBatch& batch);
    void StopPaged();
    void SetStatusNote(const QString& note);
    void PlacePagedScrollBar();
    // Save As of a paged view copies the file on a thread; the document moves once it is done.
    bool StartPagedSaveAs(const QString& path);
    // The lines Print prints: all of them, or in a paged view the selection's or the screen's.
    void GetPrintedLines(int& from, int& to) const;

    COstrelDoc* m_pDocument;
    ILogWorkspace* m_pWorkspace;
    bool m_bShowsFilteredText = false;
    bool m_bTextIncomplete = false;
    std::int64_t m_nPendingFileLine = 0;
    OutputLineNumbers m_OutputLineNumbers;
    // Filter output too big for the editor goes to this file, shown paged; null otherwise.
    std::unique_ptr<QTemporaryFile> m_pSpillFile;
    int m_nWordWrap = WrapNone;
    std::unique_ptr<CTextLoader> m_pLoader;
    std::unique_ptr<CPagedText> m_pPaged;
    std::unique_ptr<CFileCopier> m_pCopier; // Save As of a paged file, while it copies
    QString m_strStatusNote;
    bool m_bLoadShowsCursor = false;
    std::uint64_t m_nTextGeneration = 0;
    std::uint32_t m_crBackground = WholeFileBackground;
    long m_pInitialDocument = 0;
};
