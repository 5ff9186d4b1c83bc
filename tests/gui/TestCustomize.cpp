// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include "app/CCustomizeDlg.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CToolBarManager.h"
#include "app/CommandIds.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"

// Customize...: user toolbars, their buttons and the options, and that they come back.
class TestCustomize : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void userToolBarSurvivesRestart();
    void toolBarLimitsDeleteAndReset();
    void customizeIsReachedFromEveryBar();
    void userImagesGoToCommandsWithoutImage();
    void filterThreadsAreChosenOnTheOptionsPage();

private:
    static QListWidget* List(CCustomizeDlg& dialog, const char* name);
    static void ChooseCommand(CCustomizeDlg& dialog, int id);
    // Answers the next name prompt with the text.
    static void AnswerNextNamePrompt(const QString& name);

    std::unique_ptr<QTemporaryDir> m_pDir;
    QString m_strOldFolder;
};

void TestCustomize::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_strOldFolder = QDir::currentPath();
    QDir::setCurrent(m_pDir->path());
    COstrelSettings().clear();
}

void TestCustomize::cleanup()
{
    QDir::setCurrent(m_strOldFolder);
}

QListWidget* TestCustomize::List(CCustomizeDlg& dialog, const char* name)
{
    return dialog.findChild<QListWidget*>(QString::fromLatin1(name));
}

void TestCustomize::ChooseCommand(CCustomizeDlg& dialog, int id)
{
    QListWidget* commands = List(dialog, "commandList");
    for (int row = 0; row < commands->count(); ++row) {
        if (commands->item(row)->data(Qt::UserRole).toInt() == id) {
            commands->setCurrentRow(row);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("command %1 is not offered").arg(id)));
}

void TestCustomize::AnswerNextNamePrompt(const QString& name)
{
    QTimer::singleShot(0, qApp, [name] {
        auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!prompt)
            return;
        prompt->setTextValue(name);
        prompt->accept();
    });
}

void TestCustomize::userToolBarSurvivesRestart()
{
    using namespace CommandId;
    {
        CMainFrame frame;
        frame.LoadFrame();
        frame.show();
        CCustomizeDlg* dialog = frame.ShowCustomizeDialog();
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());

        AnswerNextNamePrompt(QStringLiteral("My Tools"));
        dialog->findChild<QPushButton*>(QStringLiteral("newToolBarButton"))->click();
        auto* bar = frame.findChild<QToolBar*>(QStringLiteral("userToolBar0"));
        QVERIFY(bar);
        QCOMPARE(bar->windowTitle(), QStringLiteral("My Tools"));
        QCOMPARE(dialog->findChild<QComboBox*>(QStringLiteral("targetToolBarCombo"))->currentText(),
                 QStringLiteral("My Tools"));

        ChooseCommand(*dialog, WordWrap);
        dialog->findChild<QPushButton*>(QStringLiteral("addButtonButton"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("addSeparatorButton"))->click();
        ChooseCommand(*dialog, AppAbout);
        dialog->findChild<QPushButton*>(QStringLiteral("addButtonButton"))->click();
        // The same command twice on one bar is refused.
        dialog->findChild<QPushButton*>(QStringLiteral("addButtonButton"))->click();
        ChooseCommand(*dialog, FileClose);
        dialog->findChild<QPushButton*>(QStringLiteral("addButtonButton"))->click();
        List(*dialog, "toolBarButtonList")->setCurrentRow(3);
        dialog->findChild<QPushButton*>(QStringLiteral("removeButtonButton"))->click();
        QCOMPARE(frame.GetToolBarManager()->GetButtons(bar), QList<int>({WordWrap, 0, AppAbout}));
        QCOMPARE(List(*dialog, "toolBarButtonList")->count(), 3);

        dialog->findChild<QCheckBox*>(QStringLiteral("textLabelsCheck"))->setChecked(true);
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        // The Toolbars page hides the standard toolbar.
        QListWidgetItem* standard = List(*dialog, "toolBarList")->item(0);
        QCOMPARE(standard->text(), QStringLiteral("Standard"));
        standard->setCheckState(Qt::Unchecked);
        QVERIFY(frame.findChild<QToolBar*>(QStringLiteral("standardToolBar"))->isHidden());
        QVERIFY(frame.close());
    }
    CMainFrame frame;
    frame.LoadFrame();
    frame.show();
    auto* bar = frame.findChild<QToolBar*>(QStringLiteral("userToolBar0"));
    QVERIFY2(bar, "the user toolbar did not come back");
    QCOMPARE(bar->windowTitle(), QStringLiteral("My Tools"));
    QVERIFY(bar->isVisible());
    QCOMPARE(frame.GetToolBarManager()->GetButtons(bar), QList<int>({CommandId::WordWrap, 0, CommandId::AppAbout}));
    QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(bar->actions().last()->objectName(), QStringLiteral("customizeButtonAction"));
    QVERIFY(!frame.findChild<QToolBar*>(QStringLiteral("standardToolBar"))->isVisible());
    QCOMPARE(frame.GetToolBarManager()->GetUserToolBars().size(), 1);
}

void TestCustomize::toolBarLimitsDeleteAndReset()
{
    CMainFrame frame;
    frame.LoadFrame();
    CToolBarManager* manager = frame.GetToolBarManager();
    CCustomizeDlg* dialog = frame.ShowCustomizeDialog();
    auto* newButton = dialog->findChild<QPushButton*>(QStringLiteral("newToolBarButton"));
    auto* deleteButton = dialog->findChild<QPushButton*>(QStringLiteral("deleteToolBarButton"));

    QVERIFY(!dialog->CreateToolBar(QStringLiteral("  ")));
    for (int i = 0; i < CToolBarManager::MaxUserToolBars; ++i)
        QVERIFY(dialog->CreateToolBar(QStringLiteral("Bar %1").arg(i)));
    QVERIFY(!newButton->isEnabled());
    QVERIFY(!manager->CreateUserToolBar(QStringLiteral("Eleventh")));
    QCOMPARE(manager->GetToolBarId(manager->GetUserToolBars().last()), 0xE831);

    // The standard toolbar is never deleted.
    dialog->SelectToolBar(manager->GetStandardToolBar());
    QVERIFY(!deleteButton->isEnabled());
    QVERIFY(!manager->DeleteUserToolBar(manager->GetStandardToolBar()));

    // Deleting the fourth asks; its slot is the next one taken.
    QToolBar* fourth = manager->GetUserToolBars().at(3);
    dialog->SelectToolBar(fourth);
    auto answer = TestSupport::AnswerNextModal(QMessageBox::Yes);
    deleteButton->click();
    QVERIFY(answer->Seen);
    QCOMPARE(manager->GetUserToolBars().size(), CToolBarManager::MaxUserToolBars - 1);
    QVERIFY(newButton->isEnabled());
    QCOMPARE(List(*dialog, "toolBarList")->count(), CToolBarManager::MaxUserToolBars);
    QToolBar* again = dialog->CreateToolBar(QStringLiteral("Again"));
    QVERIFY(again);
    QCOMPARE(again->objectName(), QStringLiteral("userToolBar3"));

    // Rename refuses an empty name.
    QVERIFY(dialog->RenameSelectedToolBar(QStringLiteral("Renamed")));
    QCOMPARE(again->windowTitle(), QStringLiteral("Renamed"));
    QVERIFY(!dialog->RenameSelectedToolBar(QString()));
    QCOMPARE(again->windowTitle(), QStringLiteral("Renamed"));

    // Reset gives the standard toolbar its own buttons and name back.
    QToolBar* standard = manager->GetStandardToolBar();
    const QList<int> original = manager->GetButtons(standard);
    QVERIFY(manager->RemoveButton(standard, 0));
    QVERIFY(manager->AddButton(standard, CommandId::WordWrap));
    manager->RenameToolBar(standard, QStringLiteral("Mine"));
    dialog->SelectToolBar(standard);
    dialog->findChild<QPushButton*>(QStringLiteral("resetToolBarButton"))->click();
    QCOMPARE(manager->GetButtons(standard), original);
    QCOMPARE(standard->windowTitle(), QStringLiteral("Standard"));
    QVERIFY(!manager->RemoveButton(standard, original.size()));
}

void TestCustomize::customizeIsReachedFromEveryBar()
{
    CMainFrame frame;
    frame.LoadFrame();
    frame.show();
    QAction* customize = frame.GetCommand(CommandId::ViewCustomize);
    QCOMPARE(customize->text(), QStringLiteral("Customize..."));
    QToolBar* user = frame.GetToolBarManager()->CreateUserToolBar(QStringLiteral("Extra"));

    // The bars' context menu and the View menu's list name every bar and end with Customize...
    std::unique_ptr<QMenu> context(frame.createPopupMenu());
    QStringList entries;
    for (QAction* action : context->actions())
        entries.append(action->isSeparator() ? QStringLiteral("|") : action->text());
    QCOMPARE(entries, QStringList({QStringLiteral("Standard"), QStringLiteral("Extra"), QStringLiteral("|"),
                                   QStringLiteral("Customize...")}));
    auto* toolbarsMenu = frame.findChild<QMenu*>(QStringLiteral("toolbarsMenu"));
    Q_EMIT toolbarsMenu->aboutToShow();
    QCOMPARE(toolbarsMenu->actions().size(), 4);
    QCOMPARE(toolbarsMenu->actions().last(), customize);
    // Unchecking a bar in the list hides it.
    toolbarsMenu->actions().at(1)->trigger();
    QVERIFY(user->isHidden());

    // Every bar ends with the customise button, which opens the one dialog.
    for (QToolBar* bar : frame.GetToolBarManager()->GetToolBars()) {
        auto* button = bar->findChild<QToolButton*>(QStringLiteral("customizeButton"));
        QVERIFY(button);
        button->click();
    }
    QCOMPARE(frame.findChildren<CCustomizeDlg*>().size(), 1);
    QVERIFY(frame.findChild<CCustomizeDlg*>()->isVisible());
}

void TestCustomize::userImagesGoToCommandsWithoutImage()
{
    {
        // No image file: no images, and nothing said about it.
        CMainFrame frame;
        QCOMPARE(frame.GetToolBarManager()->GetUserImageCount(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }
    QImage strip(48, 16, QImage::Format_RGB32);
    strip.fill(Qt::red);
    for (int x = 16; x < 32; ++x)
        for (int y = 0; y < 16; ++y)
            strip.setPixelColor(x, y, Qt::blue);
    QVERIFY(strip.save(m_pDir->filePath(QStringLiteral("UserImages.bmp"))));
    {
        CMainFrame frame;
        QCOMPARE(frame.GetToolBarManager()->GetUserImageCount(), 3);
    }
    // The PNG wins over the BMP.
    QVERIFY(strip.copy(0, 0, 32, 16).save(m_pDir->filePath(QStringLiteral("UserImages.png"))));
    CMainFrame frame;
    CToolBarManager* manager = frame.GetToolBarManager();
    QCOMPARE(manager->GetUserImageCount(), 2);

    // The commands without an image take the images in menu order: Close first, Save As second.
    QToolBar* bar = manager->CreateUserToolBar(QStringLiteral("Images"));
    QAction* close = frame.GetCommand(CommandId::FileClose);
    QAction* saveAs = frame.GetCommand(CommandId::FileSaveAs);
    QVERIFY(close->icon().isNull());
    QVERIFY(manager->AddButton(bar, CommandId::FileSaveAs));
    QVERIFY(manager->AddButton(bar, CommandId::FileClose));
    QCOMPARE(close->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));
    QCOMPARE(saveAs->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
    // A command beyond the images keeps none.
    QVERIFY(manager->AddButton(bar, CommandId::FilePrintPreview));
    QVERIFY(frame.GetCommand(CommandId::FilePrintPreview)->icon().isNull());

    // A file over the size limit is not read.
    QFile big(m_pDir->filePath(QStringLiteral("UserImages.png")));
    QVERIFY(big.open(QIODevice::Append));
    QVERIFY(big.write(QByteArray(CToolBarManager::MaxUserImagesFileSize, '\0')) > 0);
    big.close();
    QCOMPARE(manager->LoadUserImages(m_pDir->path()), 3); // the BMP instead
}

void TestCustomize::filterThreadsAreChosenOnTheOptionsPage()
{
    COstrelApp* app = COstrelApp::GetInstance();
    QCOMPARE(app->GetFilterThreads(), 0u);
    CMainFrame frame;
    frame.LoadFrame();
    CCustomizeDlg* dialog = frame.ShowCustomizeDialog();
    auto* threads = dialog->findChild<QSpinBox*>(QStringLiteral("filterThreadsSpin"));
    QVERIFY(threads);
    QCOMPARE(threads->value(), 0);
    QCOMPARE(threads->text(), QStringLiteral("All cores but one"));
    threads->setValue(3);
    QCOMPARE(app->GetFilterThreads(), 3u);
    QCOMPARE(frame.GetFilterThreadCount(), 3u);

    // Kept in the settings file; what cannot be a count of threads is read as the nearest one.
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("threads.conf")), QSettings::IniFormat);
    app->WriteSettings(settings);
    QCOMPARE(settings.value(QStringLiteral("Settings/FilterThreads")).toInt(), 3);
    for (const auto& [stored, read] : {std::pair{-4, 0u}, std::pair{1, 1u}, std::pair{100000, 256u}}) {
        settings.setValue(QStringLiteral("Settings/FilterThreads"), stored);
        app->ReadSettings(settings);
        QCOMPARE(app->GetFilterThreads(), read);
    }
    settings.remove(QStringLiteral("Settings/FilterThreads"));
    app->ReadSettings(settings);
    QCOMPARE(app->GetFilterThreads(), 0u);
}

OSTREL_QT_TEST_MAIN(TestCustomize, COstrelApp)
#include "TestCustomize.moc"
