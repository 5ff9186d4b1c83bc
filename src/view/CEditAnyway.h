// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QPointer>
#include <QString>

#include "view/CTextLoader.h"

class COstrelView;
class ILoader;
class QProgressDialog;

// Edit Anyway: a file shown paged for its size is loaded whole into the editor once the user has
// agreed to the memory it takes. The paged view stays as it is, and usable, while the loading
// thread fills an editor document of its own, with a progress window whose Cancel leaves the
// paged view just so. At the end the whole text takes the window's place at the same bytes of
// the file (the same line at the top, the caret where it was), editable; from then on the view
// keeps its file whole. A load that fails (out of memory, a read error) says why and leaves the
// paged view.
class CEditAnyway
{
public:
    explicit CEditAnyway(COstrelView& view);
    ~CEditAnyway();
    CEditAnyway(const CEditAnyway&) = delete;
    CEditAnyway& operator=(const CEditAnyway&) = delete;

    // Whether the view shows a plain file paged for its size: not a rotated set, a compressed
    // file, a stream, filter output or a text paged only to wrap, and nothing under way that
    // holds the text (this load, a filtering run, a copy being saved).
    bool CanStart() const;
    // Asks first, with the file's size and the memory the editor will take; then starts the
    // load. False when it cannot start or the user says No.
    bool Start();
    bool IsLoading() const { return m_pLoader != nullptr; }
    // Stops a load under way; the paged view stays as it is.
    void Cancel();

    // The memory the editor takes for a file of this size once it holds it: a quarter more than
    // the file (its text with room to grow, its line starts).
    static std::int64_t EstimateMemory(std::int64_t fileSize);
    // The memory the system can hand out now without swapping (MemAvailable); -1 when unknown.
    static std::int64_t AvailableMemory();

    // How the loading thread makes the editor document, in place of the one made before the load
    // starts (for tests: one that runs out of memory).
    void SetLoaderFactory(CTextLoader::LoaderFactory factory) { m_Factory = std::move(factory); }

private:
    QString QuestionText(const QString& path, std::int64_t size) const;
    void ShowProgressWindow(const QString& path);
    void OnFinished(bool succeeded);
    // The loaded document takes the paged window's place, at the same bytes of the file.
    void ShowWholeText(ILoader* loader, bool linesAreFileLines);
    // The progress window goes.
    void CloseProgressWindow();

    COstrelView& m_View;
    CTextLoader::LoaderFactory m_Factory;
    std::unique_ptr<CTextLoader> m_pLoader;
    QPointer<QProgressDialog> m_pProgress;
    QString m_strPath;
    std::int64_t m_nSize = 0;
};

// Edit > Edit Anyway on a log view.
void RunEditAnywayCommand(COstrelView* view);
