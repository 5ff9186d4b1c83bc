// SPDX-License-Identifier: GPL-3.0-or-later
#include <functional>
#include <optional>
#include <random>

#include <QScrollBar>
#include <QSignalSpy>

#include "filtering/OutputLine.h"
#include "support/QtTestSupport.h"
#include "view/CViewSearch.h"

using TestSupport::MakeView;
using TestSupport::Select;
using TestSupport::SelectionOf;
using TestSupport::TextOf;

namespace {

// The two ways a search goes: at once through a short text, or as through a long one, scanned on
// the search's thread and confirmed in turns of the event loop.
enum class Way
{
    AtOnce,
    OnThread,
};

const char* NameOf(Way way)
{
    return way == Way::AtOnce ? "at once" : "on the thread";
}

using Command = std::function<void(CViewSearch&)>;

Command FromSelection(bool down)
{
    return [down](CViewSearch& search) { search.StartFindFromSelection(down); };
}

// Runs one command of the search to its end and gives its outcome. `way`: the way it must go; a
// short text must then be done before the command returns.
CViewSearch::Outcome RunToEnd(CViewSearch& search, const Command& command, std::optional<Way> way = Way::AtOnce)
{
    if (way == Way::OnThread)
        search.SetLongTextSize(0);
    QSignalSpy finished(&search, &CViewSearch::Finished);
    command(search);
    if (way == Way::AtOnce && finished.count() != 1)
        QTest::qFail("a short text was not searched at once", __FILE__, __LINE__);
    if (finished.isEmpty() && !finished.wait())
        QTest::qFail("the search never finished", __FILE__, __LINE__);
    if (finished.count() != 1 || search.IsRunning())
        QTest::qFail("one command, one Finished", __FILE__, __LINE__);
    return search.GetOutcome();
}

// Every start of the bytes in the text, overlapping ones included.
QList<long> OccurrencesOf(const QByteArray& text, const QByteArray& pattern)
{
    QList<long> starts;
    for (qsizetype at = text.indexOf(pattern); at >= 0; at = text.indexOf(pattern, at + 1))
        starts.append(static_cast<long>(at));
    return starts;
}

// Presses Find Next until nothing more is found; the starts it selected on the way.
QList<long> WalkOccurrences(COstrelView* view, const QString& text, bool matchCase, bool wholeWord, bool down,
                            qint64 sliceSize = 0, std::optional<bool> foldsBeyondAscii = {}, Way way = Way::AtOnce)
{
    QList<long> starts;
    for (int press = 0; press < 1000; ++press) {
        CViewSearch search(view, text, matchCase, wholeWord);
        if (sliceSize > 0)
            search.SetSliceSize(sliceSize);
        if (foldsBeyondAscii)
            search.SetFoldsBeyondAscii(*foldsBeyondAscii);
        if (RunToEnd(search, FromSelection(down), way) != CViewSearch::Outcome::Found)
            break;
        starts.append(SelectionOf(view).first);
    }
    return starts;
}

// Today's Replace All, the editor's alone: search from the end of the last replacement to the
// end of the text, replace, again. The count and the text it leaves.
std::pair<qint64, QByteArray> EditorReplaceAll(const QByteArray& text, const QByteArray& pattern,
                                               const QByteArray& replacement, bool matchCase, bool wholeWord, bool utf8)
{
    auto view = MakeView(text, utf8);
    qint64 count = 0;
    view->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS,
                        static_cast<unsigned long>((matchCase ? QsciScintillaBase::SCFIND_MATCHCASE : 0) |
                                                   (wholeWord ? QsciScintillaBase::SCFIND_WHOLEWORD : 0)));
    for (long from = 0;;) {
        view->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, static_cast<unsigned long>(from),
                            view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
        if (view->SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET, static_cast<uintptr_t>(pattern.size()),
                                pattern.constData()) < 0)
            break;
        view->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET, static_cast<uintptr_t>(replacement.size()),
                            replacement.constData());
        from = view->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
        ++count;
    }
    return {count, TextOf(view.get())};
}

OutputBatch BatchOf(const QByteArray& text)
{
    OutputBatch batch;
    batch.Append(1, std::string_view(text.constData(), static_cast<std::size_t>(text.size())), false);
    return batch;
}

long ReadOnlyFlag(const COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_GETREADONLY);
}

bool ShowsWaitCursor()
{
    return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// Every start the editor itself finds in the whole text in one go, each search one character on.
QList<long> EditorOccurrences(COstrelView* view, const QByteArray& pattern, bool matchCase, bool wholeWord)
{
    QList<long> starts;
    const long length = view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    view->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS,
                        static_cast<unsigned long>((matchCase ? QsciScintillaBase::SCFIND_MATCHCASE : 0) |
                                                   (wholeWord ? QsciScintillaBase::SCFIND_WHOLEWORD : 0)));
    for (long from = 0; from < length;) {
        view->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, static_cast<unsigned long>(from), length);
        const long at = view->SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                                            static_cast<uintptr_t>(pattern.size()), pattern.constData());
        if (at < 0)
            break;
        starts.append(at);
        from = view->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, static_cast<unsigned long>(at));
    }
    return starts;
}

} // namespace

class TestViewSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyOccurrenceAcrossSliceBordersBothWays();
    void optionsOnTheViewsText_data();
    void optionsOnTheViewsText();
    void textIsEncodedAsTheViewHoldsIt();
    void multiByteLettersAtSliceBorders();
    void skippingSlicesFindsWhatTheEditorFinds();
    void replaceAllCountsAndIsOneUndoStep_data();
    void replaceAllCountsAndIsOneUndoStep();
    void replaceOnlyReplacesAnOccurrence();
    void findAndReplaceWhileLoadingCoverTheWholeFile();
    void replaceAllDoesWhatTheEditorsOwnLoopDoes();
    void longSearchLeavesTheWindowFreeAndTheTextAlone();
    void escapeNewCommandNewTextAndClosingStopIt();
    void appendsAndMovesOnlyPauseTheScan();
    void replaceWaitsForTheEndOfAFilteringRun();
};

void TestViewSearch::everyOccurrenceAcrossSliceBordersBothWays()
{
    // Overlapping and adjacent occurrences, one at each end of the text.
    const QByteArray text = "aabaabab aab\naabaab xaab aabaab";
    const QByteArray pattern = "aab";
    const QList<long> expected = OccurrencesOf(text, pattern);
    QList<long> reversed(expected.crbegin(), expected.crend());
    auto view = MakeView(text);
    for (const Way way : {Way::AtOnce, Way::OnThread}) {
        for (qint64 slice : {1, 2, 3, 4, 5, 7, 11, 64, 0}) {
            Select(view.get(), 0, 0);
            QCOMPARE(WalkOccurrences(view.get(), QString::fromLatin1(pattern), true, false, true, slice, {}, way),
                     expected);
            // Up from the caret at the end: the same occurrences, last first.
            Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
            QCOMPARE(WalkOccurrences(view.get(), QString::fromLatin1(pattern), true, false, false, slice, {}, way),
                     reversed);
        }
    }
}

void TestViewSearch::optionsOnTheViewsText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QList<long>>("starts");

    const QByteArray text = "Error error ERROR errors my_error error2 -error- Error";
    QTest::newRow("any case, part of words")
        << text << QStringLiteral("error") << false << false << QList<long>{0, 6, 12, 18, 28, 34, 42, 49};
    QTest::newRow("case") << text << QStringLiteral("error") << true << false << QList<long>{6, 18, 28, 34, 42};
    QTest::newRow("whole word") << text << QStringLiteral("error") << false << true << QList<long>{0, 6, 12, 42, 49};
    QTest::newRow("case and whole word") << text << QStringLiteral("Error") << true << true << QList<long>{0, 49};
    // The exact bytes come first inside a longer word: only the whole word counts.
    QTest::newRow("case and whole word after a longer word")
        << QByteArray("Errors xError Error") << QStringLiteral("Error") << true << true << QList<long>{14};
    QTest::newRow("pattern with a space")
        << QByteArray("a b  a b a  b") << QStringLiteral("a b") << true << false << QList<long>{0, 5};
    QTest::newRow("nothing") << text << QStringLiteral("warning") << false << false << QList<long>{};
    QTest::newRow("empty text to find") << text << QString() << false << false << QList<long>{};
}

void TestViewSearch::optionsOnTheViewsText()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QList<long>, starts);
    auto view = MakeView(text);
    for (const Way way : {Way::AtOnce, Way::OnThread}) {
        Select(view.get(), 0, 0);
        QCOMPARE(WalkOccurrences(view.get(), pattern, matchCase, wholeWord, true, 0, {}, way), starts);
        // Nothing found leaves the selection where it was.
        const auto last = SelectionOf(view.get());
        CViewSearch search(view.get(), pattern, matchCase, wholeWord);
        QCOMPARE(RunToEnd(search, FromSelection(true), way), CViewSearch::Outcome::NotFound);
        QCOMPARE(SelectionOf(view.get()), last);
    }
}

void TestViewSearch::textIsEncodedAsTheViewHoldsIt()
{
    const QString word = QStringLiteral("Gr\u00FC\u00DFe");
    // A UTF-8 view: the word's UTF-8 bytes.
    auto utf8View = MakeView(QByteArray("say ") + word.toUtf8() + " twice: " + word.toUtf8());
    QCOMPARE(WalkOccurrences(utf8View.get(), word, true, false, true), (QList<long>{4, 19}));
    // A Latin-1 view holds the same word one byte per character.
    auto latin1View = MakeView(QByteArray("say ") + word.toLatin1() + " and Gr?e", false);
    QCOMPARE(WalkOccurrences(latin1View.get(), word, true, false, true), QList<long>{4});
    // A character a Latin-1 view cannot hold is never there, and must not find "?" instead.
    Select(latin1View.get(), 0, 0);
    QCOMPARE(WalkOccurrences(latin1View.get(), QStringLiteral("Gr\u20ACe"), true, false, true), QList<long>{});
    QCOMPARE(WalkOccurrences(latin1View.get(), QStringLiteral("Gr\u0100e"), true, false, true), QList<long>{});
}

void TestViewSearch::multiByteLettersAtSliceBorders()
{
    // Two-byte letters around the slice borders. Without case only A to Z fold, as in the filters:
    // "\u00C4" is not "\u00E4".
    const QByteArray text = QStringLiteral("x\u00E4bc \u00E4BC \u00C4bc \u00E4bC").toUtf8();
    auto view = MakeView(text);
    for (const Way way : {Way::AtOnce, Way::OnThread}) {
        for (qint64 slice : {1, 2, 3, 5, 8, 0}) {
            Select(view.get(), 0, 0);
            QCOMPARE(WalkOccurrences(view.get(), QStringLiteral("\u00E4BC"), false, false, true, slice, {}, way),
                     (QList<long>{1, 6, 16}));
            Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
            QCOMPARE(WalkOccurrences(view.get(), QStringLiteral("\u00E4bc"), false, true, false, slice, {}, way),
                     (QList<long>{16, 6}));
        }
    }
}

void TestViewSearch::skippingSlicesFindsWhatTheEditorFinds()
{
    // Slices where the pattern cannot start are skipped without the editor; with case ignored and
    // an editor that folds beyond A to Z, letters beyond ASCII are left to the editor. Either way,
    // and whatever the slices, the walk meets exactly what the editor meets in one search of the
    // whole text.
    const QList<QByteArray> pieces = {"k",
                                      "K",
                                      "s",
                                      "S",
                                      "i",
                                      "I",
                                      "ss",
                                      " ",
                                      "\n",
                                      "x",
                                      "-",
                                      "\xE2\x84\xAA",
                                      "\xC5\xBF",
                                      "\xC3\x9F",
                                      "\xC3\xA4",
                                      "\xC3\x84",
                                      "\xEF\xAC\x81",
                                      "\xC4\xB0"};
    const QList<QByteArray> patterns = {"k", "s", "SK", "ss", "fi", "kiss", "\xC3\xA4s"};
    std::mt19937 random(1209);
    for (int round = 0; round < 12; ++round) {
        QByteArray text;
        for (int i = 0; i < 160; ++i)
            text.append(pieces.at(static_cast<qsizetype>(random() % pieces.size())));
        for (const bool utf8 : {true, false}) {
            auto view = MakeView(text, utf8);
            for (const QByteArray& pattern : patterns) {
                for (const bool matchCase : {true, false}) {
                    for (const bool wholeWord : {false, true}) {
                        const QList<long> expected = EditorOccurrences(view.get(), pattern, matchCase, wholeWord);
                        const QList<long> reversed(expected.crbegin(), expected.crend());
                        const QString find = utf8 ? QString::fromUtf8(pattern) : QString::fromLatin1(pattern);
                        for (const qint64 slice : {3, 17, 0}) {
                            for (const bool folds : {false, true}) {
                                // The thread's way in the first rounds: the same code but for who scans.
                                for (const Way way : {Way::AtOnce, Way::OnThread}) {
                                    if (way == Way::OnThread && round >= 3)
                                        continue;
                                    Select(view.get(), 0, 0);
                                    QCOMPARE(WalkOccurrences(view.get(), find, matchCase, wholeWord, true, slice, folds,
                                                             way),
                                             expected);
                                    Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
                                    QCOMPARE(WalkOccurrences(view.get(), find, matchCase, wholeWord, false, slice,
                                                             folds, way),
                                             reversed);
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}

void TestViewSearch::replaceAllCountsAndIsOneUndoStep_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QByteArray>("result");

    const QByteArray text = "cat Cat concat cat\ncatalog CAT";
    QTest::newRow("any case") << text << QStringLiteral("cat") << QStringLiteral("dog") << false << false << qint64(6)
                              << QByteArray("dog dog condog dog\ndogalog dog");
    QTest::newRow("case") << text << QStringLiteral("cat") << QStringLiteral("dog") << true << false << qint64(4)
                          << QByteArray("dog Cat condog dog\ndogalog CAT");
    QTest::newRow("whole word") << text << QStringLiteral("cat") << QStringLiteral("dog") << false << true << qint64(4)
                                << QByteArray("dog dog concat dog\ncatalog dog");
    // The replacement holds the text it replaces: never searched again, so no endless loop.
    QTest::newRow("replacement holds the text") << QByteArray("aa a") << QStringLiteral("a") << QStringLiteral("aa")
                                                << true << false << qint64(3) << QByteArray("aaaa aa");
    QTest::newRow("removing") << QByteArray("a-b-c-") << QStringLiteral("-") << QString() << true << false << qint64(3)
                              << QByteArray("abc");
    // The next occurrence begins where the replaced one ended: whether it starts a word depends
    // on the replacement before it, not on what was there.
    QTest::newRow("whole word behind a replacement")
        << QByteArray("a-a-") << QStringLiteral("a-") << QStringLiteral("xa") << true << true << qint64(1)
        << QByteArray("xaa-");
    QTest::newRow("none") << text << QStringLiteral("bird") << QStringLiteral("dog") << false << false << qint64(0)
                          << text;
}

void TestViewSearch::replaceAllCountsAndIsOneUndoStep()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, find);
    QFETCH(QString, replacement);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(qint64, count);
    QFETCH(QByteArray, result);
    for (const Way way : {Way::AtOnce, Way::OnThread}) {
        auto view = MakeView(text);
        // Starting from the end of the text changes nothing: it is the whole text.
        Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
        CViewSearch::Outcome outcome;
        {
            CViewSearch search(view.get(), find, matchCase, wholeWord);
            search.SetSliceSize(4);
            outcome = RunToEnd(
                search, [&replacement](CViewSearch& all) { all.StartReplaceAll(replacement); }, way);
            QCOMPARE(search.GetReplacedCount(), count);
        }
        QCOMPARE(outcome, count > 0 ? CViewSearch::Outcome::Found : CViewSearch::Outcome::NotFound);
        QCOMPARE(TextOf(view.get()), result);
        QCOMPARE(view->IsTextModified(), count > 0);
        if (count > 0) {
            view->undo();
            QCOMPARE(TextOf(view.get()), text);
            QVERIFY2(!view->isUndoAvailable(), "Replace All must be a single undo step");
        }
    }
}

void TestViewSearch::replaceOnlyReplacesAnOccurrence()
{
    auto view = MakeView("one two one two");
    const Command replace = [](CViewSearch& search) { search.StartReplaceSelectionAndFindNext(QStringLiteral("1")); };
    {
        // The selection is no occurrence: Replace only finds the first one.
        Select(view.get(), 4, 7);
        CViewSearch search(view.get(), QStringLiteral("ONE"), false, false);
        QCOMPARE(RunToEnd(search, replace), CViewSearch::Outcome::Found);
        QVERIFY(!search.GetReplaced());
        QCOMPARE(SelectionOf(view.get()), std::make_pair(8L, 11L));
        QCOMPARE(TextOf(view.get()), QByteArray("one two one two"));
    }
    {
        // Now it is: replaced, and the next one is searched behind the replacement.
        CViewSearch search(view.get(), QStringLiteral("ONE"), false, false);
        QCOMPARE(RunToEnd(search, replace), CViewSearch::Outcome::NotFound);
        QVERIFY(search.GetReplaced());
        QCOMPARE(TextOf(view.get()), QByteArray("one two 1 two"));
        QCOMPARE(SelectionOf(view.get()), std::make_pair(9L, 9L));
    }
    {
        // With case, "one" selected is no occurrence of "ONE".
        Select(view.get(), 0, 3);
        CViewSearch search(view.get(), QStringLiteral("ONE"), true, false);
        QVERIFY(!search.IsSelectionAMatch());
    }
}

void TestViewSearch::findAndReplaceWhileLoadingCoverTheWholeFile()
{
    // Bigger than the part that shows at once, with occurrences early, late and at the very end.
    QByteArray bytes;
    bytes.reserve(41 * 1024 * 1024);
    bytes.append("needle early\n");
    while (bytes.size() < 40 * 1024 * 1024)
        bytes.append("2026-12-09 06:25:00.809 [main] INFO  app.Main - nothing to see here\n");
    bytes.append("a late needle\nlast needle");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("loading.log"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    out.close();
    const QList<long> expected = OccurrencesOf(bytes, "needle");
    QCOMPARE(expected.size(), 3);

    auto load = [&path](COstrelView& view) {
        auto file = std::make_unique<QFile>(path);
        QVERIFY(file->open(QIODevice::ReadOnly));
        view.LoadFile(std::move(file));
        QVERIFY(view.IsLoading());
    };
    for (const bool matchCase : {true, false}) {
        COstrelView view(nullptr);
        load(view);
        Select(&view, 1, 1);
        // The search still runs when the whole text takes the first part's place, and holds it.
        long readOnlyAtLoadEnd = -1;
        connect(&view, &COstrelView::LoadFinished, this,
                [&view, &readOnlyAtLoadEnd] { readOnlyAtLoadEnd = ReadOnlyFlag(&view); });
        CViewSearch search(&view, QStringLiteral("needle"), matchCase, false);
        QCOMPARE(RunToEnd(search, FromSelection(true), {}), CViewSearch::Outcome::Found);
        QCOMPARE(SelectionOf(&view).first, expected.at(1));
        QVERIFY(!view.IsLoading());
        QCOMPARE(readOnlyAtLoadEnd, 1L);
        QCOMPARE(ReadOnlyFlag(&view), 0L);
    }

    COstrelView view(nullptr);
    load(view);
    CViewSearch search(&view, QStringLiteral("needle"), true, false);
    QCOMPARE(RunToEnd(search, [](CViewSearch& all) { all.StartReplaceAll(QStringLiteral("pin")); }, {}),
             CViewSearch::Outcome::Found);
    QCOMPARE(search.GetReplacedCount(), std::int64_t{3});
    QByteArray replaced = bytes;
    replaced.replace("needle", "pin");
    QVERIFY(TextOf(&view) == replaced);
    view.undo();
    QVERIFY(TextOf(&view) == bytes);
}

void TestViewSearch::replaceAllDoesWhatTheEditorsOwnLoopDoes()
{
    // Words, punctuation and spaces side by side, so that occurrences meet replacements at word
    // borders; replacements that hold the pattern, add word characters or remove it all.
    const QList<QByteArray> pieces = {"a", "A", "-", " ", "ab", "_", "x", "\n", "\xC3\xA4"};
    const QList<QByteArray> patterns = {"a-", "a", "ab", "-", "A A"};
    const QList<QByteArray> replacements = {"xa", "", "a-a", "-", "b"};
    std::mt19937 random(2207);
    for (int round = 0; round < 6; ++round) {
        QByteArray text;
        for (int i = 0; i < 120; ++i)
            text.append(pieces.at(static_cast<qsizetype>(random() % pieces.size())));
        for (const QByteArray& pattern : patterns) {
            for (const bool matchCase : {true, false}) {
                for (const bool wholeWord : {false, true}) {
                    const QByteArray& replacement =
                        replacements.at(static_cast<qsizetype>(random() % replacements.size()));
                    const auto [count, result] =
                        EditorReplaceAll(text, pattern, replacement, matchCase, wholeWord, true);
                    for (const Way way : {Way::AtOnce, Way::OnThread}) {
                        auto view = MakeView(text);
                        CViewSearch search(view.get(), QString::fromUtf8(pattern), matchCase, wholeWord);
                        search.SetSliceSize(5);
                        RunToEnd(
                            search,
                            [&replacement](CViewSearch& all) { all.StartReplaceAll(QString::fromUtf8(replacement)); },
                            way);
                        const QByteArray where = "'" + pattern + "' by '" + replacement + "' in '" + text + "' " +
                                                 NameOf(way) + (matchCase ? ", case" : "") +
                                                 (wholeWord ? ", whole word" : "");
                        QVERIFY2(search.GetReplacedCount() == count, where.constData());
                        QVERIFY2(TextOf(view.get()) == result, where.constData());
                    }
                }
            }
        }
    }
}

void TestViewSearch::longSearchLeavesTheWindowFreeAndTheTextAlone()
{
    // The gap of the editor in the middle of the text, where an edit leaves it.
    QByteArray text(64 * 1024, '.');
    text.append("the needle");
    auto view = MakeView(text);
    view->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, 100UL, "an edit");
    const long gap = view->SendScintilla(QsciScintillaBase::SCI_GETGAPPOSITION);
    QVERIFY(gap > 0 && gap < view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
    const QByteArray before = QByteArray(text).insert(100, "an edit");
    QVERIFY(view->isUndoAvailable());
    Select(view.get(), 0, 0);

    QTest::failOnWarning(QRegularExpression(QStringLiteral("moved during a search")));
    CViewSearch search(view.get(), QStringLiteral("NEEDLE"), false, false);
    search.SetLongTextSize(0);
    search.SetSliceSize(1000);
    QSignalSpy finished(&search, &CViewSearch::Finished);
    search.StartFindFromSelection(true);
    QVERIFY(search.IsRunning());
    QVERIFY(finished.isEmpty());
    QVERIFY(ShowsWaitCursor());
    // The user's edits cannot reach the text under the scan; looking around can.
    QCOMPARE(ReadOnlyFlag(view.get()), 1L);
    QTest::keyClicks(view.get(), QStringLiteral("typed"));
    view->undo();
    view->paste();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->repaint();
    Select(view.get(), 3, 9);
    view->copy();
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETGAPPOSITION), gap);
    // Asking for the text in one piece moves it, but the view says so first.
    QCOMPARE(TextOf(view.get()), before);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(search.GetOutcome(), CViewSearch::Outcome::Found);
    const long needle = static_cast<long>(before.indexOf("needle"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(needle, needle + 6));
    // The view as it was: editable, the undo of the edit still there, no wait cursor.
    QCOMPARE(ReadOnlyFlag(view.get()), 0L);
    QVERIFY(!ShowsWaitCursor());
    view->undo();
    QCOMPARE(TextOf(view.get()), text);
}

void TestViewSearch::escapeNewCommandNewTextAndClosingStopIt()
{
    // Not in the text: every search below runs until something stops it, or to the end.
    const QByteArray text = QByteArray(20000, 'x') + "\nend";
    const auto start = [](COstrelView* view) {
        auto search = std::make_unique<CViewSearch>(view, QStringLiteral("needle"), true, false);
        search->SetLongTextSize(0);
        search->SetSliceSize(100);
        search->StartFindFromSelection(true);
        return search;
    };
    auto view = MakeView(text);
    Select(view.get(), 5, 5);
    {
        // Escape in the view stops it at once and gives the view back as it was.
        auto search = start(view.get());
        QSignalSpy finished(search.get(), &CViewSearch::Finished);
        QVERIFY(search->IsRunning());
        QTest::keyClick(view.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<CViewSearch::Outcome>(), CViewSearch::Outcome::Stopped);
        QCOMPARE(SelectionOf(view.get()), std::make_pair(5L, 5L));
        QCOMPARE(ReadOnlyFlag(view.get()), 0L);
        QVERIFY(!ShowsWaitCursor());
        // Escape with nothing running is the editor's again.
        QTest::keyClick(view.get(), Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
    }
    {
        // A new command on the same search stops the one that runs; Stop stops the new one.
        auto search = start(view.get());
        QSignalSpy finished(search.get(), &CViewSearch::Finished);
        search->StartFindFromSelection(false);
        QCOMPARE(finished.count(), 1);
        QVERIFY(search->IsRunning());
        search->Stop();
        QCOMPARE(finished.count(), 2);
        for (const QList<QVariant>& arguments : finished)
            QCOMPARE(arguments.at(0).value<CViewSearch::Outcome>(), CViewSearch::Outcome::Stopped);
        QCOMPARE(ReadOnlyFlag(view.get()), 0L);
        // Two searches hold the view together; it is the user's again when both are done.
        auto first = start(view.get());
        auto second = start(view.get());
        first->Stop();
        QCOMPARE(ReadOnlyFlag(view.get()), 1L);
        QTRY_VERIFY(!second->IsRunning());
        QCOMPARE(second->GetOutcome(), CViewSearch::Outcome::NotFound);
        QCOMPARE(ReadOnlyFlag(view.get()), 0L);
    }
    {
        // A new text ends it; the view keeps its own read-only state, that of filter output.
        auto search = start(view.get());
        QSignalSpy finished(search.get(), &CViewSearch::Finished);
        view->BeginFilterOutput();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(search->GetOutcome(), CViewSearch::Outcome::Stopped);
        QCOMPARE(ReadOnlyFlag(view.get()), 1L);
        view->EndFilterOutput();
        QCOMPARE(ReadOnlyFlag(view.get()), 0L);
        // A search made for the text before never starts on the new one.
        search->StartFindFromSelection(true);
        QCOMPARE(finished.count(), 2);
        QCOMPARE(search->GetOutcome(), CViewSearch::Outcome::Stopped);
    }
    {
        // Closing the view ends it before the view's text goes.
        view->AppendOutputLines(BatchOf(text));
        auto search = start(view.get());
        QSignalSpy finished(search.get(), &CViewSearch::Finished);
        view.reset();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(search->GetOutcome(), CViewSearch::Outcome::Stopped);
        QVERIFY(!search->IsRunning());
        QVERIFY(!ShowsWaitCursor());
    }
}

void TestViewSearch::appendsAndMovesOnlyPauseTheScan()
{
    // A filtering run's view: read-only, its output coming in batches while the search runs. The
    // occurrence only comes with the last batch, across the end of the text before it. Small
    // slices stop the scan on its way; one slice for the whole text has it finished first.
    for (const qint64 slice : {512, 1 << 20}) {
        auto view = MakeView(QByteArray());
        view->BeginFilterOutput();
        view->AppendOutputLines(BatchOf(QByteArray(30000, 'a') + "\nhay nee"));
        Select(view.get(), 0, 0);
        CViewSearch search(view.get(), QStringLiteral("needle"), true, false);
        search.SetLongTextSize(0);
        search.SetSliceSize(slice);
        QSignalSpy finished(&search, &CViewSearch::Finished);
        search.StartFindFromSelection(true);
        QVERIFY(search.IsRunning());
        // The text asked for in one piece, then more of it: the scan stops reading, goes on after.
        QCOMPARE(TextOf(view.get()).size(), 30008);
        const long oldEnd = view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        view->AppendOutputLines(BatchOf("dle\nmore hay\n"));
        QCOMPARE(ReadOnlyFlag(view.get()), 1L);
        QVERIFY(search.IsRunning());
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(search.GetOutcome(), CViewSearch::Outcome::Found);
        QCOMPARE(SelectionOf(view.get()), std::make_pair(oldEnd - 3, oldEnd + 3));
        // Still the filtering run's: read-only until it ends.
        QCOMPARE(ReadOnlyFlag(view.get()), 1L);
        view->EndFilterOutput();
        QCOMPARE(ReadOnlyFlag(view.get()), 0L);
    }

    // Replace All takes in what comes at the end while it scans, or while it replaces (the batch
    // then comes just before its first replacement).
    for (const bool whileReplacing : {false, true}) {
        for (const qint64 slice : {512, 1 << 20}) {
            auto view = MakeView(QByteArray(3000, 'b') + " cat " + QByteArray(3000, 'b') + " ca");
            const auto append = [&view] { view->AppendOutputLines(BatchOf("t and cat\n")); };
            if (whileReplacing)
                connect(view.get(), &COstrelView::TextAboutToChange, this,
                        [append, appended = false](COstrelView::TextChange change) mutable {
                            if (change == COstrelView::TextChange::Editing && !std::exchange(appended, true))
                                append();
                        });
            CViewSearch all(view.get(), QStringLiteral("cat"), true, false);
            all.SetSliceSize(slice);
            RunToEnd(
                all,
                [whileReplacing, &append](CViewSearch& search) {
                    search.StartReplaceAll(QStringLiteral("dog"));
                    if (!whileReplacing)
                        append();
                },
                Way::OnThread);
            QCOMPARE(all.GetReplacedCount(), std::int64_t{3});
            QCOMPARE(TextOf(view.get()).count("dog"), 3);
            QCOMPARE(TextOf(view.get()).count("cat"), 0);
        }
    }

    auto view = MakeView(QByteArray(3000, 'b'));
    // Searching up ignores what comes behind it.
    Select(view.get(), 10, 10);
    CViewSearch up(view.get(), QStringLiteral("needle"), true, false);
    QSignalSpy upFinished(&up, &CViewSearch::Finished);
    up.SetLongTextSize(0);
    up.StartFindFromSelection(false);
    view->AppendOutputLines(BatchOf("a needle at the end\n"));
    QTRY_COMPARE(upFinished.count(), 1);
    QCOMPARE(up.GetOutcome(), CViewSearch::Outcome::NotFound);
}

void TestViewSearch::replaceWaitsForTheEndOfAFilteringRun()
{
    // Replacing in the output of a running filter would shift its lines against their numbers:
    // Replace and Replace All wait for the run's end, without holding up the window.
    auto view = MakeView(QByteArray());
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf("cat and cat\n"));
    Select(view.get(), 0, 3);
    CViewSearch replace(view.get(), QStringLiteral("cat"), true, false);
    replace.StartReplaceSelectionAndFindNext(QStringLiteral("dog"));
    QVERIFY(replace.IsRunning());
    QVERIFY(ShowsWaitCursor());
    view->AppendOutputLines(BatchOf("cat\n"));
    QCOMPARE(TextOf(view.get()), QByteArray("cat and cat\ncat\n"));
    view->EndFilterOutput();
    QTRY_VERIFY(!replace.IsRunning());
    QVERIFY(replace.GetReplaced());
    QCOMPARE(replace.GetOutcome(), CViewSearch::Outcome::Found);
    QCOMPARE(TextOf(view.get()), QByteArray("dog and cat\ncat\n"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(8L, 11L));
    QCOMPARE(ReadOnlyFlag(view.get()), 0L);
    QVERIFY(!ShowsWaitCursor());

    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf("a cat, a cat\n"));
    CViewSearch all(view.get(), QStringLiteral("cat"), true, false);
    all.StartReplaceAll(QStringLiteral("dog"));
    QVERIFY(all.IsRunning());
    view->EndFilterOutput();
    QTRY_VERIFY(!all.IsRunning());
    QCOMPARE(all.GetReplacedCount(), std::int64_t{2});
    QCOMPARE(TextOf(view.get()), QByteArray("a dog, a dog\n"));

    // Escape while it waits: nothing replaced.
    view->BeginFilterOutput();
    view->AppendOutputLines(BatchOf("cat\n"));
    CViewSearch waiting(view.get(), QStringLiteral("cat"), true, false);
    waiting.StartReplaceAll(QStringLiteral("dog"));
    QVERIFY(waiting.IsRunning());
    QTest::keyClick(view.get(), Qt::Key_Escape);
    QCOMPARE(waiting.GetOutcome(), CViewSearch::Outcome::Stopped);
    view->EndFilterOutput();
    QCOMPARE(TextOf(view.get()), QByteArray("cat\n"));
}

OSTREL_QT_TEST_MAIN(TestViewSearch, QApplication)
#include "TestViewSearch.moc"
