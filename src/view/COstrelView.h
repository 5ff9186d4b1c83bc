// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <QByteArray>

#include "view/QsciHeaders.h"

class COstrelDoc;
class CTextLoader;
class ILoader;
class ILogWorkspace;
class QFile;
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

    // What is about to happen to the text, told before it happens: a search that reads the
    // editor's buffer on a thread of its own stops reading first.
    enum class TextChange
    {
        // The same bytes go elsewhere in memory: the whole text takes the first part's place, or
        // the text is asked for in one piece.
        Moving,
        // Bytes are added at the end; positions stay.
        Appending,
        // A part is replaced (Replace, Replace All).
        Editing,
        // A new text, or none: a file, filter output, the view going away.
        Replacing,
    };
    Q_ENUM(TextChange)

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
    // Replaces [start, end) by the bytes, with undo, even while a search holds the text; nothing
    // when the view is read-only for its own reasons. The end of the replacement, or -1.
    std::int64_t ReplaceTextRange(std::int64_t start, std::int64_t end, const QByteArray& bytes);
    // Writes the whole text to the document's path through a save file; reports a failure.
    bool WriteViewText();
    // Save As: asks for the new name and, for an existing file, whether to replace it. Filter
    // output is offered a new name beside its log ("app-filtered.log"), never the log itself.
    bool RunSaveAs();
    // Save As with the path chosen: the document becomes the new file once it is written.
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

    std::int64_t GetCaretLine() const;
    int GetWordWrap() const { return m_nWordWrap; }
    void SetWordWrap(int mode);
    void SetChildFrameTitle(const QString& name, bool modified);
    bool IsTextModified() const;
    void SetTextUnmodified();

    bool GetShowsFilteredText() const { return m_bShowsFilteredText; }
    const std::vector<std::int64_t>& GetFileLineNumbers() const { return m_FileLineNumbers; }
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
    void CaretMoved();
    // Comes before every change of the text or of where it lies in memory.
    void TextAboutToChange(COstrelView::TextChange change);
    // The view's own read-only state changed (see IsTextReadOnly).
    void ReadOnlyChanged(bool readOnly);
    // Files dropped on the view open as documents.
    void FileDropped(const QString& path);

protected:
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
    void SetTextReadOnly(bool readOnly);
    // The editor's read-only flag, which each document keeps: the view's own state or a hold.
    void ApplyReadOnly();
    // The whole text, the page of Print Setup and white paper, for printing and its preview.
    void PreparePrinting(QsciPrinter& printer);
    void ApplyFont();
    void SetShowsFilteredText(bool showsFilteredText);
    static bool ConfirmOverwrite(const QString& path);

    COstrelDoc* m_pDocument;
    ILogWorkspace* m_pWorkspace;
    bool m_bShowsFilteredText = false;
    bool m_bTextIncomplete = false;
    std::int64_t m_nPendingFileLine = 0;
    std::vector<std::int64_t> m_FileLineNumbers;
    int m_nWordWrap = WrapNone;
    std::unique_ptr<CTextLoader> m_pLoader;
    bool m_bLoadShowsCursor = false;
    std::uint64_t m_nTextGeneration = 0;
    std::uint32_t m_crBackground = WholeFileBackground;
    bool m_bReadOnly = false;
    int m_nSearchHolds = 0;
    long m_pInitialDocument = 0;
};
