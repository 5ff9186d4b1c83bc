// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CEditor.h"

using Sci = QsciScintillaBase;

namespace {

unsigned long W(std::int64_t value)
{
    return static_cast<unsigned long>(value);
}

long L(std::int64_t value)
{
    return static_cast<long>(value);
}

} // namespace

CEditor::CEditor(QsciScintillaBase& editor, ChangeNotice notice) : m_Editor(editor), m_Notice(std::move(notice)) {}

long CEditor::Send(unsigned message, unsigned long wParam, long lParam) const
{
    return m_Editor.SendScintilla(message, wParam, lParam);
}

long CEditor::Send(unsigned message, unsigned long wParam, const void* lParam) const
{
    return m_Editor.SendScintilla(message, wParam, const_cast<void*>(lParam));
}

void CEditor::NoteChange(EditorTextChange change) const
{
    if (m_Notice)
        m_Notice(change);
}

std::int64_t CEditor::GetLength() const
{
    return Send(Sci::SCI_GETLENGTH);
}

std::int64_t CEditor::GetLineCount() const
{
    return Send(Sci::SCI_GETLINECOUNT);
}

std::string_view CEditor::GetText()
{
    // Asking for the text in one piece moves the editor's gap to its end.
    NoteChange(EditorTextChange::Moving);
    const std::int64_t length = GetLength();
    const auto* bytes = static_cast<const char*>(m_Editor.SendScintillaPtrResult(Sci::SCI_GETCHARACTERPOINTER));
    if (!bytes || length <= 0)
        return {};
    return std::string_view(bytes, static_cast<std::size_t>(length));
}

const char* CEditor::GetRange(std::int64_t start, std::int64_t length) const
{
    return reinterpret_cast<const char*>(Send(Sci::SCI_GETRANGEPOINTER, W(start), L(length)));
}

std::int64_t CEditor::GetGapPosition() const
{
    return Send(Sci::SCI_GETGAPPOSITION);
}

int CEditor::GetCharAt(std::int64_t position) const
{
    return static_cast<int>(Send(Sci::SCI_GETCHARAT, W(position)));
}

QByteArray CEditor::GetSelectedText() const
{
    const std::int64_t length = GetSelectionEnd() - GetSelectionStart();
    QByteArray bytes(static_cast<qsizetype>(length + 1), '\0');
    Send(Sci::SCI_GETSELTEXT, 0UL, static_cast<void*>(bytes.data()));
    bytes.resize(static_cast<qsizetype>(length));
    return bytes;
}

void CEditor::AppendText(const char* bytes, std::size_t length)
{
    NoteChange(EditorTextChange::Appending);
    m_Editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<uintptr_t>(length), bytes);
}

void CEditor::AppendWithoutUndo(const char* bytes, std::size_t length)
{
    // Told first: a search's open undo group must end before collection stops.
    NoteChange(EditorTextChange::Appending);
    SetUndoCollection(false);
    m_Editor.SendScintilla(Sci::SCI_APPENDTEXT, static_cast<uintptr_t>(length), bytes);
    SetUndoCollection(true);
}

void CEditor::ClearAll()
{
    NoteChange(EditorTextChange::Replacing);
    Send(Sci::SCI_CLEARALL);
}

std::int64_t CEditor::ReplaceRange(std::int64_t start, std::int64_t end, const QByteArray& bytes, bool evenIfReadOnly)
{
    NoteChange(EditorTextChange::Editing);
    if (evenIfReadOnly)
        SetReadOnly(false);
    Send(Sci::SCI_SETTARGETRANGE, W(start), L(end));
    m_Editor.SendScintilla(Sci::SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    return GetTargetEnd();
}

std::int64_t CEditor::LineFromPosition(std::int64_t position) const
{
    return Send(Sci::SCI_LINEFROMPOSITION, W(position));
}

std::int64_t CEditor::PositionFromLine(std::int64_t line) const
{
    return Send(Sci::SCI_POSITIONFROMLINE, W(line));
}

std::int64_t CEditor::GetLineEndPosition(std::int64_t line) const
{
    return Send(Sci::SCI_GETLINEENDPOSITION, W(line));
}

std::int64_t CEditor::PositionAfter(std::int64_t position) const
{
    return Send(Sci::SCI_POSITIONAFTER, W(position));
}

std::int64_t CEditor::PositionFromPoint(int x, int y) const
{
    return Send(Sci::SCI_POSITIONFROMPOINT, static_cast<unsigned long>(x), static_cast<long>(y));
}

QPoint CEditor::PointFromPosition(std::int64_t position) const
{
    return QPoint(static_cast<int>(Send(Sci::SCI_POINTXFROMPOSITION, 0UL, L(position))),
                  static_cast<int>(Send(Sci::SCI_POINTYFROMPOSITION, 0UL, L(position))));
}

int CEditor::GetLineHeight(std::int64_t line) const
{
    return static_cast<int>(Send(Sci::SCI_TEXTHEIGHT, W(line)));
}

std::int64_t CEditor::GetCurrentPosition() const
{
    return Send(Sci::SCI_GETCURRENTPOS);
}

std::int64_t CEditor::GetAnchor() const
{
    return Send(Sci::SCI_GETANCHOR);
}

std::int64_t CEditor::GetSelectionStart() const
{
    return Send(Sci::SCI_GETSELECTIONSTART);
}

std::int64_t CEditor::GetSelectionEnd() const
{
    return Send(Sci::SCI_GETSELECTIONEND);
}

void CEditor::SetSelection(std::int64_t anchor, std::int64_t caret)
{
    Send(Sci::SCI_SETSEL, W(anchor), L(caret));
}

void CEditor::GoToLine(std::int64_t line)
{
    Send(Sci::SCI_GOTOLINE, W(line));
}

void CEditor::ScrollCaret()
{
    Send(Sci::SCI_SCROLLCARET);
}

void CEditor::ScrollRange(std::int64_t secondary, std::int64_t primary)
{
    Send(Sci::SCI_SCROLLRANGE, W(secondary), L(primary));
}

void CEditor::ScrollLines(std::int64_t lines)
{
    Send(Sci::SCI_LINESCROLL, 0UL, L(lines));
}

void CEditor::GoToEnd()
{
    const std::int64_t length = GetLength();
    SetSelection(length, length);
    ScrollCaret();
}

std::int64_t CEditor::GetFirstVisibleLine() const
{
    return Send(Sci::SCI_GETFIRSTVISIBLELINE);
}

void CEditor::SetFirstVisibleLine(std::int64_t line)
{
    Send(Sci::SCI_SETFIRSTVISIBLELINE, W(line));
}

std::int64_t CEditor::GetLinesOnScreen() const
{
    return Send(Sci::SCI_LINESONSCREEN);
}

std::int64_t CEditor::DocumentLineFromVisible(std::int64_t visible) const
{
    return Send(Sci::SCI_DOCLINEFROMVISIBLE, W(visible));
}

std::int64_t CEditor::VisibleFromDocumentLine(std::int64_t line) const
{
    return Send(Sci::SCI_VISIBLEFROMDOCLINE, W(line));
}

int CEditor::GetXOffset() const
{
    return static_cast<int>(Send(Sci::SCI_GETXOFFSET));
}

void CEditor::SetXOffset(int offset)
{
    Send(Sci::SCI_SETXOFFSET, static_cast<unsigned long>(offset));
}

void CEditor::SetVerticalScrollBar(bool shown)
{
    Send(Sci::SCI_SETVSCROLLBAR, shown ? 1UL : 0UL);
}

void CEditor::SetScrollWidth(int width, bool tracking)
{
    Send(Sci::SCI_SETSCROLLWIDTH, static_cast<unsigned long>(width));
    Send(Sci::SCI_SETSCROLLWIDTHTRACKING, tracking ? 1UL : 0UL);
}

void CEditor::SetSearchFlags(int flags)
{
    Send(Sci::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(flags));
}

std::int64_t CEditor::SearchInRange(std::int64_t start, std::int64_t end, std::string_view pattern)
{
    Send(Sci::SCI_SETTARGETRANGE, W(start), L(end));
    return m_Editor.SendScintilla(Sci::SCI_SEARCHINTARGET, static_cast<uintptr_t>(pattern.size()), pattern.data());
}

std::int64_t CEditor::GetTargetEnd() const
{
    return Send(Sci::SCI_GETTARGETEND);
}

long CEditor::GetDocument() const
{
    return Send(Sci::SCI_GETDOCPOINTER);
}

long CEditor::CreateDocument(std::int64_t sizeHint, int options) const
{
    return Send(Sci::SCI_CREATEDOCUMENT, W(sizeHint), static_cast<long>(options));
}

void CEditor::SetDocument(long document, bool release, EditorTextChange change)
{
    NoteChange(change);
    Send(Sci::SCI_SETDOCPOINTER, 0UL, document);
    if (release)
        ReleaseDocument(document);
}

void CEditor::AddDocumentReference(long document) const
{
    Send(Sci::SCI_ADDREFDOCUMENT, 0UL, document);
}

void CEditor::ReleaseDocument(long document) const
{
    Send(Sci::SCI_RELEASEDOCUMENT, 0UL, document);
}

void* CEditor::CreateLoader(std::int64_t room, int options) const
{
    return reinterpret_cast<void*>(Send(Sci::SCI_CREATELOADER, W(room), static_cast<long>(options)));
}

bool CEditor::IsModified() const
{
    return Send(Sci::SCI_GETMODIFY) != 0;
}

void CEditor::SetSavePoint()
{
    Send(Sci::SCI_SETSAVEPOINT);
}

bool CEditor::CanPaste() const
{
    return Send(Sci::SCI_CANPASTE) != 0;
}

void CEditor::SetReadOnly(bool readOnly)
{
    Send(Sci::SCI_SETREADONLY, readOnly ? 1UL : 0UL);
}

void CEditor::SetUndoCollection(bool collect)
{
    Send(Sci::SCI_SETUNDOCOLLECTION, collect ? 1UL : 0UL);
}

void CEditor::EmptyUndoBuffer()
{
    Send(Sci::SCI_EMPTYUNDOBUFFER);
}

void CEditor::BeginUndoAction()
{
    Send(Sci::SCI_BEGINUNDOACTION);
}

void CEditor::EndUndoAction()
{
    Send(Sci::SCI_ENDUNDOACTION);
}

void CEditor::SetModificationEvents(int mask)
{
    Send(Sci::SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
}

void CEditor::SetCodePage(int codePage)
{
    Send(Sci::SCI_SETCODEPAGE, static_cast<unsigned long>(codePage));
}

int CEditor::GetCodePage() const
{
    return static_cast<int>(Send(Sci::SCI_GETCODEPAGE));
}

void CEditor::SetLineEnds(int mode)
{
    Send(Sci::SCI_SETEOLMODE, static_cast<unsigned long>(mode));
}

long CEditor::GetStyleFore(int style) const
{
    return Send(Sci::SCI_STYLEGETFORE, static_cast<unsigned long>(style));
}

void CEditor::SetStyleFore(int style, long colour)
{
    Send(Sci::SCI_STYLESETFORE, static_cast<unsigned long>(style), colour);
}

long CEditor::GetStyleBack(int style) const
{
    return Send(Sci::SCI_STYLEGETBACK, static_cast<unsigned long>(style));
}

void CEditor::SetStyleBack(int style, long colour)
{
    Send(Sci::SCI_STYLESETBACK, static_cast<unsigned long>(style), colour);
}

int CEditor::GetStyleSize(int style) const
{
    return static_cast<int>(Send(Sci::SCI_STYLEGETSIZEFRACTIONAL, static_cast<unsigned long>(style)));
}

void CEditor::SetStyleSize(int style, int size)
{
    Send(Sci::SCI_STYLESETSIZEFRACTIONAL, static_cast<unsigned long>(style), static_cast<long>(size));
}

QByteArray CEditor::GetStyleFont(int style) const
{
    QByteArray face(256, '\0');
    Send(Sci::SCI_STYLEGETFONT, static_cast<unsigned long>(style), static_cast<void*>(face.data()));
    face.truncate(static_cast<qsizetype>(qstrlen(face.constData())));
    return face;
}

void CEditor::SetStyleFont(int style, const QByteArray& face)
{
    m_Editor.SendScintilla(Sci::SCI_STYLESETFONT, static_cast<uintptr_t>(style), face.constData());
}

bool CEditor::GetStyleBold(int style) const
{
    return Send(Sci::SCI_STYLEGETBOLD, static_cast<unsigned long>(style)) != 0;
}

void CEditor::SetStyleBold(int style, bool bold)
{
    Send(Sci::SCI_STYLESETBOLD, static_cast<unsigned long>(style), bold ? 1L : 0L);
}

bool CEditor::GetStyleItalic(int style) const
{
    return Send(Sci::SCI_STYLEGETITALIC, static_cast<unsigned long>(style)) != 0;
}

void CEditor::SetStyleItalic(int style, bool italic)
{
    Send(Sci::SCI_STYLESETITALIC, static_cast<unsigned long>(style), italic ? 1L : 0L);
}

bool CEditor::GetStyleUnderline(int style) const
{
    return Send(Sci::SCI_STYLEGETUNDERLINE, static_cast<unsigned long>(style)) != 0;
}

void CEditor::SetStyleUnderline(int style, bool underline)
{
    Send(Sci::SCI_STYLESETUNDERLINE, static_cast<unsigned long>(style), underline ? 1L : 0L);
}

void CEditor::ClearAllStyles()
{
    Send(Sci::SCI_STYLECLEARALL);
}

int CEditor::TextWidth(int style, const char* text) const
{
    return static_cast<int>(m_Editor.SendScintilla(Sci::SCI_TEXTWIDTH, static_cast<uintptr_t>(style), text));
}

void CEditor::SetCaretLineVisible(bool visible, bool always)
{
    Send(Sci::SCI_SETCARETLINEVISIBLE, visible ? 1UL : 0UL);
    Send(Sci::SCI_SETCARETLINEVISIBLEALWAYS, always ? 1UL : 0UL);
}

void CEditor::SetCaretLineBack(long colour)
{
    Send(Sci::SCI_SETCARETLINEBACK, static_cast<unsigned long>(colour));
}

void CEditor::SetCaretFore(long colour)
{
    Send(Sci::SCI_SETCARETFORE, static_cast<unsigned long>(colour));
}

void CEditor::SetPrintColourMode(int mode)
{
    Send(Sci::SCI_SETPRINTCOLOURMODE, static_cast<unsigned long>(mode));
}

void CEditor::SetMarginWidth(int margin, int width)
{
    Send(Sci::SCI_SETMARGINWIDTHN, static_cast<unsigned long>(margin), static_cast<long>(width));
}

void CEditor::SetMarginType(int margin, int type)
{
    Send(Sci::SCI_SETMARGINTYPEN, static_cast<unsigned long>(margin), static_cast<long>(type));
}

void CEditor::SetMarginLeft(int width)
{
    Send(Sci::SCI_SETMARGINLEFT, 0UL, static_cast<long>(width));
}

void CEditor::SetMarginText(std::int64_t line, const char* text)
{
    m_Editor.SendScintilla(Sci::SCI_MARGINSETTEXT, static_cast<uintptr_t>(line), text);
}

void CEditor::SetMarginStyle(std::int64_t line, int style)
{
    Send(Sci::SCI_MARGINSETSTYLE, W(line), static_cast<long>(style));
}

void CEditor::SetMarginMask(int margin, int mask)
{
    Send(Sci::SCI_SETMARGINMASKN, static_cast<unsigned long>(margin), static_cast<long>(mask));
}

void CEditor::DefineMarker(int marker, int symbol, long fore, long back)
{
    const auto number = static_cast<unsigned long>(marker);
    Send(Sci::SCI_MARKERDEFINE, number, static_cast<long>(symbol));
    Send(Sci::SCI_MARKERSETFORE, number, fore);
    Send(Sci::SCI_MARKERSETBACK, number, back);
}

int CEditor::GetMarkers(std::int64_t line) const
{
    return static_cast<int>(Send(Sci::SCI_MARKERGET, W(line)));
}

void CEditor::AddMarker(std::int64_t line, int marker)
{
    Send(Sci::SCI_MARKERADD, W(line), static_cast<long>(marker));
}

void CEditor::DeleteMarker(std::int64_t line, int marker)
{
    Send(Sci::SCI_MARKERDELETE, W(line), static_cast<long>(marker));
}

void CEditor::DeleteAllMarkers(int marker)
{
    Send(Sci::SCI_MARKERDELETEALL, static_cast<unsigned long>(marker));
}

void CEditor::DefineIndicator(int indicator, int style, long colour, int alpha, bool under)
{
    const auto number = static_cast<unsigned long>(indicator);
    Send(Sci::SCI_INDICSETSTYLE, number, static_cast<long>(style));
    Send(Sci::SCI_INDICSETFORE, number, colour);
    Send(Sci::SCI_INDICSETALPHA, number, static_cast<long>(alpha));
    Send(Sci::SCI_INDICSETUNDER, number, under ? 1L : 0L);
}

void CEditor::SetCurrentIndicator(int indicator)
{
    Send(Sci::SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
}

void CEditor::FillIndicator(std::int64_t start, std::int64_t length)
{
    Send(Sci::SCI_INDICATORFILLRANGE, W(start), L(length));
}

void CEditor::ClearIndicator(std::int64_t start, std::int64_t length)
{
    Send(Sci::SCI_INDICATORCLEARRANGE, W(start), L(length));
}

void CEditor::SetIndicatorColourByValue(int indicator, int outlineAlpha)
{
    const auto number = static_cast<unsigned long>(indicator);
    Send(Sci::SCI_INDICSETFLAGS, number, static_cast<long>(Sci::SC_INDICFLAG_VALUEBEFORE));
    Send(Sci::SCI_INDICSETOUTLINEALPHA, number, static_cast<long>(outlineAlpha));
}

void CEditor::SetIndicatorValue(int value)
{
    Send(Sci::SCI_SETINDICATORVALUE, static_cast<unsigned long>(value));
}
