// SPDX-License-Identifier: GPL-3.0-or-later
// Logs in UTF-16 and in legacy 8-bit encodings shown as the text they hold: the view's text and
// lines against iconv's UTF-8 of the file, filtering against grep over that UTF-8, Ctrl+double-
// click back to the file's line, saving back in the file's own encoding, and View > Encoding
// reading the file again in the encoding chosen.
#include <QProcess>

#include "support/QtTestSupport.h"

using TestSupport::TestWorkspace;
using namespace Qt::StringLiterals;

namespace {

const char* const GermanLines[] = {"Größe der Übertragung: 12 KB", "Fehler beim Öffnen von « straße.log »",
                                   "Grüße aus München", "naïve Prüfung bestanden"};
const char* const RussianLines[] = {"Сервер запущен на порту 8080", "Ошибка соединения с базой данных",
                                    "Пользователь вошёл в систему", "ошибка диска: нет места"};

QByteArray MakeLog(const char* const (&lines)[4], int count)
{
    QByteArray log;
    for (int line = 1; line <= count; ++line)
        log += "2026-12-10 10:00:" + QByteArray::number(10 + line % 50) + " line " + QByteArray::number(line) + ' ' +
               lines[(line * 7) % 4] + (line % 9 == 0 ? "\r\n" : "\n");
    return log;
}

// iconv, the reference: the bytes from one encoding in another; empty when it fails.
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

// The lines grep keeps of the UTF-8 text, with their numbers.
std::pair<QByteArray, std::vector<std::int64_t>> GrepLines(const QByteArray& utf8, const QString& pattern,
                                                           bool expression)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    process.setProcessEnvironment(environment);
    process.start(u"grep"_s, {u"-n"_s, u"-a"_s, expression ? u"-E"_s : u"-F"_s, u"-e"_s, pattern});
    process.waitForStarted();
    process.write(utf8);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    QByteArray text;
    std::vector<std::int64_t> numbers;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        numbers.push_back(line.left(colon).toLongLong());
        text += line.mid(colon + 1) + '\n';
    }
    return {text, numbers};
}

} // namespace

class TestEncodedView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsFiltersAndSavesEachEncoding_data();
    void showsFiltersAndSavesEachEncoding();
    void aCharacterTheEncodingCannotHoldIsNotSaved();
    void choosingAnEncodingReadsTheFileAgain();
    void utf8StaysByteForByte();

private:
    COstrelView* Open(const QString& path);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestEncodedView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    m_pWorkspace->SetPagedViewThreshold(256LL * 1024 * 1024);
}

void TestEncodedView::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestEncodedView::Open(const QString& path)
{
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(800, 600);
    view->show();
    if (!QTest::qWaitForWindowExposed(view) || !QTest::qWaitFor([view] { return !view->IsLoading(); }, 30000))
        return nullptr;
    return view;
}

void TestEncodedView::showsFiltersAndSavesEachEncoding_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<bool>("russian");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-16 LE with its mark") << u"UTF-16LE"_s << QByteArray("\xff\xfe") << true << u"UTF-16 LE"_s;
    QTest::newRow("UTF-16 BE without") << u"UTF-16BE"_s << QByteArray() << false << u"UTF-16 BE"_s;
    QTest::newRow("Latin-1") << u"ISO-8859-1"_s << QByteArray() << false << u"ISO-8859-1"_s;
    QTest::newRow("Windows-1251") << u"WINDOWS-1251"_s << QByteArray() << true << u"Windows-1251"_s;
    QTest::newRow("KOI8-R") << u"KOI8-R"_s << QByteArray() << true << u"KOI8-R"_s;
}

void TestEncodedView::showsFiltersAndSavesEachEncoding()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mark);
    QFETCH(bool, russian);
    QFETCH(QString, shown);
    // Past the first part the view shows at once: the rest comes through the loading thread.
    const QByteArray text = MakeLog(russian ? RussianLines : GermanLines, 90000);
    const QByteArray bytes = mark + Iconv(text, u"UTF-8"_s, encoding);
    QVERIFY(bytes.size() > mark.size());
    QVERIFY(bytes.size() > 4 * 1024 * 1024);
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, bytes));

    COstrelView* view = Open(path);
    QVERIFY(view);
    QCOMPARE(view->GetTextEncoding().ShownName(), shown);
    QVERIFY(TestSupport::TextOf(view) == text);
    QCOMPARE(view->GetGoToLineCount(), text.count('\n') + 1);
    QVERIFY(!view->IsTextModified());

    // A literal and an expression typed as the text reads, against grep over iconv's UTF-8.
    COstrelDoc* document = view->GetDocument();
    for (const bool expression : {false, true}) {
        const QString pattern = russian ? (expression ? u"^2026.* line [0-9]*3 .*шибка"_s : u"Ошибка соединения"_s)
                                        : (expression ? u"line [0-9]*6 .*Grüße"_s : u"Öffnen von"_s);
        FilterSettings settings;
        settings.AddFilter(pattern.toStdU16String(), expression ? 1 : 0);
        settings.SetCaseSensitive(0, true);
        QVERIFY(document->ApplyFilters(settings));
        QTRY_VERIFY_WITH_TIMEOUT(!document->IsFiltering(), 60000);
        const auto [kept, numbers] = GrepLines(text, pattern, expression);
        QVERIFY(!numbers.empty());
        QVERIFY(TestSupport::TextOf(view) == kept);
        QVERIFY(view->GetFileLineNumbers() == numbers);
    }
    // Ctrl+double-click on an output line: the whole file, at that line.
    const auto [kept, numbers] =
        GrepLines(text, russian ? u"^2026.* line [0-9]*3 .*шибка"_s : u"line [0-9]*6 .*Grüße"_s, true);
    const std::size_t pick = numbers.size() / 2;
    const long position =
        view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(pick));
    QVERIFY(view->GoToFileLineAt(position));
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoading() && !view->GetShowsFilteredText(), 30000);
    QTRY_COMPARE(view->GetCaretLine(), numbers[pick]);
    QVERIFY(TestSupport::TextOf(view) == text);

    // Saved with no edit: the file's own bytes, mark and all.
    const QString copy = m_pDir->filePath(u"copy.log"_s);
    QVERIFY(view->SaveAs(copy));
    QVERIFY(TestSupport::ReadFile(copy) == bytes);
    // An edit goes back through the encoding: what iconv makes of the edited text.
    const QByteArray added = russian ? QByteArray("Новая строка\n") : QByteArray("Neue Zeile für Öl\n");
    view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0);
    view->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, static_cast<unsigned long>(added.size()), added.constData());
    QVERIFY(view->IsTextModified());
    QVERIFY(view->WriteViewText());
    QVERIFY(TestSupport::ReadFile(copy) == mark + Iconv(added + text, u"UTF-8"_s, encoding));
    QVERIFY(m_pWorkspace->GetReports().empty());
}

void TestEncodedView::aCharacterTheEncodingCannotHoldIsNotSaved()
{
    const QByteArray text = MakeLog(GermanLines, 200);
    const QByteArray bytes = Iconv(text, u"UTF-8"_s, u"ISO-8859-1"_s);
    const QString path = m_pDir->filePath(u"latin.log"_s);
    QVERIFY(TestSupport::WriteFile(path, bytes));
    COstrelView* view = Open(path);
    QVERIFY(view);
    QVERIFY(!view->GetTextEncoding().Get().IsUtf8());
    const long lineStart = view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 3ul);
    view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(lineStart));
    const QByteArray cyrillic("Ж");
    view->SendScintilla(QsciScintillaBase::SCI_ADDTEXT, static_cast<unsigned long>(cyrillic.size()),
                        cyrillic.constData());
    QVERIFY(!view->WriteViewText());
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.constFirst().contains(u"Line 4 holds \"Ж\""_s), qPrintable(reports.constFirst()));
    QVERIFY(TestSupport::ReadFile(path) == bytes);
    QVERIFY(view->IsTextModified());
}

void TestEncodedView::choosingAnEncodingReadsTheFileAgain()
{
    const QByteArray text = MakeLog(RussianLines, 3000);
    const QByteArray bytes = Iconv(text, u"UTF-8"_s, u"KOI8-R"_s);
    const QString path = m_pDir->filePath(u"koi8.log"_s);
    QVERIFY(TestSupport::WriteFile(path, bytes));
    COstrelView* view = Open(path);
    QVERIFY(view);
    QCOMPARE(view->GetTextEncoding().AutoText(), u"&Auto (KOI8-R)"_s);
    QVERIFY(TestSupport::TextOf(view) == text);
    view->GoToLine(1200);
    QCOMPARE(view->GetCaretLine(), 1200);

    // Read as Windows-1251 the same bytes are other letters: what iconv reads them as.
    QVERIFY(view->ChooseEncoding("WINDOWS-1251"));
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoading(), 30000);
    QCOMPARE(view->GetTextEncoding().ShownName(), u"Windows-1251"_s);
    QVERIFY(TestSupport::TextOf(view) == Iconv(bytes, u"WINDOWS-1251"_s, u"UTF-8"_s));
    QCOMPARE(view->GetCaretLine(), 1200);
    QCOMPARE(view->GetGoToLineCount(), text.count('\n') + 1);
    // A filter run decodes the file as the view does.
    FilterSettings settings;
    const QByteArray word = Iconv(Iconv("Ошибка", u"UTF-8"_s, u"KOI8-R"_s), u"WINDOWS-1251"_s, u"UTF-8"_s);
    settings.AddFilter(QString::fromUtf8(word).toStdU16String(), 0);
    QVERIFY(view->GetDocument()->ApplyFilters(settings));
    QTRY_VERIFY(!view->GetDocument()->IsFiltering());
    QCOMPARE(view->GetFileLineNumbers(), GrepLines(text, u"Ошибка"_s, false).second);

    // As UTF-8 the bytes are shown as they are.
    QVERIFY(view->ChooseEncoding("UTF-8"));
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoading() && !view->GetShowsFilteredText(), 30000);
    QVERIFY(TestSupport::TextOf(view) == bytes);
    // Auto again: the text as the file tells.
    QVERIFY(view->ChooseEncoding(std::string()));
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoading(), 30000);
    QVERIFY(TestSupport::TextOf(view) == text);
    QVERIFY(m_pWorkspace->GetReports().empty());
}

void TestEncodedView::utf8StaysByteForByte()
{
    // Valid UTF-8, with its mark, and invalid bytes that are not text (zeros): all shown as they are.
    const QByteArray utf8 = "\xef\xbb\xbf" + MakeLog(RussianLines, 500);
    QByteArray binary = MakeLog(GermanLines, 50);
    binary[100] = '\0';
    binary[2000] = '\xff';
    for (const QByteArray& bytes : {utf8, binary}) {
        const QString path = m_pDir->filePath(u"plain.log"_s);
        QVERIFY(TestSupport::WriteFile(path, bytes));
        COstrelView* view = Open(path);
        QVERIFY(view);
        QVERIFY(view->GetTextEncoding().Get().IsUtf8());
        QVERIFY(view->GetTextEncoding().RunEncoding().empty());
        QVERIFY(TestSupport::TextOf(view) == bytes);
        QVERIFY(view->SaveAs(m_pDir->filePath(u"copy.log"_s)));
        QVERIFY(TestSupport::ReadFile(m_pDir->filePath(u"copy.log"_s)) == bytes);
        m_pWorkspace.reset();
        m_pWorkspace = std::make_unique<TestWorkspace>();
    }
}

OSTREL_QT_TEST_MAIN(TestEncodedView, QApplication)
#include "TestEncodedView.moc"
