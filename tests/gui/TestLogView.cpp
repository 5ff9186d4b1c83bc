// SPDX-License-Identifier: GPL-3.0-or-later
#include <clocale>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFontComboBox>
#include <QFontInfo>
#include <QPrintDialog>
#include <QProcess>
#include <QSettings>
#include <QTabWidget>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "filtering/OutputLine.h"
#include "support/QtTestSupport.h"
#include "view/CFontDlg.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"

namespace {

QByteArray Text(COstrelView* view)
{
    const std::string_view bytes = view->GetTextBytes();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QByteArray Selection(COstrelView* view)
{
    const long start = view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    const long end = view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    return Text(view).mid(start, end - start);
}

// Filter output made of the given file lines (1-based), each with its own bytes.
OutputBatch BatchOf(const QList<QByteArray>& fileLines, const QList<int>& numbers)
{
    OutputBatch batch;
    for (int number : numbers) {
        const QByteArray& line = fileLines.at(number - 1);
        batch.Append(number, std::string_view(line.constData(), static_cast<std::size_t>(line.size())), false);
    }
    return batch;
}

// Splits after every line feed, as the file's line numbers count.
QList<QByteArray> FileLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype feed = bytes.indexOf('\n', start);
        const qsizetype end = feed < 0 ? bytes.size() : feed + 1;
        lines.append(bytes.mid(start, end - start));
        start = end;
    }
    return lines;
}

// A log bigger than the part of a file that shows at once, so that it is still loading when the
// open returns; every line is numbered, and lone carriage returns come early.
QByteArray BigLog(int megabytes)
{
    QByteArray bytes;
    bytes.reserve(megabytes * 1024 * 1024 + 1024);
    bytes.append("head\rstill the first line\n");
    for (int i = 2; bytes.size() < megabytes * 1024 * 1024; ++i)
        bytes.append("2026-12-09 06:25:00.809 [main] INFO  app.Main - line " + QByteArray::number(i) +
                     " of a generated log\n");
    return bytes;
}

// A file whose reads fail from a given offset on, as a disk or a network mount may.
class FailingFile : public QFile
{
public:
    FailingFile(const QString& name, qint64 failAt) : QFile(name), m_nFailAt(failAt) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (pos() >= m_nFailAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        return QFile::readData(data, std::min(maxSize, m_nFailAt - pos()));
    }

private:
    qint64 m_nFailAt;
};

std::unique_ptr<QFile> OpenFailingFile(const QString& path, qint64 failAt)
{
    auto file = std::make_unique<FailingFile>(path, failAt);
    return file->open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? std::move(file) : nullptr;
}

// How many descriptors of this process lead to the file at path once it has been deleted.
int OpenDeletedCopiesOf(const QString& path)
{
    const QString deleted = QFileInfo(path).absoluteFilePath() + QStringLiteral(" (deleted)");
    int count = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(descriptors.filePath(entry)) == deleted)
            ++count;
    return count;
}

QByteArray WithoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

class TestLogView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void everyByteValueSurvivesOpenAndSaveAs_data();
    void everyByteValueSurvivesOpenAndSaveAs();
    void emptyFileAndFileHeldByAWriterOpen();
    void bigFileLoadsInChunksAndCommandsWaitForIt();
    void editsWhileLoadingWaitForTheWholeText();
    void pendingLineIsSelectedInTheFirstPartOrTheWholeText_data();
    void pendingLineIsSelectedInTheFirstPartOrTheWholeText();
    void saveAsMovesTheDocumentToItsNewFile();
    void saveAsFailureKeepsTheDocumentAndReports();
    void saveAsAfterTheFileVanished();
    void saveNeverOverwritesTheLogWithFilterOutputOrAnOldCopy();
    void saveKeepsTheFileItsOwnerModeAndOtherNames();
    void saveIsNoChangeOnDiskAndTheSavedFileIsWatched();
    void savedFilterOutputBecomesItsOwnFile();
    void aFileThatFailsPartWayIsNeverSavedOverIt();
    void filterOutputIsAppendedWithoutUndoOrModifiedFlag();
    void reloadShowsTheGrownFileInWholeFileState();
    void ctrlDoubleClickSelectsTheFileLine_data();
    void ctrlDoubleClickSelectsTheFileLine();
    void ctrlDoubleClickWithoutARecordedLineDoesNothing();
    void deleteAllFiltersAsksWhenAnotherProcessWrites();
    void fontComesFromTheSettings();
    void newViewsAreUnwrappedAndWrapMovesCaretHome();
    void fontDialogOpensOnTheShownFontWithItsColour();
    void printKeepsTheChosenPrinter();
    void chosenFontReachesEveryViewAndStaysReadable();

private:
    COstrelView* Open(const QString& name, const QByteArray& bytes, QString* path = nullptr);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CMainFrame> m_pFrame;
};

void TestLogView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
    COstrelApp* app = COstrelApp::GetInstance();
    app->SetTextFont(QStringLiteral("Courier New"));
    app->SetTextHeight(0);
    app->SetTextEffects(0);
    app->SetTextMask(0);
    app->SetTextColor(0);
    m_pFrame = std::make_unique<CMainFrame>();
}

void TestLogView::cleanup()
{
    // Nothing must ask questions while the frame goes away.
    for (CChildFrame* frame : m_pFrame->GetDocumentArea()->GetChildFrames())
        frame->GetView()->SetTextUnmodified();
    m_pFrame.reset();
    m_pDir.reset();
}

COstrelView* TestLogView::Open(const QString& name, const QByteArray& bytes, QString* path)
{
    const QString file = m_pDir->filePath(name);
    if (!TestSupport::WriteFile(file, bytes))
        return nullptr;
    if (path)
        *path = file;
    if (!m_pFrame->OpenDocumentFile(file))
        return nullptr;
    COstrelView* view = m_pFrame->GetActiveLogView();
    if (!QTest::qWaitFor([view] { return !view->IsLoading(); }, 30000))
        return nullptr;
    return view;
}

void TestLogView::everyByteValueSurvivesOpenAndSaveAs_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("UTF-8 locale") << QByteArray("C.UTF-8");
    QTest::newRow("8-bit locale") << QByteArray("C");
}

void TestLogView::everyByteValueSurvivesOpenAndSaveAs()
{
    QFETCH(QByteArray, locale);
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    QVERIFY(std::setlocale(LC_CTYPE, locale.constData()));
    QByteArray bytes;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.append(static_cast<char>(value));
        static const char tail[] = "\r\nlone\rcr\n\xC3\xA9 \xE2\x82 \xFF\xFE\x00\x1A end\n";
        bytes.append(tail, sizeof(tail) - 1);
    }
    COstrelView* view = Open(QStringLiteral("bytes.log"), bytes);
    std::setlocale(LC_CTYPE, previous.c_str());
    QVERIFY(view);
    QCOMPARE(Text(view), bytes);

    const QString copy = m_pDir->filePath(QStringLiteral("copy.log"));
    QVERIFY(view->SaveAs(copy));
    QCOMPARE(TestSupport::ReadFile(copy), bytes);
}

void TestLogView::emptyFileAndFileHeldByAWriterOpen()
{
    COstrelView* empty = Open(QStringLiteral("empty.log"), QByteArray());
    QVERIFY(empty);
    QCOMPARE(Text(empty), QByteArray());
    QVERIFY(!empty->IsTextModified());

    QString path;
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(QStringLiteral("held.log")), "held\n"));
    QFile writer(m_pDir->filePath(QStringLiteral("held.log")));
    QVERIFY(writer.open(QIODevice::WriteOnly | QIODevice::Append));
    QVERIFY(m_pFrame->OpenDocumentFile(writer.fileName()));
    QVERIFY2(!m_pFrame->GetActiveLogView()->IsLoading(), "a small file is in at once, editable");
    QCOMPARE(Text(m_pFrame->GetActiveLogView()), QByteArray("held\n"));
}

void TestLogView::bigFileLoadsInChunksAndCommandsWaitForIt()
{
    QByteArray line = QByteArray("2026-12-09 06:25:00.809 [main] INFO  app.Main - a line of a generated log\n");
    QByteArray bytes;
    bytes.reserve(64 * 1024 * 1024);
    for (int i = 0; bytes.size() < 48 * 1024 * 1024; ++i)
        bytes.append(line);
    const QString path = m_pDir->filePath(QStringLiteral("big.log"));
    QVERIFY(TestSupport::WriteFile(path, bytes));

    // Save As right after opening needs the whole text: it waits for the load.
    QVERIFY(m_pFrame->OpenDocumentFile(path));
    COstrelView* view = m_pFrame->GetActiveLogView();
    QVERIFY2(Text(view).size() > 0, "the first part shows at once");
    const QString copy = m_pDir->filePath(QStringLiteral("big-copy.log"));
    QVERIFY(view->SaveAs(copy));
    QVERIFY(!view->IsLoading());
    QCOMPARE(TestSupport::ReadFile(copy).size(), bytes.size());
    QVERIFY(TestSupport::ReadFile(copy) == bytes);

    // A reload goes on from the event loop and reports its end; closing the tab mid-way stops it.
    QSignalSpy finished(view, &COstrelView::LoadFinished);
    view->BeginFilterOutput();
    QVERIFY(view->ReloadDocumentText());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QCOMPARE(Text(view).size(), bytes.size());

    QVERIFY(view->ReloadDocumentText());
    QVERIFY(m_pFrame->CloseChildFrame(m_pFrame->GetActiveChildFrame()));
    QCOMPARE(m_pFrame->GetOpenDocuments().size(), 0);
}

void TestLogView::editsWhileLoadingWaitForTheWholeText()
{
    const QByteArray bytes = BigLog(48);
    const QString path = m_pDir->filePath(QStringLiteral("typed.log"));
    QVERIFY(TestSupport::WriteFile(path, bytes));
    m_pFrame->show();
    QVERIFY(m_pFrame->OpenDocumentFile(path));
    COstrelView* view = m_pFrame->GetActiveLogView();
    QVERIFY(view->IsLoading());
    const auto shownFirst = static_cast<qsizetype>(view->GetTextBytes().size());
    QVERIFY2(shownFirst > 0 && shownFirst < bytes.size(), "only the first part shows at once");

    // Moving about the first part goes ahead, and the place carries over to the whole text.
    view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 30UL);
    QTest::keyClick(view, Qt::Key_Down);
    QVERIFY(view->IsLoading());
    const long caret = view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    QVERIFY(caret > 30);

    // A typed character waits for the whole text and lands at the caret, as one undo step.
    QTest::keyClick(view, Qt::Key_X);
    QVERIFY(!view->IsLoading());
    QByteArray typed = bytes;
    typed.insert(caret, 'x');
    QVERIFY(Text(view) == typed);
    QVERIFY(view->IsTextModified());
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), caret + 1);
    view->undo();
    QVERIFY(Text(view) == bytes);
    QVERIFY(!view->isUndoAvailable());

    // Ctrl+End asks for the end of the file; Paste from the menu waits like typing.
    view->SetTextUnmodified();
    view->BeginFilterOutput();
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(view->IsLoading());
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(!view->IsLoading());
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), static_cast<long>(bytes.size()));

    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    view->BeginFilterOutput();
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(view->IsLoading());
    view->paste();
    QVERIFY(!view->IsLoading());
    QVERIFY(Text(view) == "pasted" + bytes);
    view->SetTextUnmodified();
}

void TestLogView::pendingLineIsSelectedInTheFirstPartOrTheWholeText_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("selectedAtOnce");
    QTest::newRow("first line") << 1 << true;
    QTest::newRow("early line") << 1000 << true;
    QTest::newRow("near the end") << 600000 << false;
    QTest::newRow("past the end") << 10000000 << false;
}

void TestLogView::pendingLineIsSelectedInTheFirstPartOrTheWholeText()
{
    QFETCH(int, line);
    QFETCH(bool, selectedAtOnce);
    static const QByteArray bytes = BigLog(48);
    static const QList<QByteArray> lines = FileLines(bytes);
    QVERIFY(lines.size() > 600000);
    COstrelView* view = Open(QStringLiteral("pending.log"), bytes);
    QVERIFY(view);
    view->BeginFilterOutput();
    view->SendScintilla(QsciScintillaBase::SCI_SETSEL, 0UL, 0L);
    view->SetPendingFileLine(line);
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(view->IsLoading());
    const QByteArray expected = line <= lines.size() ? WithoutLineEnd(lines.at(line - 1)) : QByteArray();
    if (selectedAtOnce)
        QCOMPARE(Selection(view), expected);
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoading(), 30000);
    QCOMPARE(Selection(view), expected);
    QCOMPARE(view->GetPendingFileLine(), std::int64_t{0});
}

void TestLogView::saveAsMovesTheDocumentToItsNewFile()
{
    QString original;
    COstrelView* view = Open(QStringLiteral("original.log"), "alpha\nbeta\n", &original);
    QVERIFY(view);
    COstrelDoc* document = view->GetDocument();
    QTest::keyClicks(view, QStringLiteral("new "));
    QVERIFY(view->IsTextModified());

    const QString moved = m_pDir->filePath(QStringLiteral("moved.log"));
    QVERIFY(TestSupport::WriteFile(moved, "to be replaced without a question\n"));
    QVERIFY(view->SaveAs(moved));
    QCOMPARE(TestSupport::ReadFile(moved), QByteArray("new alpha\nbeta\n"));
    QCOMPARE(TestSupport::ReadFile(original), QByteArray("alpha\nbeta\n"));
    QCOMPARE(document->GetPathName(), moved);
    QCOMPARE(QString::fromStdU16String(document->GetFilterSettings().GetFileName()), QStringLiteral("moved.log"));
    QCOMPARE(document->GetTitle(), QStringLiteral("moved.log"));
    QCOMPARE(m_pFrame->GetDocumentArea()->GetTabWidget()->tabText(0), QStringLiteral("moved.log"));
    QVERIFY2(!view->IsTextModified(), "a successful Save As counts as saving");
    QVERIFY2(document->SaveModified(), "closing asks nothing after Save As");

    // From now on the document is the new file.
    QVERIFY(TestSupport::AppendFile(moved, "gamma\n"));
    view->BeginFilterOutput();
    QVERIFY(view->ReloadDocumentText());
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(Text(view), QByteArray("new alpha\nbeta\ngamma\n"));
}

void TestLogView::saveAsFailureKeepsTheDocumentAndReports()
{
    QString original;
    COstrelView* view = Open(QStringLiteral("kept.log"), "kept\n", &original);
    QVERIFY(view);
    QTest::keyClicks(view, QStringLiteral("k"));
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!view->SaveAs(m_pDir->filePath(QStringLiteral("no-such-folder/out.log"))));
    QVERIFY(answer->Seen);
    QCOMPARE(answer->Title, QStringLiteral("Save File Error"));
    QVERIFY2(answer->Text.startsWith(QStringLiteral("Error Saving File - Error ")), qPrintable(answer->Text));
    QVERIFY2(answer->Text != QStringLiteral("Error Saving File - Error 0"), "the error code is reported");
    QCOMPARE(view->GetDocument()->GetPathName(), original);
    QCOMPARE(m_pFrame->GetDocumentArea()->GetTabWidget()->tabText(0).remove(u'*'), QStringLiteral("kept.log"));
    QVERIFY(view->IsTextModified());
    QCOMPARE(TestSupport::ReadFile(original), QByteArray("kept\n"));
}

void TestLogView::saveAsAfterTheFileVanished()
{
    QString original;
    COstrelView* view = Open(QStringLiteral("vanishing.log"), "still shown\n", &original);
    QVERIFY(view);
    QVERIFY(QFile::remove(original));
    const QString rescued = m_pDir->filePath(QStringLiteral("rescued.log"));
    QVERIFY(view->SaveAs(rescued));
    QCOMPARE(TestSupport::ReadFile(rescued), QByteArray("still shown\n"));
    QVERIFY(!QFile::exists(original));
}

void TestLogView::saveNeverOverwritesTheLogWithFilterOutputOrAnOldCopy()
{
    QString path;
    COstrelView* view = Open(QStringLiteral("live.log"), "one\ntwo\n", &path);
    QVERIFY(view);
    COstrelDoc* document = view->GetDocument();

    // Unmodified: the log grew meanwhile, and Save must not cut the new lines off.
    QVERIFY(TestSupport::AppendFile(path, "three\n"));
    QVERIFY(document->OnFileSave());
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("one\ntwo\nthree\n"));

    // Filter output: Save asks for a new name; cancelling it leaves the log alone.
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf({"one\n", "two\n", "three\n"}, {2}));
    QTest::keyClicks(view, QStringLiteral("edited "));
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Cancel);
    QVERIFY(!document->OnFileSave());
    QVERIFY2(answer->Seen, "a save dialog asked for the new name");
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("one\ntwo\nthree\n"));
    QCOMPARE(document->GetPathName(), path);
}

void TestLogView::saveKeepsTheFileItsOwnerModeAndOtherNames()
{
    if (::geteuid() != 0)
        QSKIP("needs root to give the file to another user");
    QString path;
    COstrelView* view = Open(QStringLiteral("owned.log"), "alpha\n", &path);
    QVERIFY(view);
    const QByteArray file = QFile::encodeName(path);
    const QString second = m_pDir->filePath(QStringLiteral("second.log"));
    QCOMPARE(::chown(file.constData(), 65534, 4), 0);
    QCOMPARE(::chmod(file.constData(), 0600), 0);
    QCOMPARE(::link(file.constData(), QFile::encodeName(second).constData()), 0);
    struct stat before = {};
    QCOMPARE(::stat(file.constData(), &before), 0);

    QTest::keyClicks(view, QStringLiteral("new "));
    QVERIFY(view->GetDocument()->OnFileSave());
    struct stat after = {};
    QCOMPARE(::stat(file.constData(), &after), 0);
    QCOMPARE(after.st_uid, uid_t{65534});
    QCOMPARE(after.st_gid, gid_t{4});
    QCOMPARE(after.st_mode & 07777, mode_t{0600});
    QVERIFY2(after.st_ino == before.st_ino && after.st_nlink == 2, "both names still share the file");
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("new alpha\n"));
    QCOMPARE(TestSupport::ReadFile(second), QByteArray("new alpha\n"));
    QCOMPARE(QDir(m_pDir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("owned.log"), QStringLiteral("second.log")}));
}

void TestLogView::saveIsNoChangeOnDiskAndTheSavedFileIsWatched()
{
    QString path;
    COstrelView* view = Open(QStringLiteral("saved.log"), "one\ntwo\n", &path);
    QVERIFY(view);
    COstrelDoc* document = view->GetDocument();
    view->SetFollow(true);
    QTest::keyClicks(view, QStringLiteral("x"));
    QVERIFY(document->OnFileSave());
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("xone\ntwo\n"));
    // The saver put a new file in place of the old one: nothing holds the old one any more.
    QTRY_COMPARE_WITH_TIMEOUT(OpenDeletedCopiesOf(path), 0, 5000);
    QVERIFY(!view->IsFileChangedOnDisk());

    // Followed from where the save ended: no "file replaced" marker, no second copy of the text.
    QVERIFY(TestSupport::AppendFile(path, "three\n"));
    QTRY_COMPARE_WITH_TIMEOUT(Text(view), QByteArray("xone\ntwo\nthree\n"), 5000);
    QVERIFY(!view->IsFileChangedOnDisk());
    QVERIFY(!view->IsTextModified());

    // Not following, a change by someone else after a save is still told, in the tab's tip too.
    view->SetFollow(false);
    QTest::keyClicks(view, QStringLiteral("y"));
    QVERIFY(document->OnFileSave());
    QTRY_COMPARE_WITH_TIMEOUT(OpenDeletedCopiesOf(path), 0, 5000);
    QVERIFY(!view->IsFileChangedOnDisk());
    QVERIFY(!m_pFrame->GetTabToolTip(m_pFrame->GetDocumentArea()->GetTabWidget(), 0)
                 .contains(QStringLiteral("File changed on disk")));
    QVERIFY(TestSupport::AppendFile(path, "four\n"));
    QTRY_VERIFY_WITH_TIMEOUT(view->IsFileChangedOnDisk(), 5000);
    QVERIFY(m_pFrame->GetTabToolTip(m_pFrame->GetDocumentArea()->GetTabWidget(), 0)
                .contains(QStringLiteral("File changed on disk")));
}

void TestLogView::savedFilterOutputBecomesItsOwnFile()
{
    QByteArray log;
    for (int line = 1; line <= 10; ++line)
        log += "line " + QByteArray::number(line) + '\n';
    QString path;
    COstrelView* view = Open(QStringLiteral("a.log"), log, &path);
    QVERIFY(view);
    COstrelDoc* document = view->GetDocument();
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf(FileLines(log), {2, 5, 8}));
    view->EndFilterOutput();
    bool isContext = false;
    QCOMPARE(view->FileLineOfViewLine(2, isContext), std::int64_t{8});

    const QString saved = m_pDir->filePath(QStringLiteral("a-filtered.log"));
    QVERIFY(view->SaveAs(saved));
    QCOMPARE(TestSupport::ReadFile(saved), QByteArray("line 2\nline 5\nline 8\n"));
    QCOMPARE(document->GetPathName(), saved);
    // Numbered as that file's own lines, as the whole file it now is.
    QVERIFY(!view->GetShowsFilteredText());
    QVERIFY(view->GetFileLineNumbers().empty());
    for (std::int64_t viewLine = 0; viewLine < 3; ++viewLine)
        QCOMPARE(view->FileLineOfViewLine(viewLine, isContext), viewLine + 1);
    QCOMPARE(view->GetGoToLineCount(), std::int64_t{4});
    QTRY_COMPARE_WITH_TIMEOUT(OpenDeletedCopiesOf(path), 0, 5000);
    QVERIFY(!view->IsFileChangedOnDisk());

    // On the line of "line 8": Ctrl+double-click has no file line to go to, and the toggle makes
    // the output of the saved file rather than showing line 8 of it or the first log.
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 2UL);
    QVERIFY(!view->GoToFileLineAt(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)));
    QVERIFY(!view->HasKeptFilterOutput());
    QCOMPARE(view->ToggleFilterOutput(), COstrelView::ToggleResult::NeedsRun);
    QCOMPARE(Text(view), QByteArray("line 2\nline 5\nline 8\n"));
    QCOMPARE(view->GetCaretLine(), std::int64_t{3});
    // Saving it again writes nothing and asks for no new name: it is unmodified.
    QVERIFY(document->OnFileSave());
    QCOMPARE(TestSupport::ReadFile(path), log);
}

void TestLogView::aFileThatFailsPartWayIsNeverSavedOverIt()
{
    // While the file is being opened, a read that fails after the first part closes its tab.
    const QByteArray log = BigLog(8);
    const QString path = m_pDir->filePath(QStringLiteral("failing.log"));
    QVERIFY(TestSupport::WriteFile(path, log));
    QVERIFY(m_pFrame->OpenDocumentFile(path));
    COstrelView* view = m_pFrame->GetActiveLogView();
    QVERIFY(view->IsLoading());
    auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    view->LoadFile(OpenFailingFile(path, 6 * 1024 * 1024));
    QTRY_VERIFY(answer->Seen);
    QCOMPARE(answer->Text, QStringLiteral("Failed to open document.\n\n%1: Input/output error").arg(path));
    QTRY_VERIFY(m_pFrame->GetDocumentArea()->GetChildFrames().isEmpty());
    QCOMPARE(m_pFrame->GetOpenDocuments().size(), 0);

    // A reload that fails keeps the tab, but what it shows is never saved over the file.
    view = Open(QStringLiteral("failing.log"), log);
    QVERIFY(view);
    COstrelDoc* document = view->GetDocument();
    answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    view->LoadFile(OpenFailingFile(path, 5 * 1024 * 1024));
    QTRY_VERIFY(!view->IsLoading());
    QVERIFY(answer->Seen);
    QVERIFY(view->IsTextIncomplete());
    QCOMPARE(Text(view).size(), 5 * 1024 * 1024);
    view->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, 0UL, "typed ");
    QVERIFY(document->IsModified());
    answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!document->OnFileSave());
    QCOMPARE(answer->Title, QStringLiteral("Save File Error"));
    QCOMPARE(TestSupport::ReadFile(path), log);
    answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!view->SaveAs(path));
    QVERIFY(answer->Seen);
    QCOMPARE(TestSupport::ReadFile(path), log);
    // Elsewhere it may go: that file holds what is shown, and nothing else.
    const QString part = m_pDir->filePath(QStringLiteral("part.log"));
    QVERIFY(view->SaveAs(part));
    QCOMPARE(TestSupport::ReadFile(part), Text(view));
    QCOMPARE(TestSupport::ReadFile(path), log);
}

void TestLogView::filterOutputIsAppendedWithoutUndoOrModifiedFlag()
{
    COstrelView* view = Open(QStringLiteral("out.log"), "a\nb\nc\nd\n");
    QVERIFY(view);
    QSignalSpy changed(view, &COstrelView::ShowsFilteredTextChanged);
    view->BeginFilterOutput();
    QCOMPARE(changed.count(), 1);
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(Text(view), QByteArray());
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK,
                                 static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT)),
             static_cast<long>(COstrelView::FilterOutputBackground));

    const QList<QByteArray> lines = {"a\n", "b\n", "c\n", "d\n"};
    view->AppendOutputLines(BatchOf(lines, {2, 3}));
    view->AppendOutputLines(BatchOf(lines, {4}));
    QCOMPARE(Text(view), QByteArray("b\nc\nd\n"));
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 3, 4}));
    QVERIFY(!view->IsTextModified());
    QVERIFY(!view->isUndoAvailable());
}

void TestLogView::reloadShowsTheGrownFileInWholeFileState()
{
    QString path;
    COstrelView* view = Open(QStringLiteral("grow.log"), "first\n", &path);
    QVERIFY(view);
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf({"first\n"}, {1}));
    QVERIFY(TestSupport::AppendFile(path, "second\nthird\n"));

    QVERIFY(view->ReloadDocumentText());
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(Text(view), QByteArray("first\nsecond\nthird\n"));
    QVERIFY(!view->GetShowsFilteredText());
    QVERIFY(view->GetFileLineNumbers().empty());
    QVERIFY(!view->IsTextModified());
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK,
                                 static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT)),
             static_cast<long>(COstrelView::WholeFileBackground));

    // A file that cannot be read leaves the view as it was.
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf({"first\n"}, {1}));
    QVERIFY(QFile::remove(path));
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!view->ReloadDocumentText());
    QVERIFY(answer->Text.startsWith(QStringLiteral("Failed to open document.")));
    QCOMPARE(Text(view), QByteArray("first\n"));
    QVERIFY(view->GetShowsFilteredText());
}

void TestLogView::ctrlDoubleClickSelectsTheFileLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<int>>("kept");
    QTest::addColumn<int>("clicked");
    QByteArray plain;
    for (int i = 1; i <= 600; ++i)
        plain += "line " + QByteArray::number(i) + " of the log\n";
    QTest::newRow("line 500 shown first") << plain << QList<int>{500, 501, 502} << 0;
    QTest::newRow("third output line") << plain << QList<int>{3, 250, 599} << 2;

    QByteArray crlf = plain;
    crlf.replace("\n", "\r\n");
    QTest::newRow("CR LF file") << crlf << QList<int>{10, 400} << 1;

    QByteArray longLines;
    for (int i = 1; i <= 40; ++i)
        longLines += QByteArray(3000 + i, static_cast<char>('a' + i % 26)) + "\n";
    QTest::newRow("long lines") << longLines << QList<int>{5, 37} << 1;

    QByteArray loneCr = "head\r no break\nsecond\rline\nthird\nfourth\rstill fourth\nfifth\n";
    QTest::newRow("lone CR inside lines") << loneCr << QList<int>{2, 4, 5} << 2;
}

void TestLogView::ctrlDoubleClickSelectsTheFileLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, kept);
    QFETCH(int, clicked);
    m_pFrame->show();
    COstrelView* view = Open(QStringLiteral("click.log"), file);
    QVERIFY(view);
    const QList<QByteArray> lines = FileLines(file);
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf(lines, kept));

    // The output line's start, as the file's line feeds count it.
    const QByteArray shown = Text(view);
    qsizetype position = 0;
    for (int i = 0; i < clicked; ++i)
        position = shown.indexOf('\n', position) + 1;
    position += 1;
    view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(position));
    const QPoint point(static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL,
                                                            static_cast<long>(position))),
                       static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL,
                                                            static_cast<long>(position))) +
                           2);

    // A plain double click only selects a word.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QVERIFY(view->GetShowsFilteredText());

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, point);
    QTRY_VERIFY(!view->IsLoading());
    QVERIFY(!view->GetShowsFilteredText());
    QCOMPARE(Text(view), file);
    const int fileLine = kept.at(clicked);
    QCOMPARE(Selection(view), WithoutLineEnd(lines.at(fileLine - 1)));
}

void TestLogView::ctrlDoubleClickWithoutARecordedLineDoesNothing()
{
    COstrelView* view = Open(QStringLiteral("marker.log"), "a\nb\n");
    QVERIFY(view);
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf({"a\n", "b\n"}, {2}));
    // After the last line break there is an empty line with no file line.
    QVERIFY(!view->GoToFileLineAt(static_cast<std::int64_t>(Text(view).size())));
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(Text(view), QByteArray("b\n"));
    QVERIFY(view->GoToFileLineAt(0));
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(Selection(view), QByteArray("b"));
}

void TestLogView::deleteAllFiltersAsksWhenAnotherProcessWrites()
{
    QString path;
    COstrelView* view = Open(QStringLiteral("busy.log"), "x\ny\n", &path);
    QVERIFY(view);
    QVERIFY2(!COstrelView::IsFileInUse(path), "nobody writes it yet");
    // A file that is gone, or has become a pipe (which an open would wait on), is in no one's use.
    QVERIFY(!COstrelView::IsFileInUse(m_pDir->filePath(QStringLiteral("absent.log"))));
    const QString pipe = m_pDir->filePath(QStringLiteral("pipe.log"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(!COstrelView::IsFileInUse(pipe));

    QProcess writer;
    writer.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec 3>>\"$1\"; read line"), QStringLiteral("sh"), path});
    QVERIFY(writer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(COstrelView::IsFileInUse(path), 10000);

    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf({"x\n", "y\n"}, {2}));
    for (auto button : {QMessageBox::No, QMessageBox::Cancel}) {
        const auto answer = TestSupport::AnswerNextModal(button);
        view->OnDeleteAllFilters();
        QCOMPARE(answer->Title, QStringLiteral("File In Use"));
        QCOMPARE(answer->Text,
                 QStringLiteral("File \"%1\" is currently in use by another process.  Deleting All Filters "
                                "will Result in the document being re-loaded which may result in a newer "
                                "version of the document.  Proceed?")
                     .arg(path));
        QCOMPARE(Text(view), QByteArray("y\n"));
        QVERIFY(view->GetShowsFilteredText());
    }
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Yes);
    view->OnDeleteAllFilters();
    QVERIFY(answer->Seen);
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(Text(view), QByteArray("x\ny\n"));

    writer.closeWriteChannel();
    QVERIFY(writer.waitForFinished());
}

void TestLogView::fontComesFromTheSettings()
{
    auto face = [](COstrelView* view) {
        QByteArray name(256, '\0');
        view->SendScintilla(QsciScintillaBase::SCI_STYLEGETFONT,
                            static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT),
                            static_cast<void*>(name.data()));
        return QString::fromUtf8(name.constData());
    };
    auto style = [](COstrelView* view, unsigned message) {
        return view->SendScintilla(message, static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT));
    };
    COstrelView* plain = Open(QStringLiteral("plain.log"), "p\n");
    QVERIFY(plain);
    QCOMPARE(face(plain), QStringLiteral("Courier New"));
    QCOMPARE(style(plain, QsciScintillaBase::SCI_STYLEGETFORE), 0L);
    QCOMPARE(style(plain, QsciScintillaBase::SCI_STYLEGETBOLD), 0L);
    const long defaultSize = style(plain, QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL);

    COstrelApp* app = COstrelApp::GetInstance();
    app->SetTextFont(QStringLiteral("DejaVu Sans Mono"));
    app->SetTextHeight(14 * 20);
    app->SetTextMask(0x1);
    app->SetTextEffects(0x1);
    app->SetTextColor(0x00336699);
    COstrelView* chosen = Open(QStringLiteral("chosen.log"), "c\n");
    QVERIFY(chosen);
    QCOMPARE(face(chosen), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(style(chosen, QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL),
             14L * QsciScintillaBase::SC_FONT_SIZE_MULTIPLIER);
    QCOMPARE(style(chosen, QsciScintillaBase::SCI_STYLEGETBOLD), 1L);
    QCOMPARE(style(chosen, QsciScintillaBase::SCI_STYLEGETFORE), 0x00336699L);
    QVERIFY2(face(plain) == QStringLiteral("Courier New") &&
                 style(plain, QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL) == defaultSize,
             "a view already open keeps its font");
}

void TestLogView::newViewsAreUnwrappedAndWrapMovesCaretHome()
{
    COstrelView* view = Open(QStringLiteral("wrap.log"), "one\ntwo\nthree\n");
    QVERIFY(view);
    QCOMPARE(view->GetWordWrap(), 0);
    QCOMPARE(view->wrapMode(), QsciScintilla::WrapNone);
    view->setCursorPosition(2, 2);
    view->SetWordWrap(COstrelView::WrapToWindow);
    QCOMPARE(view->wrapMode(), QsciScintilla::WrapWord);
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), 0L);
    QCOMPARE(view->GetCaretLine(), 1);

    COstrelView* next = Open(QStringLiteral("wrap2.log"), "x\n");
    QVERIFY(next);
    QCOMPARE(next->wrapMode(), QsciScintilla::WrapNone);
}

void TestLogView::fontDialogOpensOnTheShownFontWithItsColour()
{
    COstrelView* view = Open(QStringLiteral("font.log"), "text\n");
    QVERIFY(view);
    const auto style = [view](unsigned message) {
        return view->SendScintilla(message, static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT));
    };
    // The configured face may be missing: the dialog offers the one the system shows instead.
    const QString shownFamily = QFontInfo(QFont(QStringLiteral("Courier New"))).family();
    struct Seen
    {
        QString Family;
        QString Style;
        QString Size;
        QString Color;
        QStringList Checks;
        Qt::WindowFlags Flags;
    };
    const auto runFont = [&view](bool accept, const std::function<void(CFontDlg*)>& choose) {
        auto seen = std::make_shared<Seen>();
        auto came = TestSupport::OnNextModal([seen, accept, choose](QWidget* modal) {
            auto* dialog = qobject_cast<CFontDlg*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            seen->Family = dialog->findChild<QFontComboBox*>(QStringLiteral("fontFamilyCombo"))->currentText();
            seen->Style = dialog->findChild<QComboBox*>(QStringLiteral("fontStyleCombo"))->currentText();
            seen->Size = dialog->findChild<QComboBox*>(QStringLiteral("fontSizeCombo"))->currentText();
            seen->Color = dialog->findChild<QComboBox*>(QStringLiteral("fontColorCombo"))->currentText();
            for (const QCheckBox* check : dialog->findChildren<QCheckBox*>())
                seen->Checks.append(check->text());
            seen->Flags = dialog->windowFlags();
            if (choose)
                choose(dialog);
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        view->OnFormatFont();
        return *came ? seen : nullptr;
    };

    const QString shownSize = QString::number(style(QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL) /
                                              double(QsciScintillaBase::SC_FONT_SIZE_MULTIPLIER));
    const std::shared_ptr<Seen> first = runFont(true, [](CFontDlg* dialog) {
        dialog->findChild<QComboBox*>(QStringLiteral("fontStyleCombo"))->setCurrentIndex(2);
        dialog->findChild<QComboBox*>(QStringLiteral("fontSizeCombo"))->setCurrentText(QStringLiteral("14"));
        auto* colors = dialog->findChild<QComboBox*>(QStringLiteral("fontColorCombo"));
        const int red = colors->findText(QStringLiteral("Red"));
        colors->setCurrentIndex(red);
        Q_EMIT colors->activated(red);
    });
    QVERIFY(first);
    QCOMPARE(first->Family, shownFamily);
    QCOMPARE(first->Style, QStringLiteral("Regular"));
    QCOMPARE(first->Color, QStringLiteral("Black"));
    QCOMPARE(first->Size, shownSize);
    QCOMPARE(first->Checks, QStringList{QStringLiteral("&Underline")}); // no strikeout: the view cannot draw it
    QVERIFY(!(first->Flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    // The choice is kept in memory, and the view shows it: red, bold, 14 points.
    COstrelApp* app = COstrelApp::GetInstance();
    QCOMPARE(app->GetTextColor(), 0x0000FFu);
    QCOMPARE(app->GetTextHeight(), 14 * 20);
    QCOMPARE(app->GetTextFont(), shownFamily);
    QCOMPARE(app->GetTextEffects() & 0xF, 0x1);
    QCOMPARE(style(QsciScintillaBase::SCI_STYLEGETFORE), 0x0000FFL);
    QCOMPARE(style(QsciScintillaBase::SCI_STYLEGETBOLD), 1L);
    QCOMPARE(style(QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL), 14L * QsciScintillaBase::SC_FONT_SIZE_MULTIPLIER);

    // Opened again it shows that choice; Cancel changes nothing.
    const std::shared_ptr<Seen> second = runFont(false, [](CFontDlg* dialog) {
        dialog->findChild<QComboBox*>(QStringLiteral("fontSizeCombo"))->setCurrentText(QStringLiteral("30"));
    });
    QVERIFY(second);
    QCOMPARE(second->Style, QStringLiteral("Bold"));
    QCOMPARE(second->Size, QStringLiteral("14"));
    QCOMPARE(second->Color, QStringLiteral("Red"));
    QCOMPARE(app->GetTextHeight(), 14 * 20);

    // A colour of the settings that has no name shows as a custom one and stays as it was.
    app->SetTextColor(0x00563412);
    COstrelView* custom = Open(QStringLiteral("custom.log"), "text\n");
    QVERIFY(custom);
    view = custom;
    const std::shared_ptr<Seen> third = runFont(true, nullptr);
    QVERIFY(third);
    QCOMPARE(third->Color, QStringLiteral("Custom"));
    QCOMPARE(app->GetTextColor(), 0x00563412u);
}

void TestLogView::printKeepsTheChosenPrinter()
{
    COstrelView* view = Open(QStringLiteral("print.log"), "one\ntwo\n");
    QVERIFY(view);
    QPrinter& kept = COstrelApp::GetInstance()->GetPrinter();
    const QString firstFile = m_pDir->filePath(QStringLiteral("first.pdf"));
    const QString secondFile = m_pDir->filePath(QStringLiteral("second.pdf"));
    kept.setOutputFileName(firstFile);

    // The dialog starts on the kept choice; what is chosen in it is kept for the next print.
    auto offered = std::make_shared<QString>();
    auto came = TestSupport::OnNextModal([offered, secondFile](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintDialog*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        *offered = dialog->printer()->outputFileName();
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
            name->setText(secondFile);
        dialog->accept();
    });
    view->OnFilePrint();
    QVERIFY(*came);
    QCOMPARE(*offered, firstFile);
    QCOMPARE(kept.outputFileName(), secondFile);
    QCOMPARE(kept.outputFormat(), QPrinter::PdfFormat);
    QTRY_VERIFY(QFileInfo(secondFile).size() > 0);

    // Cancel keeps the choice as it was.
    auto again = TestSupport::OnNextModal([offered](QWidget* modal) {
        if (auto* dialog = qobject_cast<QPrintDialog*>(modal))
            *offered = dialog->printer()->outputFileName();
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    view->OnFilePrint();
    QVERIFY(*again);
    QCOMPARE(*offered, secondFile);
    QCOMPARE(kept.outputFileName(), secondFile);
    kept.setOutputFileName(QString());
}

void TestLogView::chosenFontReachesEveryViewAndStaysReadable()
{
    COstrelView* first = Open(QStringLiteral("first.log"), "one\n");
    COstrelView* second = Open(QStringLiteral("second.log"), "two\n");
    QVERIFY(first && second);
    const auto text = [](COstrelView* view) {
        return view->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE,
                                   static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT));
    };
    const auto choose = [this](std::uint32_t color) {
        CTextFormat format = m_pFrame->GetTextFormat();
        format.Color = color;
        format.Height = 200;
        m_pFrame->SetTextFormat(format);
    };
    // Dark blue: both views at once, the one open before included.
    choose(0x800000);
    QCOMPARE(text(first), 0x800000L);
    QCOMPARE(text(second), 0x800000L);

    // In a dark look it would not stand out: the views read light; a bright colour stays.
    m_pFrame->SetApplicationLook(CommandId::LookOffice2007Black);
    QTRY_VERIFY(text(first) == 0xDCDCDCL && text(second) == 0xDCDCDCL);
    choose(0x00FFFF);
    QCOMPARE(text(first), 0x00FFFFL);
    QCOMPARE(text(second), 0x00FFFFL);
    m_pFrame->SetApplicationLook(CommandId::LookDefault);
    choose(0x800000);
    QTRY_COMPARE(text(first), 0x800000L);
}

OSTREL_QT_TEST_MAIN(TestLogView, COstrelApp)
#include "TestLogView.moc"
