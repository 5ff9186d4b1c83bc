// SPDX-License-Identifier: GPL-3.0-or-later
// A document filters its own file: Apply, the toggle and Follow all ask the document, which owns
// the run. Here with a workspace that shows no progress window, so a run ends with its file, and
// keeps the problems it is told instead of showing them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

#include "document/CFilteringRun.h"
#include "support/QtTestSupport.h"
#include "view/CFileFollower.h"
#include "view/NavigationCommands.h"

using namespace Qt::StringLiterals;

class TestDocumentRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void runWithoutAWindowEndsWithTheFile();
    void problemsAreReportedToTheWorkspace();
    void oneRunAtATimePerDocument();
    void questionsGoToTheWorkspace();
    void goToInFilterOutputTakesFileLines();
    void theDocumentDecidesTheToggleAndFollow();
    void recordsKeepWholeRecordsAndTheSwitchMakesTheOutputAnew();
    void recordsOfAFileWithoutTimesAreItsLinesAndSaySo();

private:
    static void SetFilters(FilterSettings& settings, const QStringList& literals, bool regExp = false);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestSupport::TestWorkspace> m_pWorkspace;
};

void TestDocumentRun::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestSupport::TestWorkspace>();
}

void TestDocumentRun::SetFilters(FilterSettings& settings, const QStringList& literals, bool regExp)
{
    settings.ClearFilters();
    for (const QString& literal : literals) {
        settings.AddFilter(literal.toStdU16String(), regExp ? 1 : 0);
        settings.SetCaseSensitive(settings.GetCount() - 1, true);
    }
}

void TestDocumentRun::runWithoutAWindowEndsWithTheFile()
{
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "INFO a\nERROR b\nINFO c\nERROR d\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    QSignalSpy changes(document, &COstrelDoc::FilteringChanged);

    FilterSettings settings;
    SetFilters(settings, {u"ERROR"_s});
    QVERIFY(document->ApplyFilters(settings));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes.at(0).at(0).toBool(), true);
    QCOMPARE(changes.at(1).at(0).toBool(), false);
    QCOMPARE(TestSupport::TextOf(document->GetView()), QByteArray("ERROR b\nERROR d\n"));
    QCOMPARE(document->GetView()->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 4}));
    QVERIFY(m_pWorkspace->GetReports().empty());

    // The document's own filters with the exclude switch: the lines that match none.
    SetFilters(document->GetFilterSettings(), {u"ERROR"_s});
    QVERIFY(document->ApplyOwnFilters(true));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(TestSupport::TextOf(document->GetView()), QByteArray("INFO a\nINFO c\n"));

    // No filters: the whole file again, and no run.
    FilterSettings none;
    QVERIFY(document->ApplyFilters(none));
    QVERIFY(!document->IsFiltering());
    QTRY_COMPARE(TestSupport::TextOf(document->GetView()), QByteArray("INFO a\nERROR b\nINFO c\nERROR d\n"));
    QTRY_VERIFY(document->findChildren<CFilteringRun*>().isEmpty());
}

void TestDocumentRun::problemsAreReportedToTheWorkspace()
{
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "ERROR b\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());

    // A faulty expression is said once; the other filter still works.
    FilterSettings settings;
    SetFilters(settings, {u"(unclosed"_s, u"ERROR"_s}, true);
    QVERIFY(document->ApplyFilters(settings));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(m_pWorkspace->TakeReports(),
             QStringList{u"ERROR: Regular Expression Parser Error: A closing parenthesis was expected"_s});
    QCOMPARE(TestSupport::TextOf(document->GetView()), QByteArray("ERROR b\n"));

    // The file gone: the run says why and ends.
    QVERIFY(QFile::remove(path));
    SetFilters(settings, {u"ERROR"_s});
    document->ApplyFilters(settings);
    QTRY_VERIFY(!document->IsFiltering());
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.front().startsWith(u"ERROR: "_s) && reports.front().contains(path), qPrintable(reports.front()));
}

void TestDocumentRun::oneRunAtATimePerDocument()
{
    // A pipe keeps the first run going while its writer stays open.
    const QString path = m_pDir->filePath(u"pipe.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "ERROR one\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    const QByteArray name = QFile::encodeName(path);
    QVERIFY(::unlink(name.constData()) == 0 && ::mkfifo(name.constData(), 0600) == 0);
    const int writer = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(writer >= 0);

    FilterSettings settings;
    SetFilters(settings, {u"ERROR"_s});
    QVERIFY(document->ApplyFilters(settings));
    QVERIFY(document->IsFiltering());
    QVERIFY2(!document->ApplyFilters(settings), "a second run waits for the first");
    QVERIFY(::write(writer, "ERROR two\n", 10) == 10);
    QTRY_COMPARE(TestSupport::TextOf(document->GetView()), QByteArray("ERROR two\n"));
    ::close(writer);
    QTRY_VERIFY(!document->IsFiltering());

    // Another document runs meanwhile as it likes; closing a document ends its run.
    const QString other = m_pDir->filePath(u"other.log"_s);
    QVERIFY(TestSupport::WriteFile(other, "ERROR elsewhere\n"));
    const int again = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(again >= 0);
    QVERIFY(document->ApplyFilters(settings));
    COstrelDoc* second = m_pWorkspace->OpenDocumentFile(other);
    QVERIFY(second);
    QTRY_VERIFY(!second->GetView()->IsLoading());
    QVERIFY(second->ApplyFilters(settings));
    QTRY_VERIFY(!second->IsFiltering());
    QVERIFY(document->IsFiltering());
    QPointer<CFilteringRun> run = document->GetFilteringRun();
    m_pWorkspace->CloseDocument(document);
    QTRY_VERIFY(!run);
    ::close(again);
}

void TestDocumentRun::questionsGoToTheWorkspace()
{
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "line\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    document->GetView()->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, 4UL, "more");
    QVERIFY(document->IsModified());

    // Cancel keeps the document; No lets it go unsaved; neither writes.
    m_pWorkspace->SetAnswer(QMessageBox::Cancel);
    QVERIFY(!document->SaveModified());
    m_pWorkspace->SetAnswer(QMessageBox::No);
    QVERIFY(document->SaveModified());
    QCOMPARE(m_pWorkspace->GetQuestions().size(), std::size_t(2));
    QCOMPARE(m_pWorkspace->GetQuestions().front().Text, u"Save changes to app.log?"_s);
    QCOMPARE(m_pWorkspace->GetQuestions().front().Name, u"saveChangesBox"_s);
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("line\n"));
}

void TestDocumentRun::goToInFilterOutputTakesFileLines()
{
    QByteArray log;
    for (int i = 1; i <= 40; ++i)
        log += (i % 10 == 0 ? "ERROR " : "info ") + QByteArray::number(i) + '\n';
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, log));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    COstrelView* view = document->GetView();

    // In the whole file a number past the end goes to the last line, and says so.
    QCOMPARE(view->GoToNumberedLine(12), QString());
    QCOMPARE(view->GetCaretLine(), 12);
    QCOMPARE(view->GoToNumberedLine(100), u"Line 100 is past the end: at the last line, 41"_s);
    QCOMPARE(view->GetCaretLine(), 41);

    FilterSettings settings;
    SetFilters(settings, {u"ERROR"_s});
    QVERIFY(document->ApplyFilters(settings));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(view->GetGoToLineCount(), 40); // the last kept file line
    // A kept file line; one that is not kept goes to the next kept one; past the last, the last.
    QCOMPARE(view->GoToNumberedLine(20), QString());
    QCOMPARE(view->GetCaretFileLine(), 20);
    QCOMPARE(view->GoToNumberedLine(21), u"File line 21 is not kept: at the next kept line, file line 30"_s);
    QCOMPARE(view->GetCaretFileLine(), 30);
    QCOMPARE(view->GoToNumberedLine(1), u"File line 1 is not kept: at the next kept line, file line 10"_s);
    QCOMPARE(view->GetCaretFileLine(), 10);
    QCOMPARE(view->GoToNumberedLine(55), u"File line 55 is past the last kept line: at file line 40"_s);
    QCOMPARE(view->GetCaretFileLine(), 40);

    // Through the dialog: it offers the caret's file line and the note reaches the status bar.
    auto offered = std::make_shared<QString>();
    auto came = TestSupport::OnNextModal([offered](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(u"lineNumberEdit"_s);
        *offered = edit->text() + u" | "_s + modal->findChild<QLabel*>(u"linePromptLabel"_s)->text();
        edit->setText(u"25"_s);
        static_cast<QDialog*>(modal)->accept();
    });
    RunGoToCommand(view);
    QVERIFY(*came);
    QCOMPARE(*offered, u"40 | Line Number (1 - 40):"_s);
    QCOMPARE(view->GetCaretFileLine(), 30);
    QCOMPARE(m_pWorkspace->GetStatusNotes(),
             QStringList{u"File line 25 is not kept: at the next kept line, file line 30"_s});
}

void TestDocumentRun::theDocumentDecidesTheToggleAndFollow()
{
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "INFO a\nERROR b\nINFO c\nERROR d\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    COstrelView* view = document->GetView();
    QVERIFY2(document->GetFileFollower(), "the document watches the file it shows");

    // Ctrl+T with no output made yet runs the document's filters.
    SetFilters(document->GetFilterSettings(), {u"ERROR"_s});
    document->ToggleFilterOutput(false);
    QTRY_VERIFY(!document->IsFiltering());
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 4}));

    // Back and forth while the file is as it was: the output comes back with its numbers, no run.
    QSignalSpy runs(document, &COstrelDoc::FilteringChanged);
    document->ToggleFilterOutput(false);
    QVERIFY(!view->GetShowsFilteredText());
    QCOMPARE(TestSupport::TextOf(view), QByteArray("INFO a\nERROR b\nINFO c\nERROR d\n"));
    document->ToggleFilterOutput(false);
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(TestSupport::TextOf(view), QByteArray("ERROR b\nERROR d\n"));
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 4}));
    QCOMPARE(view->GoToNumberedLine(4), QString());
    QCOMPARE(view->GetCaretFileLine(), 4);
    QCOMPARE(runs.size(), 0);

    // Follow switched on in filter output makes the output again, following: appended lines
    // that match arrive with their file line numbers.
    document->SetFollow(true, false);
    QVERIFY(view->GetFollow());
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.write("INFO e\nERROR f\n") == 15);
    file.close();
    QTRY_COMPARE(TestSupport::TextOf(view), QByteArray("ERROR b\nERROR d\nERROR f\n"));
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 4, 6}));

    // Closing the document ends the watch.
    document->OnCloseDocument();
    QVERIFY(!document->GetFileFollower());
}

void TestDocumentRun::recordsKeepWholeRecordsAndTheSwitchMakesTheOutputAnew()
{
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "2026-12-09 10:00:00 INFO start\n"
                                         "2026-12-09 10:00:01 ERROR failed\n"
                                         "  at Worker.run\n"
                                         "  at Thread.main\n"
                                         "2026-12-09 10:00:02 INFO at rest\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    COstrelView* view = document->GetView();
    SetFilters(document->GetFilterSettings(), {u"ERROR"_s});

    // Lines: only the line that holds the word.
    QVERIFY(document->ApplyOwnFilters(false));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(TestSupport::TextOf(view), QByteArray("2026-12-09 10:00:01 ERROR failed\n"));

    // Switched on while the output is shown: the output is made anew of whole records, each
    // line with its own file line number.
    QSignalSpy runs(document, &COstrelDoc::FilteringChanged);
    document->SetRecords(true, false);
    QVERIFY(document->GetRecords());
    QCOMPARE(runs.size(), 1);
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(TestSupport::TextOf(view),
             QByteArray("2026-12-09 10:00:01 ERROR failed\n  at Worker.run\n  at Thread.main\n"));
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 3, 4}));

    // A word of a continuation line keeps its whole record; exclude drops whole records.
    SetFilters(document->GetFilterSettings(), {u"Thread.main"_s});
    QVERIFY(document->ApplyOwnFilters(false));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 3, 4}));
    QVERIFY(document->ApplyOwnFilters(true));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{1, 5}));

    // The output kept for the toggle was decided as records: switched off in the whole file,
    // the toggle makes the output anew, of lines.
    document->ToggleFilterOutput(true);
    QVERIFY(!view->GetShowsFilteredText());
    QVERIFY(view->HasKeptFilterOutput());
    document->SetRecords(false, true);
    QVERIFY(!view->HasKeptFilterOutput());
    QVERIFY2(!document->IsFiltering(), "the whole file shown needs no run");
    document->ToggleFilterOutput(true);
    QTRY_VERIFY(!document->IsFiltering());
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{1, 2, 3, 5}));
    QVERIFY(m_pWorkspace->GetStatusNotes().isEmpty());
}

void TestDocumentRun::recordsOfAFileWithoutTimesAreItsLinesAndSaySo()
{
    const QString path = m_pDir->filePath(u"plain.txt"_s);
    QVERIFY(TestSupport::WriteFile(path, "alpha\nbeta\ngamma\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    SetFilters(document->GetFilterSettings(), {u"beta"_s});
    document->SetRecords(true, false);
    QVERIFY(document->ApplyOwnFilters(false));
    QTRY_VERIFY(!document->IsFiltering());
    QCOMPARE(TestSupport::TextOf(document->GetView()), QByteArray("beta\n"));
    QCOMPARE(m_pWorkspace->GetStatusNotes(), QStringList{CFilteringRun::NoTimesNote});
}

OSTREL_QT_TEST_MAIN(TestDocumentRun, QApplication)
#include "TestDocumentRun.moc"
