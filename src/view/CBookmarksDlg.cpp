// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CBookmarksDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "view/COstrelView.h"
#include "view/CViewBookmarks.h"
#include "view/DialogFrames.h"

namespace {
constexpr int LineRole = Qt::UserRole;
} // namespace

CBookmarksDlg::CBookmarksDlg(COstrelView& view, QWidget* parent) : QDialog(parent, PlainDialogFlags), m_pView(&view)
{
    setObjectName(QStringLiteral("bookmarksDialog"));
    setWindowTitle(QStringLiteral("Bookmarks"));

    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QStringLiteral("bookmarkList"));
    m_pList->setColumnCount(2);
    m_pList->setHeaderLabels({QStringLiteral("Line"), QStringLiteral("Text")});
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->header()->setStretchLastSection(true);
    m_pNoteLabel = new QLabel(this);
    m_pNoteLabel->setObjectName(QStringLiteral("bookmarkNoteLabel"));
    m_pNoteLabel->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_pGoToButton = buttons->addButton(QStringLiteral("&Go To"), QDialogButtonBox::AcceptRole);
    m_pGoToButton->setObjectName(QStringLiteral("goToButton"));
    m_pGoToButton->setDefault(true);
    m_pClearAllButton = buttons->addButton(QStringLiteral("C&lear All"), QDialogButtonBox::ResetRole);
    m_pClearAllButton->setObjectName(QStringLiteral("clearAllButton"));
    m_pClearAllButton->setAutoDefault(false);
    QPushButton* closeButton = buttons->addButton(QDialogButtonBox::Close);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoDefault(false);
    // Enter takes the default button; the list's own activation would go there a second time.
    connect(m_pGoToButton, &QPushButton::clicked, this, &CBookmarksDlg::GoToChosen);
    connect(m_pClearAllButton, &QPushButton::clicked, this, &CBookmarksDlg::ClearAll);
    connect(closeButton, &QPushButton::clicked, this, &CBookmarksDlg::reject);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, &CBookmarksDlg::GoToChosen);
    connect(m_pList, &QTreeWidget::currentItemChanged, this, &CBookmarksDlg::UpdateButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addWidget(m_pNoteLabel);
    layout->addWidget(buttons);
    resize(560, 320);
    FillList();
}

void CBookmarksDlg::FillList()
{
    m_pList->clear();
    if (!m_pView)
        return;
    CViewBookmarks& bookmarks = m_pView->GetBookmarks();
    const std::int64_t caretLine =
        bookmarks.LineOfViewLine(m_pView->GetEditor().LineFromPosition(m_pView->GetEditor().GetCurrentPosition()));
    QTreeWidgetItem* current = nullptr;
    for (const std::int64_t line : bookmarks.Set().All()) {
        auto* item = new QTreeWidgetItem(m_pList);
        item->setText(0, QString::number(line));
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, LineRole, QVariant::fromValue<qlonglong>(line));
        if (bookmarks.IsReachable(line)) {
            item->setText(1, bookmarks.TextOf(line));
        } else {
            // Its text as it was seen, if it was: the output holds no text of it.
            const QString seen = bookmarks.TextOf(line);
            item->setText(1, seen.isEmpty() ? QStringLiteral("(not in the filter output)")
                                            : QStringLiteral("(not in the filter output) ") + seen);
            item->setDisabled(true);
        }
        if (!current || line <= caretLine)
            current = item;
    }
    m_pList->resizeColumnToContents(0);
    m_pList->setColumnWidth(0, m_pList->columnWidth(0) + m_pList->fontMetrics().averageCharWidth() * 2);
    if (current)
        m_pList->setCurrentItem(current);
    m_pNoteLabel->setText(m_pList->topLevelItemCount() == 0
                              ? QStringLiteral("No bookmarks. Ctrl+F2 sets one on the caret's line, F2 and Shift+F2 go "
                                               "to the next and the previous one.")
                              : QString());
    m_pNoteLabel->setVisible(!m_pNoteLabel->text().isEmpty());
    UpdateButtons();
}

void CBookmarksDlg::UpdateButtons()
{
    const QTreeWidgetItem* item = m_pList->currentItem();
    m_pGoToButton->setEnabled(item && !item->isDisabled());
    m_pClearAllButton->setEnabled(m_pList->topLevelItemCount() > 0);
}

void CBookmarksDlg::GoToChosen()
{
    const QTreeWidgetItem* item = m_pList->currentItem();
    if (!m_pView || !item || item->isDisabled())
        return;
    if (m_pView->GetBookmarks().GoTo(item->data(0, LineRole).toLongLong()))
        accept();
}

void CBookmarksDlg::ClearAll()
{
    if (m_pView)
        m_pView->GetBookmarks().Clear();
    FillList();
}
