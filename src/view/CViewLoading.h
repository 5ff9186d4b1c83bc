// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

class COstrelView;
class CTextLoader;
class ILoader;
class QFile;

// Loading a whole file into a view's editor: the first part at once, the rest on the loading
// thread into a document of its own that takes the first part's place at the end. While it loads
// the text is read-only, as edits to the first part would be lost.
class CViewLoading
{
public:
    explicit CViewLoading(COstrelView& view);
    ~CViewLoading();
    CViewLoading(const CViewLoading&) = delete;
    CViewLoading& operator=(const CViewLoading&) = delete;

    // Opens a regular file for loading; null with the reason for a folder, a pipe, a device or a
    // file that cannot be read.
    static std::unique_ptr<QFile> OpenLogFile(const QString& path, QString& error);
    static QString FailedToOpenMessage(const QString& path, const QString& reason);

    // Replaces the view's text by the file's, in the editor (the view has ruled out the paged view).
    void Load(std::unique_ptr<QFile> file);
    bool IsLoading() const { return m_pLoader != nullptr; }
    // Waits for the whole text, showing a wait cursor.
    void Finish();
    // Stops loading; the first part stays.
    void Stop();
    // While loading: the lines the whole file is likely to have, for the margin's width; else 0.
    std::int64_t GetExpectedLines() const { return m_nExpectedLines; }
    // Selects the pending file line starting there (-1: not found) once its end is in the text.
    void SelectPendingLine(std::int64_t lineStart, bool loadingDone);

private:
    ILoader* CreateDocumentLoader(std::int64_t room) const;
    void ShowLoadedDocument(ILoader* loader);
    void OnFinished(bool succeeded);
    // Editable again, no undo history, modified flag clear.
    void End();

    COstrelView& m_View;
    std::unique_ptr<CTextLoader> m_pLoader;
    std::int64_t m_nExpectedLines = 0;
    bool m_bShowsCursor = false;
};
