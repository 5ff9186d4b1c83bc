// SPDX-License-Identifier: GPL-3.0-or-later
#include <random>

#include <QtTest>

#include "view/CLineStartFinder.h"

class TestLineStartFinder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyLineStartWhateverThePieces();
};

void TestLineStartFinder::everyLineStartWhateverThePieces()
{
    // Line feeds, lone carriage returns and CR LF, fed in pieces cut anywhere (empty ones too).
    std::mt19937 random(20261209);
    const char alphabet[] = {'a', 'b', '\n', '\r', '\n', 'c'};
    for (int round = 0; round < 200; ++round) {
        QByteArray text;
        const int length = static_cast<int>(random() % 300);
        for (int i = 0; i < length; ++i)
            text.append(alphabet[random() % sizeof(alphabet)]);
        // Line n starts after the (n-1)th line feed; a line past the last one is never seen.
        QList<qint64> starts{0};
        for (qsizetype at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1))
            starts.append(at + 1);
        for (qsizetype line = 0; line <= starts.size() + 1; ++line) {
            CLineStartFinder finder(line);
            qsizetype fed = 0;
            while (fed < text.size()) {
                const auto piece = static_cast<qsizetype>(random() % 40);
                const qsizetype size = std::min(piece, text.size() - fed);
                finder.Feed(text.constData() + fed, static_cast<std::size_t>(size));
                fed += size;
            }
            const qint64 expected = line >= 1 && line <= starts.size() ? starts.at(line - 1) : -1;
            QCOMPARE(finder.GetLineStart(), expected);
        }
    }
}

QTEST_GUILESS_MAIN(TestLineStartFinder)
#include "TestLineStartFinder.moc"
