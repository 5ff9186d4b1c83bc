// SPDX-License-Identifier: GPL-3.0-or-later
// A rotated set shown as one document: its files oldest first in the paged view, each line
// numbered in its own file, the start of each file marked, files that cannot be read left out
// with their reason, and filtering refused with the reason.
#include <memory>
#include <unistd.h>

#include <QProcess>

#include "document/COstrelDoc.h"
#include "filtering/FilterSettings.h"
#include "support/QtTestSupport.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;
using namespace Qt::StringLiterals;

namespace {

QByteArray MemberLines(const QByteArray& name, int lines)
{
    QByteArray text;
    for (int line = 1; line <= lines; ++line)
        text += name + " line " + QByteArray::number(line) + '\n';
    return text;
}

bool Gzip(const QString& from, const QString& to)
{
    QProcess process;
    process.setStandardInputFile(from);
    process.setStandardOutputFile(to);
    process.start(u"gzip"_s, {u"-c"_s});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class TestRotatedSetView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheFilesOldestFirstNumberedInEach();
    void filesThatCannotBeReadAreLeftOutAndNamed();
    void filteringTheSetIsRefusedWithTheReason();

private:
    // A document and view of their own for the set the file belongs to; null when it does not open.
    COstrelView* OpenSet(const QString& path);
    static bool WaitForIndex(COstrelView* view);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
    std::unique_ptr<COstrelDoc> m_pDocument;
    std::unique_ptr<COstrelView> m_pView;
    QByteArray m_Expected; // the set's text, oldest file first
};

void TestRotatedSetView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    // Three files: packed, without a final line feed, and the live one.
    const QByteArray oldest = MemberLines("two", 40);
    const QByteArray older = MemberLines("one", 30) + "one without a line feed";
    const QByteArray live = MemberLines("live", 20);
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"plain-two"_s), oldest));
    QVERIFY(Gzip(m_pDir->filePath(u"plain-two"_s), m_pDir->filePath(u"app.log.2.gz"_s)));
    QVERIFY(QFile::remove(m_pDir->filePath(u"plain-two"_s)));
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"app.log.1"_s), older));
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"app.log"_s), live));
    m_Expected = oldest + older + '\n' + live;
}

void TestRotatedSetView::cleanup()
{
    if (m_pDocument)
        m_pDocument->OnCloseDocument();
    m_pView.reset();
    m_pDocument.reset();
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestRotatedSetView::OpenSet(const QString& path)
{
    m_pDocument = std::make_unique<COstrelDoc>();
    m_pView = std::make_unique<COstrelView>(m_pDocument.get(), m_pWorkspace.get());
    m_pDocument->SetView(m_pView.get());
    m_pView->OnInitialUpdate();
    m_pView->SetLineNumbersShown(true);
    m_pView->resize(800, 1200);
    m_pView->show();
    if (!QTest::qWaitForWindowExposed(m_pView.get()))
        return nullptr;
    return m_pDocument->OnOpenRotatedSet(path) ? m_pView.get() : nullptr;
}

bool TestRotatedSetView::WaitForIndex(COstrelView* view)
{
    return QTest::qWaitFor(
        [view] {
            return view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving();
        },
        20000);
}

void TestRotatedSetView::showsTheFilesOldestFirstNumberedInEach()
{
    // Any file of the set opens all of it.
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log.1"_s));
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    QVERIFY(m_pWorkspace->TakeReports().isEmpty());
    QVERIFY(view->IsPaged() && view->IsRotatedSet());
    QVERIFY(view->isReadOnly());
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);
    QCOMPARE(m_pDocument->GetTitle(), u"app.log (set)"_s);
    QCOMPARE(m_pDocument->GetPathName(), m_pDir->filePath(u"app.log"_s));
    const QStringList files = {m_pDir->filePath(u"app.log.2.gz"_s), m_pDir->filePath(u"app.log.1"_s),
                               m_pDir->filePath(u"app.log"_s)};
    QCOMPARE(m_pDocument->GetRotatedSetFiles(), files);
    const QString tip = m_pDocument->GetToolTip();
    for (const QString& file : files)
        QVERIFY2(tip.contains(file), qPrintable(tip));
    QTRY_COMPARE(view->GetStatusNote(), u"Read-only: a rotated set of 3 files, oldest first"_s);
    // Go To counts the lines of the whole set: 40 + 31 + 20 and the empty one after the last.
    QCOMPARE(view->GetGoToLineCount(), 92);

    // Each line numbered in its own file; the first line of each later file marked, also in the margin.
    struct Case
    {
        std::int64_t ViewLine;
        std::int64_t FileLine;
        bool StartsFile;
        QString Name;
    };
    const Case cases[] = {
        {0, 1, false, u"app.log.2.gz"_s}, {39, 40, false, u"app.log.2.gz"_s}, {40, 1, true, u"app.log.1"_s},
        {70, 31, false, u"app.log.1"_s},  {71, 1, true, u"app.log"_s},        {90, 20, false, u"app.log"_s},
    };
    for (const Case& c : cases) {
        const ShownLineOrigin origin = view->OriginOfViewLine(c.ViewLine);
        QCOMPARE(origin.FileLine, c.FileLine);
        QCOMPARE(origin.StartsFile, c.StartsFile);
        const auto line = static_cast<unsigned long>(c.ViewLine);
        const long style = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, line);
        const long before = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, line > 0 ? line - 1 : 1);
        QVERIFY2((style != before) == c.StartsFile, qPrintable(u"view line %1"_s.arg(c.ViewLine)));
        view->GoToLine(c.ViewLine + 1);
        QString name;
        std::int64_t lineInFile = 0;
        QTRY_VERIFY(view->GetCaretFilePlace(name, lineInFile) && lineInFile == c.FileLine);
        QCOMPARE(name, c.Name);
        QCOMPARE(view->GetCaretLine(), c.ViewLine + 1);
    }

    // Read anew (Delete All Filters does so): the set again, not its live file alone.
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);
    QVERIFY(view->IsRotatedSet());
}

void TestRotatedSetView::filesThatCannotBeReadAreLeftOutAndNamed()
{
    // One file rotated away between listing and reading; as another user, one that cannot be read.
    QStringList files = {m_pDir->filePath(u"app.log.3"_s), m_pDir->filePath(u"app.log.2.gz"_s),
                         m_pDir->filePath(u"app.log"_s)};
    const bool locked = ::geteuid() != 0;
    if (locked) {
        QVERIFY(QFile::setPermissions(m_pDir->filePath(u"app.log.1"_s), QFileDevice::Permissions()));
        files.insert(2, m_pDir->filePath(u"app.log.1"_s));
    }
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log"_s));
    QVERIFY(view);
    QVERIFY(view->LoadRotatedSet(files));
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(TestSupport::TextOf(view), MemberLines("two", 40) + MemberLines("live", 20));
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(u"left out"_s), qPrintable(reports.first()));
    QVERIFY2(reports.first().contains(m_pDir->filePath(u"app.log.3"_s) + u": No such file or directory"_s),
             qPrintable(reports.first()));
    if (locked)
        QVERIFY2(reports.first().contains(m_pDir->filePath(u"app.log.1"_s) + u": Permission denied"_s),
                 qPrintable(reports.first()));

    // None left: nothing opens, and the message says why.
    QVERIFY(!view->LoadRotatedSet({m_pDir->filePath(u"app.log.3"_s)}));
    const QStringList failed = m_pWorkspace->TakeReports();
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().contains(u"Failed to open document."_s), qPrintable(failed.first()));
    QVERIFY2(failed.first().contains(u"No such file or directory"_s), qPrintable(failed.first()));
}

void TestRotatedSetView::filteringTheSetIsRefusedWithTheReason()
{
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log"_s));
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    FilterSettings settings;
    settings.AddFilter(u"line 1"_s.toStdU16String(), 0);
    QVERIFY(!m_pDocument->ApplyFilters(settings));
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(u"ostrel-filter --set"_s), qPrintable(reports.first()));
    QVERIFY(!view->GetShowsFilteredText());
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);
    // Follow is not for a set: it stays off.
    m_pDocument->SetFollow(true, false);
    QVERIFY(!view->GetFollow());
}

OSTREL_QT_TEST_MAIN(TestRotatedSetView, QApplication)

#include "TestRotatedSetView.moc"
