// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

class CFileCopier;
class COstrelView;

// Save and Save As of what a view shows. The text goes through a save file that keeps the
// file's owner, mode and links; once written, the view shows that file: it is watched, and
// filter output becomes its whole text, numbered as its own lines. A paged view copies its file
// on a thread instead.
class CViewSaving
{
public:
    explicit CViewSaving(COstrelView& view);
    ~CViewSaving();
    CViewSaving(const CViewSaving&) = delete;
    CViewSaving& operator=(const CViewSaving&) = delete;

    bool WriteViewText();
    bool RunSaveAs();
    bool SaveAs(const QString& path);
    QString SuggestSaveAsPath() const;
    // A paged file's Save As is still copying it.
    bool IsCopying() const { return m_pCopier != nullptr; }
    // Says why, and true, when saving to path would write an incomplete text over its file.
    bool RefuseIncompleteSave(const QString& path);
    static QString SaveErrorText(int error);

private:
    // The text shown has just been written to the document's path (fileSize bytes): that file is
    // what is shown.
    void ShowWrittenFile(std::uint64_t fileSize);
    bool ConfirmOverwrite(const QString& path) const;
    bool StartPagedSaveAs(const QString& path);

    COstrelView& m_View;
    std::unique_ptr<CFileCopier> m_pCopier; // Save As of a paged file, while it copies
};
