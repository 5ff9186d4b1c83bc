// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-16 and 8-bit logs too big for the editor, shown by the paged view as the text they hold:
// the window, the line count, Go To, Find and Ctrl+double-click from filter output against
// iconv's UTF-8 of the file, and View > Encoding opening the file again in the one chosen.
#include <QProcess>
#include <QSignalSpy>

#include "support/QtTestSupport.h"
#include "view/CPagedSearch.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;
using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t Megabyte = 1024 * 1024;

const char* const GermanLines[] = {"Größe der Übertragung: 12 KB", "Fehler beim Öffnen von « straße.log »",
                                   "Grüße aus München", "naïve Prüfung bestanden"};
const char* const RussianLines[] = {"Сервер запущен на порту 8080", "Ошибка соединения с базой данных",
                                    "Пользователь вошёл в систему", "ошибка диска: нет места"};

// Numbered lines of the words, CR LF now and then, and one word of its own far down.
QByteArray MakeLog(const char* const (&lines)[4], int count, const QByteArray& rare)
{
    QByteArray log;
    for (int line = 1; line <= count; ++line)
        log += "2026-12-11 10:00:" + QByteArray::number(10 + line % 50) + " line " + QByteArray::number(line) + ' ' +
               lines[(line * 7) % 4] + (line == count - 100 ? ' ' + rare : QByteArray()) +
               (line % 9 == 0 ? "\r\n" : "\n");
    return log;
}

QByteArray Iconv(const QByteArray& bytes, const QString& from, const QString& to)
{
    QProcess process;
    process.start(u"iconv"_s, {u"-f"_s, from, u"-t"_s, to});
    if (!process.waitForStarted())
        return QByteArray();
    process.write(bytes);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

QByteArray CaretLineText(COstrelView* view)
{
    const long caret = view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const long line = view->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret));
    const long start = view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = view->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    return TestSupport::TextOf(view).mid(start, end - start);
}

// The line of the text with that 1-based number, without its line end.
QByteArray LineOf(const QByteArray& text, std::int64_t number)
{
    QByteArray line = text.split('\n').at(static_cast<qsizetype>(number - 1));
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

class TestPagedEncodedView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheTextOfEachEncoding_data();
    void showsTheTextOfEachEncoding();
    void choosingAnEncodingOpensThePagedFileAgain();

private:
    COstrelView* Open(const QString& path);
    static bool WaitForIndex(COstrelView* view);
    // The window shown is the text's bytes where it starts.
    static bool ShowsTextAt(COstrelView* view, const QByteArray& text);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestPagedEncodedView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    // Below the logs, above the filter output of the tests: the output stays in the editor.
    m_pWorkspace->SetPagedViewThreshold(2 * Megabyte);
}

void TestPagedEncodedView::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestPagedEncodedView::Open(const QString& path)
{
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(800, 600);
    view->show();
    return QTest::qWaitForWindowExposed(view) ? view : nullptr;
}

bool TestPagedEncodedView::WaitForIndex(COstrelView* view)
{
    return QTest::qWaitFor(
        [view] {
            return view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving();
        },
        30000);
}

bool TestPagedEncodedView::ShowsTextAt(COstrelView* view, const QByteArray& text)
{
    const QByteArray shown = TestSupport::TextOf(view);
    const auto start = static_cast<qsizetype>(view->GetPagedText()->GetWindowStart());
    return !shown.isEmpty() && shown == text.mid(start, shown.size());
}

void TestPagedEncodedView::showsTheTextOfEachEncoding_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<bool>("russian");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-16 LE with its mark") << u"UTF-16LE"_s << QByteArray("\xff\xfe") << true << u"UTF-16 LE"_s;
    QTest::newRow("UTF-16 BE without") << u"UTF-16BE"_s << QByteArray() << false << u"UTF-16 BE"_s;
    QTest::newRow("Latin-1") << u"ISO-8859-1"_s << QByteArray() << false << u"ISO-8859-1"_s;
}

void TestPagedEncodedView::showsTheTextOfEachEncoding()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mark);
    QFETCH(bool, russian);
    QFETCH(QString, shown);
    const QByteArray rare = russian ? QByteArray("Игольное_ушко") : QByteArray("Nadelöhr");
    const QByteArray bytes =
        mark + Iconv(MakeLog(russian ? RussianLines : GermanLines, 60000, rare), u"UTF-8"_s, encoding);
    QVERIFY(bytes.size() > 3 * Megabyte);
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, bytes));
    const QByteArray text = Iconv(mark.isEmpty() ? bytes : bytes.mid(mark.size()), encoding, u"UTF-8"_s);
    QVERIFY(!text.isEmpty());

    COstrelView* view = Open(path);
    QVERIFY(view && view->IsPaged());
    QVERIFY(WaitForIndex(view));
    QCOMPARE(view->GetTextEncoding().ShownName(), shown);
    QVERIFY(ShowsTextAt(view, text));
    QVERIFY(!TestSupport::TextOf(view).contains('\0'));
    const std::int64_t count = text.count('\n') + 1;
    QCOMPARE(view->GetGoToLineCount(), count);
    QCOMPARE(view->GetPagedText()->GetFileSize(), static_cast<std::uint64_t>(text.size()));
    QTRY_VERIFY(view->GetStatusNote().contains(shown));

    // Go To lands on the line with that number, far from the first window too.
    for (const std::int64_t line : {count / 2, std::int64_t(65), count - 1}) {
        view->GoToNumberedLine(line);
        QVERIFY(WaitForIndex(view));
        QCOMPARE(view->GetCaretLine(), line);
        QCOMPARE(CaretLineText(view), LineOf(text, line));
        QVERIFY(ShowsTextAt(view, text));
    }

    // Find: the word that is not ASCII, selected where the text has it.
    view->GoToNumberedLine(1);
    QVERIFY(WaitForIndex(view));
    CPagedSearch search(view, QString::fromUtf8(rare), true, true);
    QSignalSpy finished(&search, &CPagedSearch::Finished);
    search.StartFindFromSelection(true);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(finished.front().front().value<CViewSearch::Outcome>(), CViewSearch::Outcome::Found);
    QVERIFY(WaitForIndex(view));
    const std::uint64_t selected =
        view->GetPagedText()->GetWindowStart() +
        static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
    QCOMPARE(selected, static_cast<std::uint64_t>(text.indexOf(rare)));
    QCOMPARE(view->selectedText(), QString::fromUtf8(rare));

    // Ctrl+double-click on a line of filter output: the paged file again, at that very line.
    COstrelDoc* document = view->GetDocument();
    FilterSettings settings;
    settings.AddFilter(QString::fromUtf8(russian ? "шибка" : "Grüße").toStdU16String(), 0);
    settings.SetCaseSensitive(0, true);
    QVERIFY(document->ApplyFilters(settings));
    QTRY_VERIFY_WITH_TIMEOUT(!document->IsFiltering(), 60000);
    const std::vector<std::int64_t> numbers = view->GetFileLineNumbers();
    QVERIFY(numbers.size() > 1000);
    const std::size_t pick = numbers.size() * 3 / 4;
    const long position =
        view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(pick));
    QVERIFY(view->GoToFileLineAt(position));
    QTRY_VERIFY_WITH_TIMEOUT(view->IsPaged() && !view->GetShowsFilteredText(), 30000);
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetCaretLine(), numbers[pick]);
    QCOMPARE(CaretLineText(view), LineOf(text, numbers[pick]));
    QVERIFY(m_pWorkspace->GetReports().empty());
}

void TestPagedEncodedView::choosingAnEncodingOpensThePagedFileAgain()
{
    const QByteArray text = MakeLog(RussianLines, 60000, "Иголка");
    const QByteArray bytes = Iconv(text, u"UTF-8"_s, u"KOI8-R"_s);
    const QString path = m_pDir->filePath(u"koi8.log"_s);
    QVERIFY(TestSupport::WriteFile(path, bytes));
    COstrelView* view = Open(path);
    QVERIFY(view && view->IsPaged() && WaitForIndex(view));
    QCOMPARE(view->GetTextEncoding().ShownName(), u"KOI8-R"_s);
    QVERIFY(ShowsTextAt(view, text));

    // The same bytes as Windows-1251 are other letters: what iconv reads them as.
    QVERIFY(view->ChooseEncoding("WINDOWS-1251"));
    QVERIFY(view->IsPaged() && WaitForIndex(view));
    QCOMPARE(view->GetTextEncoding().ShownName(), u"Windows-1251"_s);
    QVERIFY(ShowsTextAt(view, Iconv(bytes, u"WINDOWS-1251"_s, u"UTF-8"_s)));
    QCOMPARE(view->GetGoToLineCount(), text.count('\n') + 1);

    // As UTF-8 the file is shown byte for byte, followed as a plain file is.
    QVERIFY(view->ChooseEncoding("UTF-8"));
    QVERIFY(view->IsPaged() && WaitForIndex(view));
    QVERIFY(ShowsTextAt(view, bytes));
    QVERIFY(view->GetPagedText()->GetIndex().IsFollowable());
    QCOMPARE(view->GetPagedText()->GetFileSize(), static_cast<std::uint64_t>(bytes.size()));
    QVERIFY(m_pWorkspace->GetReports().empty());
}

OSTREL_QT_TEST_MAIN(TestPagedEncodedView, QApplication)
#include "TestPagedEncodedView.moc"
