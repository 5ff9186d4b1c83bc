// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QWidget>

class COstrelDoc;
class COstrelView;
class ILogWorkspace;

// The page of one document tab: it owns the document and holds its view. Its window title is
// the tab's text; the view writes it (the document's name, "*" while modified).
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

Q_SIGNALS:
    void TitleChanged(CChildFrame* frame);

protected:
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<COstrelDoc> m_pDocument;
    COstrelView* m_pView;
    QString m_strTitleFolders;
};
