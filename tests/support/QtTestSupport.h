// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the Qt Test programs of the desktop program share: files, a stand-in workspace, views of
// their own, one way to answer modal windows, and the test program's main function.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"
#include "view/ILogWorkspace.h"

namespace TestSupport {

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline bool AppendFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A workspace without a main window: the documents it opens, one of them active. Tests switch
// the active one and tell of the main window's activation themselves.
class TestWorkspace : public ILogWorkspace
{
public:
    TestWorkspace() : m_pDialogOwner(std::make_unique<QWidget>()) {}
    ~TestWorkspace() override
    {
        // The dialogs go first, while the workspace they follow is whole; then each view before
        // its document.
        m_pDialogOwner.reset();
        for (const auto& entry : m_Documents)
            entry.second->StopLoading();
        while (!m_Documents.empty()) {
            m_Documents.back().second.reset();
            m_Documents.pop_back();
        }
    }

    COstrelView* GetActiveLogView() const override { return m_pActiveView; }
    COstrelDoc* GetActiveLogDocument() const override { return m_pActiveView ? m_pActiveView->GetDocument() : nullptr; }
    // A window of its own that is never shown: the dialogs go with the workspace.
    QWidget* GetDialogOwner() const override { return m_pDialogOwner.get(); }
    CTextFormat GetTextFormat() const override { return m_TextFormat; }
    void SetTextFormat(const CTextFormat& format) override { m_TextFormat = format; }
    QPrinter& GetPrinter() override { return m_Printer; }
    bool GetShowLineNumbers() const override { return m_bShowLineNumbers; }
    void SetShowLineNumbers(bool shown) { m_bShowLineNumbers = shown; }
    std::int64_t GetPagedViewThreshold() const override { return m_nPagedViewThreshold; }
    void SetPagedViewThreshold(std::int64_t bytes) { m_nPagedViewThreshold = bytes; }
    unsigned GetFilterThreadCount() const override { return m_nFilterThreads; }
    void SetFilterThreadCount(unsigned threads) { m_nFilterThreads = threads; }
    bool GetToolTipsEnabled() const override { return m_bToolTipsEnabled; }
    void SetToolTipsEnabled(bool enabled) override { m_bToolTipsEnabled = enabled; }
    const std::vector<HighlightRule>& GetHighlightRules() const override { return m_HighlightRules; }
    // Kept in memory; every open view shows them at once, as in the main window.
    void SetHighlightRules(const std::vector<HighlightRule>& rules) override
    {
        m_HighlightRules = rules;
        for (const auto& entry : m_Documents)
            entry.second->RefreshMarks();
    }
    CWorkspaceSignals& GetSignals() override { return m_Signals; }
    // Problems are kept for the test to look at; none is shown.
    void ReportProblem(const CProblemReport& problem) override { m_Reports.push_back(problem); }
    const std::vector<CProblemReport>& GetReports() const { return m_Reports; }
    // The texts reported, "caption: text" each, and forgets them.
    QStringList TakeReports()
    {
        QStringList texts;
        for (const CProblemReport& report : m_Reports)
            texts.append(report.Caption + QStringLiteral(": ") + report.Text);
        m_Reports.clear();
        return texts;
    }
    // Questions are kept too and answered as the test says, by default with their default button.
    int AskQuestion(const CQuestion& question) override
    {
        m_Questions.push_back(question);
        if (m_nAnswer != 0)
            return m_nAnswer;
        return question.DefaultButton != 0 ? question.DefaultButton : question.Buttons & -question.Buttons;
    }
    void SetAnswer(int button) { m_nAnswer = button; }
    void ShowStatusNote(const QString& note) override { m_StatusNotes.append(note); }
    QStringList GetStatusNotes() const { return m_StatusNotes; }
    const std::vector<CQuestion>& GetQuestions() const { return m_Questions; }
    // No progress window unless the test gives a way to make one.
    QWidget* ShowFilteringProgress(CFilteringRun& run) override
    {
        return m_ProgressWindowFactory ? m_ProgressWindowFactory(run) : nullptr;
    }
    void SetProgressWindowFactory(std::function<QWidget*(CFilteringRun&)> factory)
    {
        m_ProgressWindowFactory = std::move(factory);
    }

    // Makes a view the active one (null for none) and says so, as the main window does.
    void Activate(COstrelView* view)
    {
        m_pActiveView = view;
        Q_EMIT m_Signals.ActiveLogViewChanged(view);
    }
    void Activate(COstrelDoc* document) { Activate(document ? document->GetView() : nullptr); }
    void ActivateMainWindow() { Q_EMIT m_Signals.MainWindowActivated(); }

    // Opens a file as a document with a view of this workspace and activates it; a file already
    // open is only activated. Null when it cannot be opened.
    COstrelDoc* OpenDocumentFile(const QString& path)
    {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        for (const auto& [document, view] : m_Documents) {
            if (document->GetPathName() == absolute) {
                Activate(view.get());
                return document.get();
            }
        }
        auto document = std::make_unique<COstrelDoc>();
        auto view = std::make_unique<COstrelView>(document.get(), this);
        document->SetView(view.get());
        view->OnInitialUpdate();
        if (!document->OnOpenDocument(absolute))
            return nullptr;
        COstrelDoc* opened = document.get();
        m_Documents.emplace_back(std::move(document), std::move(view));
        Activate(m_Documents.back().second.get());
        return opened;
    }

    // Closes a document as the main window does: its view and then the document go.
    void CloseDocument(COstrelDoc* document)
    {
        for (auto it = m_Documents.begin(); it != m_Documents.end(); ++it) {
            if (it->first.get() != document)
                continue;
            document->OnCloseDocument();
            if (m_pActiveView == it->second.get())
                Activate(static_cast<COstrelView*>(nullptr));
            it->second.reset();
            m_Documents.erase(it);
            return;
        }
    }

private:
    std::unique_ptr<QWidget> m_pDialogOwner;
    COstrelView* m_pActiveView = nullptr;
    CTextFormat m_TextFormat;
    QPrinter m_Printer;
    bool m_bToolTipsEnabled = true;
    std::int64_t m_nPagedViewThreshold = 0;
    unsigned m_nFilterThreads = 0;
    bool m_bShowLineNumbers = false;
    std::vector<HighlightRule> m_HighlightRules;
    CWorkspaceSignals m_Signals;
    std::vector<CProblemReport> m_Reports;
    std::vector<CQuestion> m_Questions;
    QStringList m_StatusNotes;
    int m_nAnswer = 0;
    std::function<QWidget*(CFilteringRun&)> m_ProgressWindowFactory;
    std::vector<std::pair<std::unique_ptr<COstrelDoc>, std::unique_ptr<COstrelView>>> m_Documents;
};

// A view without a document holding the given bytes; UTF-8 or one byte per character.
inline std::unique_ptr<COstrelView> MakeView(const QByteArray& bytes, bool utf8 = true,
                                             ILogWorkspace* workspace = nullptr)
{
    auto view = std::make_unique<COstrelView>(nullptr, workspace);
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

inline void SendMouse(QWidget* pWidget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(pWidget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

// The one way the tests answer modal windows: a poll that hands every modal window that comes up
// to a handler, once each time it becomes the active modal window. `once` stops it after the
// first. A handler that leaves its window open does not hang the test: the window is closed
// after a while, with a warning.
inline QTimer* WatchModals(std::function<void(QWidget*)> handler, bool once)
{
    auto* poll = new QTimer(qApp);
    poll->setObjectName(QStringLiteral("modalPoll"));
    poll->setInterval(5);
    auto handled = std::make_shared<QPointer<QWidget>>(); // weak: a new window may take the old address
    QObject::connect(poll, &QTimer::timeout, poll, [poll, handled, once, handler = std::move(handler)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            *handled = nullptr;
            return;
        }
        if (modal == *handled)
            return;
        *handled = modal;
        if (once) {
            poll->stop();
            poll->deleteLater();
        }
        // Later, not from this timer: a timer does not fire again while its slot runs, and the
        // handler may open a window that the poll has to answer.
        QTimer::singleShot(0, modal, [modal, handler] { handler(modal); });
        QTimer::singleShot(5000, qApp, [pModal = QPointer<QWidget>(modal)] {
            if (pModal && pModal->isVisible() && pModal == QApplication::activeModalWidget()) {
                qWarning("a modal window was left open: %s", qPrintable(pModal->windowTitle()));
                pModal->close();
            }
        });
    });
    poll->start();
    return poll;
}

// Runs handler on the next modal window once it is up; the returned flag tells whether it came.
// Call before the action that opens it.
inline std::shared_ptr<bool> OnNextModal(std::function<void(QWidget*)> handler)
{
    auto seen = std::make_shared<bool>(false);
    WatchModals(
        [seen, handler = std::move(handler)](QWidget* modal) {
            *seen = true;
            handler(modal);
        },
        true);
    return seen;
}

// Stops a pending modal poll from answering a later test's window.
inline void DropPendingModalHandlers()
{
    for (QTimer* poll : qApp->findChildren<QTimer*>(QStringLiteral("modalPoll"), Qt::FindDirectChildrenOnly)) {
        poll->stop();
        poll->deleteLater();
    }
}

// What a modal box said, once it has been answered.
struct ModalAnswer
{
    bool Seen = false;
    QString Title;
    QString Text;
};

// Answers the next modal window: a message box with the given button, any other dialog rejected.
inline std::shared_ptr<ModalAnswer> AnswerNextModal(QMessageBox::StandardButton button)
{
    auto answer = std::make_shared<ModalAnswer>();
    OnNextModal([answer, button](QWidget* modal) {
        answer->Seen = true;
        answer->Title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            answer->Text = box->text();
            box->button(button)->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    });
    return answer;
}

// Answers every modal window while it lives: message boxes are recorded and closed with OK; any
// other dialog goes to OnDialog (or is rejected when there is none).
class ModalWatcher
{
public:
    std::function<void(QDialog*)> OnDialog;
    QStringList BoxTitles;
    QStringList BoxTexts;

    ModalWatcher()
        : m_pPoll(WatchModals(
              [this](QWidget* modal) {
                  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                      BoxTitles.append(box->windowTitle());
                      BoxTexts.append(box->text());
                      box->done(QMessageBox::Ok);
                  } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                      if (OnDialog)
                          OnDialog(dialog);
                      else
                          dialog->reject();
                  }
              },
              false))
    {}
    ~ModalWatcher()
    {
        if (m_pPoll) {
            m_pPoll->stop();
            m_pPoll->deleteLater();
        }
    }
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    int BoxCount() const { return static_cast<int>(BoxTexts.size()); }

private:
    QPointer<QTimer> m_pPoll;
};

// Answers a file dialog with a full path typed into its name field.
inline bool ChooseFile(QWidget* pModal, const QString& path)
{
    auto* pFiles = qobject_cast<QFileDialog*>(pModal);
    auto* pName = pFiles ? pFiles->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!pName) {
        pModal->close();
        return false;
    }
    pName->setText(path);
    QMetaObject::invokeMethod(pFiles, "accept", Qt::DirectConnection);
    return true;
}

// The test program: the given application class, the settings in a temporary folder of their
// own, the single-instance socket in a private folder of its own (a temporary folder is 0700),
// standard paths in test mode.
template <class Application, class TestClass> int RunQtTest(int argc, char** argv)
{
    QTemporaryDir configDir;
    QTemporaryDir runtimeDir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configDir.path());
    QStandardPaths::setTestModeEnabled(true);
    Application app(argc, argv);
    TestClass test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace TestSupport

// Runs a test class inside an application object of the given class (QApplication, or the
// program's own where the test needs it).
#define OSTREL_QT_TEST_MAIN(TestClass, Application)                                                                    \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        return TestSupport::RunQtTest<Application, TestClass>(argc, argv);                                             \
    }
