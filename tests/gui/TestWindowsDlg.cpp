// SPDX-License-Identifier: GPL-3.0-or-later
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CWindowsDlg.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"

// The Windows... dialog: the open documents with Activate, Save and Close Window(s).
class TestWindowsDlg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void listsDocumentsAndEnablesByChoice();
    void closesSeveralAtOnceUntilCancel();
    void activatesAndSaves();
    void sameNamedFilesAreListedWithTheirFolder();

private:
    QString MakeLog(const QString& name);
    static void Select(CWindowsDlg& dialog, const QStringList& titles);
    static QStringList ListedTitles(CWindowsDlg& dialog);
    static QPushButton* Button(CWindowsDlg& dialog, const char* name);

    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestWindowsDlg::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
}

QString TestWindowsDlg::MakeLog(const QString& name)
{
    const QString path = m_pDir->filePath(name);
    TestSupport::WriteFile(path, "first line\nsecond line\n");
    return path;
}

void TestWindowsDlg::Select(CWindowsDlg& dialog, const QStringList& titles)
{
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("windowList"));
    list->clearSelection();
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setSelected(titles.contains(list->item(row)->text()));
}

QStringList TestWindowsDlg::ListedTitles(CWindowsDlg& dialog)
{
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("windowList"));
    QStringList titles;
    for (int row = 0; row < list->count(); ++row)
        titles.append(list->item(row)->text());
    return titles;
}

QPushButton* TestWindowsDlg::Button(CWindowsDlg& dialog, const char* name)
{
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

void TestWindowsDlg::listsDocumentsAndEnablesByChoice()
{
    CMainFrame frame;
    QAction* command = frame.GetCommand(CommandId::WindowManager);
    QVERIFY(command);
    QCOMPARE(command->text(), QStringLiteral("&Windows..."));
    auto* viewMenu = frame.findChild<QMenu*>(QStringLiteral("viewMenu"));
    QVERIFY(viewMenu->actions().contains(command));

    for (const char* name : {"a.log", "b.log", "c.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));
    // The command runs the dialog modally.
    auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    command->trigger();
    QVERIFY(answer->Seen);
    QCOMPARE(answer->Title, QStringLiteral("Windows"));

    CWindowsDlg dialog(&frame);
    QCOMPARE(ListedTitles(dialog),
             QStringList({QStringLiteral("a.log"), QStringLiteral("b.log"), QStringLiteral("c.log")}));
    // The active document comes chosen.
    QCOMPARE(dialog.GetSelectedFrames(), QList<CChildFrame*>({frame.GetActiveChildFrame()}));
    QVERIFY(Button(dialog, "activateButton")->isEnabled());

    Select(dialog, {QStringLiteral("a.log"), QStringLiteral("c.log")});
    QVERIFY(!Button(dialog, "activateButton")->isEnabled());
    QVERIFY(Button(dialog, "saveButton")->isEnabled());
    QVERIFY(Button(dialog, "closeWindowsButton")->isEnabled());
    Select(dialog, {});
    QVERIFY(!Button(dialog, "saveButton")->isEnabled());
    QVERIFY(!Button(dialog, "closeWindowsButton")->isEnabled());
    QVERIFY(Button(dialog, "okButton")->isEnabled());
}

void TestWindowsDlg::closesSeveralAtOnceUntilCancel()
{
    CMainFrame frame;
    frame.show();
    for (const char* name : {"a.log", "b.log", "c.log", "d.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));

    CWindowsDlg dialog(&frame);
    dialog.show();
    Select(dialog, {QStringLiteral("a.log"), QStringLiteral("c.log")});
    Button(dialog, "closeWindowsButton")->click();
    QCOMPARE(ListedTitles(dialog), QStringList({QStringLiteral("b.log"), QStringLiteral("d.log")}));
    QCOMPARE(frame.GetOpenDocuments().size(), 2);
    QCOMPARE(frame.GetDocumentArea()->GetChildFrames().size(), 2);

    // A modified one asks first; Cancel keeps it and the ones after it.
    auto* frameB = frame.GetDocumentArea()->GetChildFrames().at(0);
    frameB->GetView()->insert(QStringLiteral("typed "));
    Select(dialog, {QStringLiteral("b.log"), QStringLiteral("d.log")});
    auto answer = TestSupport::AnswerNextModal(QMessageBox::Cancel);
    Button(dialog, "closeWindowsButton")->click();
    QVERIFY(answer->Seen);
    QVERIFY2(answer->Text.contains(QStringLiteral("b.log")), qPrintable(answer->Text));
    QCOMPARE(ListedTitles(dialog).size(), 2);

    // Without saving: both go.
    Select(dialog, {QStringLiteral("b.log"), QStringLiteral("d.log")});
    answer = TestSupport::AnswerNextModal(QMessageBox::No);
    Button(dialog, "closeWindowsButton")->click();
    QVERIFY(answer->Seen);
    QCOMPARE(ListedTitles(dialog), QStringList());
    QVERIFY(frame.GetOpenDocuments().isEmpty());
    QVERIFY(!frame.GetActiveLogView());
    QCOMPARE(TestSupport::ReadFile(m_pDir->filePath(QStringLiteral("b.log"))), QByteArray("first line\nsecond line\n"));
}

void TestWindowsDlg::activatesAndSaves()
{
    CMainFrame frame;
    frame.show();
    for (const char* name : {"a.log", "b.log", "c.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));
    CChildFrame* frameA = frame.GetDocumentArea()->GetChildFrames().at(0);
    CChildFrame* frameB = frame.GetDocumentArea()->GetChildFrames().at(1);
    frameA->GetView()->insert(QStringLiteral("A:"));
    frameB->GetView()->insert(QStringLiteral("B:"));

    {
        CWindowsDlg dialog(&frame);
        dialog.show();
        Select(dialog, {QStringLiteral("a.log"), QStringLiteral("b.log")});
        Button(dialog, "saveButton")->click();
        QVERIFY(dialog.isVisible());
    }
    QCOMPARE(TestSupport::ReadFile(m_pDir->filePath(QStringLiteral("a.log"))),
             QByteArray("A:first line\nsecond line\n"));
    QCOMPARE(TestSupport::ReadFile(m_pDir->filePath(QStringLiteral("b.log"))),
             QByteArray("B:first line\nsecond line\n"));
    QVERIFY(!frameA->GetView()->IsTextModified());

    CWindowsDlg dialog(&frame);
    dialog.show();
    Select(dialog, {QStringLiteral("a.log")});
    Button(dialog, "activateButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(frame.GetActiveChildFrame(), frameA);
}

void TestWindowsDlg::sameNamedFilesAreListedWithTheirFolder()
{
    CMainFrame frame;
    QVERIFY(QDir(m_pDir->path()).mkpath(QStringLiteral("a")));
    QVERIFY(QDir(m_pDir->path()).mkpath(QStringLiteral("b")));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("a/syslog"))));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("b/syslog"))));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("kern.log"))));
    CWindowsDlg dialog(&frame);
    QCOMPARE(ListedTitles(dialog),
             QStringList({QStringLiteral("a/syslog"), QStringLiteral("b/syslog"), QStringLiteral("kern.log")}));
    // The chosen one is the one activated, though the names were alike.
    Select(dialog, {QStringLiteral("a/syslog")});
    Button(dialog, "activateButton")->click();
    QCOMPARE(frame.GetActiveLogDocument()->GetPathName(), m_pDir->filePath(QStringLiteral("a/syslog")));
}

OSTREL_QT_TEST_MAIN(TestWindowsDlg, COstrelApp)
#include "TestWindowsDlg.moc"
