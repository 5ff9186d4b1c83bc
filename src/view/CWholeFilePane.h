// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "view/CTextToggle.h"

class CPaneWorkspace;

class COstrelDoc;
class COstrelView;
class ILogWorkspace;

// The whole file beside a view: a second view, read-only and numbered, of the file the view's
// document shows. While the view shows filter output, the file line of the caret's output line is
// brought into this pane and marked; what the user does here never moves the view. While the view
// shows the whole file the pane scrolls on its own, so that two places of the file can be read at
// once. The pane reads the file as any view does, but pages it from a smaller size on (see
// CPaneWorkspace), the rest on the loading thread; it follows the file while the view does, and reads it anew when the
// view's new text (a run, a reload, Ctrl+T) comes from a file that changed.
class CWholeFilePane : public QWidget
{
    Q_OBJECT

public:
    // The editor's marker on the line the caret's output line came from.
    static constexpr int Marker = 3;

    // view: the view the pane stands beside; it may go before the pane.
    CWholeFilePane(COstrelView& view, ILogWorkspace* workspace, QWidget* parent = nullptr);
    ~CWholeFilePane() override;

    COstrelView* GetView() const { return m_pView; }
    // The file line (1-based) brought in and marked last; 0 before the first.
    std::int64_t GetMarkedFileLine() const { return m_nTargetLine; }
    // The editor line that carries the mark now, -1 while the marked line is not in the editor.
    std::int64_t GetMarkedViewLine() const;
    // The workspace's font changed.
    void OnTextFormatChanged();
    // The highlight rules, or the marks, changed: the pane draws them anew.
    void RefreshMarks();

protected:
    // The file is read once the pane is first shown: a split tab behind others costs nothing.
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The file the pane shows for a document: its own, or for a tab made from filter output the
    // original log its lines came from.
    static QString FileOf(const COstrelDoc& document);
    // The file of the view's document, read anew.
    void Load();
    // The view has a new text: the pane reads the file again when it is another file, or changed.
    void LoadIfStale();
    // The view's caret moved: in filter output, its file line comes into the pane.
    void FollowCaret();
    void GoToTargetLine();
    // Puts the marker on the target line when the editor holds it.
    void PlaceMark();
    // The editor line of the target line in a text held whole; -1 while it is not held.
    std::int64_t HeldTargetLine();
    void DefineMarker();
    // The pane shows the bookmarks of the view's document, where its lines are the pane's.
    void ShareBookmarks();

    QPointer<COstrelView> m_pUpper;
    std::unique_ptr<CPaneWorkspace> m_pWorkspace; // the window's, with a smaller paging limit
    std::unique_ptr<COstrelDoc> m_pDocument;
    COstrelView* m_pView;
    bool m_bLoaded = false;
    QString m_strLoadedPath;
    CTextToggle::FileStamp m_LoadedStamp;
    std::uint64_t m_nUpperGeneration = 0;
    std::int64_t m_nTargetLine = 0;      // 1-based file line, 0 for none
    std::int64_t m_nMarkedViewLine = -1; // the editor line the marker was put on
    // The target's editor line, worked out for this target in this text.
    struct HeldLine
    {
        std::int64_t Target = 0;
        std::uint64_t Generation = 0;
        std::int64_t Line = -1;
    } m_Held;
};
