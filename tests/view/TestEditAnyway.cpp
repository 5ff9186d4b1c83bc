// SPDX-License-Identifier: GPL-3.0-or-later
// Edit Anyway: a file shown paged for its size loaded whole into the editor once the user agrees,
// at the place the paged view showed; a load cancelled, declined or out of memory leaves the
// paged view as it was.

#include <atomic>

#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>

#include "filtering/OutputLine.h"
#include "support/QtTestSupport.h"
#include "view/CEditAnyway.h"
#include "view/CPagedText.h"
#include "view/CViewBookmarks.h"
#include "view/ILoader.h"

using TestSupport::TestWorkspace;

namespace {

constexpr std::int64_t Megabyte = 1024 * 1024;

QByteArray NumberedLog(std::int64_t bytes)
{
    QByteArray log;
    log.reserve(bytes + 200);
    for (int line = 1; log.size() < bytes; ++line)
        log += "line " + QByteArray::number(line) + ' ' + QByteArray(line % 37, 'x') + '\n';
    return log;
}

std::int64_t TopViewLine(COstrelView* view)
{
    const CEditor& editor = view->GetEditor();
    return editor.DocumentLineFromVisible(editor.GetFirstVisibleLine());
}

QByteArray ViewLineText(COstrelView* view, std::int64_t viewLine)
{
    const CEditor& editor = view->GetEditor();
    const std::int64_t start = editor.PositionFromLine(viewLine);
    return TestSupport::TextOf(view).mid(start, editor.GetLineEndPosition(viewLine) - start);
}

// What the user sees of a paged view: where its window lies in the file, its text, the caret
// and the line at the top.
struct PagedPlace
{
    std::uint64_t WindowStart = 0;
    QByteArray Text;
    std::int64_t Caret = 0;
    std::int64_t Anchor = 0;
    std::int64_t TopLine = 0;
    std::int64_t CaretLine = 0;
    bool operator==(const PagedPlace&) const = default;
};

PagedPlace PlaceOf(COstrelView* view)
{
    const CEditor& editor = view->GetEditor();
    return {view->GetPagedText() ? view->GetPagedText()->GetWindowStart() : 0,
            TestSupport::TextOf(view),
            editor.GetCurrentPosition(),
            editor.GetAnchor(),
            TopViewLine(view),
            view->GetCaretLine()};
}

QProgressDialog* ProgressWindowOf(COstrelView* view)
{
    return view->findChild<QProgressDialog*>(QStringLiteral("editAnywayProgressDlg"));
}

// A document loader that takes `room` bytes and then runs out of memory, as the editor's does.
class ShortOfMemoryLoader final : public ILoader
{
public:
    explicit ShortOfMemoryLoader(std::int64_t room, std::atomic<int>& released) : m_nRoom(room), m_Released(released) {}
    int Release() override
    {
        ++m_Released;
        delete this;
        return 0;
    }
    int AddData(const char*, std::ptrdiff_t length) override
    {
        m_nRoom -= length;
        return m_nRoom < 0 ? QsciScintillaBase::SC_STATUS_BADALLOC : QsciScintillaBase::SC_STATUS_OK;
    }
    void* ConvertToDocument() override { return nullptr; }

private:
    ~ShortOfMemoryLoader() = default;

    std::int64_t m_nRoom;
    std::atomic<int>& m_Released;
};

} // namespace

class TestEditAnyway : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadsTheWholeFileAtTheSameLineEditable();
    void theFileStaysWholeOnceEditedAnyway();
    void cancelLeavesThePagedViewAsItWas();
    void declinedByDefaultChangesNothing();
    void outOfMemoryKeepsThePagedView_data();
    void outOfMemoryKeepsThePagedView();
    void wrappedViewLoadsUnwrapped();
    void offeredOnlyForAPagedPlainFile();

private:
    COstrelView* Open(const QByteArray& bytes, const QString& name = QStringLiteral("big.log"));
    static bool WaitForIndex(COstrelView* view);
    // Edit Anyway answered Yes, until the whole text is in; false when it did not start.
    bool EditAnyway(COstrelView* view);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestEditAnyway::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    m_pWorkspace->SetPagedViewThreshold(Megabyte);
}

void TestEditAnyway::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestEditAnyway::Open(const QByteArray& bytes, const QString& name)
{
    const QString path = m_pDir->filePath(name);
    if (!TestSupport::WriteFile(path, bytes))
        return nullptr;
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(800, 600);
    view->show();
    return QTest::qWaitForWindowExposed(view) ? view : nullptr;
}

bool TestEditAnyway::WaitForIndex(COstrelView* view)
{
    return QTest::qWaitFor(
        [view] {
            return view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving();
        },
        20000);
}

bool TestEditAnyway::EditAnyway(COstrelView* view)
{
    m_pWorkspace->SetAnswer(QMessageBox::Yes);
    if (!view->GetEditAnyway().Start())
        return false;
    return QTest::qWaitFor([view] { return !view->GetEditAnyway().IsLoading(); }, 30000);
}

void TestEditAnyway::loadsTheWholeFileAtTheSameLineEditable()
{
    const QByteArray log = NumberedLog(6 * Megabyte);
    const auto lineCount = static_cast<std::int64_t>(log.count('\n')) + 1;
    COstrelView* view = Open(log);
    QVERIFY(view && view->IsPaged());
    QVERIFY(WaitForIndex(view));
    // A line far into the file, bookmarked, with the caret a few bytes into it.
    view->GoToLine(150001);
    QTRY_VERIFY(!view->GetPagedText()->IsMoving() && view->GetCaretLine() == 150001);
    view->GetBookmarks().ToggleAtCaret();
    CEditor& editor = view->GetEditor();
    editor.SetSelection(editor.GetCurrentPosition() + 3, editor.GetCurrentPosition() + 5);
    // What the paged view shows when the whole text takes its place (the paged view may have
    // moved its window meanwhile).
    PagedPlace before;
    QByteArray topText;
    const QMetaObject::Connection watch =
        connect(view, &COstrelView::TextAboutToChange, this, [&](COstrelView::TextChange change) {
            // The paged view's own window changes come while the load is under way.
            if (change != COstrelView::TextChange::Replacing || view->GetEditAnyway().IsLoading() || !view->IsPaged())
                return;
            before = PlaceOf(view);
            topText = ViewLineText(view, before.TopLine);
        });

    QVERIFY(EditAnyway(view));
    disconnect(watch);
    QVERIFY(!topText.isEmpty());
    QCOMPARE(m_pWorkspace->GetQuestions().size(), std::size_t(1));
    const CQuestion& question = m_pWorkspace->GetQuestions().front();
    QCOMPARE(question.Name, QStringLiteral("editAnywayBox"));
    QVERIFY2(question.Text.contains(QStringLiteral("\"big.log\"")) && question.Text.contains(QStringLiteral("MB")),
             qPrintable(question.Text));
    QVERIFY(m_pWorkspace->GetReports().empty());

    // The whole file, editable and unmodified, where the paged view was.
    QVERIFY(!view->IsPaged());
    QVERIFY(!view->isReadOnly());
    QVERIFY(!view->IsTextModified());
    QVERIFY(TestSupport::TextOf(view) == log);
    QCOMPARE(view->GetCaretLine(), 150001);
    QCOMPARE(editor.GetCurrentPosition(), static_cast<std::int64_t>(before.WindowStart) + before.Caret);
    QCOMPARE(editor.GetAnchor(), static_cast<std::int64_t>(before.WindowStart) + before.Anchor);
    QCOMPARE(ViewLineText(view, TopViewLine(view)), topText);
    QVERIFY(view->GetStatusNote().isEmpty());
    QCOMPARE(view->GetGoToLineCount(), lineCount);
    // The bookmark is the file line's still (marks are put on the lines on screen).
    view->GoToLine(150001);
    QTRY_VERIFY(view->GetBookmarks().IsMarked(150000));
    QVERIFY(!view->GetEditAnyway().CanStart());

    // Typing edits the file's text.
    editor.SetSelection(0, 0);
    QTest::keyClicks(view, QStringLiteral("typed "));
    QVERIFY(view->IsTextModified());
    QVERIFY(TestSupport::TextOf(view).startsWith("typed line 1 x\n"));
}

void TestEditAnyway::theFileStaysWholeOnceEditedAnyway()
{
    const QByteArray log = NumberedLog(2 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && view->IsPaged());
    QVERIFY(EditAnyway(view));
    QVERIFY(!view->IsPaged());

    // Read again (as Ctrl+T or Ctrl+double-click do), it loads whole, not paged.
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(!view->IsPaged());
    QTRY_VERIFY(!view->IsLoading());
    QVERIFY(TestSupport::TextOf(view) == log);

    // Followed past the limit a followed whole file has, it stays whole too.
    view->SetFollowedEditorLimit(static_cast<long>(log.size()) + 10);
    view->SetFollow(true);
    const QByteArray more = NumberedLog(64 * 1024);
    QVERIFY(TestSupport::AppendFile(m_pDir->filePath(QStringLiteral("big.log")), more));
    QTRY_COMPARE(view->GetEditor().GetLength(), static_cast<std::int64_t>(log.size() + more.size()));
    QVERIFY(!view->IsPaged());
    QVERIFY(TestSupport::TextOf(view) == log + more);

    // Another view of a file that big is paged as ever.
    COstrelView* other = Open(log, QStringLiteral("other.log"));
    QVERIFY(other && other->IsPaged());
}

void TestEditAnyway::cancelLeavesThePagedViewAsItWas()
{
    // Big enough that the load goes on for a while; Cancel is pressed before control goes back
    // to the event loop, where the end of the load would be told.
    const QByteArray log = NumberedLog(48 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    view->GoToLine(400000);
    QTRY_VERIFY(!view->GetPagedText()->IsMoving() && view->GetCaretLine() == 400000);
    const QString note = QStringLiteral("Read-only: the file is larger than the editing limit");
    QTRY_COMPARE(view->GetStatusNote(), note);
    m_pWorkspace->SetAnswer(QMessageBox::Yes);

    // Cancel, then the close box, which cancels as well. From Start to the check no event is
    // handled, so nothing but Edit Anyway could have changed the paged view.
    for (const bool closeBox : {false, true}) {
        const PagedPlace before = PlaceOf(view);
        QVERIFY(view->GetEditAnyway().Start());
        QPointer<QProgressDialog> progress = ProgressWindowOf(view);
        QVERIFY(progress && progress->isVisible());
        QVERIFY(view->GetEditAnyway().IsLoading());
        QVERIFY(progress->value() < 100);
        QVERIFY(!view->GetEditAnyway().CanStart());
        if (closeBox) {
            progress->close();
        } else {
            auto* cancel = progress->findChild<QPushButton*>();
            QVERIFY(cancel);
            cancel->click();
        }
        QVERIFY(!view->GetEditAnyway().IsLoading());
        QVERIFY(view->IsPaged());
        QVERIFY(view->isReadOnly());
        QVERIFY(PlaceOf(view) == before);
        QCOMPARE(view->GetStatusNote(), note);
        QVERIFY(view->GetEditAnyway().CanStart());
        QTRY_VERIFY(!progress);
        // Nothing of the load comes later.
        QVERIFY(view->IsPaged() && !view->IsTextModified());
    }
    QVERIFY(m_pWorkspace->GetReports().empty());

    // Closing the document while it loads stops the load with it.
    QVERIFY(view->GetEditAnyway().Start());
    QPointer<QProgressDialog> progress = ProgressWindowOf(view);
    QVERIFY(progress);
    m_pWorkspace->CloseDocument(view->GetDocument());
    QVERIFY(!progress);
}

void TestEditAnyway::declinedByDefaultChangesNothing()
{
    COstrelView* view = Open(NumberedLog(3 * Megabyte));
    QVERIFY(view && WaitForIndex(view));
    view->GoToLine(20000);
    QTRY_VERIFY(!view->GetPagedText()->IsMoving());
    const PagedPlace before = PlaceOf(view);

    // No is the default answer: a big load is not started by a stray Enter.
    QVERIFY(!view->GetEditAnyway().Start());
    QCOMPARE(m_pWorkspace->GetQuestions().size(), std::size_t(1));
    QCOMPARE(m_pWorkspace->GetQuestions().front().DefaultButton, static_cast<int>(QMessageBox::No));
    QVERIFY(!view->GetEditAnyway().IsLoading());
    QVERIFY(!ProgressWindowOf(view));
    QVERIFY(view->IsPaged());
    QVERIFY(PlaceOf(view) == before);
    QVERIFY(view->GetEditAnyway().CanStart());
}

void TestEditAnyway::outOfMemoryKeepsThePagedView_data()
{
    QTest::addColumn<std::int64_t>("room");
    // -1: no document at all; else the bytes taken before the memory runs out.
    QTest::newRow("no room for the document") << std::int64_t(-1);
    QTest::newRow("runs out halfway") << 2 * Megabyte;
}

void TestEditAnyway::outOfMemoryKeepsThePagedView()
{
    QFETCH(std::int64_t, room);
    COstrelView* view = Open(NumberedLog(5 * Megabyte));
    QVERIFY(view && WaitForIndex(view));
    view->GoToLine(30000);
    QTRY_VERIFY(!view->GetPagedText()->IsMoving());
    const PagedPlace before = PlaceOf(view);
    std::atomic<int> released{0};
    view->GetEditAnyway().SetLoaderFactory([room, &released](std::int64_t) -> ILoader* {
        return room < 0 ? nullptr : new ShortOfMemoryLoader(room, released);
    });

    QVERIFY(EditAnyway(view));
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.front().contains(QStringLiteral("Out of memory")) &&
                 reports.front().contains(QStringLiteral("\"big.log\"")),
             qPrintable(reports.front()));
    QCOMPARE(released.load(), room < 0 ? 0 : 1);
    QVERIFY(!ProgressWindowOf(view) || !ProgressWindowOf(view)->isVisible());
    QVERIFY(view->IsPaged());
    QVERIFY(view->isReadOnly());
    // The caret where it was in the file (the paged view itself may have moved its window).
    const PagedPlace after = PlaceOf(view);
    QCOMPARE(after.WindowStart + after.Caret, before.WindowStart + before.Caret);
    QCOMPARE(after.WindowStart + after.Anchor, before.WindowStart + before.Anchor);
    QVERIFY(view->GetEditAnyway().CanStart());
}

void TestEditAnyway::wrappedViewLoadsUnwrapped()
{
    const QByteArray log = NumberedLog(2 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && view->IsPaged());
    view->SetWordWrap(COstrelView::WrapToWindow);
    QVERIFY(view->IsPaged());
    QVERIFY(view->GetEditAnyway().CanStart());
    QVERIFY(WaitForIndex(view));
    view->GoToLine(5000);
    QTRY_VERIFY(!view->GetPagedText()->IsMoving() && view->GetCaretLine() == 5000);

    QVERIFY(EditAnyway(view));
    QVERIFY2(m_pWorkspace->GetQuestions().front().Text.contains(QStringLiteral("Word Wrap")),
             qPrintable(m_pWorkspace->GetQuestions().front().Text));
    QVERIFY(!view->IsPaged());
    QCOMPARE(view->GetWordWrap(), static_cast<int>(COstrelView::WrapNone));
    QCOMPARE(view->GetCaretLine(), 5000);
    QVERIFY(TestSupport::TextOf(view) == log);
}

void TestEditAnyway::offeredOnlyForAPagedPlainFile()
{
    const QByteArray log = NumberedLog(2 * Megabyte);

    // A file the editor holds anyway.
    COstrelView* small = Open(NumberedLog(Megabyte / 2), QStringLiteral("small.log"));
    QVERIFY(small && !small->IsPaged());
    QVERIFY(!small->GetEditAnyway().CanStart());
    QVERIFY(!small->GetEditAnyway().Start());
    QVERIFY(m_pWorkspace->GetQuestions().empty());

    // A text paged only while it is wrapped: the editor holds it unwrapped.
    COstrelView* wrapped = Open(NumberedLog(512 * 1024), QStringLiteral("wrapped.log"));
    QVERIFY(wrapped && !wrapped->IsPaged());
    wrapped->SetWordWrap(COstrelView::WrapToWindow);
    QVERIFY(wrapped->IsPaged());
    QVERIFY(!wrapped->GetEditAnyway().CanStart());

    // A compressed file: the editor would hold its packed bytes.
    const QString plain = m_pDir->filePath(QStringLiteral("packed.log"));
    QVERIFY(TestSupport::WriteFile(plain, log));
    QCOMPARE(QProcess::execute(QStringLiteral("gzip"), {QStringLiteral("-f"), plain}), 0);
    COstrelDoc* packed = m_pWorkspace->OpenDocumentFile(plain + QStringLiteral(".gz"));
    QVERIFY(packed && packed->GetView()->IsPaged());
    QVERIFY(!packed->GetView()->GetEditAnyway().CanStart());

    // A rotated set is no one file.
    COstrelView* set = Open(log, QStringLiteral("app.log"));
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(QStringLiteral("app.log.1")), log));
    QVERIFY(set && set->LoadRotatedSet(
                       {m_pDir->filePath(QStringLiteral("app.log.1")), m_pDir->filePath(QStringLiteral("app.log"))}));
    QVERIFY(set->IsRotatedSet());
    QVERIFY(!set->GetEditAnyway().CanStart());

    // Filter output beyond the limit, paged from a file of its own.
    COstrelView* output = Open(log, QStringLiteral("output.log"));
    QVERIFY(output && output->GetEditAnyway().CanStart());
    output->BeginFilterOutput();
    OutputBatch batch;
    const QList<QByteArray> lines = log.split('\n');
    for (int number = 1; batch.Text.size() < static_cast<std::size_t>(Megabyte + Megabyte / 4); ++number) {
        const QByteArray line = lines.at(number - 1) + '\n';
        batch.Append(number, std::string_view(line.constData(), static_cast<std::size_t>(line.size())), false);
    }
    output->AppendOutputLines(batch);
    output->EndFilterOutput();
    QVERIFY(output->IsPaged() && output->GetShowsFilteredText());
    QVERIFY(!output->GetEditAnyway().CanStart());

    QVERIFY(m_pWorkspace->GetQuestions().empty());
}

QTEST_MAIN(TestEditAnyway)

#include "TestEditAnyway.moc"
