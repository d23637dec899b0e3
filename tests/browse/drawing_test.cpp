// Drawing checked on the drawn image: colour callbacks, the selection with a
// cell cursor, pictures with a transparent colour, literal "&", clipping at the
// right edge, the 3D style and the copy to the window.
#include <QPainter>
#include <set>

#include "grid_support.h"

namespace zol::test {
namespace {

struct Rows {
  int pos = 1, n = 3;
};

// An array grid with fixed texts, shown and focused.
void arrayGrid(TWBrowse& g, Rows& r, std::function<Cells()> line, std::vector<int> widths, int w = 300) {
  g.setScrollBars(false, false);
  g.setArray([&r] { r.pos = 1; }, [&r] { r.pos = r.n; },
             [&r](int k) {
               const int to = std::clamp(r.pos + k, 1, r.n);
               const int moved = to - r.pos;
               r.pos = to;
               return moved;
             },
             [&r] { return r.n; });
  g.bLine = std::move(line);
  g.aColSizes = std::move(widths);
  g.nLineHeight = 15;
  g.nHeaderHeight = 22;
  g.resize(w, 120);
  g.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&g));
  g.activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&g));
  g.setFocus();
  g.Refresh();
}

QColor at(const TWBrowse& g, int x, int y) { return g.image().pixelColor(x, y); }

TEST(GridDrawing, BackColourCallbackOnHeaderOnlyLeavesLinesAndCursorAlone) {
  TWBrowse g;
  Rows r;
  std::vector<int> styles;
  g.bBkColor = [&](int, int, int style) -> std::optional<Colour> {
    styles.push_back(style);
    if (style == 1) return RGB(0, 200, 0);
    return std::nullopt;
  };
  g.lCellStyle = true;
  g.nClrPane = RGB(250, 250, 200);
  g.nClrBackFocus = RGB(200, 0, 0);
  arrayGrid(g, r, [] { return Cells{"", ""}; }, {60, 60});
  ASSERT_TRUE(g.hasFocus());
  EXPECT_EQ(at(g, 30, 10), QColor(0, 200, 0)) << "header cell";
  EXPECT_EQ(at(g, 90, 10), QColor(0, 200, 0));
  EXPECT_EQ(at(g, 30, 23 + 8), QColor(200, 0, 0)) << "active cell of the selected line";
  EXPECT_EQ(at(g, 90, 23 + 8), QColor(250, 250, 200)) << "rest of the selected line";
  EXPECT_EQ(at(g, 30, 23 + 16 + 8), QColor(250, 250, 200)) << "other lines";
  EXPECT_NE(std::find(styles.begin(), styles.end(), 3), styles.end()) << "the selection asks with style 3";
  // Without the focus the cursor takes the other colours.
  g.nClrNFBack = RGB(0, 0, 150);
  g.clearFocus();
  EXPECT_EQ(at(g, 30, 23 + 8), QColor(0, 0, 150));
}

TEST(GridDrawing, PictureCellIsCentredWithItsTopLeftColourTransparent) {
  QPixmap pm(10, 10);
  pm.fill(QColor(255, 0, 255));
  {
    QPainter p(&pm);
    p.fillRect(3, 3, 4, 4, QColor(0, 0, 0));
  }
  TWBrowse g;
  Rows r;
  g.lCellStyle = true;
  g.nClrPane = RGB(255, 255, 255);
  g.nClrBackFocus = RGB(0, 128, 128);
  g.lAdjLastCol = false;
  arrayGrid(g, r, [&] { return Cells{pm, pm}; }, {40, 40});
  // Line 1 spans rows 23..38; the 10x10 picture sits at 15..24 x 26..35.
  EXPECT_EQ(at(g, 20, 30), QColor(0, 0, 0)) << "the picture's own pixels";
  EXPECT_EQ(at(g, 16, 27), QColor(0, 128, 128)) << "its magenta shows the cursor colour";
  EXPECT_EQ(at(g, 56, 27), QColor(255, 255, 255)) << "next cell: the line colour shows through";
  EXPECT_EQ(at(g, 60, 30), QColor(0, 0, 0));
}

// Leftmost and rightmost ink columns of a cell in the text colour.
std::pair<int, int> inkSpan(const QImage& img, QRect cell) {
  int lo = -1, hi = -1;
  for (int x = cell.left(); x <= cell.right(); ++x)
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      if (img.pixelColor(x, y).lightness() < 128) {
        if (lo < 0) lo = x;
        hi = x;
      }
  return {lo, hi};
}

TEST(GridDrawing, AmpersandIsShownAndAlignmentFlagsPlaceText) {
  TWBrowse g;
  Rows r;
  g.nClrPane = RGB(255, 255, 255);
  g.nClrText = RGB(0, 0, 0);
  g.lDrawSelect = false;
  g.aJustify = {0, 0, Justify::Right};
  arrayGrid(g, r, [] { return Cells{"AB", "A&B", "AB"}; }, {80, 80, 80}, 240);
  const QRect line(0, 24, 80, 15);
  const auto plain = inkSpan(g.image(), line);
  const auto amp = inkSpan(g.image(), line.translated(80, 0));
  const auto right = inkSpan(g.image(), line.translated(160, 0));
  ASSERT_GE(plain.first, 0);
  EXPECT_GE(plain.first, 2) << "text starts 2 pixels in";
  EXPECT_LE(plain.first, 3);
  EXPECT_GT(amp.second - amp.first, plain.second - plain.first + 4) << "the & takes room of its own";
  EXPECT_LE(right.second, 240 - 3) << "right-aligned text ends 3 pixels before the edge";
  EXPECT_GE(right.second, 240 - 5);
}

TEST(GridDrawing, ColumnPastTheRightEdgeIsClippedAndEndsTheLine) {
  TWBrowse g;
  Rows r;
  std::set<int> asked;
  g.bTextColor = [&](int, int col, int) -> std::optional<Colour> {
    asked.insert(col);
    return std::nullopt;
  };
  g.lAdjLastCol = false;
  arrayGrid(g, r, [] { return Cells{"a", "b", "c"}; }, {100, 300, 50}, 250);
  EXPECT_TRUE(asked.count(2));
  EXPECT_FALSE(asked.count(3)) << "no column is drawn after one reaching the edge";
}

TEST(GridDrawing, ThreeDStyleAndTheStripRightOfTheColumns) {
  TWBrowse g;
  Rows r;
  g.lAdjLastCol = false;
  g.lCellStyle = true;
  g.Set3DStyle();
  arrayGrid(g, r, [] { return Cells{"", ""}; }, {50, 50}, 200);
  const QColor face = [] {
    const Colour c = sysColour(SysColour::BtnFace);
    return QColor(c.red(), c.green(), c.blue());
  }();
  EXPECT_EQ(at(g, 150, 60), face) << "the strip right of the last column";
  EXPECT_EQ(at(g, 150, 10), face);
  EXPECT_EQ(at(g, 25, 10), QColor(0, 0, 128)) << "caption-coloured header";
  EXPECT_EQ(at(g, 25, 30), QColor(0, 128, 128)) << "3D cursor colour";
  EXPECT_EQ(at(g, 49, 30 + 16), QColor(sysColour(SysColour::BtnShadow).red(), sysColour(SysColour::BtnShadow).green(),
                                       sysColour(SysColour::BtnShadow).blue()))
      << "raised frame: shadow on the right edge";
  EXPECT_EQ(at(g, 0, 30 + 16), QColor(sysColour(SysColour::BtnHighlight).red(),
                                      sysColour(SysColour::BtnHighlight).green(),
                                      sysColour(SysColour::BtnHighlight).blue()))
      << "raised frame: highlight on the left edge";
}

TEST(GridDrawing, FlatBordersUseTheLineColour) {
  TWBrowse g;
  Rows r;
  g.nLineStyle = 1;
  g.nClrLine = RGB(0, 0, 255);
  g.nClrPane = RGB(255, 255, 255);
  g.lDrawSelect = false;
  arrayGrid(g, r, [] { return Cells{"", ""}; }, {50, 50}, 200);
  EXPECT_EQ(at(g, 50, 30), QColor(0, 0, 255));
  EXPECT_EQ(at(g, 25, 23), QColor(0, 0, 255));
  EXPECT_EQ(at(g, 25, 30), QColor(255, 255, 255));
}

TEST(GridDrawing, TheWindowShowsTheImageAfterALineScroll) {
  GridTable t(30, {3});
  TWBrowse g(&t.area());
  setUpGrid(g, t.area());
  for (int i = 0; i < 12; ++i) QTest::keyClick(&g, Qt::Key_Down);  // three one-line scrolls
  QApplication::processEvents();
  const QImage shown = g.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect client = g.clientRect();
  EXPECT_TRUE(shown.copy(client) == g.image()) << "the window got the off-screen image";
  EXPECT_EQ(shownRecords(g).front(), t.order[3]);
}

}  // namespace
}  // namespace zol::test
