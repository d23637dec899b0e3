// The article picker as the registers' add dialogs use it: name search,
// choosing by double click, Enter or the "yes" button, and its name column.
#include <QWidget>

#include "screens/screen_support.h"
#include "tests/screens/register_test_support.h"

namespace zol::test {
namespace {

class ArticlePickerTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    addArticle(1, "TORNILLO", 3, 1.00, 1.25);
    addArticle(2, "TUERCA", 7, 0.50, 0.80);
    addArticle(3, "ARANDELA", 9, 0.10, 0.20);
  }
};

struct Choice {
  const char* how;
  std::function<void(TDialog& picker)> choose;
  bool chosen;
};

// The middle of the grid's selected line.
QPoint selectedLine(TWBrowse& g) {
  return {40, g.headerBand() + (g.nRowPos - 1) * g.linePitch() + g.linePitch() / 2};
}

TEST_F(ArticlePickerTest, ChoosingFillsTheAddDialog) {
  const Choice choices[] = {
      {"double click", [](TDialog& p) { QTest::mouseDClick(gridOf(p), Qt::LeftButton, {}, selectedLine(*gridOf(p))); },
       true},
      {"Enter on the grid",
       [](TDialog& p) {
         gridOf(p)->SetFocus();
         QTest::keyClick(gridOf(p), Qt::Key_Return);
       },
       true},
      {"yes button", [](TDialog& p) { press(p, 102); }, true},
      {"no2 button", [](TDialog& p) { press(p, 185); }, false},
  };
  int written = 0;  // each choice's entry adds 1 to TUERCA's stock
  for (const Choice& c : choices) {
    SCOPED_TRACE(c.how);
    onDialog("ZOL1100BRW", [&](TDialog& r) {
      onDialog("ZOL1100ALT", [&](TDialog& a) {
        onDialog("ZOLFART", [&](TDialog& p) {
          type(p, 184, "TU");  // TUERCA, not TORNILLO
          EXPECT_EQ(static_cast<int>(workAreas().area(Area::Articles).get("articulo").number()), 2);
          c.choose(p);
        });
        press(a, 111);
        if (c.chosen) {
          EXPECT_EQ(shown(a, 109).trimmed(), "2");
          EXPECT_EQ(shown(a, 102).trimmed(), "TUERCA");
          EXPECT_EQ(shown(a, 105).trimmed(), QString::number(7 + written, 'f', 2));
          EXPECT_EQ(shown(a, 108).trimmed(), "0.80");
        } else {
          EXPECT_EQ(shown(a, 109).trimmed(), "0");
          EXPECT_EQ(shown(a, 102).trimmed(), "");
        }
        // The register goes on in code order once the picker is gone.
        EXPECT_EQ(workAreas().area(Area::Articles).order(), 1);
        type(a, 114, "1");
        press(a, 104);
      });
      press(r, 182);
      press(r, 187);
    });
    ZOL1100();
    workAreas().closeAll();
    if (c.chosen) ++written;
  }
  // Only the three choices wrote an entry, each of TUERCA at its sale price.
  const auto entries = rows(Tables::Entries);
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& e : entries) {
    EXPECT_EQ(e[1].number(), 2);
    EXPECT_EQ(e[3].number(), 0.8);
  }
  EXPECT_EQ(article(2, "stock").number(), 10);
}

// The picker shows names through the DOS code page; the register shows the
// stored bytes as they are.
TEST_F(ArticlePickerTest, NameColumnsAndCodePage) {
  addArticle(4, "CA\xA5" "A", 1);  // 0xA5 is N with tilde under DOS 850
  addMovement(Tables::Exits, Date::fromYmd(2024, 1, 10), 4, 1);
  onDialog("ZOL1200BRW", [&](TDialog& r) {
    EXPECT_EQ(gridOf(r)->bLine()[2].text().trimmed(), QString::fromUtf8("CA¥A"));
    onDialog("ZOL1200ALT", [&](TDialog& a) {
      onDialog("ZOLFART", [&](TDialog& p) {
        TWBrowse* g = gridOf(p);
        EXPECT_EQ(g->aHeaders, (std::vector<QString>{"Número", "Descripción", "Pre.Costo", "Pre.Venta", "Stock"}));
        type(p, 184, "CA");
        EXPECT_EQ(g->bLine()[1].text().trimmed(), QString::fromUtf8("CAÑA"));
        press(p, 185);
      });
      press(a, 111);
      press(a, 106);
    });
    press(r, 182);
    press(r, 187);
  });
  ZOL1200();
}

}  // namespace
}  // namespace zol::test
