// SPDX-License-Identifier: GPL-3.0-or-later
#include <optional>
#include <random>

#include "support/QtTestSupport.h"
#include "view/CViewSearch.h"

using TestSupport::MakeView;
using TestSupport::Select;
using TestSupport::SelectionOf;
using TestSupport::TextOf;

namespace {

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
                            qint64 sliceSize = 0, std::optional<bool> foldsBeyondAscii = {})
{
    QList<long> starts;
    for (int press = 0; press < 1000; ++press) {
        CViewSearch search(view, text, matchCase, wholeWord);
        if (sliceSize > 0)
            search.SetSliceSize(sliceSize);
        if (foldsBeyondAscii)
            search.SetFoldsBeyondAscii(*foldsBeyondAscii);
        if (search.FindFromSelection(down) != CViewSearch::Outcome::Found)
            break;
        starts.append(SelectionOf(view).first);
    }
    return starts;
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
};

void TestViewSearch::everyOccurrenceAcrossSliceBordersBothWays()
{
    // Overlapping and adjacent occurrences, one at each end of the text.
    const QByteArray text = "aabaabab aab\naabaab xaab aabaab";
    const QByteArray pattern = "aab";
    const QList<long> expected = OccurrencesOf(text, pattern);
    QList<long> reversed(expected.crbegin(), expected.crend());
    auto view = MakeView(text);
    for (qint64 slice : {1, 2, 3, 4, 5, 7, 11, 64, 0}) {
        Select(view.get(), 0, 0);
        QCOMPARE(WalkOccurrences(view.get(), QString::fromLatin1(pattern), true, false, true, slice), expected);
        // Up from the caret at the end: the same occurrences, last first.
        Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
        QCOMPARE(WalkOccurrences(view.get(), QString::fromLatin1(pattern), true, false, false, slice), reversed);
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
    QCOMPARE(WalkOccurrences(view.get(), pattern, matchCase, wholeWord, true), starts);
    // Nothing found leaves the selection where it was.
    const auto last = SelectionOf(view.get());
    CViewSearch search(view.get(), pattern, matchCase, wholeWord);
    QCOMPARE(search.FindFromSelection(true), CViewSearch::Outcome::NotFound);
    QCOMPARE(SelectionOf(view.get()), last);
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
    for (qint64 slice : {1, 2, 3, 5, 8, 0}) {
        Select(view.get(), 0, 0);
        QCOMPARE(WalkOccurrences(view.get(), QStringLiteral("\u00E4BC"), false, false, true, slice),
                 (QList<long>{1, 6, 16}));
        Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
        QCOMPARE(WalkOccurrences(view.get(), QStringLiteral("\u00E4bc"), false, true, false, slice),
                 (QList<long>{16, 6}));
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
                                Select(view.get(), 0, 0);
                                QCOMPARE(WalkOccurrences(view.get(), find, matchCase, wholeWord, true, slice, folds),
                                         expected);
                                Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
                                QCOMPARE(WalkOccurrences(view.get(), find, matchCase, wholeWord, false, slice, folds),
                                         reversed);
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
    auto view = MakeView(text);
    // Starting from the end of the text changes nothing: it is the whole text.
    Select(view.get(), static_cast<long>(text.size()), static_cast<long>(text.size()));
    CViewSearch::Outcome outcome;
    {
        CViewSearch search(view.get(), find, matchCase, wholeWord);
        search.SetSliceSize(4);
        QCOMPARE(search.ReplaceAll(replacement, outcome), count);
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

void TestViewSearch::replaceOnlyReplacesAnOccurrence()
{
    auto view = MakeView("one two one two");
    bool replaced = true;
    {
        // The selection is no occurrence: Replace only finds the first one.
        Select(view.get(), 4, 7);
        CViewSearch search(view.get(), QStringLiteral("ONE"), false, false);
        QCOMPARE(search.ReplaceSelectionAndFindNext(QStringLiteral("1"), replaced), CViewSearch::Outcome::Found);
        QVERIFY(!replaced);
        QCOMPARE(SelectionOf(view.get()), std::make_pair(8L, 11L));
        QCOMPARE(TextOf(view.get()), QByteArray("one two one two"));
    }
    {
        // Now it is: replaced, and the next one is searched behind the replacement.
        CViewSearch search(view.get(), QStringLiteral("ONE"), false, false);
        QCOMPARE(search.ReplaceSelectionAndFindNext(QStringLiteral("1"), replaced), CViewSearch::Outcome::NotFound);
        QVERIFY(replaced);
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

OSTREL_QT_TEST_MAIN(TestViewSearch, QApplication)
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
        CViewSearch search(&view, QStringLiteral("needle"), matchCase, false);
        QCOMPARE(search.FindFromSelection(true), CViewSearch::Outcome::Found);
        QCOMPARE(SelectionOf(&view).first, expected.at(1));
        QVERIFY(!view.IsLoading());
    }

    COstrelView view(nullptr);
    load(view);
    CViewSearch search(&view, QStringLiteral("needle"), true, false);
    CViewSearch::Outcome outcome = CViewSearch::Outcome::Stopped;
    QCOMPARE(search.ReplaceAll(QStringLiteral("pin"), outcome), std::int64_t{3});
    QCOMPARE(outcome, CViewSearch::Outcome::Found);
    QByteArray replaced = bytes;
    replaced.replace("needle", "pin");
    QVERIFY(TextOf(&view) == replaced);
    view.undo();
    QVERIFY(TextOf(&view) == bytes);
}

#include "TestViewSearch.moc"
