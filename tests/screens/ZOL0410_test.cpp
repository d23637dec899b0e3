// The article screen driven as a user drives it: the list, the add and
// change dialogs, deleting with the article's movements, the searches, and
// what the grid draws.
#include <QPlainTextEdit>
#include <filesystem>

#include "core/launcher.h"
#include "screen_test_support.h"
#include "screens/ZOL0410.h"
#include "screens/screen_support.h"

namespace zol {
namespace {

using test::expectMessage;
using test::gridOf;
using test::onDialog;
using test::press;
using test::shown;
using test::tab;
using test::type;

class ArticleScreen : public test::ScreenTest {
 protected:
  // Runs the screen; `steps` works on the list dialog, which is closed with
  // "Salir" afterwards when still open.
  void run(std::function<void(TDialog&)> steps) {
    bool ran = false;
    onDialog("ZOL0410BRW", [&](TDialog& list) {
      ran = true;
      steps(list);
      if (list.isVisible()) press(list, 187);
    });
    ZOL0410();
    EXPECT_TRUE(ran) << "the list dialog never opened";
  }
  WorkArea& articles() { return workAreas().area(Area::Articles); }
  std::string currentName() { return trimmed(articles().get("nombre").text()); }
};

// ---- code proposal ---------------------------------------------------------

TEST_F(ArticleScreen, ProposedCodeSkipsTheReservedRange) {
  struct Case {
    std::vector<int> codes;
    double proposal;
  } cases[] = {
      {{}, 1},
      {{5, 123, 50}, 124},
      {{500, 900001, 900007}, 501},
      {{10, 900000}, 900001},  // 900000 itself is not above the limit
      {{900005, 900003, 900010}, 900004},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.codes));
    WorkAreas wa;
    ASSERT_TRUE(wa.use(WPATH + Tables::Articles));
    WorkArea& a = wa.cur();
    ASSERT_TRUE(a.zap());
    for (int code : c.codes) {
      a.appendBlank();
      a.put("articulo", Value(code));
    }
    a.setOrder(2);
    a.goTop();
    const uint32_t before = a.recNo();
    EXPECT_EQ(proposedArticleCode(a), c.proposal);
    EXPECT_EQ(a.recNo(), before) << "the proposal must come back to the record it left";
    EXPECT_EQ(a.order(), 1);
  }
}

TEST_F(ArticleScreen, AddDialogOffersTheProposedCode) {
  addArticle(123, "MARTILLO", 1);
  addArticle(900001, "RESERVADO", 1);
  run([&](TDialog& list) {
    onDialog("ZOL0410ALT", [&](TDialog& add) {
      EXPECT_EQ(shown(add, 101).trimmed(), "124");
      press(add, 106);
    });
    press(list, 182);
  });
  EXPECT_EQ(rows(Tables::Articles).size(), 2u);
  EXPECT_TRUE(rows(Tables::Entries).empty()) << "a cancelled add writes nothing";
}

// ---- adding ---------------------------------------------------------------

TEST_F(ArticleScreen, AddingRecordsTheOpeningStockAsAnEntry) {
  struct Case {
    const char* stock;
    double quantity;
  } cases[] = {{"12.50", 12.5}, {"0", 0}};
  addArticle(7, "CLAVO", 3);
  int code = 8;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stock);
    run([&](TDialog& list) {
      onDialog("ZOL0410ALT", [&](TDialog& add) {
        type(add, 102, "TORNILLO");
        type(add, 105, "2.00");
        type(add, 110, "3.10");
        type(add, 108, c.stock);
        press(add, 104);
      });
      press(list, 182);
    });
    EXPECT_EQ(article(code, "stock").number(), c.quantity) << "the stock is the quantity, not the amount";
    EXPECT_EQ(article(code, "precio").number(), 2.0);
    EXPECT_EQ(article(code, "preciov").number(), 3.1);
    EXPECT_EQ(trimmed(article(code, "nombre").text()), "TORNILLO");
    auto entries = rows(Tables::Entries);
    ASSERT_EQ(entries.size(), static_cast<size_t>(code - 7));
    const auto& e = entries.back();  // fecha articulo cantidad pre_uni importe texto marca
    EXPECT_EQ(e[0].date(), Date::today());
    EXPECT_EQ(e[1].number(), code);
    EXPECT_EQ(e[2].number(), c.quantity);
    EXPECT_EQ(e[3].number(), 2.0);
    EXPECT_EQ(e[4].number(), c.quantity * 2.0);
    EXPECT_EQ(trimmed(e[5].text()), "STOCK INICIAL");
    ++code;
  }
  EXPECT_EQ(article(7, "stock").number(), 3.0);
}

TEST_F(ArticleScreen, ExistingOrZeroCodeCannotBeLeft) {
  addArticle(5, "CLAVO", 3);
  std::shared_ptr<test::SeenMessage> seen;
  run([&](TDialog& list) {
    onDialog("ZOL0410ALT", [&](TDialog& add) {
      QLineEdit* code = test::field(add, 101);
      seen = expectMessage();
      type(add, 101, "5");
      EXPECT_TRUE(seen->seen);
      EXPECT_EQ(seen->title, "Atención");
      EXPECT_EQ(seen->text, "Artículo Existente");
      EXPECT_EQ(add.focusWidget(), code) << "an existing code keeps the focus";
      type(add, 101, "0");
      EXPECT_EQ(add.focusWidget(), code) << "code 0 keeps the focus";
      type(add, 101, "6");
      EXPECT_NE(add.focusWidget(), code);
      type(add, 102, "CLAVO GRANDE");
      press(add, 104);
    });
    press(list, 182);
  });
  EXPECT_EQ(trimmed(article(6, "nombre").text()), "CLAVO GRANDE");
  EXPECT_EQ(trimmed(article(5, "nombre").text()), "CLAVO");
  EXPECT_EQ(rows(Tables::Articles).size(), 2u);
}

TEST_F(ArticleScreen, OpeningAmountTooWideForTheEntryIsRefused) {
  std::shared_ptr<test::SeenMessage> seen;
  run([&](TDialog& list) {
    onDialog("ZOL0410ALT", [&](TDialog& add) {
      type(add, 102, "CAMION");
      type(add, 105, "100000");
      type(add, 108, "20");
      seen = expectMessage();
      press(add, 104);
      EXPECT_TRUE(seen->seen);
      EXPECT_TRUE(add.isVisible()) << "the dialog stays open to be corrected";
      type(add, 108, "2");
      press(add, 104);
    });
    press(list, 182);
  });
  auto entries = rows(Tables::Entries);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0][4].number(), 200000.0);
  EXPECT_EQ(article(1, "stock").number(), 2.0);
}

// ---- changing ---------------------------------------------------------------

TEST_F(ArticleScreen, ChangingCorrectsTheStockWithoutAMovement) {
  addArticle(10, "TALADRO", 10, 50, 80);
  run([&](TDialog& list) {
    onDialog("ZOL0410MOD", [&](TDialog& mod) {
      EXPECT_TRUE(test::field(mod, 101)->isReadOnly());
      EXPECT_EQ(shown(mod, 108).trimmed(), "10.00");
      type(mod, 108, "7");
      press(mod, 104);
    });
    press(list, 183);
  });
  EXPECT_EQ(article(10, "stock").number(), 7.0);
  EXPECT_EQ(article(10, "precio").number(), 50.0);
  EXPECT_TRUE(rows(Tables::Entries).empty());
  EXPECT_TRUE(rows(Tables::Exits).empty());
}

TEST_F(ArticleScreen, NotesAreKeptAndShorterNotesReuseTheirSpace) {
  addArticle(10, "TALADRO", 10);
  const std::string fpt = WPATH + "maeart.fpt";
  auto writeNotes = [&](const QString& text) {
    run([&](TDialog& list) {
      onDialog("ZOL0410MOD", [&](TDialog& mod) {
        auto* notes = qobject_cast<QPlainTextEdit*>(mod.findItem(107));
        ASSERT_NE(notes, nullptr);
        notes->setFocus();
        notes->selectAll();
        QTest::keyClicks(notes, text);
        press(mod, 104);
      });
      press(list, 183);
    });
  };
  const QString longText = QString("Proveedor: ferreteria central. ").repeated(12);
  writeNotes(longText);
  const std::string stored = article(10, "notas").text();
  std::string flat = stored;
  for (size_t p; (p = flat.find("\r\n")) != std::string::npos;) flat.erase(p, 2);
  EXPECT_EQ(flat, longText.toStdString()) << "wrapping adds line breaks, never loses text";
  EXPECT_NE(stored.find("\r\n"), std::string::npos) << "the lines as shown are stored with hard breaks";
  const auto sizeAfterLong = std::filesystem::file_size(fpt);

  writeNotes("Corto");
  EXPECT_EQ(article(10, "notas").text(), "Corto");
  writeNotes("Otro corto");
  EXPECT_EQ(article(10, "notas").text(), "Otro corto");
  EXPECT_LE(std::filesystem::file_size(fpt), sizeAfterLong) << "shorter notes reuse the freed blocks";
}

// ---- deleting ---------------------------------------------------------------

TEST_F(ArticleScreen, DeletingTakesTheMovementsWithIt) {
  addArticle(1, "ALICATE", 5);
  addArticle(2, "BROCA", 5);
  for (int d = 1; d <= 3; ++d) addMovement(Tables::Entries, Date::fromYmd(2026, 3, d), 1, d);
  for (int d = 1; d <= 2; ++d) addMovement(Tables::Exits, Date::fromYmd(2026, 4, d), 1, d);
  addMovement(Tables::Entries, Date::fromYmd(2026, 3, 2), 2, 9);
  addMovement(Tables::Exits, Date::fromYmd(2026, 4, 9), 2, 4);

  enum class Answer { CancelFirst, NoSecond, Yes };
  for (Answer answer : {Answer::CancelFirst, Answer::NoSecond, Answer::Yes}) {
    SCOPED_TRACE(static_cast<int>(answer));
    std::shared_ptr<test::SeenMessage> seen;
    run([&](TDialog& list) {
      EXPECT_EQ(currentName(), "ALICATE");  // name order, first record
      onDialog("BORRAR2", [&](TDialog& confirm) {
        if (answer == Answer::CancelFirst) {
          press(confirm, 102);
          return;
        }
        seen = expectMessage(answer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
        press(confirm, 101);
      });
      press(list, 184);
    });
    if (answer != Answer::CancelFirst) {
      ASSERT_TRUE(seen && seen->seen);
      EXPECT_EQ(seen->title, "ATENCION...");
      EXPECT_EQ(seen->text, "Se Borrarán También Todos los Movimientos de Entradas y Salidas. Continúa ?");
    }
    if (answer != Answer::Yes) {
      EXPECT_EQ(rows(Tables::Articles).size(), 2u);
      EXPECT_EQ(rows(Tables::Entries).size(), 4u);
      EXPECT_EQ(rows(Tables::Exits).size(), 3u);
    }
  }
  ASSERT_EQ(rows(Tables::Articles).size(), 1u);
  EXPECT_TRUE(article(1, "nombre").isNil());
  auto entries = rows(Tables::Entries), exits = rows(Tables::Exits);
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_EQ(exits.size(), 1u);
  EXPECT_EQ(entries[0][1].number(), 2);
  EXPECT_EQ(exits[0][1].number(), 2);
}

TEST_F(ArticleScreen, ChangeAndDeleteOnAnEmptyListDoNothing) {
  run([&](TDialog& list) {
    press(list, 183);
    press(list, 184);
    EXPECT_EQ(QApplication::activeModalWidget(), &list) << "no dialog opened";
  });
  EXPECT_TRUE(rows(Tables::Articles).empty());
}

// ---- searching --------------------------------------------------------------

class ArticleSearch : public ArticleScreen {
 protected:
  void SetUp() override {
    ArticleScreen::SetUp();
    addArticle(30, "MARTILLO", 1);
    addArticle(10, "ALICATE", 1);
    addArticle(20, "AMOLADORA", 1);
    addArticle(40, "BROCA", 1);
  }
};

TEST_F(ArticleSearch, TypedNameSearchFollowsTheKeyRule) {
  run([&](TDialog& list) {
    QLineEdit* search = test::field(list, 102);
    search->setFocus();
    struct Step {
      int key;
      const char* lands;
    } steps[] = {
        {Qt::Key_M, "MARTILLO"},    // "MM" finds nothing, "M" does
        {Qt::Key_A, "MARTILLO"},    // "MAA" no, "MA" yes
        {Qt::Key_Backspace, "MARTILLO"},  // "M" + chr(8) no, "M" yes
        {Qt::Key_Backspace, "ALICATE"},   // chr(8) no, "" is the first name
        {Qt::Key_A, "ALICATE"},     // "AA" no, "A"
        {Qt::Key_M, "AMOLADORA"},   // "AMM" no, "AM"
        {Qt::Key_Z, "MARTILLO"},    // "AMZZ" no, "AMZ" no: end of the table, shown as its last line
    };
    for (const Step& s : steps) {
      SCOPED_TRACE(s.lands);
      QTest::keyClick(search, static_cast<Qt::Key>(s.key));
      EXPECT_EQ(articles().order(), 2);
      EXPECT_EQ(currentName(), s.lands);
    }
    EXPECT_EQ(search->text().trimmed(), "AMZ");
  });
}

TEST_F(ArticleSearch, DoubledLetterIsSoughtFirst) {
  addArticle(50, "AA BATERIA", 1);
  addArticle(60, "ABRAZADERA", 1);
  run([&](TDialog& list) {
    QLineEdit* search = test::field(list, 102);
    search->setFocus();
    QTest::keyClick(search, Qt::Key_A);
    EXPECT_EQ(currentName(), "AA BATERIA");
    QTest::keyClick(search, Qt::Key_B);  // "ABB" no, "AB"
    EXPECT_EQ(currentName(), "ABRAZADERA");
  });
}

TEST_F(ArticleSearch, DeleteAndAccentedCapitalsBuildTheKeyToo) {
  addArticle(50, "\xD1" "ANDU", 1);      // ÑANDU, Windows-1252
  addArticle(60, "\xD1\xD1" "O", 1);     // ÑÑO
  run([&](TDialog& list) {
    QLineEdit* search = test::field(list, 102);
    search->setFocus();
    test::typeKeys(search, QString::fromUtf8("ñ"));  // the field makes it a capital
    EXPECT_EQ(articles().get("articulo").number(), 60) << "Ñ is repeated as a capital: ÑÑ first";
    QTest::keyClick(search, Qt::Key_Home);
    QTest::keyClick(search, Qt::Key_Delete);  // "" + "." no, "" is the first name
    EXPECT_EQ(currentName(), "ALICATE");
  });
}

TEST_F(ArticleSearch, AddSwitchesToCodeOrderAndCancelGoesToTheFirstCode) {
  addArticle(5, "TALADRO", 1);
  run([&](TDialog& list) {
    EXPECT_EQ(currentName(), "ALICATE");
    onDialog("ZOL0410ALT", [&](TDialog& add) {
      EXPECT_EQ(shown(add, 101).trimmed(), "41");
      press(add, 106);
    });
    press(list, 182);
    EXPECT_EQ(articles().order(), 1);
    EXPECT_EQ(currentName(), "TALADRO");  // code 5, the first by code
    gridOf(list)->setFocus();
    QTest::keyClick(gridOf(list), Qt::Key_Down);
    EXPECT_EQ(currentName(), "ALICATE");  // code 10 follows in code order
  });
}

TEST_F(ArticleSearch, NameAndCodeSearches) {
  struct Case {
    int option;        // 100 by name, 110 by code
    const char* typed;
    const char* lands;
    int order;
  } cases[] = {
      {100, "AMO", "AMOLADORA", 2},
      {100, "ZZZ", "ALICATE", 2},  // nothing found: first record by name
      {110, "40", "BROCA", 1},
      {110, "99", "ALICATE", 1},   // nothing found: first record by code (10)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    run([&](TDialog& list) {
      onDialog("ZOL0410CO", [&](TDialog& choice) {
        onDialog(c.option == 100 ? "ZOL0410S1" : "ZOL0410S2", [&](TDialog& s) {
          type(s, 102, c.typed);
          press(s, 104);
        });
        press(choice, c.option);
        press(choice, 101);
      });
      press(list, 185);
      EXPECT_EQ(currentName(), c.lands);
      EXPECT_EQ(articles().order(), c.order);
    });
  }
}

// ---- what the grid shows ------------------------------------------------------

TEST_F(ArticleScreen, LightAndTextColourFollowTheStock) {
  addArticle(1, "A CON STOCK", 4);
  addArticle(2, "B SIN STOCK", 0);
  addArticle(3, "C NEGATIVO", -2);
  run([&](TDialog& list) {
    TWBrowse* grid = gridOf(list);
    ASSERT_NE(grid, nullptr);
    grid->GoBottom();
    grid->GoTop();  // the cursor on line 1; lines 2 and 3 show their own colours
    grid->Refresh();
    const QImage img = grid->image();
    auto lineTop = [&](int line) { return grid->headerBand() + (line - 1) * grid->linePitch(); };
    auto has = [&](int line, int x0, int x1, auto pred) {
      for (int y = lineTop(line); y < lineTop(line) + grid->nLineHeight; ++y)
        for (int x = x0; x < x1; ++x)
          if (pred(img.pixelColor(x, y))) return true;
      return false;
    };
    auto greenish = [](QColor c) { return c.green() > 150 && c.red() < 90 && c.blue() < 110; };
    auto reddish = [](QColor c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; };
    auto dark = [](QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; };
    const int stockX0 = 15 + 65 + 325 + 70 + 70;
    struct Line {
      int line;
      bool green;
    } lines[] = {{1, true}, {2, false}, {3, false}};
    for (const Line& l : lines) {
      SCOPED_TRACE(l.line);
      EXPECT_EQ(has(l.line, 0, 15, greenish), l.green);
      EXPECT_EQ(has(l.line, 0, 15, reddish), !l.green);
      if (l.line > 1) {
        EXPECT_TRUE(has(l.line, stockX0, stockX0 + 70, reddish)) << "red text";
        EXPECT_FALSE(has(l.line, stockX0, stockX0 + 70, dark));
      }
    }
    // Line 1 is selected on its first cell; its stock cell shows black text.
    EXPECT_TRUE(has(1, stockX0, stockX0 + 70, dark));
    EXPECT_FALSE(has(1, stockX0, stockX0 + 70, reddish));
  });
}

TEST_F(ArticleScreen, LeavingRemembersTheArticle) {
  addArticle(10, "ALICATE", 1);
  addArticle(20, "BROCA", 1);
  run([&](TDialog& list) {
    gridOf(list)->setFocus();
    QTest::keyClick(gridOf(list), Qt::Key_Down);
    EXPECT_EQ(currentName(), "BROCA");
  });
  EXPECT_EQ(XART, 20);
  EXPECT_EQ(trimmed(XNOM_ART), "BROCA");
  EXPECT_TRUE(workAreas().area(Area::Articles).isOpen()) << "the tables stay open";
}

TEST_F(ArticleScreen, CalculatorBitmapStartsTheCalculator) {
  Launcher::instance().setRecording(true);
  addArticle(10, "ALICATE", 1);
  run([&](TDialog& list) {
    onDialog("ZOL0410MOD", [&](TDialog& mod) {
      press(mod, 172);
      press(mod, 106);
    });
    press(list, 183);
  });
  ASSERT_FALSE(Launcher::instance().requests().empty());
}

}  // namespace
}  // namespace zol
