// SPDX-License-Identifier: GPL-3.0-or-later
// Go To with a time: in the editable view and in the paged view of a big file.

#include <QLineEdit>
#include <QPushButton>

#include "support/QtTestSupport.h"
#include "time/TimeEntry.h"
#include "view/CGoToDlg.h"
#include "view/CPagedText.h"
#include "view/CTimeGoTo.h"
#include "view/NavigationCommands.h"

using TestSupport::MakeView;
using TestSupport::ModalWatcher;
using TestSupport::TestWorkspace;

namespace {

constexpr int FirstSecond = 20 * 3600; // the log starts at 20:00:00 UTC on 9 December 2026

QByteArray Clock(int secondOfDay)
{
    return QByteArray::number(secondOfDay / 3600 % 24).rightJustified(2, '0') + ':' +
           QByteArray::number(secondOfDay / 60 % 60).rightJustified(2, '0') + ':' +
           QByteArray::number(secondOfDay % 60).rightJustified(2, '0');
}

// A log with a line every `step` seconds from 20:00:00: line n (1-based) at 20:00:00 + (n - 1) *
// step, each fifth line followed by two trace lines without a time (which are numbered too).
// `times` gets the second of day of every line, -1 for a trace line.
QByteArray TimedLog(int count, int step, QList<int>& times)
{
    QByteArray log;
    for (int entry = 0; times.size() < count; ++entry) {
        const int second = FirstSecond + entry * step;
        log += "2026-12-09T" + Clock(second) + ".000Z INFO entry " + QByteArray::number(entry) + '\n';
        times.append(second);
        if (entry % 5 == 4 && times.size() + 2 <= count) {
            log += "    at Frame.run(Frame.java:1)\n    at Main.main(Main.java:2)\n";
            times.append({-1, -1});
        }
    }
    log.chop(1);
    return log;
}

// The 1-based line Go To should reach for a second of the day: the first timed line at or after it.
int ExpectedLine(const QList<int>& times, int second)
{
    for (int i = 0; i < times.size(); ++i) {
        if (times.at(i) >= second)
            return i + 1;
    }
    return static_cast<int>(times.size());
}

// Runs Go To with the entries typed one after the other, OK after each.
int RunGoTo(COstrelView* view, ModalWatcher& watcher, QStringList entries)
{
    int shown = 0;
    watcher.OnDialog = [&shown, &entries](QDialog* dialog) {
        ++shown;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("lineNumberEdit"));
        if (entries.isEmpty()) {
            dialog->reject();
            return;
        }
        edit->setText(entries.takeFirst());
        dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    };
    RunGoToCommand(view);
    watcher.OnDialog = nullptr;
    return shown;
}

} // namespace

class TestTimeGoTo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void editorGoesToTheFirstLineAtOrAfterATime();
    void equalTimesGoToTheFirstAndTheEndsClamp();
    void textWithoutTimesSaysSoAndTheDialogStays();
    void timesGoingBackwardsStillReachALine();
    void pagedViewGoesToTimesThroughItsIndex();
    void layoutIsDetectedFromTheView();

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestTimeGoTo::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
}

void TestTimeGoTo::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

void TestTimeGoTo::editorGoesToTheFirstLineAtOrAfterATime()
{
    QList<int> times;
    auto view = MakeView(TimedLog(3000, 3, times));
    ModalWatcher watcher;
    const int lastSecond = *std::max_element(times.cbegin(), times.cend());
    struct Case
    {
        QString Entry;
        int Second;
    };
    const Case cases[] = {
        {QStringLiteral("20:05"), 20 * 3600 + 5 * 60},
        {QStringLiteral("20:05:30"), 20 * 3600 + 5 * 60 + 30},
        {QStringLiteral("2026-12-09 21:00:01"), 21 * 3600 + 1},
        {QStringLiteral("2026-12-09T20:30"), 20 * 3600 + 30 * 60},
        {QStringLiteral("-10m"), lastSecond - 600},
        {QStringLiteral("-1h"), lastSecond - 3600},
        {QStringLiteral("-30s"), lastSecond - 30},
    };
    for (const Case& c : cases) {
        QCOMPARE(RunGoTo(view.get(), watcher, {c.Entry}), 1);
        QCOMPARE(view->GetCaretLine(), ExpectedLine(times, c.Second));
    }
    // A second that falls on a trace line goes on to the next line with a time.
    const int traceLine = static_cast<int>(times.indexOf(-1)) + 1;
    QVERIFY(traceLine > 1);
    const int afterTrace = times.at(traceLine - 2) + 1;
    RunGoTo(view.get(), watcher, {QString::fromLatin1(Clock(afterTrace))});
    QCOMPARE(view->GetCaretLine(), traceLine + 2);
    QCOMPARE(watcher.BoxCount(), 0);
    // A line number is still a line number.
    RunGoTo(view.get(), watcher, {QStringLiteral("17")});
    QCOMPARE(view->GetCaretLine(), 17);
}

void TestTimeGoTo::equalTimesGoToTheFirstAndTheEndsClamp()
{
    // Three lines at 20:00:10, after a header line without a time.
    auto view = MakeView("log of the night\n"
                         "2026-12-09 20:00:00 a\n"
                         "2026-12-09 20:00:10 b\n"
                         "2026-12-09 20:00:10 c\n"
                         "2026-12-09 20:00:10 d\n"
                         "2026-12-09 20:00:20 e\n"
                         "   trace\n"
                         "last words\n");
    ModalWatcher watcher;
    const struct
    {
        const char* Entry;
        int Line;
    } cases[] = {
        {"20:00:05", 3}, {"20:00:10", 3}, {"20:00:11", 6},         {"19:00", 1},
        {"20:00", 1},    {"23:00", 9},    {"2026-12-10 00:00", 9},
    };
    for (const auto& c : cases) {
        RunGoTo(view.get(), watcher, {QString::fromLatin1(c.Entry)});
        QVERIFY2(view->GetCaretLine() == c.Line, c.Entry);
    }
    QCOMPARE(watcher.BoxCount(), 0);
}

void TestTimeGoTo::textWithoutTimesSaysSoAndTheDialogStays()
{
    auto view = MakeView("one\ntwo\nGET /orders?id=1796850072 done\nfour\n");
    ModalWatcher watcher;
    // The time is refused with the reason, a bad time with how to write one; then a line number.
    QCOMPARE(RunGoTo(view.get(), watcher, {QStringLiteral("14:05"), QStringLiteral("25:61"), QStringLiteral("3")}), 3);
    QCOMPARE(watcher.BoxTexts, (QStringList{CTimeGoTo::NoTimesMessage(), CGoToDlg::BadTimeMessage()}));
    QCOMPARE(view->GetCaretLine(), 3);
}

void TestTimeGoTo::timesGoingBackwardsStillReachALine()
{
    // A log that restarts its clock, and one that runs backwards throughout.
    QByteArray restarted;
    for (int i = 0; i < 400; ++i)
        restarted += "2026-12-09 " + Clock(FirstSecond + (i % 150) * 11) + " x\n";
    QByteArray backwards;
    for (int i = 0; i < 300; ++i)
        backwards += "2026-12-09 " + Clock(FirstSecond + (300 - i) * 5) + " y\n";
    for (const QByteArray& log : {restarted, backwards}) {
        auto view = MakeView(log);
        ModalWatcher watcher;
        for (const QString& entry : {QStringLiteral("20:10"), QStringLiteral("20:00:01"), QStringLiteral("-1m")}) {
            QCOMPARE(RunGoTo(view.get(), watcher, {entry}), 1);
            QVERIFY(view->GetCaretLine() >= 1 && view->GetCaretLine() <= log.count('\n') + 1);
        }
        QCOMPARE(watcher.BoxCount(), 0);
    }
}

void TestTimeGoTo::pagedViewGoesToTimesThroughItsIndex()
{
    QList<int> times;
    const QByteArray log = TimedLog(12000, 1, times);
    m_pWorkspace->SetPagedViewThreshold(log.size() / 4);
    const QString path = m_pDir->filePath(QStringLiteral("paged.log"));
    QVERIFY(TestSupport::WriteFile(path, log));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QVERIFY(view->IsPaged());
    view->resize(800, 600);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QVERIFY(QTest::qWaitFor([view] { return view->GetPagedText()->IsIndexComplete(); }, 20000));
    QVERIFY(QTest::qWaitFor([view] { return !view->GetPagedText()->IsMoving(); }, 10000));

    ModalWatcher watcher;
    const int lastSecond = *std::max_element(times.cbegin(), times.cend());
    const struct
    {
        QString Entry;
        int Second;
    } cases[] = {
        {QStringLiteral("20:30:01"), 20 * 3600 + 30 * 60 + 1},
        {QStringLiteral("2026-12-09 20:00:00"), FirstSecond},
        {QStringLiteral("-5m"), lastSecond - 300},
        {QStringLiteral("23:59:59"), 24 * 3600},
        {QStringLiteral("20:47:13"), 20 * 3600 + 47 * 60 + 13},
    };
    for (const auto& c : cases) {
        QCOMPARE(RunGoTo(view, watcher, {c.Entry}), 1);
        QVERIFY(QTest::qWaitFor([view] { return !view->GetPagedText()->IsMoving(); }, 10000));
        QCOMPARE(view->GetCaretLine(), ExpectedLine(times, c.Second));
    }
    QCOMPARE(watcher.BoxCount(), 0);
}

void TestTimeGoTo::layoutIsDetectedFromTheView()
{
    auto syslog = MakeView("Dec  9 21:01:12 host a\nDec  9 21:01:13 host b\n");
    QCOMPARE(CTimeGoTo(*syslog).DetectLayout(), TimeLayout::Syslog);
    auto plain = MakeView("nothing\nto see\n");
    QCOMPARE(CTimeGoTo(*plain).DetectLayout(), TimeLayout::None);

    // Syslog times take their year from the context: the day of a clock time is the first line's.
    auto view = MakeView("Dec 31 23:00:00 a\nJan  1 00:30:00 b\nJan  1 01:00:00 c\n");
    CTimeGoTo timeGoTo(*view);
    TimeContext context;
    context.Year = 2027;
    context.LatestMonth = 1;
    timeGoTo.SetContext(context);
    std::int64_t line = 0;
    QString message;
    QVERIFY(timeGoTo.FindLine(ParseTimeEntry("00:45"), line, message));
    QCOMPARE(line, 3);
    QVERIFY(timeGoTo.FindLine(ParseTimeEntry("23:30"), line, message));
    QCOMPARE(line, 2);
}

OSTREL_QT_TEST_MAIN(TestTimeGoTo, QApplication)
#include "TestTimeGoTo.moc"
