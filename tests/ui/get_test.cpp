// Entry fields in real dialogs from the real templates, typed into with keys
// and left with Tab, Enter and clicks the way a user does.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <vector>

#include <gtest/gtest.h>

#include "core/codepage.h"
#include "ui/dialog.h"
#include "ui/msg.h"
#include "ui_test_support.h"

namespace zol {
namespace {

using test::whenShown;

const TFont& dialogFont() {
  static const TFont f("Arial", 12);
  return f;
}

QLineEdit* editOf(TDialog& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.findItem(id)); }
int focusedId() {
  QWidget* w = QApplication::focusWidget();
  return w ? w->property("id").toInt() : -1;
}

// Runs the dialog modally; `steps` types into it and must close it.
void run(TDialog& dlg, std::function<void()> steps) {
  whenShown(&dlg, [&dlg, steps = std::move(steps)] {
    steps();
    if (dlg.isVisible()) dlg.end();
  });
  dlg.activate();
}

TEST(Get, TypedNumbersFollowThePicture) {
  struct Case {
    double initial;
    const char* keys;
    double stored;
    const char* shownAfter;
  } cases[] = {
      {125.50, "7", 7.00, "     7.00"},
      {125.50, "7.5", 7.50, "     7.50"},
      {125.50, ".25", 125.25, "   125.25"},
      {0, "12ab34", 1234.00, "  1234.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    double price = c.initial;
    double stock = 0;
    TDialog dlg("ZOL0410MOD", &dialogFont());
    dlg.get(105, bind(price), "999999.99");
    dlg.get(108, bind(stock), "999999.99");
    QString shown;
    run(dlg, [&] {
      editOf(dlg, 105)->setFocus();
      QTest::keyClicks(editOf(dlg, 105), c.keys);
      QTest::keyClick(editOf(dlg, 105), Qt::Key_Tab);
      shown = editOf(dlg, 105)->text();
    });
    EXPECT_DOUBLE_EQ(price, c.stored);
    EXPECT_EQ(shown.toStdString(), c.shownAfter);
  }
}

TEST(Get, UpperCasePictureStoresWindows1252) {
  std::string name(20, ' ');
  TDialog dlg("ZOL0410S1", &dialogFont());
  dlg.get(102, bind(name), "@!");
  run(dlg, [&] {
    editOf(dlg, 102)->setFocus();
    test::typeText(editOf(dlg, 102), QString::fromUtf8("peña"));
    QTest::keyClick(editOf(dlg, 102), Qt::Key_Enter);
  });
  EXPECT_EQ(name, utf8ToCp1252("PEÑA") + std::string(16, ' '));
  EXPECT_EQ(name.size(), 20u);
}

TEST(Get, InvalidDateCannotBeLeftUntilCorrected) {
  Date d;
  bool ok = false;
  int validRuns = 0;
  std::vector<int> focusAfterTab;
  TDialog dlg("ZOL1100S1", &dialogFont());
  dlg.get(102, bind(d), "99/99/9999").valid([&] {
    ++validRuns;
    return true;
  });
  dlg.acceptButton(104, ok);
  dlg.cancelButton(105, ok);
  run(dlg, [&] {
    QLineEdit* e = editOf(dlg, 102);
    e->setFocus();
    QTest::keyClicks(e, "31022024");
    QTest::keyClick(e, Qt::Key_Tab);
    focusAfterTab.push_back(focusedId());
    // A click on the accept button is refused too: no result, still here.
    QTest::mouseClick(dlg.findItem(104), Qt::LeftButton);
    focusAfterTab.push_back(dlg.isVisible() ? focusedId() : -1);
    QTest::keyClick(e, Qt::Key_Home);
    QTest::keyClicks(e, "29");
    QTest::keyClick(e, Qt::Key_Tab);
    focusAfterTab.push_back(focusedId());
  });
  EXPECT_EQ(focusAfterTab, (std::vector<int>{102, 102, 104}));
  EXPECT_EQ(d, Date::fromYmd(2024, 2, 29));
  EXPECT_EQ(validRuns, 1);
  EXPECT_FALSE(ok);
}

// A wide field invites clicks to the right of its text; the keys typed next
// must still land in the field.
TEST(Get, ClickPastTheTextStillTakesTheNextKeys) {
  Date d;
  bool ok = false;
  TDialog dlg("ZOL1100S1", &dialogFont());
  dlg.get(102, bind(d), "99/99/9999");
  dlg.acceptButton(104, ok);
  dlg.cancelButton(105, ok);
  run(dlg, [&] {
    QLineEdit* e = editOf(dlg, 102);
    e->setFocus();
    QTest::keyClicks(e, "01");
    QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(e->width() - 3, e->height() / 2));
    QTest::keyClicks(e, "03");
    QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(e->width() - 3, e->height() / 2));
    QTest::keyClicks(e, "2024");
    QTest::keyClick(e, Qt::Key_Tab);
  });
  EXPECT_EQ(d, Date::fromYmd(2024, 3, 1));
}

// Tab into a field selects its whole text in a plain line edit; here the
// edit starts at the first position, so a number typed after Tab replaces
// the value instead of landing in the decimals.
TEST(Get, TabbingIntoAFieldStartsAtItsFirstPosition) {
  double price = 125.5, stock = 4;
  std::string name(40, ' ');
  bool ok = false;
  TDialog dlg("ZOL0410MOD", &dialogFont());
  dlg.get(102, bind(name), "@!");
  dlg.get(105, bind(price), "999999.99");
  dlg.get(110, bind(stock), "999999.99");
  dlg.acceptButton(104, ok);
  dlg.cancelButton(106, ok);
  run(dlg, [&] {
    editOf(dlg, 102)->setFocus();
    QTest::keyClicks(editOf(dlg, 102), "TUERCA");
    QTest::keyClick(editOf(dlg, 102), Qt::Key_Tab);
    ASSERT_EQ(focusedId(), 105);
    QTest::keyClicks(editOf(dlg, 105), "3");
    QTest::keyClick(editOf(dlg, 105), Qt::Key_Tab);
    ASSERT_EQ(focusedId(), 110);
    QTest::keyClicks(editOf(dlg, 110), "10");
    QTest::keyClick(editOf(dlg, 110), Qt::Key_Backtab);
  });
  EXPECT_EQ(price, 3.0);
  EXPECT_EQ(stock, 10.0);
  EXPECT_EQ(name.substr(0, 7), "TUERCA ");
}

TEST(Get, ValueIsWrittenBackBeforeValidRuns) {
  double code = 0;
  double seenByValid = -1;
  TDialog dlg("ZOL0410S2", &dialogFont());
  dlg.get(102, bind(code), "999999").valid([&] {
    seenByValid = code;
    return true;
  });
  run(dlg, [&] {
    editOf(dlg, 102)->setFocus();
    QTest::keyClicks(editOf(dlg, 102), "42");
    QTest::keyClick(editOf(dlg, 102), Qt::Key_Tab);
  });
  EXPECT_EQ(seenByValid, 42);
}

TEST(Get, FalseValidKeepsTheFocusAndSwallowsTheClick) {
  double code = 0;
  bool ok = false;
  std::vector<int> focus;
  TDialog dlg("ZOL0410S2", &dialogFont());
  dlg.get(102, bind(code), "999999").valid([&] { return code > 0; });
  dlg.acceptButton(104, ok);
  dlg.cancelButton(105, ok);
  run(dlg, [&] {
    QLineEdit* e = editOf(dlg, 102);
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Tab);  // 0 is not valid
    focus.push_back(focusedId());
    QTest::keyClick(e, Qt::Key_Enter);
    focus.push_back(focusedId());
    QTest::mouseClick(dlg.findItem(104), Qt::LeftButton);
    focus.push_back(dlg.isVisible() ? focusedId() : -1);
    QTest::keyClicks(e, "7");
    QTest::mouseClick(dlg.findItem(104), Qt::LeftButton);  // now the click goes through
  });
  EXPECT_EQ(focus, (std::vector<int>{102, 102, 102}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(code, 7);
}

TEST(Get, CancelButtonLeavesWithoutValid) {
  Date d;
  bool ok = true;
  int validRuns = 0;
  TDialog dlg("ZOL2200", &dialogFont());
  dlg.get(102, bind(d), "99/99/9999").valid([&] {
    ++validRuns;
    return false;
  });
  dlg.acceptButton(104, ok);
  dlg.cancelButton(105, ok);
  run(dlg, [&] {
    editOf(dlg, 102)->setFocus();
    QTest::keyClicks(editOf(dlg, 102), "99");  // not even a date
    QTest::mouseClick(dlg.findItem(105), Qt::LeftButton);
  });
  EXPECT_EQ(validRuns, 0);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(dlg.isVisible());
}

TEST(Get, EscapeCancelsTheDialogWithoutValid) {
  Date d;
  int validRuns = 0;
  TDialog dlg("ZOL1100S1", &dialogFont());
  dlg.get(102, bind(d), "99/99/9999").valid([&] {
    ++validRuns;
    return false;
  });
  run(dlg, [&] {
    editOf(dlg, 102)->setFocus();
    QTest::keyClicks(editOf(dlg, 102), "3102");
    QTest::keyClick(editOf(dlg, 102), Qt::Key_Escape);
  });
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(validRuns, 0);
  EXPECT_TRUE(d.isEmpty());
}

TEST(Get, ClickOnAnotherFieldIsALeave) {
  double cost = 0, sale = 0;
  int validRuns = 0;
  std::vector<int> focus;
  TDialog dlg("ZOL0410MOD", &dialogFont());
  dlg.get(105, bind(cost), "999999.99").valid([&] {
    ++validRuns;
    return cost < 100;
  });
  dlg.get(110, bind(sale), "999999.99");
  run(dlg, [&] {
    editOf(dlg, 105)->setFocus();
    QTest::keyClicks(editOf(dlg, 105), "150");
    QTest::mouseClick(editOf(dlg, 110), Qt::LeftButton);
    focus.push_back(focusedId());
    QTest::keyClick(editOf(dlg, 105), Qt::Key_Home);
    QTest::keyClicks(editOf(dlg, 105), "15");
    QTest::mouseClick(editOf(dlg, 110), Qt::LeftButton);
    focus.push_back(focusedId());
  });
  EXPECT_EQ(focus, (std::vector<int>{105, 110}));
  EXPECT_EQ(validRuns, 2);
  EXPECT_DOUBLE_EQ(cost, 15);
}

TEST(Get, WhenDisablesAndTabSkipsReadOnlyAndDisabledFields) {
  Date date = Date::fromYmd(2024, 5, 1);
  double code = 0, stock = 0, price = 0, qty = 0, total = 0;
  std::string name(40, ' '), detail(40, ' ');
  bool ok = false;
  std::vector<int> chain;
  TDialog dlg("ZOL1100ALT", &dialogFont());
  dlg.get(101, bind(date), "99/99/9999");
  dlg.get(109, bind(code), "999999");
  dlg.get(102, bind(name)).readOnly();
  dlg.get(105, bind(stock), "999999.99").readOnly();
  dlg.get(108, bind(price), "999999.99").when([&] { return code != 0; });
  dlg.get(114, bind(qty), "9999999.99");
  dlg.get(113, bind(total), "9999999.99");
  dlg.get(107, bind(detail));
  dlg.acceptButton(104, ok);
  dlg.cancelButton(106, ok);
  run(dlg, [&] {
    editOf(dlg, 101)->setFocus();
    for (int i = 0; i < 7; ++i) {
      chain.push_back(focusedId());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // With a code the price field comes back into the chain.
    editOf(dlg, 109)->setFocus();
    QTest::keyClicks(editOf(dlg, 109), "5");
    QTest::keyClick(editOf(dlg, 109), Qt::Key_Tab);
    chain.push_back(focusedId());
  });
  EXPECT_EQ(chain, (std::vector<int>{101, 109, 114, 113, 107, 104, 106, 108}));
}

TEST(Get, ConfirmKeepsTheFocusOnAFullFieldUnlessSwitchedOff) {
  for (bool on : {true, false}) {
    SCOPED_TRACE(on);
    setConfirm(on);
    double code = 0;
    int focus = 0;
    TDialog dlg("ZOL0410S2", &dialogFont());
    dlg.get(102, bind(code), "999999");
    run(dlg, [&] {
      editOf(dlg, 102)->setFocus();
      QTest::keyClicks(editOf(dlg, 102), "123456");
      focus = focusedId();
    });
    EXPECT_EQ(focus, on ? 102 : 104);
    EXPECT_EQ(code, on ? 0 : 123456);  // written back only when left
  }
  setConfirm(true);
}

TEST(Get, ChangeCallbackSeesEveryEditWithItsKey) {
  std::string text(30, ' ');
  std::vector<std::pair<int, std::string>> seen;
  TDialog dlg("ZOL0410BRW", &dialogFont());
  TGet* g = nullptr;
  g = &dlg.get(102, bind(text), "@!").onChange([&](int key) {
    seen.emplace_back(key, g->buffer().substr(0, static_cast<size_t>(g->cursorPos())));
  });
  run(dlg, [&] {
    QLineEdit* e = editOf(dlg, 102);
    e->setFocus();
    QTest::keyClicks(e, "ab");
    QTest::keyClick(e, Qt::Key_Left);  // no edit, no call
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, "1");
  });
  const std::vector<std::pair<int, std::string>> expected = {
      {'a', "A"}, {'b', "AB"}, {GetKey::Backspace, ""}, {GetKey::Delete, ""}, {'1', "1"}};
  EXPECT_EQ(seen, expected);
}

TEST(Get, SpinnerStepsWithinItsBoundsAndRunsValid) {
  double year = 9998;
  int validRuns = 0;
  std::string month = "Enero";
  TDialog dlg("CALEND", &dialogFont());
  dlg.comboBox(101, month, {"Enero", "Febrero"});
  dlg.get(102, bind(year), "9999")
      .valid([&] {
        ++validRuns;
        return true;
      })
      .spinner([&] { year += 1; }, [&] { year -= 1; }, [] { return 0.0; }, [] { return 9999.0; });
  std::vector<double> years;
  run(dlg, [&] {
    QLineEdit* e = editOf(dlg, 102);
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Up);
    years.push_back(year);
    QTest::keyClick(e, Qt::Key_Up);  // 10000 is beyond the bound
    years.push_back(year);
    QTest::keyClick(e, Qt::Key_Down);
    years.push_back(year);
  });
  EXPECT_EQ(years, (std::vector<double>{9999, 9999, 9998}));
  EXPECT_EQ(validRuns, 3);
}

TEST(Get, ValidMayCloseTheDialog) {
  // An empty cut-off date closes the purge dialog as soon as it is left.
  Date cut;
  bool proceed = false;
  TDialog dlg("ZOL2200", &dialogFont());
  dlg.get(102, bind(cut), "99/99/9999").valid([&] {
    if (cut.isEmpty()) dlg.end();
    return true;
  });
  dlg.acceptButton(104, proceed);
  dlg.cancelButton(105, proceed);
  run(dlg, [&] {
    editOf(dlg, 102)->setFocus();
    QTest::keyClick(editOf(dlg, 102), Qt::Key_Tab);
  });
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_FALSE(proceed);
}

TEST(Get, ValidThatShowsAMessageRunsOncePerLeave) {
  double code = 0;
  int validRuns = 0;
  std::vector<int> focus;
  TDialog dlg("ZOL1100ALT", &dialogFont());
  dlg.get(109, bind(code), "999999").valid([&] {
    ++validRuns;
    if (code == 99) {
      test::answerNextModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); }, &dlg);
      MsgAlert("Artículo Inexistente", "Atención");
      code = 0;
      return false;
    }
    return true;
  });
  run(dlg, [&] {
    QLineEdit* e = editOf(dlg, 109);
    e->setFocus();
    QTest::keyClicks(e, "99");
    QTest::keyClick(e, Qt::Key_Tab);
    // The box had the window focus; the dialog's own focus stayed on the field.
    focus.push_back(dlg.focusWidget() ? dlg.focusWidget()->property("id").toInt() : -1);
    (void)QTest::qWaitForWindowActive(&dlg, 1000);
    EXPECT_EQ(e->text().trimmed().toStdString(), "0");  // the rule set the code back to 0
    QTest::keyClicks(e, "5");
    QTest::keyClick(e, Qt::Key_Tab);
    focus.push_back(focusedId());
  });
  EXPECT_EQ(validRuns, 2);
  EXPECT_EQ(code, 5);
  EXPECT_NE(focus.back(), 109);
  EXPECT_EQ(focus.front(), 109);
}

TEST(Get, ReadOnlyFieldShowsButNeverEdits) {
  double stock = 12.5;
  TDialog dlg("ZOL1100MOD", &dialogFont());
  TGet& g = dlg.get(105, bind(stock), "999999.99").readOnly();
  EXPECT_EQ(editOf(dlg, 105)->text().toStdString(), "    12.50");
  EXPECT_EQ(editOf(dlg, 105)->focusPolicy(), Qt::NoFocus);
  stock = -3;
  g.refresh();
  EXPECT_EQ(editOf(dlg, 105)->text().toStdString(), "    -3.00");
}

}  // namespace
}  // namespace zol
