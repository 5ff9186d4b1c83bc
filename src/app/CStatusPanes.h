// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

class CKeyboardIndicators;
class QAction;
class COstrelDoc;
class COstrelView;
class QLabel;
class QStatusBar;

// The panes of the main window's status bar: the message on the left, then the layout of the
// view's times (hidden while it shows none), the caret's line and the keyboard's lock states.
// The panes follow one log view: its loading, its notes, its caret and what it shows.
class CStatusPanes : public QObject
{
    Q_OBJECT

public:
    explicit CStatusPanes(QStatusBar& bar);

    // What the message pane says when nothing goes on: "Ready", or for filter output what the run
    // kept ("Filter output (excluding matches)").
    static QString ReadyText(const COstrelView* view, const COstrelDoc* document);

    // The panes follow this view and its document from now on, and show what they are now;
    // nothing but "Ready" without a view.
    void FollowView(COstrelView* view, COstrelDoc* document);
    void SetMessage(const QString& text);
    // The caret's line of the view ("Line: 12", in filter output "Line: 3 (file 12)", in a
    // rotated set "app.log.2.gz: line 12 (set line 3012)"); empty without a view.
    void ShowCaretLine(const COstrelView* view);
    // The layout of the view's times ("Times: syslog"); hidden while it shows none or loads.
    // The encoding pane beside it says what the file is read in ("UTF-16 LE").
    void ShowTimeLayout(COstrelView* view);
    bool IsTimeLayoutShown() const;
    // A button for the command beside the message, there only while the command is enabled
    // (Edit Anyway beside the paged view's note).
    void AddCommandButton(QAction* command, const QString& name);

private:
    // The ready text, only over "Ready": a load's progress and a view's note stay until they end.
    void UpdateReadyText();
    void ConnectView();

    QLabel* m_pMessagePane = nullptr;
    QLabel* m_pLinePane = nullptr;
    QLabel* m_pTimesPane = nullptr;
    QLabel* m_pEncodingPane = nullptr;
    CKeyboardIndicators* m_pKeyboardIndicators = nullptr;
    QPointer<COstrelView> m_pView;
    QPointer<COstrelDoc> m_pDocument;
    QMetaObject::Connection m_FilteringConnection; // the document's runs
    QMetaObject::Connection m_StreamConnection;    // the end of the document's stream
};
