// SPDX-License-Identifier: GPL-3.0-or-later
// Edit > Edit Anyway in the main window: offered for a paged file only, it asks first, and the
// file becomes an ordinary editable document.

#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QSettings>
#include <QToolButton>
#include <QtTest>

#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "support/QtTestSupport.h"
#include "view/CEditAnyway.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

class TestEditAnywayCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void offeredForAPagedFileAndAskedFirst();

private:
    QString MakeLog(const QString& name, std::int64_t bytes) const;

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::int64_t m_nThresholdMB = 0;
};

void TestEditAnywayCommand::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_nThresholdMB = COstrelApp::GetInstance()->GetPagedViewThresholdMB();
    COstrelApp::GetInstance()->SetPagedViewThresholdMB(1);
}

void TestEditAnywayCommand::cleanup()
{
    TestSupport::DropPendingModalHandlers();
    COstrelApp::GetInstance()->SetPagedViewThresholdMB(m_nThresholdMB);
    m_pDir.reset();
}

QString TestEditAnywayCommand::MakeLog(const QString& name, std::int64_t bytes) const
{
    QByteArray log;
    for (int line = 1; log.size() < bytes; ++line)
        log += "entry " + QByteArray::number(line) + " of the log\n";
    const QString path = m_pDir->filePath(name);
    return TestSupport::WriteFile(path, log) ? path : QString();
}

void TestEditAnywayCommand::offeredForAPagedFileAndAskedFirst()
{
    // The editing limit is 256 MB unless the user set another, which is kept.
    const std::int64_t defaultMB = COstrelApp::DefaultPagedViewThresholdMB();
    QVERIFY2(defaultMB > 0 && defaultMB <= 256, qPrintable(QString::number(defaultMB)));
    COstrelApp* app = COstrelApp::GetInstance();
    {
        QSettings settings(m_pDir->filePath(QStringLiteral("limit.conf")), QSettings::IniFormat);
        app->ReadSettings(settings);
        QCOMPARE(app->GetPagedViewThresholdMB(), defaultMB);
        settings.setValue(QStringLiteral("Settings/PagedViewThreshold"), 2048);
        app->ReadSettings(settings);
        QCOMPARE(app->GetPagedViewThresholdMB(), std::int64_t(2048));
    }
    app->SetPagedViewThresholdMB(1);

    CMainFrame frame;
    frame.resize(900, 700);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QAction* editAnyway = frame.GetCommand(CommandId::EditAnyway);
    QVERIFY(frame.findChild<QMenu*>(QStringLiteral("editMenu"))->actions().contains(editAnyway));
    QCOMPARE(editAnyway->text(), QStringLiteral("Edit An&yway"));

    // A file the editor holds: nothing to offer.
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("small.log"), 64 * 1024)));
    QTRY_VERIFY(!frame.GetActiveLogView()->IsLoading());
    QVERIFY(!editAnyway->isEnabled());
    QVERIFY(frame.findChild<QToolButton*>(QStringLiteral("editAnywayButton"))->isHidden());

    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("big.log"), 3 * 1024 * 1024)));
    COstrelView* view = frame.GetActiveLogView();
    QVERIFY(view->IsPaged());
    QTRY_VERIFY(editAnyway->isEnabled());
    // Offered beside the note that says why the file is read-only too.
    auto* button = frame.findChild<QToolButton*>(QStringLiteral("editAnywayButton"));
    QVERIFY(button);
    QTRY_VERIFY(button->isVisible());
    QCOMPARE(button->defaultAction(), editAnyway);
    auto* messagePane = frame.findChild<QLabel*>(QStringLiteral("messagePane"));
    QTRY_COMPARE(messagePane->text(), QStringLiteral("Read-only: the file is larger than the editing limit"));

    // No: the paged view stays.
    auto answer = TestSupport::AnswerNextModal(QMessageBox::No);
    editAnyway->trigger();
    QVERIFY(answer->Seen);
    QCOMPARE(answer->Title, QStringLiteral("Edit Anyway"));
    QVERIFY2(answer->Text.contains(QStringLiteral("\"big.log\" is 3.0 MB")), qPrintable(answer->Text));
    QVERIFY2(answer->Text.contains(QStringLiteral("about 3.8 MB")), qPrintable(answer->Text));
    QVERIFY(view->IsPaged());
    QVERIFY(!view->GetEditAnyway().IsLoading());

    // Yes (through the button): loaded whole, editable, and the offer goes.
    answer = TestSupport::AnswerNextModal(QMessageBox::Yes);
    button->click();
    QVERIFY(answer->Seen);
    QTRY_VERIFY(!view->GetEditAnyway().IsLoading());
    QVERIFY(!view->IsPaged());
    QVERIFY(!view->isReadOnly());
    QTRY_COMPARE(messagePane->text(), QStringLiteral("Ready"));
    QTRY_VERIFY(!editAnyway->isEnabled());
    QVERIFY(button->isHidden());
    view->GetEditor().SetSelection(0, 5);
    QTRY_VERIFY(frame.GetCommand(CommandId::EditCut)->isEnabled());
    QTRY_VERIFY(frame.findChildren<QProgressDialog*>().isEmpty());
}

OSTREL_QT_TEST_MAIN(TestEditAnywayCommand, COstrelApp)

#include "TestEditAnywayCommand.moc"
