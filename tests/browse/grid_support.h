#pragma once
// A small table in a temporary folder and a grid over it, with each record's
// line painted in a colour that names the record, so tests can read back from
// the drawn image which record sits on which screen line.
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browse/wbrowse.h"
#include "core/error_event.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol::test {

// Line colour of record `rec`: red 1 and green 2 never occur in the palette.
inline Colour recordColour(uint32_t rec) { return RGB(1, 2, static_cast<int>(rec)); }

class GridTable {
 public:
  // `count` records named so that the name order differs from the record
  // order; the records in `deleted` are deleted (hidden).
  GridTable(int count, std::vector<int> deleted, bool nameOrder = false) {
    Structure s = {{"CODIGO", 'N', 6, 0}, {"NOMBRE", 'C', 20, 0}};
    EXPECT_TRUE(wa.create(dir / "tabla", s));
    WorkArea& a = wa.area(1);
    EXPECT_TRUE(a.open(dir / "tabla"));
    for (int i = 1; i <= count; ++i) {
      a.appendBlank();
      a.put("CODIGO", i);
      a.put("NOMBRE", Value("N" + std::to_string((i * 7919) % 1000 + 1000)));
    }
    for (int r : deleted) {
      a.goTo(static_cast<uint32_t>(r));
      a.deleteRecord();
    }
    a.commit();
    if (nameOrder) {
      EXPECT_TRUE(a.createTag("nombre", "NOMBRE"));
    }
    a.goTop();
    // The visible records in the area's order: the model the grid is held to.
    for (a.goTop(); !a.eof(); a.skip()) order.push_back(a.recNo());
    a.goTop();
  }
  WorkArea& area() { return wa.area(1); }

  TempDir dir;
  ErrorRecorder errors;
  WorkAreas wa;
  std::vector<uint32_t> order;
};

// A grid over `area`: 15-pixel lines under a 22-pixel header, a narrow number
// column and an empty column painted in the record's colour.
inline void setUpGrid(TWBrowse& g, WorkArea& a, int w = 300, int h = 200) {
  g.nLineHeight = 15;
  g.nHeaderHeight = 22;
  g.bLine = [&a] { return Cells{QString::number(a.recNo()), Cell(), Cell()}; };
  g.aHeaders = {"N", "Color", "Color"};
  g.aColSizes = {40, 100, 100};
  g.lCellStyle = true;
  g.nClrPane = ColourOr(std::function<Colour()>([&a] { return recordColour(a.recNo()); }));
  g.resize(w, h);
  g.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&g));
  g.Refresh();
}

// Record drawn on each screen line (0 for a blank line), read from an empty
// column that does not hold the cell cursor.
inline std::vector<uint32_t> shownRecords(const TWBrowse& g) {
  std::vector<uint32_t> out;
  const QImage& img = g.image();
  const int x = g.nColAct == 2 ? 190 : 90;
  for (int r = 1; r <= g.nRowCount(); ++r) {
    const QColor c = img.pixelColor(x, g.headerBand() + (r - 1) * g.linePitch() + g.linePitch() / 2);
    out.push_back(c.red() == 1 && c.green() == 2 ? static_cast<uint32_t>(c.blue()) : 0u);
  }
  return out;
}

inline QPoint lineCentre(const TWBrowse& g, int row, int x = 100) {
  return QPoint(x, g.headerBand() + (row - 1) * g.linePitch() + g.linePitch() / 2);
}

}  // namespace zol::test
