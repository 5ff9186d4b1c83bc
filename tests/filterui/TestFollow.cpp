// SPDX-License-Identifier: GPL-3.0-or-later
// Following a growing log from the desktop: the whole file and filter output, the caret rule,
// truncation and rotation, and the note for a file that changed while nobody followed it.

#include <cstdio>
#include <memory>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "document/CFilteringRun.h"
#include "document/COstrelDoc.h"
#include "filterui/CFilterSettingsDlg.h"
#include "filterui/CFilteringProgressDlg.h"
#include "support/QtTestSupport.h"
#include "view/COstrelView.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray NumberedLines(int first, int last)
{
    QByteArray log;
    for (int i = first; i <= last; ++i)
        log += (i % 10 == 0 ? "ERROR line " : "info line ") + QByteArray::number(i) + '\n';
    return log;
}

bool WriteFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size() && file.flush();
}

bool Append(const QString& path, const QByteArray& bytes)
{
    return WriteFile(path, bytes, QIODevice::Append);
}

} // namespace

class TestFollow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void wholeFileGrowsWithoutEditsOrReading();
    void caretOnTheLastLineScrollsWithTheEnd();
    void truncationAndRotationStartAgainWithMarkers();
    void rewriteToTheSameSizeOrBeyondStartsAgain();
    void bigFollowedFileGoesOnPaged();
    void pagedAfterARestartNumbersTheFileItself();
    void aTextWithRestartMarksStaysUnwrappedAndSaysWhy();
    void filteredViewShowsWhatAFreshApplyWould();
    void filteredFollowMarksTruncation();
    void filteredFollowEndsWhenTheWholeFileIsShown();
    void withoutFollowTheChangeIsNoted();
    void rerunsLeaveAHalfTypedFilterAlone();

private:
    COstrelView* View() const { return m_pDoc->GetView(); }
    QByteArray ViewText() const
    {
        return QByteArray(View()->GetTextBytes().data(), qsizetype(View()->GetTextBytes().size()));
    }
    QAction* FollowCommand() const { return m_pFrame->GetCommand(CommandId::ViewFollow); }
    void AddFilter(const QString& text, int before, int after);
    QPushButton* ApplyButton() const { return g_pFilterSettingsDlg->findChild<QPushButton*>(u"applyButton"_s); }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CMainFrame> m_pFrame;
    COstrelDoc* m_pDoc = nullptr;
    QString m_strPath;
};

void TestFollow::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_strPath = m_pDir->filePath(u"app.log"_s);
    QVERIFY(WriteFile(m_strPath, NumberedLines(1, 50), QIODevice::WriteOnly));
    m_pFrame = std::make_unique<CMainFrame>();
    m_pDoc = m_pFrame->OpenDocumentFile(m_strPath);
    QVERIFY(m_pDoc);
    QTRY_VERIFY(!View()->IsLoading());
}

void TestFollow::cleanup()
{
    TestSupport::DropPendingModalHandlers();
    m_pFrame.reset();
    QTRY_VERIFY(qApp->findChildren<CFilteringProgressDlg*>().isEmpty());
}

void TestFollow::AddFilter(const QString& text, int before, int after)
{
    CFilterSettingsDlg& dlg = *g_pFilterSettingsDlg;
    dlg.findChild<QCheckBox*>(u"regExpCheck"_s)->setChecked(false);
    dlg.findChild<QCheckBox*>(u"caseSensitiveCheck"_s)->setChecked(true);
    dlg.findChild<QLineEdit*>(u"linesBeforeEdit"_s)->setText(QString::number(before));
    dlg.findChild<QLineEdit*>(u"linesAfterEdit"_s)->setText(QString::number(after));
    dlg.findChild<QLineEdit*>(u"filterStringEdit"_s)->setText(text);
    dlg.findChild<QPushButton*>(u"addFilterButton"_s)->click();
}

void TestFollow::wholeFileGrowsWithoutEditsOrReading()
{
    QVERIFY(!FollowCommand()->isChecked());
    FollowCommand()->trigger();
    QVERIFY(View()->GetFollow());
    QVERIFY(FollowCommand()->isChecked());

    // A line in two writes: its first half shows as it is, the rest joins it.
    QVERIFY(Append(m_strPath, "info line 51, still"));
    QTRY_VERIFY(ViewText().endsWith("info line 51, still"));
    QVERIFY(Append(m_strPath, " being written\n"));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 50) + "info line 51, still being written\n");
    QVERIFY2(!View()->isModified(), "text from the file is no edit");
    QVERIFY2(!View()->isUndoAvailable(), "nothing to undo");
    QVERIFY(!View()->IsFileChangedOnDisk());

    // The user's own edit stays what it is: followed text neither saves nor drops it.
    View()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTSTART);
    View()->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 1UL, "#");
    QVERIFY(View()->isModified());
    QVERIFY(Append(m_strPath, "info line 52\n"));
    QTRY_VERIFY(ViewText().endsWith("info line 52\n"));
    QVERIFY(View()->isModified());
    QVERIFY(ViewText().startsWith("#info line 1\n"));
}

void TestFollow::caretOnTheLastLineScrollsWithTheEnd()
{
    m_pFrame->resize(800, 400);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    FollowCommand()->trigger();

    // On the last line: the caret and the screen go with the end.
    View()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QVERIFY(Append(m_strPath, NumberedLines(51, 200)));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 200));
    QCOMPARE(View()->GetCaretLine(), 201); // the empty line after the last line feed
    const long lastShown = View()->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE) +
                           View()->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    QVERIFY2(lastShown >= 200, "the end is on screen");

    // Reading higher up: nothing moves.
    View()->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 9UL);
    View()->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, 5UL);
    QVERIFY(Append(m_strPath, NumberedLines(201, 400)));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 400));
    QCOMPARE(View()->GetCaretLine(), 10);
    QCOMPARE(View()->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE), 5L);
}

void TestFollow::truncationAndRotationStartAgainWithMarkers()
{
    FollowCommand()->trigger();
    // Truncated under an unfinished last line: the marker still stands on a line of its own.
    QVERIFY(Append(m_strPath, "half a line"));
    QTRY_VERIFY(ViewText().endsWith("half a line"));
    QVERIFY(WriteFile(m_strPath, "fresh 1\n", QIODevice::WriteOnly | QIODevice::Truncate));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 50) + "half a line\n<<< File Truncated >>>\nfresh 1\n");

    // Rotation: the new file takes the name at once; the old one lives on under another.
    const QString next = m_pDir->filePath(u"app.log.new"_s);
    QVERIFY(WriteFile(next, "rotated 1\nrotated 2\n", QIODevice::WriteOnly));
    QVERIFY(std::rename(QFile::encodeName(m_strPath).constData(), QFile::encodeName(m_strPath + u".1"_s).constData()) ==
            0);
    QVERIFY(Append(m_strPath + u".1"_s, "written to the old file\n"));
    QVERIFY(std::rename(QFile::encodeName(next).constData(), QFile::encodeName(m_strPath).constData()) == 0);
    QTRY_VERIFY(ViewText().endsWith("<<< File Replaced >>>\nrotated 1\nrotated 2\n"));
    QVERIFY2(!ViewText().contains("written to the old file") ||
                 ViewText().indexOf("written to the old file") < ViewText().indexOf("<<< File Replaced"),
             "the old file's last lines come before the marker, if at all");
    QVERIFY(!View()->isModified());

    // Line numbers start again with each file.
    const long rotatedSecond = View()->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) - 2;
    View()->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, static_cast<unsigned long>(rotatedSecond));
    QCOMPARE(View()->GetCaretLine(), 2);
}

void TestFollow::rewriteToTheSameSizeOrBeyondStartsAgain()
{
    FollowCommand()->trigger();
    // Emptied and written again with as many bytes: only the bytes shown last tell it apart.
    QByteArray same = NumberedLines(1, 50);
    same.replace("info", "INFO");
    QVERIFY(WriteFile(m_strPath, same, QIODevice::WriteOnly | QIODevice::Truncate));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 50) + QByteArray("<<< File Truncated >>>\n") + same);

    // And again, longer, ending in an unfinished line that then goes with its file at a rotation.
    const QByteArray longer = NumberedLines(1, 80) + "unfinished";
    QVERIFY(WriteFile(m_strPath, longer, QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray markedLonger = "<<< File Truncated >>>\n" + longer;
    QTRY_VERIFY(ViewText().endsWith(markedLonger));
    const QString next = m_pDir->filePath(u"app.log.new"_s);
    QVERIFY(WriteFile(next, "rotated 1\n", QIODevice::WriteOnly));
    QVERIFY(std::rename(QFile::encodeName(next).constData(), QFile::encodeName(m_strPath).constData()) == 0);
    QTRY_COMPARE(ViewText(), NumberedLines(1, 50) + "<<< File Truncated >>>\n" + same + "<<< File Truncated >>>\n" +
                                 longer + "\n<<< File Replaced >>>\nrotated 1\n");
    QVERIFY(!View()->isModified());
}

void TestFollow::bigFollowedFileGoesOnPaged()
{
    View()->SetFollowedEditorLimit(View()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) + 50);
    FollowCommand()->trigger();
    View()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QVERIFY(Append(m_strPath, NumberedLines(51, 60)));
    // Past the limit the file is shown paged, still at its end, and goes on growing there.
    QTRY_VERIFY(View()->IsPaged());
    QTRY_VERIFY(ViewText().endsWith(NumberedLines(55, 60)));
    QVERIFY(Append(m_strPath, NumberedLines(61, 70)));
    QTRY_VERIFY(ViewText().endsWith(NumberedLines(61, 70)));
    QVERIFY(View()->GetFollow());

    m_pFrame->GetCommand(CommandId::ViewFollow)->trigger();
    QVERIFY(!View()->GetFollow());
}

void TestFollow::pagedAfterARestartNumbersTheFileItself()
{
    FollowCommand()->trigger();
    QVERIFY(WriteFile(m_strPath, NumberedLines(1, 40), QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray restarted = QByteArray("<<< File Truncated >>>\n") + NumberedLines(1, 40);
    QTRY_VERIFY(ViewText().endsWith(restarted));
    // After the marker the lines count from 1 again.
    const auto viewLineOf = [this](const QByteArray& line) {
        const QByteArray wanted = QByteArray("\n") + line + '\n';
        const qsizetype at = ViewText().lastIndexOf(wanted);
        return at < 0 ? std::int64_t(-1)
                      : std::int64_t(View()->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                                           static_cast<unsigned long>(at + 1)));
    };
    bool isContext = false;
    QCOMPARE(View()->FileLineOfViewLine(viewLineOf("info line 31"), isContext), std::int64_t(31));

    // Grown past the editor's limit, the file itself is shown paged: no marker is in it, and its
    // lines are numbered as the file's, also past where the marker stood.
    View()->SetFollowedEditorLimit(View()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) + 50);
    View()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QVERIFY(Append(m_strPath, NumberedLines(41, 70)));
    QTRY_VERIFY(View()->IsPaged());
    QTRY_VERIFY(ViewText().endsWith(NumberedLines(60, 70)));
    QVERIFY(!ViewText().contains("<<<"));
    QCOMPARE(View()->FileLineOfViewLine(viewLineOf("ERROR line 60"), isContext), std::int64_t(60));
    QCOMPARE(View()->FileLineOfViewLine(viewLineOf("info line 66"), isContext), std::int64_t(66));
}

void TestFollow::aTextWithRestartMarksStaysUnwrappedAndSaysWhy()
{
    FollowCommand()->trigger();
    QVERIFY(WriteFile(m_strPath, NumberedLines(1, 40), QIODevice::WriteOnly | QIODevice::Truncate));
    QTRY_VERIFY(ViewText().contains("<<< File Truncated >>>\n"));
    // Too long to wrap in the editor, and unlike its file: the file's window cannot show it.
    QVERIFY(Append(m_strPath, NumberedLines(41, 30000)));
    QTRY_VERIFY(ViewText().endsWith(NumberedLines(29990, 30000)));
    QVERIFY(View()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) > COstrelView::WrappedEditorLimit);
    QVERIFY(!View()->IsPaged());
    FollowCommand()->trigger();
    QVERIFY(!View()->GetFollow());
    View()->SetWordWrap(COstrelView::WrapToWindow);
    QCOMPARE(View()->GetWordWrap(), int(COstrelView::WrapNone));
    QVERIFY(!View()->IsPaged());
    QCOMPARE(View()->GetStatusNote(), u"Word Wrap is off: the text is too long to wrap while it holds the marks of "
                                      u"its file's restarts"_s);
    QVERIFY(ViewText().contains("<<< File Truncated >>>\n"));
}

void TestFollow::filteredViewShowsWhatAFreshApplyWould()
{
    ShowFilterSettingsDialog(*m_pFrame);
    QVERIFY(g_pFilterSettingsDlg);
    FollowCommand()->trigger();
    AddFilter(u"ERROR"_s, 1, 2);
    ApplyButton()->click();
    // The window's part ends at the file's end: the run goes on behind it.
    QTRY_VERIFY(ApplyButton()->isEnabled());
    QTRY_VERIFY(qApp->findChildren<CFilteringProgressDlg*>().isEmpty());
    QVERIFY(View()->GetShowsFilteredText());
    QCOMPARE(View()->GetFileLineNumbers(),
             (std::vector<std::int64_t>{9, 10, 11, 12, 19, 20, 21, 22, 29, 30, 31, 32, 39, 40, 41, 42, 49, 50}));

    // After-context reaches into lines not yet written, before-context back into lines read
    // before, and an unfinished line waits for its line feed.
    QVERIFY(Append(m_strPath, NumberedLines(51, 58) + "info line 59"));
    QTRY_COMPARE(View()->GetFileLineNumbers().size(), size_t(20));
    QVERIFY(Append(m_strPath, "\n" + NumberedLines(60, 63) + "ERROR line 6"));
    QTRY_COMPARE(View()->GetFileLineNumbers().size(), size_t(24));
    QVERIFY(Append(m_strPath, "4\n"));
    QTRY_COMPARE(View()->GetFileLineNumbers(),
                 (std::vector<std::int64_t>{9,  10, 11, 12, 19, 20, 21, 22, 29, 30, 31, 32, 39,
                                            40, 41, 42, 49, 50, 51, 52, 59, 60, 61, 62, 63, 64}));
    QVERIFY(
        ViewText().endsWith("info line 59\nERROR line 60\ninfo line 61\ninfo line 62\ninfo line 63\nERROR line 64\n"));
    QVERIFY(!View()->isModified());

    // Ctrl+double-click on an appended line lands on its line in the file.
    const long position = View()->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 21UL); // ERROR line 60
    QVERIFY(View()->GoToFileLineAt(position));
    QTRY_VERIFY(!View()->IsLoading() && !View()->GetShowsFilteredText());
    QCOMPARE(View()->GetCaretLine(), 60);
    QCOMPARE(View()->selectedText(), u"ERROR line 60"_s);
}

void TestFollow::filteredFollowMarksTruncation()
{
    ShowFilterSettingsDialog(*m_pFrame);
    FollowCommand()->trigger();
    AddFilter(u"ERROR"_s, 1, 0);
    ApplyButton()->click();
    QTRY_VERIFY(ApplyButton()->isEnabled());
    QTRY_COMPARE(View()->GetFileLineNumbers().size(), size_t(10));

    // The new file's lines count from 1 again, after a marker that stands for no line.
    QVERIFY(WriteFile(m_strPath, NumberedLines(1, 20), QIODevice::WriteOnly | QIODevice::Truncate));
    QTRY_VERIFY(
        ViewText().endsWith("<<< File Truncated >>>\ninfo line 9\nERROR line 10\ninfo line 19\nERROR line 20\n"));
    const std::vector<std::int64_t> lines = View()->GetFileLineNumbers();
    QCOMPARE(std::vector<std::int64_t>(lines.end() - 5, lines.end()), (std::vector<std::int64_t>{0, 9, 10, 19, 20}));
    QVERIFY(!View()->isModified());
}

void TestFollow::filteredFollowEndsWhenTheWholeFileIsShown()
{
    ShowFilterSettingsDialog(*m_pFrame);
    FollowCommand()->trigger();
    AddFilter(u"ERROR"_s, 0, 0);
    ApplyButton()->click();
    QTRY_VERIFY(ApplyButton()->isEnabled());
    QTRY_COMPARE(View()->GetFileLineNumbers().size(), size_t(5));

    // Back to the whole file, which follows on its own: no kept line is added to it.
    m_pFrame->GetCommand(CommandId::ToggleFilterOutput)->trigger();
    QTRY_VERIFY(!View()->GetShowsFilteredText() && !View()->IsLoading());
    QVERIFY(Append(m_strPath, NumberedLines(51, 60)));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 60));

    // Follow off: the file changing again is only noted.
    FollowCommand()->trigger();
    QVERIFY(!View()->GetFollow());
    QVERIFY(Append(m_strPath, NumberedLines(61, 61)));
    QTRY_VERIFY(View()->IsFileChangedOnDisk());
    QCOMPARE(ViewText(), NumberedLines(1, 60));
}

void TestFollow::rerunsLeaveAHalfTypedFilterAlone()
{
    // The toggle and Follow make the output anew through the document; what the user was typing
    // in the filter field stays there, and the dialog's exclude switch still counts.
    ShowFilterSettingsDialog(*m_pFrame);
    AddFilter(u"ERROR"_s, 0, 0);
    ApplyButton()->click();
    QTRY_VERIFY(ApplyButton()->isEnabled());
    QCOMPARE(View()->GetFileLineNumbers(), (std::vector<std::int64_t>{10, 20, 30, 40, 50}));
    auto* field = g_pFilterSettingsDlg->findChild<QLineEdit*>(u"filterStringEdit"_s);
    field->setText(u"half typ"_s);

    QAction* toggle = m_pFrame->GetCommand(CommandId::ToggleFilterOutput);
    toggle->trigger(); // to the whole file
    QTRY_VERIFY(!View()->GetShowsFilteredText() && !View()->IsLoading());
    QVERIFY(Append(m_strPath, "ERROR line 51\n"));
    toggle->trigger(); // the file changed: the output is made again
    QTRY_VERIFY(View()->GetShowsFilteredText() && !m_pDoc->IsFiltering());
    QCOMPARE(View()->GetFileLineNumbers(), (std::vector<std::int64_t>{10, 20, 30, 40, 50, 51}));
    QCOMPARE(field->text(), u"half typ"_s);

    FollowCommand()->trigger();
    QTRY_VERIFY(m_pDoc->findChildren<CFilteringRun*>().size() == 1 && !m_pDoc->IsFiltering());
    QVERIFY(Append(m_strPath, "ERROR line 52\n"));
    QTRY_COMPARE(View()->GetFileLineNumbers().back(), std::int64_t(52));
    QCOMPARE(field->text(), u"half typ"_s);
    QVERIFY(!g_pFilterSettingsDlg->GetExcludeMatches());
}

void TestFollow::withoutFollowTheChangeIsNoted()
{
    QVERIFY(!View()->IsFileChangedOnDisk());
    QVERIFY(Append(m_strPath, NumberedLines(51, 51)));
    QTRY_VERIFY(View()->IsFileChangedOnDisk());
    QCOMPARE(View()->GetStatusNote(), u"File changed on disk"_s);
    QCOMPARE(ViewText(), NumberedLines(1, 50));
    QTabWidget* group = m_pFrame->findChild<QTabWidget*>();
    QVERIFY(group);
    QCOMPARE(m_pFrame->GetTabToolTip(group, 0), m_strPath + u"\nFile changed on disk"_s);

    // Follow now: what changed meanwhile cannot be told apart, so the file is read anew.
    FollowCommand()->trigger();
    QTRY_COMPARE(ViewText(), NumberedLines(1, 51));
    QTRY_VERIFY(!View()->IsLoading());
    QVERIFY(!View()->IsFileChangedOnDisk());
    QCOMPARE(m_pFrame->GetTabToolTip(group, 0), m_strPath);
    QVERIFY(Append(m_strPath, NumberedLines(52, 52)));
    QTRY_COMPARE(ViewText(), NumberedLines(1, 52));
}

OSTREL_QT_TEST_MAIN(TestFollow, COstrelApp)

#include "TestFollow.moc"
