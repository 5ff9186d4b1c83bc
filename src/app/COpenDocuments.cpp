// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/COpenDocuments.h"

#include <QTabWidget>

#include "app/CChildFrame.h"
#include "document/COstrelDoc.h"
#include "document/CStreamCapture.h"
#include "view/COstrelView.h"
#include "view/FilterOutputCommands.h"

void COpenDocuments::Add(COstrelDoc* document)
{
    m_Documents.append(document);
}

void COpenDocuments::Remove(COstrelDoc* document)
{
    m_Documents.removeOne(document);
}

bool COpenDocuments::Contains(const COstrelDoc* document) const
{
    return m_Documents.contains(document);
}

void COpenDocuments::NoteTabMoved(COstrelDoc* moved, int from, int to)
{
    if (!moved || !m_Documents.contains(moved))
        return;
    int movedIndex = -1;
    QWidget* tabWindow = nullptr;
    moved->GetTabPosition(movedIndex, tabWindow);
    if (!tabWindow)
        return;
    for (COstrelDoc* document : std::as_const(m_Documents)) {
        int index = -1;
        QWidget* window = nullptr;
        document->GetTabPosition(index, window);
        if (document == moved || window != tabWindow)
            continue;
        if (to > from && from < index && index <= to)
            document->SetTabPosition(index - 1, window);
        else if (to < from && to <= index && index < from)
            document->SetTabPosition(index + 1, window);
    }
    moved->SetTabPosition(to, tabWindow);
}

void COpenDocuments::NoteMovedToGroup(COstrelDoc* moved, QTabWidget* to)
{
    if (!moved)
        return;
    int index = -1;
    QWidget* window = nullptr;
    moved->GetTabPosition(index, window);
    moved->SetTabPosition(index, to);
}

void COpenDocuments::RenumberTabs(const QList<QTabWidget*>& groups)
{
    // A tab that closes or changes groups shifts the ones after it in both groups: renumber all,
    // or a tooltip would show a neighbour's path.
    for (QTabWidget* group : groups) {
        for (int index = 0; index < group->count(); ++index) {
            if (auto* frame = qobject_cast<CChildFrame*>(group->widget(index)))
                frame->GetDocument()->SetTabPosition(index, group);
        }
    }
}

QString COpenDocuments::StreamToolTip(const CStreamCapture& capture)
{
    // The command, how it stands, and the last lines of what it said on standard error.
    constexpr qsizetype ErrorLinesShown = 10;
    QString tip = capture.GetTitle() + u'\n' + (capture.IsRunning() ? capture.GetRunningText() : capture.GetEndText());
    QStringList errors = capture.GetErrorText().split(u'\n');
    if (errors.size() > ErrorLinesShown)
        errors = errors.mid(errors.size() - ErrorLinesShown);
    if (!capture.GetErrorText().isEmpty())
        tip += u'\n' + errors.join(u'\n');
    return tip;
}

QString COpenDocuments::GetTabToolTip(const QTabWidget* group, int index) const
{
    for (const COstrelDoc* document : m_Documents) {
        int tabIndex = -1;
        QWidget* tabWindow = nullptr;
        document->GetTabPosition(tabIndex, tabWindow);
        if (tabIndex != index || tabWindow != group)
            continue;
        if (const CStreamCapture* capture = document->GetStreamCapture())
            return StreamToolTip(*capture);
        QString tip = document->GetToolTip();
        const COstrelView* view = document->GetView();
        if (view && view->GetShowsFilteredText())
            tip += u'\n' + DescribeFilterOutput(*document);
        if (view && view->IsFileChangedOnDisk())
            tip += QStringLiteral("\nFile changed on disk");
        return tip;
    }
    return QString();
}
