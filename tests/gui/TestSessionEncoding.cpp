// SPDX-License-Identifier: GPL-3.0-or-later
// The encoding chosen for a document in View > Encoding, kept in the session and used again when
// the next start opens the document; auto stays auto, and a session written before reads as ever.
#include <QProcess>
#include <QSettings>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CSession.h"
#include "document/COstrelDoc.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"

using namespace Qt::StringLiterals;

namespace {

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

COstrelView* ViewOf(const CMainFrame& frame, int index)
{
    return frame.GetDocumentArea()->GetChildFrames().at(index)->GetView();
}

} // namespace

class TestSessionEncoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void aChosenEncodingIsKeptAndUsedAgain();

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestSessionEncoding::init()
{
    COstrelSettings().clear();
    m_pDir = std::make_unique<QTemporaryDir>();
}

void TestSessionEncoding::cleanup()
{
    m_pDir.reset();
}

void TestSessionEncoding::aChosenEncodingIsKeptAndUsedAgain()
{
    // KOI8-R bytes, which the file's first bytes tell as KOI8-R: read as Windows-1251 by choice.
    QByteArray text;
    for (int line = 1; line <= 300; ++line)
        text += "2026-12-11 10:00:00 строка " + QByteArray::number(line) + " Ошибка соединения с сервером\n";
    const QByteArray bytes = Iconv(text, u"UTF-8"_s, u"KOI8-R"_s);
    const QString chosenPath = m_pDir->filePath(u"chosen.log"_s);
    const QString autoPath = m_pDir->filePath(u"auto.log"_s);
    QVERIFY(TestSupport::WriteFile(chosenPath, bytes));
    QVERIFY(TestSupport::WriteFile(autoPath, bytes));
    const QByteArray asWindows = Iconv(bytes, u"WINDOWS-1251"_s, u"UTF-8"_s);
    QVERIFY(asWindows != text);

    const QString settingsPath = m_pDir->filePath(u"session.ini"_s);
    {
        CMainFrame frame;
        frame.show();
        COstrelDoc* chosen = frame.OpenDocumentFile(chosenPath);
        COstrelDoc* automatic = frame.OpenDocumentFile(autoPath);
        QVERIFY(chosen && automatic);
        QTRY_VERIFY(!chosen->GetView()->IsLoading() && !automatic->GetView()->IsLoading());
        QVERIFY(chosen->GetView()->ChooseEncoding("WINDOWS-1251"));
        QTRY_VERIFY(!chosen->GetView()->IsLoading());
        QVERIFY(TestSupport::TextOf(chosen->GetView()) == asWindows);
        QSettings settings(settingsPath, QSettings::IniFormat);
        CSession::Capture(*frame.GetDocumentArea()).Write(settings);
    }
    QSettings settings(settingsPath, QSettings::IniFormat);
    const CSession read = CSession::Read(settings);
    QCOMPARE(read.GetDocuments().size(), std::size_t(2));
    QCOMPARE(read.GetDocuments().at(0).Encoding, u"WINDOWS-1251"_s);
    QVERIFY(read.GetDocuments().at(1).Encoding.isEmpty());
    // Auto writes no key at all.
    settings.beginReadArray(u"Session/Documents"_s);
    settings.setArrayIndex(1);
    QVERIFY(!settings.contains(u"Encoding"_s));
    settings.endArray();

    // The next start: the chosen document in its encoding, the other as its bytes tell.
    {
        CMainFrame restored;
        restored.show();
        QVERIFY(read.Restore(restored).isEmpty());
        QCOMPARE(restored.GetOpenDocuments().size(), 2);
        for (int i = 0; i < 2; ++i) {
            COstrelView* view = ViewOf(restored, i);
            // A tab not shown yet reads its file once it is shown.
            restored.GetDocumentArea()->SetActiveChildFrame(restored.GetDocumentArea()->GetChildFrames().at(i));
            QTRY_VERIFY(!view->GetDocument()->IsLoadPending() && !view->IsLoading());
        }
        QCOMPARE(ViewOf(restored, 0)->GetTextEncoding().GetChosen(), std::string("WINDOWS-1251"));
        QVERIFY(TestSupport::TextOf(ViewOf(restored, 0)) == asWindows);
        QVERIFY(ViewOf(restored, 1)->GetTextEncoding().GetChosen().empty());
        QVERIFY(TestSupport::TextOf(ViewOf(restored, 1)) == text);
    }

    // A session written before the key existed: both read as their bytes tell.
    settings.beginWriteArray(u"Session/Documents"_s);
    settings.setArrayIndex(0);
    settings.remove(u"Encoding"_s);
    settings.endArray();
    const CSession old = CSession::Read(settings);
    QVERIFY(old.GetDocuments().at(0).Encoding.isEmpty());
    CMainFrame restored;
    restored.show();
    QVERIFY(old.Restore(restored).isEmpty());
    restored.GetDocumentArea()->SetActiveChildFrame(restored.GetDocumentArea()->GetChildFrames().at(0));
    QTRY_VERIFY(!ViewOf(restored, 0)->GetDocument()->IsLoadPending() && !ViewOf(restored, 0)->IsLoading());
    QVERIFY(ViewOf(restored, 0)->GetTextEncoding().GetChosen().empty());
    QVERIFY(TestSupport::TextOf(ViewOf(restored, 0)) == text);
}

OSTREL_QT_TEST_MAIN(TestSessionEncoding, COstrelApp)
#include "TestSessionEncoding.moc"
