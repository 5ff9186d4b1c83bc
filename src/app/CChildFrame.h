// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QWidget>

class COstrelDoc;
class COstrelView;
class CWholeFilePane;
class ILogWorkspace;
class QSplitter;
class QVBoxLayout;

// The page of one document tab: it owns the document and holds its view, and beside the view,
// while the window is split, the whole file. Its window title is the tab's text; the view writes
// it (the document's name, "*" while modified).
class CChildFrame : public QWidget
{
    Q_OBJECT

public:
    explicit CChildFrame(ILogWorkspace* workspace, QWidget* parent = nullptr);
    ~CChildFrame() override;

    COstrelDoc* GetDocument() const { return m_pDocument.get(); }
    COstrelView* GetView() const { return m_pView; }

    // Asks to save a modified text; true when the frame may close.
    bool CanClose();

    // The text of the tab and of the Windows list: the window title, after the folders that
    // tell the file apart from another open file of the same name ("b/app.log*").
    QString GetTabText() const;
    void SetTitleFolders(const QString& folders) { m_strTitleFolders = folders; }

    // The whole file below the view (Qt::Vertical) or at its right, the view taking `divider`
    // (0 to 1) of the room; or no split. A split already shown keeps its divider.
    void ShowSplit(bool shown, Qt::Orientation orientation, double divider);
    // The pane of the whole file and the splitter that holds it beside the view while the split
    // is shown, else null.
    CWholeFilePane* GetWholeFilePane() const { return m_pWholeFile; }
    QSplitter* GetSplitter() const { return m_pSplitter; }
    // The view's share of the room (0 to 1) while split, else -1.
    double GetSplitDivider() const;
    // The workspace's font changed: the view and the pane beside it take it.
    void OnTextFormatChanged();
    // The highlight rules changed: the view and the pane draw them anew.
    void RefreshMarks();

Q_SIGNALS:
    void TitleChanged(CChildFrame* frame);
    // The user moved the split's divider: the view has this share of the room now.
    void SplitDividerMoved(double divider);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<COstrelDoc> m_pDocument;
    COstrelView* m_pView;
    ILogWorkspace* m_pWorkspace;
    QVBoxLayout* m_pLayout;
    QSplitter* m_pSplitter = nullptr; // while the split is shown
    CWholeFilePane* m_pWholeFile = nullptr;
    QString m_strTitleFolders;
};
