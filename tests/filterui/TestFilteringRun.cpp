// SPDX-License-Identifier: GPL-3.0-or-later
// Filtering from the desktop: Apply, the worker, the progress window, Cancel and the close box.

#include <fcntl.h>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "document/CFilteringRun.h"
#include "document/COstrelDoc.h"
#include "filtering/FileLineIndex.h"
#include "filtering/FilterEngine.h"
#include "filtering/FilterRun.h"
#include "filterui/CFilterSettingsDlg.h"
#include "filterui/CFilteringProgressDlg.h"
#include "support/QtTestSupport.h"
#include "view/CMatchHighlighter.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/CViewPrinting.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray NumberedLog(int lines)
{
    QByteArray log;
    for (int i = 1; i <= lines; ++i)
        log += (i % 10 == 0 ? "ERROR line " : "info line ") + QByteArray::number(i) + '\n';
    return log;
}

bool GuiAppend(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

QByteArray GuiReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a run hands over, as numbers and context flags.
class RecordingOutput : public FilterOutput
{
public:
    void WriteLines(OutputBatch&& batch) override
    {
        for (const OutputLine& line : batch.Lines) {
            Numbers.push_back(line.LineNumber);
            Context.push_back(line.IsContext);
            Filters.push_back(line.Filter);
        }
    }
    void ReportError(const std::string&) override {}

    std::vector<std::int64_t> Numbers;
    std::vector<bool> Context;
    std::vector<int> Filters;
};

int ThreadCount()
{
    return static_cast<int>(QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestFilteringRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void applyWithoutFiltersShowsTheWholeFile();
    void switchedOffFiltersTakeNoPartInARun();
    void runKeepsMatchesWithContextAndLinksBack();
    void marginShowsTheFileLineOfEveryKeptLine();
    void matchesAreMarkedOnScreenOnly();
    void toggleSwapsOutputAndFileWithoutReading();
    void toggleFromTheEndOfTheOutputGoesToTheEndOfTheFile();
    void darkLookDarkensTheTextArea();
    void printingInADarkLookUsesTheLightColours();
    void runThatKeepsNothingLeavesAnEmptyCyanView();
    void cancelEndsWithTheMarker();
    void closeBoxEndsWithoutTheMarker();
    void linesArrivingWhileTheRunGoesOnAreKept();
    void vanishedFileIsReportedAndTheRunEnds();
    void faultyExpressionIsReportedOncePerRun();
    void tooComplexLineIsReportedAndLeftUnmarked();
    void noMessageOnceTheRunHasEnded();
    void closingTheDocumentEndsTheRun();
    void outputStaysWithTheRunsDocument();
    void tenRunsLeaveNothingBehind();
    void pipeWithoutWriterEndsOnCancel();
    void keptLinesArePaintedWhileTheRunGoesOn();
    void cancelTakesEffectWithinOneTurnOfAppending();
    void pagedDocumentFiltersAndComesBackAtTheLine();
    void outputBeyondTheThresholdIsPagedFromATemporaryFile();
    void saveOfFilterOutputNeverOffersTheLog();
    void excludingOutputSaysSoInStatusBarAndTab();
    void filterDialogOpensAgainWhereItWas();
    void severalThreadsShowWhatOnePassShows();

private:
    QString WriteLog(const QString& name, const QByteArray& bytes);
    // Replaces the file at path by a pipe and returns the pipe's writing end.
    int ReplaceByPipe(const QString& path);
    // Filters the document, now a pipe, by "ERROR" and feeds it the bytes; returns the writing end
    // once the view shows the given number of kept lines (-1 on failure).
    int StartPipeRun(const QByteArray& bytes, size_t keptLines);
    CFilterSettingsDlg& Dialog();
    void AddFilter(const QString& text, bool regExp = false, int before = 0, int after = 0);
    void Apply();
    void WaitForRunEnd();
    COstrelView* View() const { return m_pDoc->GetView(); }
    QByteArray ViewText() const
    {
        return QByteArray(View()->GetTextBytes().data(), qsizetype(View()->GetTextBytes().size()));
    }
    long Background() const { return View()->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, 32UL); }
    CFilteringProgressDlg* Progress() const;
    QPushButton* ApplyButton() { return Dialog().findChild<QPushButton*>(u"applyButton"_s); }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CMainFrame> m_pFrame;
    COstrelDoc* m_pDoc = nullptr;
};

void TestFilteringRun::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pFrame = std::make_unique<CMainFrame>();
    m_pDoc = m_pFrame->OpenDocumentFile(WriteLog(u"app.log"_s, NumberedLog(50)));
    QVERIFY(m_pDoc);
    QTRY_VERIFY(!View()->IsLoading());
    ShowFilterSettingsDialog(*m_pFrame);
    QVERIFY(g_pFilterSettingsDlg);
}

void TestFilteringRun::cleanup()
{
    TestSupport::DropPendingModalHandlers();
    m_pFrame.reset();
    QTRY_VERIFY(qApp->findChildren<CFilteringProgressDlg*>().isEmpty());
}

QString TestFilteringRun::WriteLog(const QString& name, const QByteArray& bytes)
{
    const QString path = m_pDir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test log");
    return path;
}

int TestFilteringRun::ReplaceByPipe(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    if (::mkfifo(name.constData(), 0600) != 0)
        return -1;
    return ::open(name.constData(), O_RDWR | O_CLOEXEC); // opens without waiting for the reader
}

int TestFilteringRun::StartPipeRun(const QByteArray& bytes, size_t keptLines)
{
    const int writer = ReplaceByPipe(m_pDoc->GetPathName());
    if (writer < 0)
        return -1;
    AddFilter(u"ERROR"_s);
    Apply();
    if (::write(writer, bytes.constData(), size_t(bytes.size())) != bytes.size() ||
        !QTest::qWaitFor([&] { return View()->GetFileLineNumbers().size() == keptLines && Progress(); }, 10000)) {
        ::close(writer);
        return -1;
    }
    return writer;
}

CFilterSettingsDlg& TestFilteringRun::Dialog()
{
    return *g_pFilterSettingsDlg;
}

void TestFilteringRun::AddFilter(const QString& text, bool regExp, int before, int after)
{
    CFilterSettingsDlg& dlg = Dialog();
    dlg.findChild<QCheckBox*>(u"regExpCheck"_s)->setChecked(regExp);
    dlg.findChild<QCheckBox*>(u"caseSensitiveCheck"_s)->setChecked(true);
    dlg.findChild<QLineEdit*>(u"linesBeforeEdit"_s)->setText(QString::number(before));
    dlg.findChild<QLineEdit*>(u"linesAfterEdit"_s)->setText(QString::number(after));
    dlg.findChild<QLineEdit*>(u"filterStringEdit"_s)->setText(text);
    dlg.findChild<QPushButton*>(u"addFilterButton"_s)->click();
}

void TestFilteringRun::Apply()
{
    ApplyButton()->click();
}

CFilteringProgressDlg* TestFilteringRun::Progress() const
{
    const auto dialogs = qApp->findChildren<CFilteringProgressDlg*>();
    if (!dialogs.isEmpty())
        return dialogs.front();
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets)
        if (auto* progress = qobject_cast<CFilteringProgressDlg*>(widget))
            return progress;
    return nullptr;
}

void TestFilteringRun::WaitForRunEnd()
{
    QTRY_VERIFY_WITH_TIMEOUT(ApplyButton()->isEnabled(), 20000);
}

void TestFilteringRun::applyWithoutFiltersShowsTheWholeFile()
{
    AddFilter(u"ERROR"_s);
    Apply();
    WaitForRunEnd();
    QCOMPARE(ViewText().count('\n'), 5);
    QCOMPARE(Background(), long(COstrelView::FilterOutputBackground));

    Dialog().findChild<QPushButton*>(u"deleteAllButton"_s)->click();
    QVERIFY(Dialog().GetFilterSettings().GetCount() == 0);
    Apply();
    QVERIFY2(!Progress(), "no run without filters");
    QTRY_COMPARE(ViewText(), NumberedLog(50));
    QVERIFY(!View()->GetShowsFilteredText());
    QCOMPARE(Background(), long(COstrelView::WholeFileBackground));
    QVERIFY(ApplyButton()->isEnabled());
    QVERIFY(Dialog().findChild<QLineEdit*>(u"filterStringEdit"_s)->text().isEmpty());
}

void TestFilteringRun::switchedOffFiltersTakeNoPartInARun()
{
    // "info line 1" would keep lines 1 and 10 to 19 and take the first colour; switched off it
    // keeps nothing, and the ERROR lines keep the colour they have on their own.
    AddFilter(u"info line 1"_s, false, 0, 1);
    AddFilter(u"ERROR"_s);
    QTreeWidget* list = Dialog().findChild<QTreeWidget*>(u"filterList"_s);
    QVERIFY(list);
    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!Dialog().GetFilterSettings().GetEnabled(0));
    QVERIFY(!m_pDoc->GetFilterSettings().GetEnabled(0));
    Apply();
    WaitForRunEnd();
    QCOMPARE(ViewText(), QByteArray("ERROR line 10\nERROR line 20\nERROR line 30\nERROR line 40\nERROR line 50\n"));
    QCOMPARE(View()->GetFileLineNumbers(), (std::vector<std::int64_t>{10, 20, 30, 40, 50}));
    for (int line = 0; line < 5; ++line) {
        bool context = true;
        int filter = -1;
        View()->FileLineOfViewLine(line, context, filter);
        QCOMPARE(filter, 0);
        QVERIFY(!context);
    }

    // Every filter off: Apply does what it does with an empty list, the whole file without a run.
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(Dialog().GetFilterSettings().GetEnabledCount(), 0);
    QCOMPARE(Dialog().GetFilterSettings().GetCount(), 2);
    Apply();
    QVERIFY2(!Progress(), "no run without a filter that is on");
    QTRY_COMPARE(ViewText(), NumberedLog(50));
    QVERIFY(!View()->GetShowsFilteredText());
    QCOMPARE(Background(), long(COstrelView::WholeFileBackground));
    QVERIFY(ApplyButton()->isEnabled());
}

void TestFilteringRun::marginShowsTheFileLineOfEveryKeptLine()
{
    // Random lists with context: the numbers the view keeps and the margin shows are those the
    // engine hands over, context lines marked as such.
    const QByteArray log = NumberedLog(3000);
    WriteLog(u"app.log"_s, log);
    View()->SetLineNumbersShown(true);
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    std::mt19937 random(17);
    for (int round = 0; round < 4; ++round) {
        Dialog().findChild<QPushButton*>(u"deleteAllButton"_s)->click();
        FilterRun run{QFile::encodeName(m_pDoc->GetPathName()).toStdString(), {}, false};
        for (int filter = 0; filter < 3; ++filter) {
            const QString text = u"line %1"_s.arg(random() % 300);
            const int before = static_cast<int>(random() % 4);
            const int after = static_cast<int>(random() % 4);
            AddFilter(text, false, before, after);
            run.Filters.push_back(RunFilter{text.toStdString(), false, true, before, after});
        }
        Apply();
        WaitForRunEnd();
        FilterEngine engine(run);
        RecordingOutput expected;
        QVERIFY(engine.Run(std::stop_token(), expected) == EngineResult::Finished);
        const OutputLineNumbers& shown = View()->GetOutputLineNumbers();
        QCOMPARE(shown.Size(), expected.Numbers.size());
        for (std::size_t i = 0; i < shown.Size(); ++i) {
            QCOMPARE(shown.LineNumber(i), expected.Numbers[i]);
            QCOMPARE(shown.IsContext(i), expected.Context[i]);
            QCOMPARE(shown.Filter(i), expected.Filters[i]);
        }
        // The margin's text of the lines on screen.
        const long first = View()->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
        const long last = std::min<long>(first + View()->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN),
                                         static_cast<long>(shown.Size()));
        QTRY_VERIFY(last <= first ||
                    View()->SendScintilla(QsciScintillaBase::SCI_MARGINGETTEXT, static_cast<unsigned long>(first),
                                          static_cast<char*>(nullptr)) > 0);
        for (long line = first; line < last; ++line) {
            QByteArray text(32, '\0');
            const long length = View()->SendScintilla(QsciScintillaBase::SCI_MARGINGETTEXT,
                                                      static_cast<unsigned long>(line), text.data());
            QCOMPARE(text.left(length), QByteArray::number(expected.Numbers[static_cast<std::size_t>(line)]));
        }
        // A number's cell carries its filter's colour, context apart: one style per filter and kind.
        std::map<std::pair<int, bool>, long> styles;
        for (long line = first; line < last; ++line) {
            const auto index = static_cast<std::size_t>(line);
            const long style =
                View()->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, static_cast<unsigned long>(line));
            const auto [known, added] =
                styles.emplace(std::pair(expected.Filters[index], bool(expected.Context[index])), style);
            QCOMPARE(known->second, style);
        }
        std::set<long> distinct;
        for (const auto& entry : styles)
            distinct.insert(entry.second);
        QCOMPARE(distinct.size(), styles.size());
        // The dialog's list shows each filter's colour, by its place.
        auto* list = Dialog().findChild<QTreeWidget*>(u"filterList"_s);
        QVERIFY(list);
        const QColor firstColour = list->topLevelItem(0)->data(0, Qt::DecorationRole).value<QColor>();
        QVERIFY(firstColour.isValid());
        QVERIFY(firstColour != list->topLevelItem(1)->data(0, Qt::DecorationRole).value<QColor>());
    }
}

void TestFilteringRun::matchesAreMarkedOnScreenOnly()
{
    WriteLog(u"app.log"_s, NumberedLog(20000));
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    AddFilter(u"ERROR"_s);
    AddFilter(u"line \\z0\\n"_s, true); // the lines whose number ends in 0, from "line" on
    Apply();
    WaitForRunEnd();
    // "ERROR line 10": the literal's colour on "ERROR", the expression's on "line 10\n" (shown without its line end).
    auto marksAt = [this](long position) {
        return View()->SendScintilla(QsciScintillaBase::SCI_INDICATORALLONFOR, static_cast<unsigned long>(position));
    };
    QTRY_VERIFY(marksAt(0) != 0);
    const long literal = marksAt(0);
    QCOMPARE(marksAt(4), literal);
    const long expression = marksAt(6);
    QVERIFY(expression != 0 && expression != literal);
    QCOMPARE(marksAt(12), expression);
    QCOMPARE(marksAt(5), 0L); // the blank between them

    // The whole file: only the lines on screen are looked at, page after page.
    Dialog().findChild<QPushButton*>(u"deleteAllButton"_s)->click();
    AddFilter(u"ERROR"_s);
    View()->ReloadDocumentText();
    QTRY_VERIFY(!View()->IsLoading());
    const std::int64_t onScreen = View()->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    const std::int64_t before = View()->GetHighlighter().GetLinesExamined();
    View()->RefreshMarks();
    for (int page = 0; page < 10; ++page) {
        View()->SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, static_cast<long>(onScreen));
        View()->RefreshMarks();
    }
    const std::int64_t examined = View()->GetHighlighter().GetLinesExamined() - before;
    QVERIFY2(examined <= 12 * (onScreen + 2), qPrintable(QString::number(examined)));
    const long lineStart = View()->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                                 static_cast<unsigned long>(10 * onScreen + 9)); // a line with ERROR
    QVERIFY(View()->GetTextBytes().substr(static_cast<std::size_t>(lineStart), 5) == "ERROR");
    QCOMPARE(marksAt(lineStart), literal);
}

void TestFilteringRun::toggleSwapsOutputAndFileWithoutReading()
{
    AddFilter(u"ERROR line 20"_s, false, 1, 1);
    AddFilter(u"ERROR line 40"_s);
    Apply();
    WaitForRunEnd();
    QCOMPARE(ViewText(), QByteArray("info line 19\nERROR line 20\ninfo line 21\nERROR line 40\n"));
    QAction* toggle = m_pFrame->GetCommand(CommandId::ToggleFilterOutput);
    QSignalSpy runs(m_pDoc, &COstrelDoc::FilteringChanged);

    // The file's bytes change while its size and time stay: only a reading view would show it.
    const QString path = m_pDoc->GetPathName();
    const QByteArray name = QFile::encodeName(path);
    struct stat before
    {
    };
    QVERIFY(::stat(name.constData(), &before) == 0);
    QByteArray changed = NumberedLog(50);
    changed.replace("info line 33", "INFO LINE 33");
    WriteLog(u"app.log"_s, changed);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    QVERIFY(::utimensat(AT_FDCWD, name.constData(), times, 0) == 0);

    View()->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 1UL); // on "ERROR line 20"
    toggle->trigger();
    QVERIFY(!View()->GetShowsFilteredText());
    QCOMPARE(ViewText(), NumberedLog(50));
    QCOMPARE(View()->GetCaretLine(), 20);
    QCOMPARE(View()->selectedText(), u"ERROR line 20"_s);

    // Back from line 38: the nearest kept line is 40.
    View()->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 37UL);
    toggle->trigger();
    QVERIFY(View()->GetShowsFilteredText());
    QCOMPARE(Background(), long(COstrelView::FilterOutputBackground));
    QCOMPARE(View()->selectedText(), u"ERROR line 40"_s);
    QCOMPARE(View()->GetCaretFileLine(), 40);
    QCOMPARE(View()->GetFileLineNumbers(), (std::vector<std::int64_t>{19, 20, 21, 40}));
    QVERIFY2(runs.isEmpty(), "no run for a toggle while the file is as it was");

    // Once the file has changed, the toggle from the whole file applies the filters anew.
    toggle->trigger();
    QVERIFY(!View()->GetShowsFilteredText());
    QVERIFY(GuiAppend(path, "ERROR line 20 again\n"));
    toggle->trigger();
    WaitForRunEnd();
    QVERIFY(!runs.isEmpty());
    QVERIFY(ViewText().endsWith("ERROR line 20 again\n"));
}

void TestFilteringRun::toggleFromTheEndOfTheOutputGoesToTheEndOfTheFile()
{
    AddFilter(u"ERROR"_s);
    Apply();
    WaitForRunEnd();
    QAction* toggle = m_pFrame->GetCommand(CommandId::ToggleFilterOutput);
    const auto caretAtEnd = [this] {
        return View()->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS) ==
               View()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    };
    // The whole file kept aside: shown at once, at its end.
    View()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    toggle->trigger();
    QVERIFY(!View()->GetShowsFilteredText());
    QCOMPARE(ViewText(), NumberedLog(50));
    QVERIFY(caretAtEnd());

    // The file changed: read anew, and still at its end.
    toggle->trigger();
    QVERIFY(View()->GetShowsFilteredText());
    QVERIFY(GuiAppend(m_pDoc->GetPathName(), "info line 51\n"));
    View()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    toggle->trigger();
    QTRY_VERIFY(!View()->GetShowsFilteredText() && !View()->IsLoading());
    QVERIFY(ViewText().endsWith("info line 51\n"));
    QTRY_VERIFY(caretAtEnd());
}

void TestFilteringRun::darkLookDarkensTheTextArea()
{
    const auto text = [this] { return View()->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 32UL); };
    QCOMPARE(Background(), long(COstrelView::WholeFileBackground));
    m_pFrame->SetApplicationLook(CommandId::LookOffice2007Black);
    QTRY_COMPARE(Background(), long(COstrelView::DarkWholeFileBackground));
    QVERIFY2(text() > 0xA0A0A0, "light text");

    // Filter output keeps a tint of its own in the dark, and a new view starts dark.
    AddFilter(u"ERROR"_s);
    Apply();
    WaitForRunEnd();
    QCOMPARE(Background(), long(COstrelView::DarkFilterOutputBackground));
    QVERIFY(COstrelView::DarkFilterOutputBackground != COstrelView::DarkWholeFileBackground);
    COstrelDoc* other = m_pFrame->OpenDocumentFile(WriteLog(u"other.log"_s, NumberedLog(5)));
    QVERIFY(other);
    QTRY_VERIFY(!other->GetView()->IsLoading());
    QCOMPARE(other->GetView()->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, 32UL),
             long(COstrelView::DarkWholeFileBackground));

    // Back to a light look: the colours of the light look again.
    m_pFrame->SetApplicationLook(CommandId::LookDefault);
    QTRY_COMPARE(Background(), long(COstrelView::FilterOutputBackground));
    QCOMPARE(text(), 0L);
}

void TestFilteringRun::runKeepsMatchesWithContextAndLinksBack()
{
    AddFilter(u"ERROR line 20"_s, false, 1, 1);
    AddFilter(u"line 4\\z?\\n"_s, true); // line 4 and lines 40 to 49
    QCOMPARE(m_pDoc->GetFilterSettings().GetCount(), 2);
    Apply();
    QVERIFY(!ApplyButton()->isEnabled());
    QVERIFY(View()->GetShowsFilteredText());
    WaitForRunEnd();
    const std::vector<std::int64_t> expected = {4, 19, 20, 21, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49};
    QCOMPARE(View()->GetFileLineNumbers(), expected);
    QVERIFY(ViewText().startsWith("info line 4\ninfo line 19\nERROR line 20\ninfo line 21\nERROR line 40\n"));
    QVERIFY2(!View()->isModified(), "filter output never marks the document modified");

    // Ctrl+double-click on "ERROR line 20" (output line 2) shows the whole file at line 20.
    const long position = View()->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 2UL);
    QVERIFY(View()->GoToFileLineAt(position));
    QTRY_COMPARE(ViewText(), NumberedLog(50));
    QCOMPARE(View()->GetCaretLine(), 20);
    QCOMPARE(View()->selectedText(), u"ERROR line 20"_s);
}

void TestFilteringRun::printingInADarkLookUsesTheLightColours()
{
    // A printer that notes the colours the text is drawn in, page by page.
    struct CRecordingPrinter : QsciPrinter
    {
        COstrelView* View = nullptr;
        std::vector<std::pair<long, long>> Colours; // text, background
        void formatPage(QPainter& painter, bool drawing, QRect& area, int page) override
        {
            QsciPrinter::formatPage(painter, drawing, area, page);
            if (drawing)
                Colours.emplace_back(View->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 32UL),
                                     View->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, 32UL));
        }
    };
    AddFilter(u"ERROR"_s);
    Apply();
    WaitForRunEnd();
    m_pFrame->SetApplicationLook(CommandId::LookOffice2007Black);
    QTRY_COMPARE(Background(), long(COstrelView::DarkFilterOutputBackground));
    const long darkText = View()->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 32UL);
    QVERIFY(darkText > 0xA0A0A0);

    CRecordingPrinter printer;
    printer.View = View();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_pDir->filePath(u"dark.pdf"_s));
    CViewPrinting(*View()).PrintRange(printer, -1, -1);
    QVERIFY(!printer.Colours.empty());
    for (const auto& [text, background] : printer.Colours) {
        QCOMPARE(text, 0L);
        QCOMPARE(background, long(COstrelView::FilterOutputBackground)); // COLOURONWHITE drops it on paper
    }
    // The screen keeps its look.
    QCOMPARE(View()->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, 32UL), darkText);
    QCOMPARE(Background(), long(COstrelView::DarkFilterOutputBackground));
    m_pFrame->SetApplicationLook(CommandId::LookDefault);
}

void TestFilteringRun::runThatKeepsNothingLeavesAnEmptyCyanView()
{
    AddFilter(u"no such text"_s);
    Apply();
    WaitForRunEnd();
    QVERIFY(ViewText().isEmpty());
    QCOMPARE(Background(), long(COstrelView::FilterOutputBackground));
    QVERIFY(View()->GetShowsFilteredText());
    QVERIFY(View()->GetFileLineNumbers().empty());
}

void TestFilteringRun::cancelEndsWithTheMarker()
{
    const int writer = StartPipeRun("ERROR one\ninfo\nERROR two\n", 2);
    QVERIFY(writer >= 0);
    Progress()->findChild<QPushButton*>(u"cancelButton"_s)->click();
    WaitForRunEnd();
    ::close(writer);
    QCOMPARE(ViewText(), QByteArray("ERROR one\nERROR two\n") + CFilteringRun::CancelledMarker.toUtf8());
    const std::vector<std::int64_t> expected = {1, 3, 0};
    QCOMPARE(View()->GetFileLineNumbers(), expected);
    QTRY_VERIFY(!Progress());
}

void TestFilteringRun::closeBoxEndsWithoutTheMarker()
{
    const int writer = StartPipeRun("ERROR one\n", 1);
    QVERIFY(writer >= 0);
    Progress()->close();
    WaitForRunEnd();
    ::close(writer);
    QCOMPARE(ViewText(), QByteArray("ERROR one\n"));
}

void TestFilteringRun::linesArrivingWhileTheRunGoesOnAreKept()
{
    const int writer = StartPipeRun("ERROR first\n", 1);
    QVERIFY(writer >= 0);
    QCOMPARE(Progress()->findChild<QLabel*>(u"progressText"_s)->text(), u"Filtering 0% Complete"_s);
    // A plain frame of a fixed size.
    QVERIFY(!(Progress()->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(Progress()->minimumSize(), Progress()->maximumSize());
    QVERIFY(::write(writer, "info\nERROR later\n", 17) == 17);
    ::close(writer); // the end of the file
    WaitForRunEnd();
    QCOMPARE(ViewText(), QByteArray("ERROR first\nERROR later\n"));
    const std::vector<std::int64_t> expected = {1, 3};
    QCOMPARE(View()->GetFileLineNumbers(), expected);
}

void TestFilteringRun::vanishedFileIsReportedAndTheRunEnds()
{
    // Shown filtered once, then the file goes: Apply says why in words and leaves the text.
    AddFilter(u"ERROR line 10"_s);
    Apply();
    WaitForRunEnd();
    QCOMPARE(ViewText(), QByteArray("ERROR line 10\n"));
    QVERIFY(QFile::remove(m_pDoc->GetPathName()));
    AddFilter(u"ERROR"_s);
    QString caption;
    QString text;
    TestSupport::OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        caption = box->windowTitle();
        text = box->text();
        box->accept();
    });
    Apply();
    WaitForRunEnd();
    QCOMPARE(caption, u"ERROR"_s);
    QCOMPARE(text, u"ERROR Opening "_s + m_pDoc->GetPathName() + u": No such file or directory"_s);
    QCOMPARE(ViewText(), QByteArray("ERROR line 10\n"));
    QVERIFY(View()->GetShowsFilteredText());
    // The whole file as it was read is still there for the toggle.
    m_pFrame->GetCommand(CommandId::ToggleFilterOutput)->trigger();
    QTRY_VERIFY(!View()->GetShowsFilteredText());
    QCOMPARE(ViewText(), NumberedLog(50));
}

void TestFilteringRun::faultyExpressionIsReportedOncePerRun()
{
    AddFilter(u"(unclosed"_s, true);
    AddFilter(u"ERROR line 5"_s);
    int messages = 0;
    QString text;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        ++messages;
        text = qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
        TestSupport::OnNextModal(answer);
    };
    TestSupport::OnNextModal(answer);
    Apply();
    WaitForRunEnd();
    QTest::qWait(200); // a second message would have come by now
    QCOMPARE(messages, 1);
    QCOMPARE(text, u"Regular Expression Parser Error: A closing parenthesis was expected"_s);
    QCOMPARE(ViewText(), QByteArray("ERROR line 50\n"));
}

// A line the expression is too complex for: the run says so once, as it says other errors, and
// goes on; on screen the expression leaves that line unmarked rather than holding up the window.
void TestFilteringRun::tooComplexLineIsReportedAndLeftUnmarked()
{
    const QByteArray hard = "x" + QByteArray(30, 'y');
    const QString path = WriteLog(u"app.log"_s, "keep one\n" + hard + "\n" + hard + " keep\nxyx\n");
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    AddFilter(u"^{x}(.+)+\\0\\n"_s, true);
    AddFilter(u"keep"_s);
    QStringList texts;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        texts << qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
        TestSupport::OnNextModal(answer);
    };
    TestSupport::OnNextModal(answer);
    Apply();
    WaitForRunEnd();
    // The worker waits while its message is shown, so every message has come once the run ends.
    QCOMPARE(texts, QStringList{u"The expression is too complex for line 2 of "_s + path});
    QCOMPARE(ViewText(), "keep one\n" + hard + " keep\nxyx\n");

    auto marksAt = [this](std::size_t position) {
        return View()->SendScintilla(QsciScintillaBase::SCI_INDICATORALLONFOR, static_cast<unsigned long>(position));
    };
    const std::size_t hardLine = ViewText().indexOf(hard);
    const std::size_t matchedLine = ViewText().indexOf("xyx");
    QTRY_VERIFY(marksAt(matchedLine) != 0);
    QVERIFY(View()->GetHighlighter().GetLinesTooComplex() >= 1);
    QCOMPARE(marksAt(hardLine), 0L);
    QVERIFY(marksAt(hardLine + hard.size() + 1) != 0); // "keep" still has the literal's mark
}

void TestFilteringRun::noMessageOnceTheRunHasEnded()
{
    AddFilter(u"(unclosed"_s, true);
    int messages = 0;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        ++messages;
        modal->close();
        TestSupport::OnNextModal(answer);
    };
    TestSupport::OnNextModal(answer);
    const int threadsBefore = ThreadCount();
    Apply();
    // Closed before the worker's message could come up: it never does.
    QVERIFY(m_pFrame->CloseChildFrame(m_pFrame->GetDocumentArea()->GetChildFrames().front()));
    m_pDoc = nullptr;
    QVERIFY(ApplyButton()->isEnabled());
    // The document's own threads (its file's reader) may end with it too.
    QTRY_VERIFY(ThreadCount() <= threadsBefore);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(messages, 0);
    TestSupport::DropPendingModalHandlers();
}

void TestFilteringRun::closingTheDocumentEndsTheRun()
{
    const int writer = StartPipeRun("ERROR one\n", 1);
    QVERIFY(writer >= 0);
    const auto frames = m_pFrame->GetDocumentArea()->GetChildFrames();
    QCOMPARE(frames.size(), 1);
    QVERIFY(m_pFrame->CloseChildFrame(frames.front()));
    m_pDoc = nullptr;
    WaitForRunEnd();
    ::close(writer);
    QTRY_VERIFY(!Progress());
    QVERIFY(!Dialog().GetFilteringRun()); // the run went with its document
}

void TestFilteringRun::outputStaysWithTheRunsDocument()
{
    const int writer = ReplaceByPipe(m_pDoc->GetPathName());
    QVERIFY(writer >= 0);
    AddFilter(u"ERROR"_s);
    Apply();
    COstrelDoc* other = m_pFrame->OpenDocumentFile(WriteLog(u"other.log"_s, "ERROR elsewhere\n"));
    QVERIFY(other);
    QTRY_VERIFY(!other->GetView()->IsLoading());
    QCOMPARE(m_pFrame->GetActiveLogDocument(), other);
    QVERIFY(::write(writer, "ERROR one\n", 10) == 10);
    // The writer stays until the worker has read the line: closed earlier, the pipe would lose it.
    QTRY_COMPARE(View()->GetFileLineNumbers().size(), size_t(1));
    ::close(writer);
    WaitForRunEnd();
    QCOMPARE(ViewText(), QByteArray("ERROR one\n"));
    const std::string_view otherText = other->GetView()->GetTextBytes();
    QCOMPARE(QByteArray(otherText.data(), qsizetype(otherText.size())), QByteArray("ERROR elsewhere\n"));
    QVERIFY(!other->GetView()->GetShowsFilteredText());
}

void TestFilteringRun::tenRunsLeaveNothingBehind()
{
    WriteLog(u"app.log"_s, NumberedLog(20000));
    AddFilter(u"ERROR"_s, false, 1, 0);
    const int threadsBefore = ThreadCount();
    for (int run = 0; run < 10; ++run) {
        Apply();
        WaitForRunEnd();
        QTRY_VERIFY(!Progress());
        QCOMPARE(View()->GetFileLineNumbers().size(), size_t(4000));
    }
    QTRY_VERIFY(ThreadCount() <= threadsBefore);
    QVERIFY(!Dialog().GetFilteringRun());
    QTRY_VERIFY(m_pDoc->findChildren<CFilteringRun*>().isEmpty()); // each run went when it ended
}

void TestFilteringRun::keptLinesArePaintedWhileTheRunGoesOn()
{
    // A run that cannot end yet (its pipe's writer stays open) still shows what it kept.
    m_pFrame->resize(900, 600);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    int painted = 0;
    struct PaintCounter : QObject
    {
        int* Count;
        explicit PaintCounter(int* count) : Count(count) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                ++*Count;
            return false;
        }
    } counter(&painted);
    View()->viewport()->installEventFilter(&counter);
    const int writer = StartPipeRun("info\nERROR one\nERROR two\n", 2);
    QVERIFY(writer >= 0);
    painted = 0;
    QTRY_VERIFY(painted > 0);
    QVERIFY2(Dialog().GetFilteringRun()->IsRunning(), "painted while the run goes on");
    QVERIFY(!View()->updatesEnabled()); // between paints, drawing stays off
    View()->viewport()->removeEventFilter(&counter);
    Progress()->findChild<QPushButton*>(u"cancelButton"_s)->click();
    ::close(writer);
    WaitForRunEnd();
    QVERIFY(View()->updatesEnabled());
}

void TestFilteringRun::pipeWithoutWriterEndsOnCancel()
{
    // The log became a named pipe that nobody writes to: the run waits for it, but Cancel ends
    // the run by itself, long before the ten-second fallback, and the view stays read-only meanwhile.
    const QByteArray name = QFile::encodeName(m_pDoc->GetPathName());
    QVERIFY(::unlink(name.constData()) == 0 && ::mkfifo(name.constData(), 0600) == 0);
    AddFilter(u"ERROR"_s);
    Apply();
    QTRY_VERIFY(Progress());
    QVERIFY(View()->isReadOnly());
    Progress()->findChild<QPushButton*>(u"cancelButton"_s)->click();
    // Well before the fallback: the worker ended, it was not left behind.
    QTRY_VERIFY_WITH_TIMEOUT(ApplyButton()->isEnabled(), CFilteringRun::FinishWaitMs - 2000);
    QCOMPARE(ViewText(), CFilteringRun::CancelledMarker.toUtf8());
    QVERIFY(!View()->isReadOnly());

    // The same wait, and the window closes at once: the worker is left to end on its own.
    Apply();
    QTRY_VERIFY(Progress());
    QVERIFY(m_pFrame->close());
    QVERIFY(!Dialog().GetFilteringRun());
    QVERIFY(m_pFrame->GetDocumentArea()->GetChildFrames().isEmpty());
    m_pDoc = nullptr;
}

void TestFilteringRun::cancelTakesEffectWithinOneTurnOfAppending()
{
    // Many batches of kept lines: the window appends them in turns and handles the click between two.
    WriteLog(u"app.log"_s, NumberedLog(400000));
    AddFilter(u"line"_s);
    CFilteringRun* run = nullptr;
    int turnsAfterClick = -1;
    std::size_t linesAtClick = 0;
    Apply();
    run = Dialog().GetFilteringRun();
    QVERIFY(run);
    const QMetaObject::Connection counting = connect(run, &CFilteringRun::OutputAppended, this, [&] {
        if (turnsAfterClick >= 0) {
            ++turnsAfterClick;
            return;
        }
        // The click waits in the event queue behind this turn, as a user's click would.
        linesAtClick = View()->GetFileLineNumbers().size();
        turnsAfterClick = 0;
        QMetaObject::invokeMethod(Progress()->findChild<QPushButton*>(u"cancelButton"_s), "click",
                                  Qt::QueuedConnection);
    });
    WaitForRunEnd();
    disconnect(counting);
    QVERIFY(turnsAfterClick >= 0);
    QVERIFY2(turnsAfterClick <= 1, qPrintable(u"%1 turns of appending after the click"_s.arg(turnsAfterClick)));
    const std::vector<std::int64_t>& numbers = View()->GetFileLineNumbers();
    QVERIFY(numbers.size() < 400000);
    QVERIFY(numbers.size() > linesAtClick);
    QCOMPARE(numbers.back(), std::int64_t(0)); // the marker's
    QVERIFY(ViewText().endsWith(CFilteringRun::CancelledMarker.toUtf8()));
}

void TestFilteringRun::pagedDocumentFiltersAndComesBackAtTheLine()
{
    COstrelApp* app = COstrelApp::GetInstance();
    const std::int64_t threshold = app->GetPagedViewThresholdMB();
    app->SetPagedViewThresholdMB(1);
    const QByteArray log = NumberedLog(150000);
    m_pDoc = m_pFrame->OpenDocumentFile(WriteLog(u"big.log"_s, log));
    QVERIFY(m_pDoc && View()->IsPaged());
    ShowFilterSettingsDialog(*m_pFrame);
    AddFilter(u"ERROR line 123450"_s);
    Apply();
    WaitForRunEnd();
    QVERIFY(!View()->IsPaged());
    QCOMPARE(ViewText(), QByteArray("ERROR line 123450\n"));
    QCOMPARE(Background(), long(COstrelView::FilterOutputBackground));
    // The output takes edits: Paste is there once the clipboard holds text.
    QApplication::clipboard()->setText(u"pasted"_s);
    QTRY_VERIFY(m_pFrame->GetCommand(CommandId::EditPaste)->isEnabled());

    // Ctrl+double-click: the whole file again, paged, with that line selected once it is indexed.
    QVERIFY(View()->GoToFileLineAt(0));
    QVERIFY(View()->IsPaged());
    QTRY_COMPARE(View()->GetCaretLine(), std::int64_t(123450));
    QCOMPARE(View()->selectedText(), u"ERROR line 123450"_s);
    QTRY_VERIFY(!m_pFrame->GetCommand(CommandId::EditPaste)->isEnabled());
    QVERIFY(!m_pFrame->GetCommand(CommandId::EditCut)->isEnabled());
    QVERIFY(!m_pFrame->GetCommand(CommandId::EditReplace)->isEnabled());

    // Delete All Filters after another run shows the paged file again.
    Apply();
    WaitForRunEnd();
    QVERIFY(!View()->IsPaged());
    m_pFrame->GetCommand(CommandId::DeleteAllFilters)->trigger();
    QVERIFY(View()->IsPaged());
    QApplication::clipboard()->clear();
    app->SetPagedViewThresholdMB(threshold);
}

void TestFilteringRun::outputBeyondTheThresholdIsPagedFromATemporaryFile()
{
    COstrelApp* app = COstrelApp::GetInstance();
    const std::int64_t threshold = app->GetPagedViewThresholdMB();
    app->SetPagedViewThresholdMB(1);
    const QByteArray log = NumberedLog(100000); // about 1.4 MB, nearly all of it kept
    m_pDoc = m_pFrame->OpenDocumentFile(WriteLog(u"big.log"_s, log));
    QVERIFY(m_pDoc && View()->IsPaged());
    ShowFilterSettingsDialog(*m_pFrame);
    AddFilter(u"line"_s);
    Apply();
    WaitForRunEnd();
    QVERIFY2(View()->IsPaged(), "the output went to a file of its own");
    QVERIFY(View()->GetShowsFilteredText());
    QCOMPARE(Background(), long(COstrelView::FilterOutputBackground));
    QCOMPARE(View()->GetOutputLineNumbers().Size(), std::size_t(100000));
    QTRY_VERIFY(View()->GetPagedText()->IsIndexComplete());
    QTRY_COMPARE(View()->GetPagedText()->GetIndex().GetIndexedBytes(), static_cast<std::uint64_t>(log.size()));
    // Ctrl+double-click on output line 70001 (file line 70001) comes back to it in the file.
    View()->GoToLine(70001);
    QTRY_VERIFY(!View()->GetPagedText()->IsMoving() && View()->GetCaretLine() == 70001);
    QVERIFY(View()->GoToFileLineAt(View()->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)));
    QVERIFY(!View()->GetShowsFilteredText());
    QTRY_COMPARE(View()->GetCaretLine(), std::int64_t(70001));
    QTRY_COMPARE(View()->selectedText(), QString::fromLatin1(log.split(0x0a).at(70000)));
    app->SetPagedViewThresholdMB(threshold);
}

void TestFilteringRun::saveOfFilterOutputNeverOffersTheLog()
{
    AddFilter(u"ERROR"_s);
    Apply();
    WaitForRunEnd();
    const QString log = m_pDoc->GetPathName();
    const QByteArray original = NumberedLog(50);
    QAction* save = m_pFrame->findChild<QAction*>(u"fileSaveAction"_s);
    QVERIFY(save);

    // Ctrl+S then Enter: the dialog offers a new name beside the log, which is then written.
    QString offered;
    auto seen = TestSupport::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        offered = dialog->selectedFiles().value(0);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    save->trigger();
    QVERIFY(*seen);
    const QString filtered = m_pDir->filePath(u"app-filtered.log"_s);
    QCOMPARE(offered, filtered);
    QCOMPARE(GuiReadFile(filtered), ViewText());
    QCOMPARE(GuiReadFile(log), original);
    QCOMPARE(m_pDoc->GetPathName(), filtered);

    // Chosen by hand, an existing file is replaced only after a question; No leaves it as it was.
    Apply();
    WaitForRunEnd();
    QString question;
    seen = TestSupport::OnNextModal([&](QWidget* modal) {
        TestSupport::OnNextModal([&](QWidget* box) {
            question = qobject_cast<QMessageBox*>(box) ? qobject_cast<QMessageBox*>(box)->text() : QString();
            if (auto* messageBox = qobject_cast<QMessageBox*>(box))
                messageBox->button(QMessageBox::No)->click();
        });
        QVERIFY(TestSupport::ChooseFile(modal, log));
    });
    save->trigger();
    QVERIFY(*seen);
    QTRY_VERIFY(!question.isEmpty());
    QCOMPARE(question, u"app.log already exists.\nDo you want to replace it?"_s);
    QCOMPARE(GuiReadFile(log), original);
}

void TestFilteringRun::excludingOutputSaysSoInStatusBarAndTab()
{
    auto* pane = m_pFrame->findChild<QLabel*>(u"messagePane"_s);
    QVERIFY(pane);
    auto tabTip = [this] {
        QTabWidget* group = m_pFrame->GetDocumentArea()->GetTabGroupOf(m_pFrame->GetActiveChildFrame());
        return m_pFrame->GetTabToolTip(group, group->indexOf(m_pFrame->GetActiveChildFrame()));
    };
    const QString path = m_pDoc->GetPathName();
    QCOMPARE(pane->text(), u"Ready"_s);
    QCOMPARE(tabTip(), path);

    AddFilter(u"ERROR"_s);
    auto* exclude = Dialog().findChild<QCheckBox*>(u"excludeCheck"_s);
    exclude->click();
    QVERIFY(exclude->isChecked());
    Apply();
    WaitForRunEnd();
    QCOMPARE(ViewText().count('\n'), 45);
    QCOMPARE(pane->text(), u"Filter output (excluding matches)"_s);
    QCOMPARE(tabTip(), path + u"\nFilter output (excluding matches)"_s);

    // The whole file says nothing of filters; the kept output says what it holds, whatever the
    // dialog's switch says meanwhile.
    QAction* toggle = m_pFrame->GetCommand(CommandId::ToggleFilterOutput);
    toggle->trigger();
    QVERIFY(!View()->GetShowsFilteredText());
    QCOMPARE(pane->text(), u"Ready"_s);
    QCOMPARE(tabTip(), path);
    exclude->click();
    QVERIFY(!exclude->isChecked());
    toggle->trigger();
    QVERIFY(View()->GetShowsFilteredText());
    QCOMPARE(pane->text(), u"Filter output (excluding matches)"_s);

    Apply();
    WaitForRunEnd();
    QCOMPARE(ViewText().count('\n'), 5);
    QCOMPARE(pane->text(), u"Filter output"_s);
    QCOMPARE(tabTip(), path + u"\nFilter output"_s);

    // Another document's tab says what its own view shows.
    COstrelDoc* other = m_pFrame->OpenDocumentFile(WriteLog(u"other.log"_s, NumberedLog(5)));
    QVERIFY(other);
    QTRY_VERIFY(!other->GetView()->IsLoading());
    QCOMPARE(pane->text(), u"Ready"_s);
    QCOMPARE(tabTip(), other->GetPathName());
}

void TestFilteringRun::filterDialogOpensAgainWhereItWas()
{
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    CFilterSettingsDlg& dlg = Dialog();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    // Shown again as it was, by Escape and the filter command alike, and twice over.
    const QRect first = dlg.geometry();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTRY_VERIFY(!dlg.isVisible());
    m_pFrame->GetCommand(CommandId::FilterSettings)->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.geometry(), first);

    // Moved and sized by the window manager, as a user drags it: the program itself never placed
    // it there.
    const QRect moved(first.topLeft() + QPoint(37, 53), first.size() + QSize(40, 30));
    dlg.windowHandle()->setGeometry(moved);
    QTRY_COMPARE(dlg.geometry(), moved);
    for (int round = 0; round < 2; ++round) {
        dlg.hide();
        QVERIFY(!dlg.isVisible());
        ShowFilterSettingsDialog(*m_pFrame);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.geometry(), moved);
        QTRY_COMPARE(dlg.windowHandle()->geometry(), moved);
    }
}

void TestFilteringRun::severalThreadsShowWhatOnePassShows()
{
    // Big enough to be cut into pieces of a thread each, with context over the pieces' edges.
    COstrelApp* app = COstrelApp::GetInstance();
    const QByteArray log = NumberedLog(400000);
    m_pDoc = m_pFrame->OpenDocumentFile(WriteLog(u"cut.log"_s, log));
    QVERIFY(m_pDoc);
    QTRY_VERIFY_WITH_TIMEOUT(!View()->IsLoading(), 20000);
    ShowFilterSettingsDialog(*m_pFrame);
    AddFilter(u"ERROR line 1"_s, false, 2, 1);
    AddFilter(u"line 2\\d*5\\n"_s, true, 0, 3);
    QByteArray shown[2];
    std::vector<std::int64_t> numbers[2];
    for (const unsigned threads : {1u, 4u}) {
        app->SetFilterThreads(threads);
        Apply();
        WaitForRunEnd();
        const int i = threads == 1 ? 0 : 1;
        shown[i] = ViewText();
        numbers[i] = View()->GetFileLineNumbers();
    }
    app->SetFilterThreads(0);
    QVERIFY(numbers[0].size() > 10000);
    QCOMPARE(numbers[1], numbers[0]);
    QVERIFY(shown[1] == shown[0]);
}

OSTREL_QT_TEST_MAIN(TestFilteringRun, COstrelApp)

#include "TestFilteringRun.moc"
