// SPDX-License-Identifier: GPL-3.0-or-later
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QtTest>

#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/CNonExtendableHeaderCtrl.h"
#include "support/QtTestSupport.h"

using namespace Qt::Literals::StringLiterals;
using TestSupport::SendMouse;

class TestFilterListCtrl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lastColumnFollowsResize();
    void dividerDragMovesWidthToAndFromLastColumn();
    void lastDividerNeitherDragsNorShowsResizeCursor();
    void dividerDoubleClickFitsThatColumn();
    void ctrlKeypadPlusFitsEveryColumn();
    void regularExpressionRowsDrawnInOwnColours();
    void uncheckedRowsDrawnGreyedAndSwitchedBySpace();
    void scrollsBackToTopWhenEverythingFits();
    void growingListKeepsItsLastRowAtTheBottom();

private:
    // A shown list with columns 200, 30, 30, 30 and 30 whose client area is exactly 320 wide.
    static std::unique_ptr<CLastColumnAutoResizingListCtrl> MakeList(int nRows = 0, int nHeight = 200);
    static int Width(const CLastColumnAutoResizingListCtrl& list, int nColumn) { return list.columnWidth(nColumn); }
    static bool ShowsResizeCursor(QHeaderView* pHeader);
};

std::unique_ptr<CLastColumnAutoResizingListCtrl> TestFilterListCtrl::MakeList(int nRows, int nHeight)
{
    auto pList = std::make_unique<CLastColumnAutoResizingListCtrl>();
    pList->setHeaderLabels({u"Filter"_s, u"RE"_s, u"CS"_s, u"OB"_s, u"OA"_s});
    for (int i = 0; i < nRows; ++i)
        pList->addTopLevelItem(new QTreeWidgetItem({u"row %1"_s.arg(i), u"-"_s, u"-"_s, u"0"_s, u"0"_s}));
    pList->setColumnWidth(0, 200);
    for (int i = 1; i < 5; ++i)
        pList->setColumnWidth(i, 30);
    pList->resize(320 + 2 * pList->frameWidth(), nHeight);
    pList->show();
    if (!QTest::qWaitForWindowExposed(pList.get()))
        return nullptr;
    return pList;
}

bool TestFilterListCtrl::ShowsResizeCursor(QHeaderView* pHeader)
{
    for (QWidget* pWidget : {static_cast<QWidget*>(pHeader), pHeader->viewport()}) {
        if (pWidget->testAttribute(Qt::WA_SetCursor) && pWidget->cursor().shape() == Qt::SplitHCursor)
            return true;
    }
    return false;
}

void TestFilterListCtrl::lastColumnFollowsResize()
{
    auto pList = MakeList();
    QVERIFY(pList);
    QTRY_COMPARE(pList->viewport()->width(), 320);
    QCOMPARE(Width(*pList, 4), 30);

    pList->resize(pList->width() + 50, pList->height());
    QTRY_COMPARE(Width(*pList, 4), 80);
    QCOMPARE(Width(*pList, 0), 200);

    pList->resize(pList->width() - 50, pList->height());
    QTRY_COMPARE(Width(*pList, 4), 30);
    QCOMPARE(pList->header()->length(), pList->viewport()->width());
    QVERIFY2(!pList->horizontalScrollBar()->isVisible(), "shrinking back must not leave a horizontal scroll bar");
}

void TestFilterListCtrl::dividerDragMovesWidthToAndFromLastColumn()
{
    auto pList = MakeList(3);
    QVERIFY(pList);
    QTRY_COMPARE(Width(*pList, 4), 30);
    QWidget* pHeader = pList->header()->viewport();

    SendMouse(pHeader, QEvent::MouseButtonPress, {200, 5}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(pHeader, QEvent::MouseMove, {210, 5}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Width(*pList, 0), 210);
    QCOMPARE(Width(*pList, 4), 20);
    QCOMPARE(pList->header()->length(), 320);

    // Back past the starting point: the last column takes all of the freed width.
    SendMouse(pHeader, QEvent::MouseMove, {180, 5}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Width(*pList, 0), 180);
    QCOMPARE(Width(*pList, 4), 50);
    SendMouse(pHeader, QEvent::MouseButtonRelease, {180, 5}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(Width(*pList, 4), 50);

    // A drag wider than the last column leaves it a sliver; the release refits it.
    SendMouse(pHeader, QEvent::MouseButtonPress, {180, 5}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(pHeader, QEvent::MouseMove, {300, 5}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(Width(*pList, 0), 300);
    QVERIFY(Width(*pList, 4) > 0);
    SendMouse(pHeader, QEvent::MouseMove, {200, 5}, Qt::NoButton, Qt::LeftButton);
    SendMouse(pHeader, QEvent::MouseButtonRelease, {200, 5}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(Width(*pList, 0), 200);
    QCOMPARE(Width(*pList, 4), 30);
}

void TestFilterListCtrl::lastDividerNeitherDragsNorShowsResizeCursor()
{
    auto pList = MakeList();
    QVERIFY(pList);
    QTRY_COMPARE(Width(*pList, 4), 30);
    QHeaderView* pHeaderView = pList->header();
    QWidget* pHeader = pHeaderView->viewport();

    // Over an ordinary divider the resize cursor shows, so the check below can tell.
    SendMouse(pHeader, QEvent::MouseMove, {200, 5}, Qt::NoButton, Qt::NoButton);
    QVERIFY(ShowsResizeCursor(pHeaderView));

    for (int x : {319, 316, 310}) {
        SendMouse(pHeader, QEvent::MouseMove, {x, 5}, Qt::NoButton, Qt::NoButton);
        QVERIFY2(!ShowsResizeCursor(pHeaderView), qPrintable(u"resize cursor at x %1"_s.arg(x)));
        QVERIFY(pList->GetHeaderCtrl()->IsBeyondLastDivider());
    }

    SendMouse(pHeader, QEvent::MouseButtonPress, {319, 5}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(pHeader, QEvent::MouseMove, {280, 5}, Qt::NoButton, Qt::LeftButton);
    SendMouse(pHeader, QEvent::MouseButtonRelease, {280, 5}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(Width(*pList, 4), 30);
    QCOMPARE(Width(*pList, 3), 30);

    // Left of the zone the divider between OB and OA is still an ordinary one.
    SendMouse(pHeader, QEvent::MouseMove, {260, 5}, Qt::NoButton, Qt::NoButton);
    QVERIFY(!pList->GetHeaderCtrl()->IsBeyondLastDivider());
}

void TestFilterListCtrl::dividerDoubleClickFitsThatColumn()
{
    auto pList = MakeList(2);
    QVERIFY(pList);
    pList->topLevelItem(1)->setText(2, u"a much longer cell text"_s);
    QTRY_COMPARE(Width(*pList, 4), 30);
    QWidget* pHeader = pList->header()->viewport();
    const auto doubleClick = [pHeader](int x) {
        SendMouse(pHeader, QEvent::MouseButtonPress, {x, 5}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(pHeader, QEvent::MouseButtonRelease, {x, 5}, Qt::LeftButton, Qt::NoButton);
        SendMouse(pHeader, QEvent::MouseButtonDblClick, {x, 5}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(pHeader, QEvent::MouseButtonRelease, {x, 5}, Qt::LeftButton, Qt::NoButton);
    };

    doubleClick(260); // the divider of column 2
    const int nFitted = std::max(pList->header()->sectionSizeHint(2),
                                 pList->fontMetrics().horizontalAdvance(u"a much longer cell text"_s));
    QVERIFY2(Width(*pList, 2) >= nFitted, "column 2 fits its widest cell");
    QCOMPARE(Width(*pList, 4),
             std::max(pList->viewport()->width() - 200 - Width(*pList, 2) - 60, pList->header()->minimumSectionSize()));

    pList->topLevelItem(1)->setText(2, u"-"_s);
    pList->setColumnWidth(2, 30);
    QCOMPARE(Width(*pList, 4), 30);
    const QList<int> before = {Width(*pList, 0), Width(*pList, 1), Width(*pList, 2), Width(*pList, 3),
                               Width(*pList, 4)};
    doubleClick(319); // the last column's divider
    const QList<int> after = {Width(*pList, 0), Width(*pList, 1), Width(*pList, 2), Width(*pList, 3), Width(*pList, 4)};
    QCOMPARE(after, before);
}

void TestFilterListCtrl::ctrlKeypadPlusFitsEveryColumn()
{
    auto pList = MakeList(2);
    QVERIFY(pList);
    pList->topLevelItem(0)->setText(0, u"x"_s);
    pList->topLevelItem(0)->setText(3, u"123456789012"_s);
    QTRY_COMPARE(Width(*pList, 4), 30);

    QTest::keyClick(pList.get(), Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(Width(*pList, 0), 200);
    QCOMPARE(Width(*pList, 3), 30);

    QTest::keyClick(pList.get(), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    QVERIFY2(Width(*pList, 0) < 200, "column 0 shrinks to its widest cell or heading");
    QVERIFY(Width(*pList, 3) >= pList->fontMetrics().horizontalAdvance(u"123456789012"_s));
    int nOthers = 0;
    for (int i = 0; i < 4; ++i)
        nOthers += Width(*pList, i);
    QCOMPARE(Width(*pList, 4), std::max(pList->viewport()->width() - nOthers, pList->header()->minimumSectionSize()));
}

namespace {
// Close enough to tell the colours apart through antialiasing and the focus frame's tint.
bool IsNear(const QColor& pixel, const QColor& colour)
{
    return std::abs(pixel.red() - colour.red()) < 60 && std::abs(pixel.green() - colour.green()) < 60 &&
           std::abs(pixel.blue() - colour.blue()) < 60;
}

// How many pixels of a row come close to a colour.
int CountPixels(const QImage& image, const QRect& rect, const QColor& colour)
{
    int nCount = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (IsNear(image.pixelColor(x, y), colour))
                ++nCount;
        }
    }
    return nCount;
}
} // namespace

void TestFilterListCtrl::regularExpressionRowsDrawnInOwnColours()
{
    auto pList = MakeList(2);
    QVERIFY(pList);
    pList->topLevelItem(0)->setText(0, u"REGEXP ROW"_s);
    pList->topLevelItem(0)->setData(0, CLastColumnAutoResizingListCtrl::ItemDataRole, 1);
    pList->topLevelItem(1)->setText(0, u"PLAIN ROW"_s);
    pList->topLevelItem(1)->setData(0, CLastColumnAutoResizingListCtrl::ItemDataRole, 0);
    const QRect regExpRow = pList->visualItemRect(pList->topLevelItem(0)).adjusted(0, 1, 0, -1);
    const QRect plainRow = pList->visualItemRect(pList->topLevelItem(1)).adjusted(0, 1, 0, -1);
    const QRect regExpText(regExpRow.left(), regExpRow.top(), 150, regExpRow.height());
    const QRect plainText(plainRow.left(), plainRow.top(), 150, plainRow.height());
    const QPoint regExpBackground(regExpRow.left() + 190, regExpRow.center().y());
    const QPoint plainBackground(plainRow.left() + 190, plainRow.center().y());

    // No current row, so no focus frame tints the rows compared here.
    pList->setCurrentItem(nullptr);
    QImage image = pList->viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(regExpBackground), pList->GetNormalBkColor());
    QVERIFY2(CountPixels(image, regExpText, pList->GetNormalTextColor()) > 10, "red text");
    QCOMPARE(CountPixels(image, plainText, pList->GetNormalTextColor()), 0);

    const QColor highlight = pList->palette().color(QPalette::Active, QPalette::Highlight);
    pList->setFocus();
    pList->setCurrentItem(pList->topLevelItem(0));
    image = pList->viewport()->grab().toImage();
    QVERIFY(IsNear(image.pixelColor(regExpBackground), pList->GetSelectedBkColor()));
    QVERIFY2(CountPixels(image, regExpText, pList->GetSelectedTextColor()) > 10, "cyan text");
    // Nothing of the row is filled with the usual highlight.
    int nHighlightPixels = 0;
    for (int x = regExpRow.left(); x <= regExpRow.right(); ++x)
        nHighlightPixels += image.pixelColor(x, regExpRow.center().y()) == highlight ? 1 : 0;
    QCOMPARE(nHighlightPixels, 0);

    pList->setCurrentItem(pList->topLevelItem(1));
    image = pList->viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(regExpBackground), pList->GetNormalBkColor());
    QVERIFY2(IsNear(image.pixelColor(plainBackground), highlight), "a plain row keeps the usual selection");
    QVERIFY(!IsNear(image.pixelColor(plainBackground), pList->GetSelectedBkColor()));
}

void TestFilterListCtrl::uncheckedRowsDrawnGreyedAndSwitchedBySpace()
{
    auto pList = MakeList(3);
    QVERIFY(pList);
    pList->topLevelItem(0)->setText(0, u"REGEXP ROW"_s);
    pList->topLevelItem(0)->setData(0, CLastColumnAutoResizingListCtrl::ItemDataRole, 1);
    pList->topLevelItem(1)->setText(0, u"PLAIN ROW"_s);
    for (int nRow = 0; nRow < 2; ++nRow)
        pList->topLevelItem(nRow)->setCheckState(0, Qt::Unchecked);
    // The third row has no check box: it is never greyed, and Space leaves it without one.
    QVERIFY(!CLastColumnAutoResizingListCtrl::HasCheckBox(pList->topLevelItem(2)));
    QVERIFY(!pList->IsRowGreyed(pList->model()->index(2, 0)));

    const auto textOf = [&pList](int nRow) {
        const QRect row = pList->visualItemRect(pList->topLevelItem(nRow)).adjusted(0, 1, 0, -1);
        return QRect(row.left(), row.top(), 150, row.height());
    };
    const QColor plainText = pList->palette().color(QPalette::Active, QPalette::Text);
    const QColor greyedText = pList->palette().color(QPalette::Disabled, QPalette::Text);
    QVERIFY2(!IsNear(plainText, greyedText), "the style must tell disabled text apart");
    pList->setCurrentItem(nullptr);
    QImage image = pList->viewport()->grab().toImage();
    QVERIFY2(CountPixels(image, textOf(0), pList->GetGreyedTextColor()) > 10, "pale red text");
    QCOMPARE(CountPixels(image, textOf(0), pList->GetNormalTextColor()), 0);
    QVERIFY2(CountPixels(image, textOf(1), greyedText) > 10, "greyed text");
    QCOMPARE(CountPixels(image, textOf(1), plainText), 0);

    // Space on the selected row checks its box, from any cell; the rows come back in full colour.
    pList->setFocus();
    pList->setCurrentIndex(pList->model()->index(0, 2));
    QTest::keyClick(pList.get(), Qt::Key_Space);
    QCOMPARE(pList->topLevelItem(0)->checkState(0), Qt::Checked);
    pList->setCurrentIndex(pList->model()->index(1, 0));
    QTest::keyClick(pList.get(), Qt::Key_Space);
    QCOMPARE(pList->topLevelItem(1)->checkState(0), Qt::Checked);
    pList->setCurrentItem(nullptr);
    image = pList->viewport()->grab().toImage();
    QVERIFY2(CountPixels(image, textOf(0), pList->GetNormalTextColor()) > 10, "red text again");
    QVERIFY2(CountPixels(image, textOf(1), plainText) > 10, "plain text again");

    pList->setCurrentIndex(pList->model()->index(2, 0));
    QTest::keyClick(pList.get(), Qt::Key_Space);
    QVERIFY(!pList->topLevelItem(2)->data(0, Qt::CheckStateRole).isValid());
}

void TestFilterListCtrl::scrollsBackToTopWhenEverythingFits()
{
    auto pList = MakeList(30, 120);
    QVERIFY(pList);
    QScrollBar* pBar = pList->verticalScrollBar();
    pList->scrollToBottom();
    QTRY_VERIFY(pBar->value() > 0);

    const int nAllRows = pList->visualItemRect(pList->topLevelItem(29)).bottom() -
                         pList->visualItemRect(pList->topLevelItem(0)).top() + 1;
    pList->resize(pList->width(), nAllRows + pList->header()->height() + 2 * pList->frameWidth() + 4);
    QTRY_COMPARE(pBar->value(), 0);
    QCOMPARE(pList->itemAt(2, 2), pList->topLevelItem(0));

    // Shrink again, scroll down, then delete rows from the end until the rest fit.
    pList->resize(pList->width(), 120);
    pList->scrollToBottom();
    QTRY_VERIFY(pBar->value() > 0);
    while (pList->topLevelItemCount() > 3)
        delete pList->takeTopLevelItem(pList->topLevelItemCount() - 1);
    QTRY_COMPARE(pBar->value(), 0);
    QCOMPARE(pList->itemAt(2, 2), pList->topLevelItem(0));
}

void TestFilterListCtrl::growingListKeepsItsLastRowAtTheBottom()
{
    // Rows taller than the horizontal bar, so that its going away does not show another whole row.
    auto pList = std::make_unique<CLastColumnAutoResizingListCtrl>();
    pList->setHeaderLabels({u"Filter"_s, u"RE"_s, u"CS"_s, u"OB"_s, u"OA"_s});
    constexpr int nRows = 30;
    constexpr int nRowHeight = 40;
    for (int i = 0; i < nRows; ++i) {
        auto* pItem = new QTreeWidgetItem({u"row %1"_s.arg(i), u"-"_s, u"-"_s, u"0"_s, u"0"_s});
        pItem->setSizeHint(0, QSize(10, nRowHeight));
        pList->addTopLevelItem(pItem);
    }
    pList->setColumnWidth(0, 500);
    for (int i = 1; i < 5; ++i)
        pList->setColumnWidth(i, 30);
    pList->resize(320 + 2 * pList->frameWidth(), 200);
    pList->show();
    QVERIFY(QTest::qWaitForWindowExposed(pList.get()));
    QTRY_VERIFY(pList->horizontalScrollBar()->isVisible());

    // Three whole rows and a few pixels of the next.
    const int nChrome = pList->height() - pList->viewport()->height();
    pList->resize(pList->width(), nChrome + 3 * nRowHeight + 4);
    QTRY_COMPARE(pList->viewport()->height(), 3 * nRowHeight + 4);
    QScrollBar* pBar = pList->verticalScrollBar();
    QTRY_COMPARE(pBar->maximum(), nRows - 3);
    pBar->setValue(pBar->maximum() - 1);
    QTRY_VERIFY(pList->visualItemRect(pList->topLevelItem(nRows - 1)).intersects(pList->viewport()->rect()));
    QVERIFY(pList->horizontalScrollBar()->value() == 0);
    pList->horizontalScrollBar()->setValue(pList->horizontalScrollBar()->maximum());

    // Wide enough for every column: the bar goes, the list is back at the left, and the last row,
    // which was only partly shown, stands whole at the bottom.
    pList->resize(pList->width() + 400, pList->height());
    QTRY_VERIFY(!pList->horizontalScrollBar()->isVisible());
    QTRY_COMPARE(pBar->value(), pBar->maximum());
    QCOMPARE(pList->horizontalScrollBar()->value(), 0);
    QVERIFY(pList->viewport()->rect().contains(pList->visualItemRect(pList->topLevelItem(nRows - 1))));

    // Growing while the last row is out of sight scrolls nothing.
    pList->resize(pList->width() - 400, pList->height());
    QTRY_VERIFY(pList->horizontalScrollBar()->isVisible());
    pBar->setValue(2);
    pList->resize(pList->width() + 400, pList->height());
    QTRY_VERIFY(!pList->horizontalScrollBar()->isVisible());
    QCOMPARE(pBar->value(), 2);
}

OSTREL_QT_TEST_MAIN(TestFilterListCtrl, QApplication)
#include "TestFilterListCtrl.moc"
