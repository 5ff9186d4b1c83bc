// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include "view/COstrelView.h"

namespace ViewTest {

// A view without a document holding the given bytes; UTF-8 or one byte per character.
inline std::unique_ptr<COstrelView> MakeView(const QByteArray& bytes, bool utf8 = true)
{
    auto view = std::make_unique<COstrelView>(nullptr);
    view->SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE,
                        utf8 ? static_cast<unsigned long>(QsciScintillaBase::SC_CP_UTF8) : 0UL);
    if (!bytes.isEmpty())
        view->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    view->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    view->SendScintilla(QsciScintillaBase::SCI_SETSEL, 0UL, 0L);
    return view;
}

inline QByteArray TextOf(COstrelView* view)
{
    const std::string_view bytes = view->GetTextBytes();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::pair<long, long> SelectionOf(const COstrelView* view)
{
    return {view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART),
            view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND)};
}

inline void Select(COstrelView* view, long start, long end)
{
    view->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(start), end);
}

// Answers every modal window that shows while it lives: message boxes are recorded and closed
// with OK; any other dialog goes to the handler (or is rejected when there is none). The handler
// is called once each time the dialog becomes the active modal window again.
class ModalWatcher
{
public:
    std::function<void(QDialog*)> OnDialog;
    QStringList BoxTitles;
    QStringList BoxTexts;

    ModalWatcher()
    {
        m_Timer.setInterval(5);
        QObject::connect(&m_Timer, &QTimer::timeout, [this] { Poll(); });
        m_Timer.start();
    }

    int BoxCount() const { return static_cast<int>(BoxTexts.size()); }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            m_pHandled = nullptr;
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            BoxTitles.append(box->windowTitle());
            BoxTexts.append(box->text());
            m_pHandled = nullptr;
            box->done(QMessageBox::Ok);
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog || dialog == m_pHandled)
            return;
        m_pHandled = dialog;
        // Later, not from this timer: a timer does not fire again while its slot runs, and the
        // handler may open a message box that this timer has to answer.
        QTimer::singleShot(0, dialog, [this, dialog] {
            if (OnDialog)
                OnDialog(dialog);
            else
                dialog->reject();
        });
    }

    QTimer m_Timer;
    // Weak: the next dialog may be made at the address of the last one.
    QPointer<QDialog> m_pHandled;
};

} // namespace ViewTest

// Qt Test main with a plain application and the settings in the test's own folder.
#define OSTREL_VIEW_TEST_MAIN(TestClass)                                                                              \
    int main(int argc, char** argv)                                                                                  \
    {                                                                                                                \
        QStandardPaths::setTestModeEnabled(true);                                                                    \
        QApplication app(argc, argv);                                                                                \
        TestClass test;                                                                                              \
        return QTest::qExec(&test, argc, argv);                                                                      \
    }
