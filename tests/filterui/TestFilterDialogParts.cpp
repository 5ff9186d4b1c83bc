// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "filtering/FilterSettings.h"
#include "filterui/CDelayedToolTips.h"
#include "filterui/CFilterListRows.h"
#include "filterui/CFilterSettingsControls.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/FilterSettingsLayout.h"
#include "filterui/FilterStringField.h"
#include "regex/Regex.h"
#include "view/FilterColours.h"

using namespace Qt::Literals::StringLiterals;

// The pieces of the filter settings dialog on their own: its list rows, its layout, its tips and
// the check of a filter expression.
class TestFilterDialogParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsColourOnlyTheFiltersThatAreOn();
    void rowsReadBackWhatTheyShowAndReportOnlyUserSwitches();
    void layoutLeavesControlsAloneBelowItsMinimum();
    void layoutWidensListAndFieldWithTheDialog();
    void tipFormat_data();
    void tipFormat();
    void tipsSwitchedOffForgetWhatWaits();
    void expressionErrorIsTheParsersMessage_data();
    void expressionErrorIsTheParsersMessage();

private:
    static QColor Swatch(const CLastColumnAutoResizingListCtrl& list, int nRow);
    static QColor ColourOf(int nIndex);
};

QColor TestFilterDialogParts::Swatch(const CLastColumnAutoResizingListCtrl& list, int nRow)
{
    return list.topLevelItem(nRow)->data(ColumnFilter, Qt::DecorationRole).value<QColor>();
}

QColor TestFilterDialogParts::ColourOf(int nIndex)
{
    const std::uint32_t colour = FilterColour(nIndex);
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

void TestFilterDialogParts::rowsColourOnlyTheFiltersThatAreOn()
{
    CLastColumnAutoResizingListCtrl list;
    auto* pRows = new CFilterListRows(&list);
    FilterSettings settings;
    for (const char16_t* text : {u"one", u"two", u"three", u"four"})
        settings.AddFilter(text, 0);
    settings.SetEnabled(1, false);
    pRows->Refresh(settings);

    const QColor grey = list.palette().color(QPalette::Disabled, QPalette::Text);
    QCOMPARE(Swatch(list, 0), ColourOf(0));
    QCOMPARE(Swatch(list, 1), grey);
    // A run numbers only the filters that are on: the third row takes the second colour.
    QCOMPARE(Swatch(list, 2), ColourOf(1));
    QCOMPARE(Swatch(list, 3), ColourOf(2));

    // Removing a row recolours the rows after it.
    pRows->Remove(0);
    QCOMPARE(pRows->GetCount(), 3);
    QCOMPARE(Swatch(list, 0), grey);
    QCOMPARE(Swatch(list, 1), ColourOf(0));
    QCOMPARE(Swatch(list, 2), ColourOf(1));
}

void TestFilterDialogParts::rowsReadBackWhatTheyShowAndReportOnlyUserSwitches()
{
    CLastColumnAutoResizingListCtrl list;
    auto* pRows = new CFilterListRows(&list);
    QSignalSpy switched(pRows, &CFilterListRows::RowSwitched);
    FilterSettings settings;
    settings.AddFilter(u"a.*b", 1);
    settings.SetCaseSensitive(0, true);
    settings.SetOutputBeforeMatch(0, 3);
    settings.SetOutputAfterMatch(0, 12);
    settings.AddFilter(u"plain", 0);
    pRows->Refresh(settings);
    pRows->Append(settings, 1);

    const CFilterRowCells first = pRows->ReadRow(0);
    QCOMPARE(first.Filter, u"a.*b"_s);
    QVERIFY(first.RegExp);
    QVERIFY(first.CaseSensitive);
    QCOMPARE(first.LinesBefore, 3);
    QCOMPARE(first.LinesAfter, 12);
    const CFilterRowCells last = pRows->ReadRow(2);
    QCOMPARE(last.Filter, u"plain"_s);
    QVERIFY(!last.RegExp);
    QVERIFY(!last.CaseSensitive);
    QCOMPARE(last.LinesBefore, 0);
    QCOMPARE(switched.count(), 0); // filling rows is no switch of the user's

    list.topLevelItem(1)->setCheckState(ColumnFilter, Qt::Unchecked);
    QCOMPARE(switched.count(), 1);
    QCOMPARE(switched.at(0).at(0).toInt(), 1);
    QCOMPARE(switched.at(0).at(1).toBool(), false);
    // A change of another column is no switch either.
    list.topLevelItem(1)->setText(ColumnRegExp, u"X"_s);
    QCOMPARE(switched.count(), 1);

    list.topLevelItem(2)->setSelected(true);
    QCOMPARE(pRows->GetSelectedRow(), 2);
    pRows->Remove(2);
    QCOMPARE(pRows->GetSelectedRow(), -1);
}

void TestFilterDialogParts::layoutLeavesControlsAloneBelowItsMinimum()
{
    QDialog dialog;
    CFilterSettingsControls controls;
    controls.Create(dialog);
    const QRect before = controls.m_pApplyButton->geometry();
    for (const QSize size :
         {QSize(FilterSettingsLayoutMinWidth - 1, 600), QSize(500, FilterSettingsLayoutMinHeight - 1), QSize(0, 0)}) {
        const FilterSettingsLayoutResult result = LayOutFilterSettings(controls, size);
        QVERIFY2(!result.LaidOut, qPrintable(u"%1x%2"_s.arg(size.width()).arg(size.height())));
        QCOMPARE(controls.m_pApplyButton->geometry(), before);
    }
    const FilterSettingsLayoutResult result =
        LayOutFilterSettings(controls, QSize(FilterSettingsLayoutMinWidth, FilterSettingsLayoutMinHeight));
    QVERIFY(result.LaidOut);
    QVERIFY2(!result.ColumnsFitted, "a list not shown keeps its column widths");
    QCOMPARE(controls.m_pApplyButton->geometry().bottom(), FilterSettingsLayoutMinHeight - 45 + 33 - 1);
}

void TestFilterDialogParts::layoutWidensListAndFieldWithTheDialog()
{
    QDialog dialog;
    CFilterSettingsControls controls;
    controls.Create(dialog);
    LayOutFilterSettings(controls, QSize(364, 507));
    const QRect list = controls.m_pFilterList->geometry();
    const QRect field = controls.m_pFilterEdit->geometry();
    const QRect edit = controls.m_pEditButton->geometry();
    QVERIFY2(list.right() < edit.left(), "the button column stands right of the list");
    QVERIFY2(field.right() < controls.m_pAddButton->geometry().left(), "Add stands right of the field");

    LayOutFilterSettings(controls, QSize(364 + 100, 507 + 40));
    QCOMPARE(controls.m_pFilterList->geometry().width(), list.width() + 100);
    QCOMPARE(controls.m_pFilterList->geometry().height(), list.height() + 40);
    QCOMPARE(controls.m_pFilterEdit->geometry().width(), field.width() + 100);
    QCOMPARE(controls.m_pEditButton->geometry().left(), edit.left() + 100);
    QCOMPARE(controls.m_pEditButton->geometry().top(), edit.top());
    QCOMPARE(controls.m_pApplyButton->geometry().width(), 364 + 100 - 20);
}

void TestFilterDialogParts::tipFormat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("breakAnywhere");
    QTest::addColumn<QStringList>("contains");
    QTest::addColumn<QStringList>("lacks");
    const QString longText = QString(80, u'w');
    QTest::newRow("short, kept on one line")
        << u"Short tip"_s << false << QStringList{u"white-space:pre"_s, u"Short tip"_s} << QStringList{u"<table"_s};
    QTest::newRow("markup shows as typed")
        << u"<b>x</b> & y"_s << false << QStringList{u"&lt;b&gt;x&lt;/b&gt; &amp; y"_s} << QStringList{u"<b>"_s};
    QTest::newRow("lines break where the text does")
        << u"one\ntwo"_s << false << QStringList{u"one<br>two"_s} << QStringList{};
    QTest::newRow("long text wraps at the width")
        << (longText + u"  gap"_s) << false << QStringList{u"<table width=\"200\">"_s, u" &nbsp;gap"_s}
        << QStringList{QString(QChar(0x200B))};
    QTest::newRow("an expression may break anywhere")
        << longText << true << QStringList{u"w"_s + QChar(0x200B) + u"w"_s} << QStringList{};
}

void TestFilterDialogParts::tipFormat()
{
    QFETCH(QString, text);
    QFETCH(bool, breakAnywhere);
    QFETCH(QStringList, contains);
    QFETCH(QStringList, lacks);
    const QString html = CDelayedToolTips::Format(text, breakAnywhere);
    for (const QString& part : contains)
        QVERIFY2(html.contains(part), qPrintable(html));
    for (const QString& part : lacks)
        QVERIFY2(!html.contains(part), qPrintable(html));
}

void TestFilterDialogParts::tipsSwitchedOffForgetWhatWaits()
{
    QWidget widget;
    widget.show();
    CDelayedToolTips tips(true, nullptr);
    auto* pTimer = tips.findChild<QTimer*>(u"toolTipTimer"_s);
    QVERIFY(pTimer);

    tips.Request(&widget, QPoint(10, 10), u"tip"_s, false);
    QCOMPARE(tips.GetPendingWidget(), &widget);
    QVERIFY(pTimer->isActive());
    // An empty text takes the waiting tip down.
    tips.Request(&widget, QPoint(10, 10), QString(), false);
    QVERIFY(!tips.GetPendingWidget());
    QVERIFY(!pTimer->isActive());

    tips.Request(&widget, QPoint(10, 10), u"tip"_s, false);
    tips.SetActive(false);
    QVERIFY(!tips.IsActive());
    QVERIFY(!tips.GetPendingWidget());
    QVERIFY(!pTimer->isActive());
    tips.Request(&widget, QPoint(10, 10), u"tip"_s, false);
    QVERIFY2(!pTimer->isActive(), "no tip waits while tips are off");
}

void TestFilterDialogParts::expressionErrorIsTheParsersMessage_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<int>("error");
    QTest::newRow("valid") << u"a+b[0-9]"_s << false << int(RegexErrorNone);
    QTest::newRow("valid, case-sensitive") << u"^ERROR (x|y)$"_s << true << int(RegexErrorNone);
    QTest::newRow("valid, not ASCII") << u"caf\u00e9 ok"_s << false << int(RegexErrorNone);
    QTest::newRow("open group") << u"a(b"_s << false << int(RegexErrorMissingParenthesis);
    QTest::newRow("open group, not ASCII") << u"caf\u00e9(b"_s << true << int(RegexErrorMissingParenthesis);
    QTest::newRow("open class") << u"[abc"_s << true << int(RegexErrorMissingBracket);
}

void TestFilterDialogParts::expressionErrorIsTheParsersMessage()
{
    QFETCH(QString, expression);
    QFETCH(bool, caseSensitive);
    QFETCH(int, error);
    const QString expected = error == RegexErrorNone ? QString() : QString::fromUtf8(RegexErrorText(error));
    QCOMPARE(FilterExpressionError(expression, caseSensitive), expected);
}

QTEST_MAIN(TestFilterDialogParts)
#include "TestFilterDialogParts.moc"
