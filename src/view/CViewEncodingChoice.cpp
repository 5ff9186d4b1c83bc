// SPDX-License-Identifier: GPL-3.0-or-later
// View > Encoding: the view reads its file again in the encoding chosen.
#include <algorithm>

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"

bool COstrelView::ChooseEncoding(const std::string& name)
{
    if (!m_pDocument || IsRotatedSet() || IsLoading())
        return false;
    if (name == m_Encoding.GetChosen())
        return true;
    // Edits would be read back in the other encoding: the user saves or drops them first.
    if (!m_bShowsFilteredText && IsTextModified() && !m_pDocument->SaveModified())
        return false;
    const std::string before = m_Encoding.GetChosen();
    m_Encoding.SetChosen(name);
    // The caret's line stays where it was: line numbers are the file's in every encoding.
    if (!m_bShowsFilteredText && !IsPaged())
        m_nPendingFileLine = std::max<std::int64_t>(GetCaretLine(), 1);
    if (!ReloadDocumentText()) {
        m_Encoding.SetChosen(before);
        return false;
    }
    return true;
}

void COstrelView::RestoreEncodingChoice(const std::string& name)
{
    if (name == m_Encoding.GetChosen())
        return;
    m_Encoding.SetChosen(name);
    // A file already being read is read again; one read when its tab is first shown is read so.
    if (m_pDocument && !m_pDocument->IsLoadPending() && !IsRotatedSet())
        ReloadDocumentText();
}
