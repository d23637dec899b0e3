// The entries and exits registers driven as a user drives them: each case
// runs on both registers, which differ in which way a movement moves the stock.
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <map>

#include "screens/screen_support.h"
#include "tools/demo_data.h"
#include "tests/screens/register_test_support.h"

namespace zol::test {
namespace {

const Date kD1 = Date::fromYmd(2024, 1, 10);
const Date kD2 = Date::fromYmd(2024, 1, 20);
const Date kD3 = Date::fromYmd(2024, 1, 30);

// Field positions of a movement row.
enum { Fecha, Articulo, Cantidad, PreUni, Importe, Texto };

class RegisterTest : public ScreenTest, public ::testing::WithParamInterface<RegisterCase> {
 public:
  const RegisterCase& reg() const { return GetParam(); }

  // Opens the register, runs `steps` on it, leaves it, and closes the tables
  // so the test can read them.
  void run(std::function<void(TDialog&)> steps) {
    onDialog(reg().brw, [steps](TDialog& d) {
      steps(d);
      press(d, 187);
    });
    reg().open();
    workAreas().closeAll();
  }

  // The add dialog filled as a user does: code, Tab, quantity, Tab, accept.
  void addVia(TDialog& r, int code, const QString& quantity) {
    onDialog(reg().add, [code, quantity](TDialog& a) {
      type(a, 109, QString::number(code));
      type(a, 114, quantity);
      press(a, 104);
    });
    press(r, 182);
  }
  void changeQuantityVia(TDialog& r, const QString& quantity) {
    onDialog(reg().change, [quantity](TDialog& c) {
      type(c, 114, quantity);
      press(c, 104);
    });
    press(r, 183);
  }
  void deleteVia(TDialog& r) {
    onDialog("BORRAR2", [](TDialog& b) { press(b, 101); });
    press(r, 184);
  }
  // The search choice, then the modeless search dialog filled and accepted.
  void searchVia(TDialog& r, int option, const QString& value) {
    onDialog("ZOL1100CO", [option](TDialog& co) {
      if (option == 2) press(co, 101);
      press(co, 102);
    });
    press(r, 185);
    TDialog* s = visibleDialog(option == 1 ? "ZOL1100S1" : "ZOL1100S3");
    ASSERT_NE(s, nullptr);
    type(*s, 102, value);
    press(*s, 104);
  }

  WorkArea& movements() { return workAreas().area(reg().area); }
  double stock(int code) { return article(code, "stock").number(); }
  QString titleFor(const char* name, const char* stockText) const {
    return QString::fromUtf8(reg().title) + name + "   Stock = " + stockText;
  }
};

INSTANTIATE_TEST_SUITE_P(Registers, RegisterTest, ::testing::Values(kEntries, kExits), caseName);

// On the demo shop's two years of movements: changes, deletions and
// additions anywhere in the register keep every article's stock in step.
TEST_P(RegisterTest, DemoShopStockStaysInStepWithItsMovements) {
  {
    WorkAreas wa;
    DemoSummary summary;
    ASSERT_TRUE(writeDemoData(wa, WPATH, summary));
    wa.closeAll();
  }
  // Per article, in cents: its stock less its entries plus its exits. Every
  // operation of the registers must leave this where it was.
  auto balances = [this] {
    std::map<int, long long> out;
    for (const auto& a : rows(Tables::Articles)) out[static_cast<int>(a[0].number())] += std::llround(a[4].number() * 100);
    for (const auto& m : rows(Tables::Entries)) out[static_cast<int>(m[1].number())] -= std::llround(m[2].number() * 100);
    for (const auto& m : rows(Tables::Exits)) out[static_cast<int>(m[1].number())] += std::llround(m[2].number() * 100);
    return out;
  };
  const auto before = balances();
  const size_t movementsBefore = rows(reg().table).size();
  const int firstCode = static_cast<int>(rows(Tables::Articles).front()[0].number());
  run([&](TDialog& r) {
    Unexpected guard({reg().brw, reg().add, reg().change, "BORRAR2"});
    TWBrowse* grid = gridOf(r);
    ASSERT_NE(grid, nullptr);
    grid->setFocus();
    for (int i = 0; i < 7; ++i) QTest::keyClick(grid, Qt::Key_Down);
    changeQuantityVia(r, "4.25");
    QTest::keyClick(grid, Qt::Key_PageDown);
    deleteVia(r);
    addVia(r, firstCode, "3.5");
    changeQuantityVia(r, "12.75");
    press(r, 4004);
    deleteVia(r);
  });
  const auto after = rows(reg().table);
  EXPECT_EQ(after.size(), movementsBefore - 1);
  for (double changed : {4.25, 12.75})
    EXPECT_EQ(std::count_if(after.begin(), after.end(), [&](const Row& m) { return m[Cantidad].number() == changed; }), 1)
        << changed;
  EXPECT_EQ(balances(), before);
}

// Entries add to the stock and exits take off (below zero without a word);
// a change moves the stock by the difference, a deletion undoes the movement.
TEST_P(RegisterTest, StockFollowsAddChangeAndDelete) {
  addArticle(1, "TORNILLO", 2, 1.00, 2.50);
  const bool entries = reg().sign > 0;
  run([&](TDialog& r) {
    Unexpected guard({reg().brw, reg().add, reg().change, "BORRAR2"});
    addVia(r, 1, "5");
    EXPECT_EQ(r.windowTitle(), titleFor("TORNILLO", entries ? "7.00" : "-3.00"));
    // The grid stands on the new movement: sale price proposed, total computed.
    EXPECT_EQ(movements().get("fecha").date(), Date::today());
    EXPECT_EQ(movements().get("cantidad").number(), 5);
    EXPECT_EQ(movements().get("pre_uni").number(), 2.5);
    EXPECT_EQ(movements().get("importe").number(), 12.5);

    changeQuantityVia(r, "1");
    EXPECT_EQ(r.windowTitle(), titleFor("TORNILLO", entries ? "3.00" : "1.00"));
    EXPECT_EQ(movements().get("importe").number(), 2.5);  // recomputed on leaving the quantity

    deleteVia(r);
  });
  EXPECT_TRUE(rows(reg().table).empty());
  EXPECT_EQ(stock(1), 2);
  EXPECT_EQ(XART, 1) << "the article last entered";
}

TEST_P(RegisterTest, ChangingAnythingButTheQuantityLeavesTheStock) {
  addArticle(1, "TORNILLO", 10);
  addMovement(reg().table, kD1, 1, 4, 1.00, "ALBARAN 1");
  run([&](TDialog& r) {
    onDialog(reg().change, [](TDialog& c) {
      EXPECT_TRUE(field(c, 109)->isReadOnly());
      type(c, 101, "02022024");
      type(c, 108, "3");
      type(c, 113, "77.7");  // typed over, never through the quantity
      type(c, 107, "ALBARAN 2");
      press(c, 104);
    });
    press(r, 183);
  });
  const auto all = rows(reg().table);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0][Fecha].date(), Date::fromYmd(2024, 2, 2));
  EXPECT_EQ(all[0][Cantidad].number(), 4);
  EXPECT_EQ(all[0][PreUni].number(), 3);
  EXPECT_EQ(all[0][Importe].number(), 77.7);
  EXPECT_EQ(trimmed(all[0][Texto].text()), "ALBARAN 2");
  EXPECT_EQ(stock(1), 10);
}

TEST_P(RegisterTest, AddDialogProposesSalePriceAndKeepsATypedTotal) {
  addArticle(1, "TORNILLO", 0, 1.00, 2.50);
  run([&](TDialog& r) {
    onDialog(reg().add, [](TDialog& a) {
      type(a, 109, "1");
      EXPECT_EQ(shown(a, 102).trimmed(), "TORNILLO");
      EXPECT_EQ(shown(a, 108).trimmed(), "2.50");
      type(a, 114, "4");
      EXPECT_EQ(shown(a, 113).trimmed(), "10.00");
      type(a, 113, "9");
      press(a, 104);
    });
    press(r, 182);
  });
  const auto all = rows(reg().table);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0][PreUni].number(), 2.5);
  EXPECT_EQ(all[0][Importe].number(), 9);
}

// Each way of giving up on the add dialog writes nothing and says nothing.
TEST_P(RegisterTest, NothingIsWrittenWithoutCodeOrQuantity) {
  struct Way {
    const char* what;
    std::function<void(TDialog&)> fill;
  };
  const Way ways[] = {
      {"quantity left at 0",
       [](TDialog& a) {
         type(a, 109, "1");
         press(a, 104);
       }},
      {"code never typed",
       [](TDialog& a) {
         type(a, 114, "5");
         press(a, 104);
       }},
      {"code field left with 0 closes the dialog",
       [](TDialog& a) {
         type(a, 109, "0");
         EXPECT_TRUE(a.isClosing());
       }},
  };
  addArticle(1, "TORNILLO", 10);
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    run([&](TDialog& r) {
      Unexpected guard({reg().brw, reg().add});
      onDialog(reg().add, way.fill);
      press(r, 182);
    });
    EXPECT_TRUE(rows(reg().table).empty());
    EXPECT_EQ(stock(1), 10);
  }
}

TEST_P(RegisterTest, UnknownCodeIsRefusedAndCleared) {
  addArticle(1, "TORNILLO", 10);
  run([&](TDialog& r) {
    onDialog(reg().add, [](TDialog& a) {
      auto seen = expectMessage();
      type(a, 109, "999");
      EXPECT_TRUE(seen->seen);
      EXPECT_EQ(seen->title, "Atención");
      EXPECT_EQ(seen->text, "Artículo Inexistente");
      EXPECT_EQ(shown(a, 109).trimmed(), "0");
      EXPECT_EQ(a.focusWidget(), field(a, 109));
      tab(a);  // now 0: the way out
      EXPECT_TRUE(a.isClosing());
      if (!a.isClosing()) press(a, 106);
    });
    press(r, 182);
  });
  EXPECT_TRUE(rows(reg().table).empty());
}

// The amount field holds 999999.99 and the stock -99999.99 to 999999.99: a
// value beyond would be stored as asterisks, so the dialog refuses it and
// stays open for the user to correct.
TEST_P(RegisterTest, AmountsThatDoNotFitTheirFieldsAreRefused) {
  struct Case {
    const char* what;
    int code;
    QString quantity, total;  // what is typed first
    int fixId;                // the field corrected
    QString fix;
    double storedImporte, endStock;
  };
  const bool entries = reg().sign > 0;
  addArticle(1, "TORNILLO", 0);
  addArticle(2, "TUERCA", entries ? 999000 : -99000);
  const Case cases[] = {
      {"total", 1, "1", "1000000", 113, "999999.99", 999999.99, reg().sign},
      {"stock", 2, "1000", "", 114, "999.99", 0, entries ? 999999.99 : -99999.99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run([&](TDialog& r) {
      onDialog(reg().add, [&](TDialog& a) {
        type(a, 109, QString::number(c.code));
        type(a, 114, c.quantity);
        if (!c.total.isEmpty()) type(a, 113, c.total);
        auto seen = expectMessage();
        press(a, 104);
        EXPECT_TRUE(seen->seen);
        EXPECT_EQ(seen->title, "Atención");
        EXPECT_TRUE(seen->text.contains("no cabe")) << seen->text.toStdString();
        EXPECT_TRUE(a.isVisible() && !a.isClosing());
        type(a, c.fixId, c.fix);
        press(a, 104);
      });
      press(r, 182);
    });
    int found = 0;
    for (const auto& row : rows(reg().table))
      if (row[Articulo].number() == c.code) {
        ++found;
        EXPECT_DOUBLE_EQ(row[Importe].number(), c.storedImporte);
      }
    EXPECT_EQ(found, 1);
    EXPECT_DOUBLE_EQ(stock(c.code), c.endStock);
  }
}

// Change and delete need a movement under the cursor: on an empty register,
// or after the last movement went, they open nothing and write nothing.
// A change is written whatever its quantity, so a change to 0 is held to the
// same limit: the stock it leaves must fit its field.
TEST_P(RegisterTest, ChangeToZeroCannotPushTheStockPastItsField) {
  const bool entries = reg().sign > 0;
  addArticle(1, "TORNILLO", entries ? -99500 : 999500);
  addMovement(reg().table, kD1, 1, 1000);
  run([&](TDialog& r) {
    onDialog(reg().change, [&](TDialog& c) {
      type(c, 114, "0");
      auto seen = expectMessage();
      press(c, 104);
      EXPECT_TRUE(seen->seen);
      EXPECT_TRUE(seen->text.contains("no cabe")) << seen->text.toStdString();
      EXPECT_TRUE(c.isVisible() && !c.isClosing());
      press(c, 106);
    });
    press(r, 183);
  });
  ASSERT_EQ(rows(reg().table).size(), 1u);
  EXPECT_EQ(rows(reg().table)[0][Cantidad].number(), 1000);
  EXPECT_EQ(stock(1), entries ? -99500 : 999500);
}

// After an add the register stands on the new movement, wherever it sorts;
// after a cancelled add, on the movement it stood on before.
TEST_P(RegisterTest, AddLandsOnTheNewMovementAndCancelOnThePreviousOne) {
  addArticle(1, "TORNILLO", 10);
  addArticle(2, "TUERCA", 10);
  addMovement(reg().table, kD1, 1, 1);
  addMovement(reg().table, kD3, 1, 3);
  addMovement(reg().table, kD3, 2, 4);
  run([&](TDialog& r) {
    Unexpected guard({reg().brw, reg().add});
    onDialog(reg().add, [](TDialog& a) {
      type(a, 101, "20012024");
      type(a, 109, "2");
      type(a, 114, "2");
      press(a, 104);
    });
    press(r, 182);
    EXPECT_EQ(movements().get("fecha").date(), kD2);
    EXPECT_EQ(movements().get("cantidad").number(), 2);
    EXPECT_EQ(movements().order(), 1);
    EXPECT_EQ(r.windowTitle(), titleFor("TUERCA", reg().sign > 0 ? "12.00" : "8.00"));

    QTest::keyClick(gridOf(r), Qt::Key_Down);  // the first entry of kD3, article 1
    const uint32_t before = movements().recNo();
    onDialog(reg().add, [](TDialog& a) { press(a, 106); });
    press(r, 182);
    EXPECT_EQ(movements().recNo(), before);
    EXPECT_EQ(r.windowTitle(), titleFor("TORNILLO", "10.00"));
  });
  EXPECT_EQ(rows(reg().table).size(), 4u);
}

// A movement of an article the master lacks shows a blank name and stock 0,
// and changing or deleting it touches no stock.
TEST_P(RegisterTest, MovementOfAMissingArticle) {
  addArticle(1, "TORNILLO", 10);
  addMovement(reg().table, kD1, 77, 5);
  run([&](TDialog& r) {
    Unexpected guard({reg().brw, reg().change, "BORRAR2"});
    EXPECT_EQ(r.windowTitle(), reg().emptyTitle);
    changeQuantityVia(r, "8");
    EXPECT_EQ(movements().get("cantidad").number(), 8);
    deleteVia(r);
  });
  EXPECT_TRUE(rows(reg().table).empty());
  EXPECT_EQ(stock(1), 10);
}

TEST_P(RegisterTest, ChangeAndDeleteNeedAMovement) {
  addArticle(1, "TORNILLO", 10);
  run([&](TDialog& r) {
    EXPECT_EQ(r.windowTitle(), reg().emptyTitle);
    EXPECT_EQ(gridOf(r)->nLen, 0);
    Unexpected guard({reg().brw});
    press(r, 183);
    press(r, 184);
  });
  EXPECT_TRUE(rows(reg().table).empty());

  addMovement(reg().table, kD1, 1, 4);
  run([&](TDialog& r) {
    deleteVia(r);
    Unexpected guard({reg().brw});
    press(r, 184);
    press(r, 183);
    EXPECT_EQ(r.windowTitle(), reg().emptyTitle);
  });
  EXPECT_TRUE(rows(reg().table).empty());
  EXPECT_EQ(stock(1), 10 - reg().sign * 4);  // undone once, not twice
}

// Article search: article order until a date search; not found says so.
TEST_P(RegisterTest, SearchesByArticleAndByDate) {
  addArticle(1, "TORNILLO", 10);
  addArticle(2, "TUERCA", 10);
  addMovement(reg().table, kD1, 2, 1);
  addMovement(reg().table, kD2, 1, 1);
  addMovement(reg().table, kD3, 2, 1);
  run([&](TDialog& r) {
    WorkArea& m = movements();
    searchVia(r, 2, "2");
    EXPECT_EQ(m.order(), 2);
    EXPECT_EQ(currentArticle(reg().area), 2);
    EXPECT_EQ(m.get("fecha").date(), kD1);
    EXPECT_EQ(r.windowTitle(), titleFor("TUERCA", "10.00"));
    press(r, 4001);  // first in article order is article 1's movement
    EXPECT_EQ(m.order(), 2);
    EXPECT_EQ(currentArticle(reg().area), 1);
    press(r, 4004);
    EXPECT_EQ(m.get("fecha").date(), kD3);

    auto none = expectMessage();
    searchVia(r, 2, "9");
    EXPECT_EQ(none->title, "!!!");
    EXPECT_EQ(none->text, "Artículo Inexistente");
    EXPECT_EQ(currentArticle(reg().area), 1);

    searchVia(r, 1, "20012024");
    EXPECT_EQ(m.order(), 1);
    EXPECT_EQ(m.get("fecha").date(), kD2);
    press(r, 4001);  // date order again
    EXPECT_EQ(m.get("fecha").date(), kD1);

    const uint32_t before = m.recNo();
    auto noDate = expectMessage();
    searchVia(r, 1, "15012024");
    EXPECT_EQ(noDate->title, "!!!");
    EXPECT_EQ(noDate->text, "Fecha Inexistente");
    EXPECT_EQ(m.recNo(), before);
  });
}

TEST_P(RegisterTest, DateSearchFieldColour) {
  run([&](TDialog& r) {
    onDialog("ZOL1100CO", [](TDialog& co) { press(co, 102); });
    press(r, 185);
    TDialog* s = visibleDialog("ZOL1100S1");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(shown(*s, 102), QString::fromStdString(Date::today().toText()));
    const QColor text = field(*s, 102)->palette().color(QPalette::Text);
    if (reg().sign < 0)
      EXPECT_EQ(text, QColor(0, 0, 255));
    else
      EXPECT_NE(text, QColor(0, 0, 255));
    press(*s, 105);
  });
}

// After an article search, each operation that writes puts the register back
// in date order.
TEST_P(RegisterTest, WritingRestoresDateOrder) {
  const std::pair<const char*, std::function<void(RegisterTest&, TDialog&)>> ops[] = {
      {"add", [](RegisterTest& t, TDialog& r) { t.addVia(r, 1, "1"); }},
      {"change", [](RegisterTest& t, TDialog& r) { t.changeQuantityVia(r, "2"); }},
      {"delete", [](RegisterTest& t, TDialog& r) { t.deleteVia(r); }},
  };
  addArticle(1, "TORNILLO", 10);
  addArticle(2, "TUERCA", 10);
  addMovement(reg().table, kD1, 2, 1);
  addMovement(reg().table, kD2, 1, 1);
  for (const auto& [what, op] : ops) {
    SCOPED_TRACE(what);
    run([&](TDialog& r) {
      searchVia(r, 2, "1");
      ASSERT_EQ(movements().order(), 2);
      op(*this, r);
      EXPECT_EQ(movements().order(), 1);
    });
  }
}

}  // namespace
}  // namespace zol::test
