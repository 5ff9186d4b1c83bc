// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include <QByteArray>
#include <QPoint>

#include "view/QsciHeaders.h"

// What is about to happen to an editor's text, told before it happens: a search that reads the
// editor's buffer on a thread of its own stops reading first.
enum class EditorTextChange
{
    // The same bytes go elsewhere in memory: a whole text takes a first part's place, or the text
    // is asked for in one piece.
    Moving,
    // Bytes are added at the end; positions stay.
    Appending,
    // A part is replaced (Replace, Replace All).
    Editing,
    // A new text, or none: a file, filter output, the view going away.
    Replacing,
};

// The one way to the editor: every Scintilla message the program sends goes through here. Each
// call that changes the text, or moves it in memory, tells the notice first, so the guard of a
// search reading the text holds by construction. Positions and lines are the editor's: bytes
// from the start, lines from 0. Used on the GUI thread only; CreateLoader excepted (see there).
class CEditor
{
public:
    using ChangeNotice = std::function<void(EditorTextChange)>;

    explicit CEditor(QsciScintillaBase& editor, ChangeNotice notice = {});
    CEditor(const CEditor&) = delete;
    CEditor& operator=(const CEditor&) = delete;

    // The text.
    std::int64_t GetLength() const;
    std::int64_t GetLineCount() const;
    // The text in one piece (moves the editor's gap to its end), valid until the next change.
    std::string_view GetText();
    // [start, start + length) without moving the gap when it lies on one side of it.
    const char* GetRange(std::int64_t start, std::int64_t length) const;
    std::int64_t GetGapPosition() const;
    int GetCharAt(std::int64_t position) const;
    QByteArray GetSelectedText() const;
    void AppendText(const char* bytes, std::size_t length);
    void AppendText(const QByteArray& bytes) { AppendText(bytes.constData(), static_cast<std::size_t>(bytes.size())); }
    // Appends text that is no edit of the user's: it leaves no undo record.
    void AppendWithoutUndo(const char* bytes, std::size_t length);
    void ClearAll();
    // Replaces [start, end) and returns where the replacement ends. evenIfReadOnly: the editor is
    // made editable for it (after the notice); the caller sets its read-only state again.
    std::int64_t ReplaceRange(std::int64_t start, std::int64_t end, const QByteArray& bytes,
                              bool evenIfReadOnly = false);
    // Tells the notice of a change the editor makes on its own (typing, Replace's own edits).
    void NoteChange(EditorTextChange change) const;

    // Lines and positions.
    std::int64_t LineFromPosition(std::int64_t position) const;
    std::int64_t PositionFromLine(std::int64_t line) const;
    std::int64_t GetLineEndPosition(std::int64_t line) const;
    std::int64_t PositionAfter(std::int64_t position) const;
    std::int64_t PositionFromPoint(int x, int y) const;
    // Where a position is drawn, in the editor's viewport, and how tall a line is.
    QPoint PointFromPosition(std::int64_t position) const;
    int GetLineHeight(std::int64_t line) const;

    // Caret, selection and scrolling.
    std::int64_t GetCurrentPosition() const;
    std::int64_t GetAnchor() const;
    std::int64_t GetSelectionStart() const;
    std::int64_t GetSelectionEnd() const;
    void SetSelection(std::int64_t anchor, std::int64_t caret);
    void GoToLine(std::int64_t line);
    void ScrollCaret();
    void ScrollRange(std::int64_t secondary, std::int64_t primary);
    void ScrollLines(std::int64_t lines);
    void GoToEnd();
    std::int64_t GetFirstVisibleLine() const;
    void SetFirstVisibleLine(std::int64_t line);
    std::int64_t GetLinesOnScreen() const;
    std::int64_t DocumentLineFromVisible(std::int64_t visible) const;
    std::int64_t VisibleFromDocumentLine(std::int64_t line) const;
    int GetXOffset() const;
    void SetXOffset(int offset);
    void SetVerticalScrollBar(bool shown);
    void SetScrollWidth(int width, bool tracking);

    // Searching in a target range; the start above the end searches backwards.
    void SetSearchFlags(int flags);
    std::int64_t SearchInRange(std::int64_t start, std::int64_t end, std::string_view pattern);
    std::int64_t GetTargetEnd() const;

    // Documents: the editor keeps its text in a document, which several holders may share.
    long GetDocument() const;
    long CreateDocument(std::int64_t sizeHint, int options) const;
    // Shows the document; one reference of the caller's is handed over when release is set.
    // Moving: the document holds the same text as the one shown (a whole text after its first part).
    void SetDocument(long document, bool release, EditorTextChange change = EditorTextChange::Replacing);
    void AddDocumentReference(long document) const;
    void ReleaseDocument(long document) const;
    // Makes a loader that builds a document of its own: safe on a loading thread, as it
    // touches nothing of the editor's shown document.
    void* CreateLoader(std::int64_t room, int options) const;

    // Editing state.
    bool IsModified() const;
    void SetSavePoint();
    bool CanPaste() const;
    void SetReadOnly(bool readOnly);
    void SetUndoCollection(bool collect);
    void EmptyUndoBuffer();
    void BeginUndoAction();
    void EndUndoAction();
    void SetModificationEvents(int mask);
    void SetCodePage(int codePage);
    int GetCodePage() const;
    void SetLineEnds(int mode);

    // Styles of the text and its margin.
    long GetStyleFore(int style) const;
    void SetStyleFore(int style, long colour);
    long GetStyleBack(int style) const;
    void SetStyleBack(int style, long colour);
    int GetStyleSize(int style) const; // fractional, SC_FONT_SIZE_MULTIPLIER per point
    void SetStyleSize(int style, int size);
    QByteArray GetStyleFont(int style) const;
    void SetStyleFont(int style, const QByteArray& face);
    bool GetStyleBold(int style) const;
    void SetStyleBold(int style, bool bold);
    bool GetStyleItalic(int style) const;
    void SetStyleItalic(int style, bool italic);
    bool GetStyleUnderline(int style) const;
    void SetStyleUnderline(int style, bool underline);
    void ClearAllStyles();
    int TextWidth(int style, const char* text) const;
    void SetCaretLineVisible(bool visible, bool always);
    void SetCaretLineBack(long colour);
    void SetCaretFore(long colour);
    void SetPrintColourMode(int mode);

    // Margins.
    void SetMarginWidth(int margin, int width);
    void SetMarginType(int margin, int type);
    void SetMarginLeft(int width);
    void SetMarginText(std::int64_t line, const char* text);
    void SetMarginStyle(std::int64_t line, int style);
    void SetMarginMask(int margin, int mask);

    // Markers, the symbols of marked lines in a symbol margin.
    void DefineMarker(int marker, int symbol, long fore, long back);
    // The markers of a line, one bit each.
    int GetMarkers(std::int64_t line) const;
    void AddMarker(std::int64_t line, int marker);
    void DeleteMarker(std::int64_t line, int marker);
    void DeleteAllMarkers(int marker);

    // Indicators, the marks of the filters' matches.
    void DefineIndicator(int indicator, int style, long colour, int alpha, bool under);
    void SetCurrentIndicator(int indicator);
    void FillIndicator(std::int64_t start, std::int64_t length);
    void ClearIndicator(std::int64_t start, std::int64_t length);
    // An indicator drawn in the colour of each range's value (SetIndicatorValue) rather than its own.
    void SetIndicatorColourByValue(int indicator, int outlineAlpha);
    // The value the next FillIndicator gives its range.
    void SetIndicatorValue(int value);

private:
    long Send(unsigned message, unsigned long wParam = 0, long lParam = 0) const;
    long Send(unsigned message, unsigned long wParam, const void* lParam) const;

    QsciScintillaBase& m_Editor;
    ChangeNotice m_Notice;
};
