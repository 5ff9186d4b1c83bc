// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CStatusPanes.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

#include "app/CKeyboardIndicators.h"
#include "document/COstrelDoc.h"
#include "document/CStreamCapture.h"
#include "view/COstrelView.h"
#include "view/CTimeGoTo.h"
#include "view/FilterOutputCommands.h"
#include "view/OutputTabNumbers.h"

CStatusPanes::CStatusPanes(QStatusBar& bar) : QObject(&bar)
{
    bar.setObjectName(QStringLiteral("statusBar"));
    m_pMessagePane = new QLabel(QStringLiteral("Ready"), &bar);
    m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
    bar.addWidget(m_pMessagePane, 1);

    auto addPane = [&bar](const char* name, const QString& widthText) {
        auto* pane = new QLabel(&bar);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setFrameShape(QFrame::StyledPanel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(widthText) + 8);
        bar.addPermanentWidget(pane);
        return pane;
    };
    m_pTimesPane = addPane("timesPane", QString());
    m_pTimesPane->setVisible(false);
    m_pEncodingPane = addPane("encodingPane", QStringLiteral("UTF-16 LE"));
    m_pEncodingPane->setVisible(false);
    m_pLinePane = addPane("linePane", QString(30, u' '));
    m_pLinePane->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QLabel* capsPane = addPane("capsPane", QStringLiteral("CAP"));
    QLabel* numPane = addPane("numPane", QStringLiteral("NUM"));
    QLabel* scrollPane = addPane("scrollPane", QStringLiteral("SCRL"));
    m_pKeyboardIndicators = new CKeyboardIndicators(capsPane, numPane, scrollPane, this);
}

QString CStatusPanes::ReadyText(const COstrelView* view, const COstrelDoc* document)
{
    if (view && document && view->GetShowsFilteredText())
        return DescribeFilterOutput(*document);
    if (const CStreamCapture* capture = document ? document->GetStreamCapture() : nullptr)
        return capture->GetStatusText();
    return QStringLiteral("Ready");
}

void CStatusPanes::FollowView(COstrelView* view, COstrelDoc* document)
{
    if (m_pView)
        disconnect(m_pView, nullptr, this, nullptr);
    disconnect(m_FilteringConnection);
    disconnect(m_StreamConnection);
    m_pView = view;
    m_pDocument = document;
    if (!view) {
        SetMessage(QStringLiteral("Ready"));
        return;
    }
    ConnectView();
    if (!view->GetStatusNote().isEmpty())
        SetMessage(view->GetStatusNote());
    else
        SetMessage(view->IsLoading() ? QStringLiteral("Loading...") : ReadyText(view, document));
    // A new run over filter output keeps the view's state but may change what it holds.
    if (document) {
        m_FilteringConnection = connect(document, &COstrelDoc::FilteringChanged, this, &CStatusPanes::UpdateReadyText);
        m_StreamConnection = connect(document, &COstrelDoc::StreamEnded, this, &CStatusPanes::UpdateReadyText);
    }
}

void CStatusPanes::ConnectView()
{
    connect(m_pView, &COstrelView::CaretMoved, this, [this] { ShowCaretLine(m_pView); });
    connect(m_pView, &COstrelView::ShowsFilteredTextChanged, this, [this] {
        UpdateReadyText();
        ShowTimeLayout(m_pView);
    });
    connect(m_pView, &COstrelView::LoadProgress, this,
            [this](int percent) { SetMessage(QStringLiteral("Loading %1%").arg(percent)); });
    connect(m_pView, &COstrelView::LoadFinished, this, [this] {
        SetMessage(ReadyText(m_pView, m_pDocument));
        ShowTimeLayout(m_pView);
    });
    // A paged view says what it is doing (indexing) and why it cannot be edited; its first
    // lines are known once the index has begun.
    connect(m_pView, &COstrelView::StatusNoteChanged, this, [this](const QString& note) {
        SetMessage(note.isEmpty() ? ReadyText(m_pView, m_pDocument) : note);
        if (m_pView && m_pView->IsPaged() && !IsTimeLayoutShown())
            ShowTimeLayout(m_pView);
    });
}

void CStatusPanes::UpdateReadyText()
{
    if (m_pView && !m_pView->IsLoading() && m_pView->GetStatusNote().isEmpty())
        SetMessage(ReadyText(m_pView, m_pDocument));
}

void CStatusPanes::SetMessage(const QString& text)
{
    m_pMessagePane->setText(text);
}

void CStatusPanes::ShowCaretLine(const COstrelView* view)
{
    if (!view) {
        m_pLinePane->setText(QString());
        return;
    }
    // In a rotated set, and in its filter output, the file the line is in and its line there.
    QString fileName;
    std::int64_t lineInFile = 0;
    if (view->GetCaretFilePlace(fileName, lineInFile)) {
        const std::int64_t setLine = view->GetShowsFilteredText() ? view->GetCaretFileLine() : view->GetCaretLine();
        const bool merged = view->GetDocument() && view->GetDocument()->IsMerged();
        m_pLinePane->setText(
            (merged ? QStringLiteral("%1: line %2 (merged line %3)") : QStringLiteral("%1: line %2 (set line %3)"))
                .arg(fileName)
                .arg(lineInFile)
                .arg(setLine));
        return;
    }
    // In filter output the line of the file, too; in a tab made from output, the original file's.
    const CDerivedOutput* derived = DerivedOutputOf(*view);
    const std::int64_t fileLine = derived ? OriginalCaretLine(*view, *derived) : view->GetCaretFileLine();
    m_pLinePane->setText(fileLine > 0 ? QStringLiteral("Line: %1 (file %2)").arg(view->GetCaretLine()).arg(fileLine)
                                      : QStringLiteral("Line: %1").arg(view->GetCaretLine()));
}

void CStatusPanes::ShowTimeLayout(COstrelView* view)
{
    const TimeLayout layout = view && !view->IsLoading() ? CTimeGoTo(*view).DetectLayout() : TimeLayout::None;
    const std::string_view name = TimeLayoutName(layout);
    m_pTimesPane->setText(QStringLiteral("Times: ") %
                          QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    m_pTimesPane->setVisible(layout != TimeLayout::None);
    // The encoding the file is read in, with the layout as both are known once it has loaded.
    m_pEncodingPane->setText(view ? view->GetTextEncoding().ShownName() : QString());
    m_pEncodingPane->setVisible(view != nullptr);
}

bool CStatusPanes::IsTimeLayoutShown() const
{
    return !m_pTimesPane->isHidden();
}

void CStatusPanes::AddCommandButton(QAction* command, const QString& name)
{
    auto* bar = static_cast<QStatusBar*>(parent());
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setDefaultAction(command);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Among the permanent panes, the first: a status tip (its own, on hover) would hide it else.
    bar->insertPermanentWidget(0, button);
    button->setVisible(command->isEnabled());
    connect(command, &QAction::changed, button, [button, command] { button->setVisible(command->isEnabled()); });
}
