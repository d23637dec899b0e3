// Geometry and hit tests of the grid: line pitch, header band, line count,
// pixel rows to screen lines and pixel columns to columns.
#include "grid_support.h"

namespace zol::test {
namespace {

// An array grid of `rows` lines without scroll bars, shown at w x h.
struct ArrayGrid {
  explicit ArrayGrid(int w, int h, std::vector<int> widths = {50, 60, 70}, int rows = 100) : n(rows) {
    g.setScrollBars(false, false);
    g.setArray([this] { pos = 1; }, [this] { pos = n; },
               [this](int k) {
                 const int to = std::clamp(pos + k, 1, n);
                 const int moved = to - pos;
                 pos = to;
                 return moved;
               },
               [this] { return n; });
    g.bLine = [this, cols = widths.size()] { return Cells(cols, QString::number(pos)); };
    g.aColSizes = widths;
    g.nLineHeight = 15;
    g.nHeaderHeight = 22;
    g.resize(w, h);
    g.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&g));
  }
  int n, pos = 1;
  TWBrowse g;
};

TEST(GridGeometry, PitchHeaderBandAndLineCount) {
  ArrayGrid a(300, 200);
  EXPECT_EQ(a.g.linePitch(), 16);
  EXPECT_EQ(a.g.headerBand(), 23) << "first data row";
  EXPECT_EQ(a.g.nRowCount(), 10);  // (200 - 23 - 2) / 16
  struct Case {
    int height, lines;
  };
  for (Case c : {Case{201, 11}, Case{40, 0}, Case{41, 1}, Case{217, 12}, Case{216, 11}}) {
    a.g.resize(300, c.height);
    EXPECT_EQ(a.g.nRowCount(), c.lines) << "height " << c.height;
  }
  a.g.lDrawHeaders = false;
  a.g.resize(300, 200);
  EXPECT_EQ(a.g.headerBand(), 0);
  EXPECT_EQ(a.g.nRowCount(), 12);  // (200 - 2) / 16
}

TEST(GridGeometry, RowsMapToScreenLines) {
  ArrayGrid a(300, 200);
  struct Case {
    int y, line;
  };
  // A boundary pixel belongs to the upper line; past the last whole line is 0.
  const Case cases[] = {{0, 0},   {22, 0},  {23, 1},  {38, 1},   {39, 1},   {40, 2},
                        {55, 2},  {56, 3},  {167, 9},  {168, 10}, {183, 10}, {184, 0}, {199, 0}};
  for (Case c : cases) EXPECT_EQ(a.g.nWRow(c.y), c.line) << "row " << c.y;
}

TEST(GridGeometry, ColumnsMapFromTheFirstShownColumn) {
  ArrayGrid a(300, 200);
  struct Case {
    int nColPos;
    bool adjLast;
    int x, col;
  };
  const Case cases[] = {
      {1, true, 0, 1},   {1, true, 50, 1},  {1, true, 51, 2},  {1, true, 110, 2}, {1, true, 111, 3},
      {1, true, 180, 3}, {1, true, 299, 3}, {1, true, 300, 3}, {1, true, 301, 0},
      {1, false, 180, 3}, {1, false, 181, 0},
      {2, true, 0, 2},   {2, true, 60, 2},  {2, true, 61, 3},  {3, false, 71, 0},
  };
  for (Case c : cases) {
    a.g.nColPos = c.nColPos;
    a.g.lAdjLastCol = c.adjLast;
    EXPECT_EQ(a.g.nWCol(c.x), c.col) << "x " << c.x << " from column " << c.nColPos;
    EXPECT_EQ(a.g.nAtCol(c.x), c.col);
  }
}

TEST(GridGeometry, ColumnVisibilityAndTheScrollBarWidth) {
  ArrayGrid a(250, 200, {100, 100, 40, 20});
  a.g.nColPos = 1;
  EXPECT_TRUE(a.g.IsColVisible(2));
  EXPECT_TRUE(a.g.IsColVisible(3));   // 240 <= 250
  EXPECT_FALSE(a.g.IsColVisible(4));  // 260 > 250
  a.g.nColPos = 2;
  EXPECT_TRUE(a.g.IsColVisible(4));
  EXPECT_FALSE(a.g.IsColVisible(1));

  // A table grid with a vertical scroll bar loses 18 pixels once it holds
  // more than one record.
  GridTable t(5, {});
  TWBrowse g(&t.area());
  g.bLine = [] { return Cells{"x", "y"}; };
  g.aColSizes = {100, 140};
  g.resize(250, 200);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  EXPECT_EQ(g.clientRect().width(), 232);
  EXPECT_FALSE(g.IsColVisible(2));
  EXPECT_EQ(g.nWCol(240), 0);
}

TEST(GridGeometry, DefaultsFromFontFieldNamesAndValues) {
  GridTable t(3, {});
  TWBrowse g(&t.area());
  QFont f("Arial");
  f.setPixelSize(12);
  g.oFont = f;
  g.bLine = [&] {
    return Cells{Cell::text1252(t.area().getString(2)), QPixmap(8, 8), QString("12345678901234")};
  };
  g.resize(300, 200);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  const int h = QFontMetrics(f).height();
  EXPECT_EQ(g.nLineHeight, h);
  EXPECT_EQ(g.nHeaderHeight, h);
  ASSERT_EQ(g.aHeaders.size(), 3u);
  EXPECT_EQ(g.aHeaders[0], "CODIGO") << "table grids name columns after the fields";
  EXPECT_EQ(g.aHeaders[1], "NOMBRE");
  const QFontMetrics fm(f);
  ASSERT_EQ(g.aColSizes.size(), 3u);
  EXPECT_EQ(g.aColSizes[0], fm.horizontalAdvance(QString(21, 'B')));  // the 20-character name
  EXPECT_EQ(g.aColSizes[1], 15);                                    // a picture
  EXPECT_EQ(g.aColSizes[2], fm.horizontalAdvance(QString(15, 'B')));
}

}  // namespace
}  // namespace zol::test
