// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/COstrelDoc.h"

#include <memory>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "app/CMainFrame.h"
#include "view/COstrelView.h"

COstrelDoc::COstrelDoc(CMainFrame* mainFrame, QObject* parent)
    : QObject(parent)
    , m_pMainFrame(mainFrame)
{
}

COstrelDoc::~COstrelDoc() = default;

bool COstrelDoc::OnOpenDocument(const QString& path)
{
    QString error;
    auto file = COstrelView::OpenLogFile(path, error);
    if (!file || !m_pView) {
        QMessageBox::warning(nullptr, QStringLiteral("Ostrel"), QStringLiteral("Failed to open document."));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetPathName(path);
    m_pView->LoadFile(std::move(file));
    QApplication::restoreOverrideCursor();
    if (m_pMainFrame)
        m_pMainFrame->AddOpenDocument(this);
    return true;
}

void COstrelDoc::OnCloseDocument()
{
    if (m_pView)
        m_pView->StopLoading();
    if (m_pMainFrame)
        m_pMainFrame->RemoveOpenDocument(this);
}

bool COstrelDoc::OnFileSave()
{
    if (!m_pView)
        return false;
    if (m_pView->GetShowsFilteredText())
        return m_pView->RunSaveAs();
    if (!IsModified())
        return true;
    if (!m_pView->WriteViewText())
        return false;
    m_pView->SetTextUnmodified();
    return true;
}

bool COstrelDoc::SaveModified()
{
    if (!IsModified())
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ostrel"), QStringLiteral("Save changes to %1?").arg(m_strTitle),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setObjectName(QStringLiteral("saveChangesBox"));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return OnFileSave();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool COstrelDoc::IsModified() const
{
    return m_pView && m_pView->IsTextModified();
}

void COstrelDoc::SetTitle(const QString& title)
{
    if (title == m_strTitle)
        return;
    m_strTitle = title;
    Q_EMIT TitleChanged(title);
}

QString COstrelDoc::GetPathName() const
{
    return QString::fromStdU16String(m_FilterSettings.GetPath());
}

void COstrelDoc::SetPathName(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_FilterSettings.SetPath(absolute.toStdU16String());
    SetTitle(QString::fromStdU16String(m_FilterSettings.GetFileName()));
    Q_EMIT PathNameChanged(absolute);
}

void COstrelDoc::SetTabPosition(int index, QWidget* tabWindow)
{
    m_nTabIndex = index;
    m_pTabWindow = tabWindow;
}

void COstrelDoc::GetTabPosition(int& index, QWidget*& tabWindow) const
{
    index = m_nTabIndex;
    tabWindow = m_pTabWindow;
}
