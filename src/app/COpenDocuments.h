// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class COstrelDoc;
class CStreamCapture;
class QTabWidget;

// The log documents open in the main window, in the order they were opened, and the place each
// one keeps of its tab: the tab group and the index there that tooltips are found by.
class COpenDocuments
{
public:
    void Add(COstrelDoc* document);
    void Remove(COstrelDoc* document);
    bool Contains(const COstrelDoc* document) const;
    const QList<COstrelDoc*>& Get() const { return m_Documents; }

    // A tab dragged from one index to another of its group: the moved document takes the new
    // index, those it passed move up or down by one. Nothing for a document not in the list.
    void NoteTabMoved(COstrelDoc* moved, int from, int to);
    // A tab moved to another group keeps its index until its activation gives it the new one.
    static void NoteMovedToGroup(COstrelDoc* moved, QTabWidget* to);
    // Every document's tab position from where its tab stands now in the groups.
    static void RenumberTabs(const QList<QTabWidget*>& groups);

    // The tooltip of a tab: the full path of the first open document whose tab position is this
    // group and index, with a line for filter output and one for a file changed on disk (for a
    // stream, StreamToolTip); empty when none is.
    QString GetTabToolTip(const QTabWidget* group, int index) const;
    // A stream tab's tooltip: its command, how it stands, the last lines of its standard error.
    static QString StreamToolTip(const CStreamCapture& capture);

private:
    QList<COstrelDoc*> m_Documents;
};
