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

Q_SIGNALS:
    void TitleChanged(CChildFrame* frame);

protected:
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<COstrelDoc> m_pDocument;
    COstrelView* m_pView;
};
