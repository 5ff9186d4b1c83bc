// SPDX-License-Identifier: GPL-3.0-or-later
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "filtering/LiteralSearcher.h"
#include "support/QtTestSupport.h"
#include "view/CTextScanner.h"

namespace {

using Direction = CTextScanner::Direction;

// A text split at its gap into two blocks of their own, as the editor keeps it: a read across
// the gap goes past the end of a block.
struct SplitText
{
    std::unique_ptr<char[]> Before;
    std::unique_ptr<char[]> After;
    TextPieces Pieces;

    SplitText(const std::string& text, std::size_t gap)
    {
        Before = std::make_unique<char[]>(gap);
        After = std::make_unique<char[]>(text.size() - gap);
        std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(gap), Before.get());
        std::copy(text.begin() + static_cast<std::ptrdiff_t>(gap), text.end(), After.get());
        Pieces.Before = gap > 0 ? Before.get() : nullptr;
        Pieces.After = text.size() > gap ? After.get() : nullptr;
        Pieces.Gap = static_cast<std::int64_t>(gap);
        Pieces.Length = static_cast<std::int64_t>(text.size());
    }
};

std::vector<TextRange> TakeAll(CTextScanner& scanner)
{
    std::vector<TextRange> candidates;
    TextRange candidate;
    while (scanner.TakeCandidate(candidate))
        candidates.push_back(candidate);
    return candidates;
}

std::vector<TextRange> ScanAll(CTextScanner& scanner, const TextPieces& text, Direction direction, std::int64_t from)
{
    scanner.Reset();
    scanner.Scan(text, direction, from);
    return TakeAll(scanner);
}

char FoldAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Every start of the pattern in the text, A to Z folded unless case matters.
std::vector<std::int64_t> Starts(const std::string& text, const std::string& pattern, bool matchCase)
{
    std::vector<std::int64_t> starts;
    for (std::size_t at = 0; at + pattern.size() <= text.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; same && i < pattern.size(); ++i)
            same = matchCase ? text[at + i] == pattern[i] : FoldAscii(text[at + i]) == FoldAscii(pattern[i]);
        if (same)
            starts.push_back(static_cast<std::int64_t>(at));
    }
    return starts;
}

// Forward candidates follow each other without overlapping; backward slices tile the text from
// the start downwards. Every occurrence starts inside one of them.
bool CoversEveryStart(const std::vector<TextRange>& candidates, Direction direction,
                      const std::vector<std::int64_t>& starts, QString& why)
{
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const bool ordered = direction == Direction::Forward ? candidates[i].Start >= candidates[i - 1].End
                                                             : candidates[i].End <= candidates[i - 1].Start;
        if (!ordered) {
            why = QStringLiteral("candidates %1 and %2 out of order").arg(i - 1).arg(i);
            return false;
        }
    }
    for (const std::int64_t start : starts) {
        const bool covered = std::any_of(candidates.begin(), candidates.end(), [start](const TextRange& candidate) {
            return candidate.Start <= start && start < candidate.End;
        });
        if (!covered) {
            why = QStringLiteral("the occurrence at %1 is in no candidate").arg(start);
            return false;
        }
    }
    return true;
}

} // namespace

class TestTextScanner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void candidatesCoverEveryOccurrenceWhereverTheGapIs();
    void stoppedScansGoOnWhereTheyStopped();
};

void TestTextScanner::candidatesCoverEveryOccurrenceWhereverTheGapIs()
{
    // Occurrences at both ends, side by side, across every possible gap, in both cases; bytes
    // beyond ASCII for the scans that leave those to the editor.
    const std::string text = "abCab xx ABCABC-abc\xC3\xA4 abc  a\xE2\x84\xAA"
                             "bc";
    const std::string pattern = "abc";
    for (const bool matchCase : {true, false}) {
        const LiteralSearcher prefilter(pattern, matchCase);
        const std::vector<std::int64_t> starts = Starts(text, pattern, matchCase);
        for (const bool foldsBeyondAscii : {false, true}) {
            for (const std::int64_t slice : {1, 2, 3, 5, 8, 64}) {
                CTextScanner scanner(&prefilter, foldsBeyondAscii && !matchCase, slice, 16);
                const SplitText whole(text, text.size());
                const auto forward = ScanAll(scanner, whole.Pieces, Direction::Forward, 0);
                const auto backward = ScanAll(scanner, whole.Pieces, Direction::Backward, whole.Pieces.Length);
                const QString where =
                    QStringLiteral("case %1, folds %2, slice %3").arg(matchCase).arg(foldsBeyondAscii).arg(slice);
                QString why;
                QVERIFY2(CoversEveryStart(forward, Direction::Forward, starts, why), qPrintable(where + u": " + why));
                QVERIFY2(CoversEveryStart(backward, Direction::Backward, starts, why), qPrintable(where + u": " + why));
                // Some slices hold nothing: the prefilter skips them.
                if (!foldsBeyondAscii && slice == 1)
                    QVERIFY2(forward.size() < text.size() && backward.size() < text.size(), qPrintable(where));
                for (std::size_t gap = 0; gap <= text.size(); ++gap) {
                    const SplitText split(text, gap);
                    const QString at = where + QStringLiteral(", gap at %1").arg(gap);
                    QVERIFY2(ScanAll(scanner, split.Pieces, Direction::Forward, 0) == forward, qPrintable(at));
                    QVERIFY2(ScanAll(scanner, split.Pieces, Direction::Backward, split.Pieces.Length) == backward,
                             qPrintable(at));
                }
            }
        }
    }
    // Without a prefilter every slice is one for the editor.
    CTextScanner everything(nullptr, false, 4, 16);
    const SplitText split(text, 7);
    const auto all = ScanAll(everything, split.Pieces, Direction::Forward, 2);
    QCOMPARE(static_cast<std::int64_t>(all.size()), (split.Pieces.Length - 2 + 3) / 4);
    QCOMPARE(all.front(), (TextRange{2, 6}));
}

void TestTextScanner::stoppedScansGoOnWhereTheyStopped()
{
    // A text of many slices with an occurrence now and then; stopped as soon as it starts, each
    // scan gets a slice further at least, and together they find what one scan finds.
    std::mt19937 random(7);
    std::string text(1 << 20, '.');
    for (int i = 0; i < 300; ++i)
        text.replace(random() % (text.size() - 8), 6, "needle");
    const LiteralSearcher prefilter("needle", true);
    const SplitText split(text, text.size() / 3);
    for (const Direction direction : {Direction::Forward, Direction::Backward}) {
        const std::int64_t from = direction == Direction::Forward ? 5 : split.Pieces.Length - 5;
        CTextScanner whole(&prefilter, false, 1024, 28);
        const auto expected = ScanAll(whole, split.Pieces, direction, from);
        QVERIFY(!expected.empty());

        CTextScanner scanner(&prefilter, false, 1024, 28);
        std::vector<TextRange> found;
        std::int64_t position = from;
        int starts = 0;
        while (!scanner.IsFinished()) {
            QVERIFY2(++starts <= 1024 + 1, "a stopped scan made no progress");
            scanner.Start(split.Pieces, direction, position);
            scanner.Stop();
            const std::int64_t stoppedAt = scanner.GetPosition();
            QVERIFY(direction == Direction::Forward ? stoppedAt > position : stoppedAt < position);
            position = stoppedAt;
            const auto taken = TakeAll(scanner);
            found.insert(found.end(), taken.begin(), taken.end());
        }
        QVERIFY(found == expected);
    }
}

OSTREL_QT_TEST_MAIN(TestTextScanner, QCoreApplication)
#include "TestTextScanner.moc"
