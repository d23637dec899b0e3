// Navigation over a table with hidden records: the lines on screen, the
// selected record, the hit flags, bChange and the thumb, checked against the
// list of visible records.
#include <QDialog>
#include <QKeyEvent>
#include <QScrollBar>
#include <random>

#include "grid_support.h"

namespace zol::test {
namespace {

// The screen must show a window of the visible records with the current one
// on nRowPos, and blank lines after the last record.
void expectConsistent(TWBrowse& g, GridTable& t, const std::string& where) {
  SCOPED_TRACE(where);
  const uint32_t cur = t.area().recNo();
  auto it = std::find(t.order.begin(), t.order.end(), cur);
  ASSERT_NE(it, t.order.end()) << "current record " << cur << " is not visible";
  const long at = it - t.order.begin();
  const long first = at - (g.nRowPos - 1);
  ASSERT_GE(first, 0) << "nRowPos " << g.nRowPos << " above the first record";
  std::vector<uint32_t> want;
  for (int r = 0; r < g.nRowCount(); ++r)
    want.push_back(first + r < static_cast<long>(t.order.size()) ? t.order[static_cast<size_t>(first + r)] : 0u);
  EXPECT_EQ(shownRecords(g), want);
  // Drawing step by step must give what a full repaint gives.
  const QImage stepwise = g.image().copy();
  const int rowPos = g.nRowPos;
  g.Refresh();
  EXPECT_EQ(g.nRowPos, rowPos);
  EXPECT_EQ(t.area().recNo(), cur);
  EXPECT_TRUE(stepwise == g.image()) << "incremental drawing differs from a repaint";
}

TEST(GridNavigation, GoBottomOnShortTableLeavesBlankLinesBelow) {
  GridTable t(6, {2, 5});
  TWBrowse g(&t.area());
  int changes = 0;
  g.bChange = [&](TWBrowse&) { ++changes; };
  setUpGrid(g, t.area());
  EXPECT_EQ(changes, 1) << "bChange runs once when the grid starts";
  QTest::keyClick(&g, Qt::Key_End);
  EXPECT_EQ(t.area().recNo(), 6u);
  EXPECT_EQ(g.nRowPos, 4);
  EXPECT_TRUE(g.lHitBottom);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(shownRecords(g), (std::vector<uint32_t>{1, 3, 4, 6, 0, 0, 0, 0, 0, 0}));
  // The blank lines are the background brush, not some line colour.
  EXPECT_EQ(g.image().pixelColor(100, g.headerBand() + 8 * g.linePitch()), QColor(Qt::white));
  expectConsistent(g, t, "after End");
}

TEST(GridNavigation, DownAtTheLastRecordSetsTheHitFlagAndStillReportsOnce) {
  GridTable t(5, {3});
  TWBrowse g(&t.area());
  int changes = 0;
  g.bChange = [&](TWBrowse&) { ++changes; };
  setUpGrid(g, t.area());
  for (int i = 0; i < 3; ++i) QTest::keyClick(&g, Qt::Key_Down);
  EXPECT_EQ(t.area().recNo(), 5u);
  EXPECT_FALSE(g.lHitBottom);
  changes = 0;
  QTest::keyClick(&g, Qt::Key_Down);
  EXPECT_TRUE(g.lHitBottom);
  EXPECT_EQ(t.area().recNo(), 5u);
  EXPECT_EQ(g.nRowPos, 4);
  EXPECT_EQ(changes, 1) << "the refused move still reports";
  QTest::keyClick(&g, Qt::Key_Down);
  EXPECT_EQ(changes, 1) << "a second Down does nothing";
  QTest::keyClick(&g, Qt::Key_Up);
  EXPECT_FALSE(g.lHitBottom);
  EXPECT_EQ(t.area().recNo(), 4u);
  expectConsistent(g, t, "after Up");
}

TEST(GridNavigation, ClickBelowTheLastRecordSelectsTheLast) {
  GridTable t(5, {1});
  TWBrowse g(&t.area());
  int changes = 0;
  std::vector<QPoint> clicks;
  g.bChange = [&](TWBrowse&) { ++changes; };
  g.bLClicked = [&](int row, int col, int) { clicks.push_back({col, row}); };
  setUpGrid(g, t.area());
  QTest::mouseClick(&g, Qt::LeftButton, {}, lineCentre(g, 8));
  EXPECT_EQ(t.area().recNo(), 5u);
  EXPECT_EQ(g.nRowPos, 4);
  EXPECT_EQ(changes, 2);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], lineCentre(g, 8)) << "bLClicked gets the pixel position";
  QTest::mouseClick(&g, Qt::LeftButton, {}, lineCentre(g, 2, 10));
  EXPECT_EQ(t.area().recNo(), 3u);
  EXPECT_EQ(g.nColAct, 1) << "the cell cursor follows the click";
  expectConsistent(g, t, "after clicks");
}

TEST(GridNavigation, PagesNearBothEnds) {
  GridTable t(40, {1, 2, 13, 14, 15, 39});
  TWBrowse g(&t.area());
  setUpGrid(g, t.area());
  ASSERT_EQ(g.nRowCount(), 10);
  const auto& o = t.order;  // 34 visible records
  QTest::keyClick(&g, Qt::Key_PageDown);
  EXPECT_EQ(t.area().recNo(), o[10]);
  EXPECT_EQ(g.nRowPos, 1);
  expectConsistent(g, t, "one page down");
  QTest::keyClick(&g, Qt::Key_Down);
  QTest::keyClick(&g, Qt::Key_Down);
  QTest::keyClick(&g, Qt::Key_PageDown);
  EXPECT_EQ(t.area().recNo(), o[22]);
  EXPECT_EQ(g.nRowPos, 3);
  expectConsistent(g, t, "a page down from line 3");
  // Eleven records follow: the page ends with the last, the line stays.
  QTest::keyClick(&g, Qt::Key_PageDown);
  EXPECT_EQ(t.area().recNo(), o[26]);
  EXPECT_EQ(g.nRowPos, 3);
  EXPECT_FALSE(g.lHitBottom);
  expectConsistent(g, t, "the last full page");
  // Fewer than a page follow: the page ends with the last record.
  QTest::keyClick(&g, Qt::Key_PageDown);
  EXPECT_EQ(t.area().recNo(), o.back());
  EXPECT_EQ(g.nRowPos, 10);
  EXPECT_TRUE(g.lHitBottom);
  expectConsistent(g, t, "last page");
  QTest::keyClick(&g, Qt::Key_PageUp);
  EXPECT_EQ(t.area().recNo(), o[23]);
  expectConsistent(g, t, "page up from the end");
  QTest::keyClick(&g, Qt::Key_PageUp);
  QTest::keyClick(&g, Qt::Key_PageUp);
  EXPECT_EQ(t.area().recNo(), o[3]);
  QTest::keyClick(&g, Qt::Key_PageUp);
  EXPECT_EQ(t.area().recNo(), o[0]) << "a short page up lands on the first record";
  EXPECT_EQ(g.nRowPos, 1);
  expectConsistent(g, t, "back at the top");
  QTest::keyClick(&g, Qt::Key_PageUp);
  EXPECT_TRUE(g.lHitTop);
  EXPECT_EQ(t.area().recNo(), o[0]);
  QTest::keyClick(&g, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(t.area().recNo(), o.back());
  QTest::keyClick(&g, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(t.area().recNo(), o[0]);
}

TEST(GridNavigation, RandomMovesKeepScreenAndRecordInStep) {
  for (bool nameOrder : {false, true}) {
    SCOPED_TRACE(nameOrder ? "name order" : "record order");
    GridTable t(45, {4, 5, 6, 20, 33, 45}, nameOrder);
    TWBrowse g(&t.area());
    setUpGrid(g, t.area(), 300, 170);
    std::mt19937 rng(nameOrder ? 7 : 11);
    const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
    for (int step = 0; step < 150; ++step) {
      const int op = static_cast<int>(rng() % 8);
      std::string what;
      if (op < 6) {
        QTest::keyClick(&g, keys[op]);
        what = "key " + std::to_string(keys[op]);
      } else {
        const int row = 1 + static_cast<int>(rng() % static_cast<unsigned>(g.nRowCount()));
        QTest::mouseClick(&g, Qt::LeftButton, {}, lineCentre(g, row));
        what = "click on line " + std::to_string(row);
      }
      expectConsistent(g, t, "step " + std::to_string(step) + ": " + what);
      if (HasFatalFailure() || HasFailure()) return;
    }
  }
}

TEST(GridNavigation, ThumbPositionsPlaceTheSelection) {
  struct Case {
    int thumb, rowPos, skipped;
  };
  // 50 records, none hidden; 10 lines; the range is 1..50.
  const Case cases[] = {{20, 1, 19}, {9, 1, 8}, {45, 5, 44}, {41, 1, 40}, {1, 1, 0}, {50, 10, 49}};
  for (const Case& c : cases) {
    SCOPED_TRACE("thumb at " + std::to_string(c.thumb));
    GridTable t(50, {});
    TWBrowse g(&t.area());
    setUpGrid(g, t.area());
    ASSERT_NE(g.vScrollBar(), nullptr);
    EXPECT_EQ(g.vScrollBar()->minimum(), 1);
    EXPECT_EQ(g.vScrollBar()->maximum(), 50);
    g.VScroll(TWBrowse::ScrollCode::ThumbPosition, c.thumb);
    EXPECT_EQ(t.area().recNo(), static_cast<uint32_t>(1 + c.skipped));
    EXPECT_EQ(g.nRowPos, c.rowPos);
    EXPECT_EQ(g.thumb(), c.thumb);
    expectConsistent(g, t, "after the thumb");
  }
}

TEST(GridNavigation, ThumbFollowsMovesAndTheScrollBarDrivesTheGrid) {
  GridTable t(30, {});
  TWBrowse g(&t.area());
  setUpGrid(g, t.area());
  QScrollBar* sb = g.vScrollBar();
  ASSERT_TRUE(sb && sb->isVisible());
  QTest::keyClick(&g, Qt::Key_Down);
  QTest::keyClick(&g, Qt::Key_Down);
  EXPECT_EQ(sb->value(), 3);
  QTest::keyClick(&g, Qt::Key_End);
  EXPECT_EQ(sb->value(), 30);
  QTest::keyClick(&g, Qt::Key_Home);
  EXPECT_EQ(sb->value(), 1);
  // The scroll bar's own actions, as its arrows and page areas send them.
  sb->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(t.area().recNo(), 2u);
  EXPECT_EQ(sb->value(), 2);
  sb->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(t.area().recNo(), 12u);
  EXPECT_EQ(sb->value(), 12);
  sb->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(t.area().recNo(), 30u);
  // A drag moves nothing until the thumb is let go.
  sb->setSliderDown(true);
  sb->setSliderPosition(10);
  EXPECT_EQ(t.area().recNo(), 30u);
  sb->setSliderDown(false);
  EXPECT_EQ(t.area().recNo(), 10u);
  EXPECT_EQ(sb->value(), 10);
  expectConsistent(g, t, "after the drag");
}

TEST(GridNavigation, EmptyTableShowsOnlyTheHeaderAndIgnoresMoves) {
  GridTable t(3, {1, 2, 3});
  TWBrowse g(&t.area());
  int changes = 0;
  g.bChange = [&](TWBrowse&) { ++changes; };
  setUpGrid(g, t.area());
  // Every record hidden: no phantom line, and no move reports anything.
  EXPECT_EQ(g.nLen, 0);
  QTest::keyClick(&g, Qt::Key_Down);
  QTest::keyClick(&g, Qt::Key_End);
  QTest::keyClick(&g, Qt::Key_PageDown);
  QTest::mouseClick(&g, Qt::LeftButton, {}, lineCentre(g, 2));
  EXPECT_EQ(shownRecords(g), std::vector<uint32_t>(10, 0u));
  EXPECT_EQ(changes, 1) << "only the start reports";
  EXPECT_TRUE(t.area().eof());
}

TEST(GridNavigation, OtherKeysGoToKeyDownThenTheDialog) {
  GridTable t(3, {});
  QDialog host;
  auto* g = new TWBrowse(&t.area(), &host);
  std::vector<int> keys;
  g->bKeyDown = [&](int key, int) {
    keys.push_back(key);
    return key == Qt::Key_F2;
  };
  g->resize(300, 200);
  host.resize(320, 220);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  g->setFocus();
  QTest::keyClick(g, Qt::Key_F2);
  QTest::keyClick(g, Qt::Key_A);
  EXPECT_TRUE(host.isVisible());
  QTest::keyClick(g, Qt::Key_Escape);
  EXPECT_EQ(keys, (std::vector<int>{Qt::Key_F2, Qt::Key_A, Qt::Key_Escape}));
  EXPECT_FALSE(host.isVisible()) << "a key the grid does not use reaches the dialog";
}

TEST(GridColumns, CellCursorScrollsTheViewAndHeaderClicksMoveIt) {
  GridTable t(5, {});
  TWBrowse g(&t.area());
  g.bLine = [&] { return Cells{"a", "b", "c", "d", "e"}; };
  g.aColSizes = {100, 100, 100, 100, 100};
  g.aHeaders = {"A", "B", "C", "D", "E"};
  g.lCellStyle = true;
  g.nLineHeight = 15;
  g.nHeaderHeight = 22;
  g.resize(250, 200);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  QTest::keyClick(&g, Qt::Key_Right);
  EXPECT_EQ(g.nColAct, 2);
  EXPECT_EQ(g.nColPos, 1);
  QTest::keyClick(&g, Qt::Key_Right);
  EXPECT_EQ(g.nColAct, 3);
  EXPECT_EQ(g.nColPos, 2) << "the view scrolls to show the active column";
  QTest::keyClick(&g, Qt::Key_Left);
  QTest::keyClick(&g, Qt::Key_Left);
  EXPECT_EQ(g.nColAct, 1);
  EXPECT_EQ(g.nColPos, 1);
  g.bGoRight = [] { return false; };
  EXPECT_FALSE(g.GoRight());
  g.bGoRight = {};
  g.GoToCol(5);
  EXPECT_EQ(g.nColAct, 5);
  EXPECT_EQ(g.nColPos, 4);
  EXPECT_FALSE(g.GoRight()) << "no column after the last";
  QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(150, 5));  // header of column 5
  EXPECT_EQ(g.nColAct, 5);
  QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(50, 5));  // header of column 4
  EXPECT_EQ(g.nColAct, 4);
}

TEST(GridColumns, BorderDragStopsFivePixelsRightOfTheLeftEdge) {
  GridTable t(3, {});
  TWBrowse g(&t.area());
  setUpGrid(g, t.area());
  QTest::mousePress(&g, Qt::LeftButton, {}, QPoint(140, 10));  // border of column 2
  EXPECT_TRUE(g.lCaptured);
  QMouseEvent move(QEvent::MouseMove, QPointF(0, 10), g.mapToGlobal(QPointF(0, 10)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&g, &move);
  QTest::mouseRelease(&g, Qt::LeftButton, {}, QPoint(0, 10));
  EXPECT_FALSE(g.lCaptured);
  EXPECT_EQ(g.aColSizes[1], 5);
  // Widening by dragging right.
  QTest::mousePress(&g, Qt::LeftButton, {}, QPoint(40, 10));
  QMouseEvent move2(QEvent::MouseMove, QPointF(70, 10), g.mapToGlobal(QPointF(70, 10)), Qt::NoButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&g, &move2);
  QTest::mouseRelease(&g, Qt::LeftButton, {}, QPoint(70, 10));
  EXPECT_EQ(g.aColSizes[0], 70);
}

void wheel(TWBrowse& g, QPoint at, int delta, Qt::MouseButtons buttons = Qt::NoButton) {
  QWheelEvent e(QPointF(at), g.mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta), buttons, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(&g, &e);
}

TEST(GridMouse, WheelMovesLinesPagesOrTheCellCursor) {
  GridTable t(40, {});
  TWBrowse g(&t.area());
  setUpGrid(g, t.area());
  wheel(g, lineCentre(g, 3), -120);
  EXPECT_EQ(t.area().recNo(), 2u);
  wheel(g, lineCentre(g, 3), -240);
  EXPECT_EQ(t.area().recNo(), 4u);
  wheel(g, lineCentre(g, 3), 120);
  EXPECT_EQ(t.area().recNo(), 3u);
  wheel(g, lineCentre(g, 3), -120, Qt::MiddleButton);
  EXPECT_EQ(t.area().recNo(), 13u);
  // The lowest fifth of the control steers the cell cursor.
  wheel(g, QPoint(100, 190), -120);
  EXPECT_EQ(g.nColAct, 2);
  EXPECT_EQ(t.area().recNo(), 13u);
  wheel(g, QPoint(100, 190), 120);
  EXPECT_EQ(g.nColAct, 1);
  expectConsistent(g, t, "after the wheel");
}

TEST(GridMouse, DoubleClickReportsWithoutMovingAgain) {
  GridTable t(10, {});
  TWBrowse g(&t.area());
  int changes = 0, doubles = 0;
  g.bChange = [&](TWBrowse&) { ++changes; };
  g.bLDblClick = [&](int, int, int) { ++doubles; };
  setUpGrid(g, t.area());
  QTest::mouseDClick(&g, Qt::LeftButton, {}, lineCentre(g, 4));
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(t.area().recNo(), 4u);
  EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace zol::test
