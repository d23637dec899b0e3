// The calendar: the week grid, the date helpers, and the CALEND dialog driven
// with the mouse and keys.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "browse/calendar.h"
#include "browse/wbrowse.h"
#include "ui/dialog.h"
#include "../ui/ui_test_support.h"
#include "grid_support.h"

namespace zol::test {
namespace {

TEST(Calendar, WeekGrids) {
  struct Case {
    int month, year;
    size_t weeks;
    Week first;
  };
  const Case cases[] = {
      {2, 2024, 5, {"", "", "", "", "  1", "  2", "  3"}},              // starts on a Thursday
      {2, 2015, 4, {"  1", "  2", "  3", "  4", "  5", "  6", "  7"}},  // Sunday 1st, 28 days
      {8, 2020, 6, {"", "", "", "", "", "", "  1"}},                    // Saturday 1st, 31 days
      {1, 2024, 5, {"", "  1", "  2", "  3", "  4", "  5", "  6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.month) + "/" + std::to_string(c.year));
    const WeekGrid w = ASEM(c.month, c.year);
    ASSERT_EQ(w.size(), c.weeks);
    EXPECT_EQ(w.front(), c.first);
  }
  const WeekGrid aug = ASEM(8, 2020);
  EXPECT_EQ(aug.back()[0], " 30");
  EXPECT_EQ(aug.back()[1], " 31");
  EXPECT_EQ(aug.back()[2], "");
  EXPECT_EQ(ASEM(1, 0).size(), 1u) << "a year without dates gives one empty week";
}

TEST(Calendar, GetDateLowersImpossibleDays) {
  struct Case {
    int d, m, y;
    const char* want;
  };
  const Case cases[] = {{31, 2, 2023, "28/02/2023"}, {30, 2, 2024, "29/02/2024"}, {0, 1, 2024, "01/01/2024"},
                        {31, 4, 2024, "30/04/2024"}, {15, 6, 2024, "15/06/2024"}, {5, 3, 0, "  /  /    "},
                        {5, 13, 2024, "  /  /    "}};
  for (const Case& c : cases) EXPECT_EQ(GETDATE(c.d, c.m, c.y).toText(), c.want) << c.d << "/" << c.m << "/" << c.y;
}

// Runs the calendar on `start`; `step` drives it once it is on screen.
Date runCalendar(Date start, std::function<void(QDialog*, TWBrowse*)> step) {
  answerNextModal([step](QWidget* w) {
    auto* dlg = qobject_cast<QDialog*>(w);
    QTimer::singleShot(50, dlg, [dlg, step] {
      auto* grid = dlg->findChild<TWBrowse*>();
      step(dlg, grid);
    });
  });
  return showCalendar(start);
}

QPoint cellCentre(TWBrowse* g, int week, int weekday) {
  return QPoint((weekday - 1) * 20 + 10, g->headerBand() + (week - 1) * g->linePitch() + g->linePitch() / 2);
}

QComboBox* monthCombo(QDialog* d) { return d->findChild<QComboBox*>(); }
QString yearText(QDialog* d) {
  for (auto* e : d->findChildren<QLineEdit*>())
    if (e->property("id").toInt() == 102) return e->text().trimmed();
  return {};
}

TEST(CalendarDialog, OpensOnTheStartDayAndEnterPicksIt) {
  QString month, year;
  int row = 0, col = 0;
  const Date got = runCalendar(Date::fromYmd(2024, 2, 14), [&](QDialog* d, TWBrowse* g) {
    month = monthCombo(d)->currentText();
    year = yearText(d);
    row = g->nRowPos;
    col = g->nColAct;
    QTest::keyClick(g, Qt::Key_Return);
  });
  EXPECT_EQ(month, "Febrero");
  EXPECT_EQ(year, "2024");
  EXPECT_EQ(row, 3);
  EXPECT_EQ(col, 4);  // a Wednesday
  EXPECT_EQ(got, Date::fromYmd(2024, 2, 14));
}

TEST(CalendarDialog, ChangingTheMonthKeepsTheDayWithinTheMonth) {
  int col = 0;
  const Date got = runCalendar(Date::fromYmd(2023, 1, 31), [&](QDialog* d, TWBrowse* g) {
    QComboBox* combo = monthCombo(d);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);  // Enero -> Febrero
    col = g->nColAct;
    d->findChildren<QPushButton*>().front()->click();
  });
  EXPECT_EQ(col, 3);  // 28 February 2023 is a Tuesday
  EXPECT_EQ(got, Date::fromYmd(2023, 2, 28));
}

TEST(CalendarDialog, DoubleClickOnAnEmptyFirstWeekCellShowsThePreviousMonth) {
  QString month, year;
  const Date start = Date::fromYmd(2024, 1, 15);
  const Date got = runCalendar(start, [&](QDialog* d, TWBrowse* g) {
    QTest::mouseDClick(g, Qt::LeftButton, {}, cellCentre(g, 1, 1));  // Sunday before the 1st
    month = monthCombo(d)->currentText();
    year = yearText(d);
    QTest::keyClick(g, Qt::Key_Escape);
  });
  EXPECT_EQ(month, "Diciembre");
  EXPECT_EQ(year, "2023");
  EXPECT_EQ(got, start) << "Escape returns the start date";
}

TEST(CalendarDialog, DoubleClickOnAnEmptyLastWeekCellShowsTheNextMonth) {
  QString month, year;
  runCalendar(Date::fromYmd(2023, 12, 1), [&](QDialog* d, TWBrowse* g) {
    // December 2023: 31 is a Sunday in week 6, Monday after it is empty.
    QTest::mouseDClick(g, Qt::LeftButton, {}, cellCentre(g, 6, 2));
    month = monthCombo(d)->currentText();
    year = yearText(d);
    QTest::keyClick(g, Qt::Key_Escape);
  });
  EXPECT_EQ(month, "Enero");
  EXPECT_EQ(year, "2024");
}

TEST(CalendarDialog, AcceptOnAnEmptyCellGivesTheFirst) {
  const Date got = runCalendar(Date::fromYmd(2024, 2, 20), [&](QDialog* d, TWBrowse* g) {
    QTest::mouseClick(g, Qt::LeftButton, {}, cellCentre(g, 1, 2));
    d->findChildren<QPushButton*>().front()->click();
  });
  EXPECT_EQ(got, Date::fromYmd(2024, 2, 1));
}

TEST(CalendarDialog, DoubleClickOnADayChoosesIt) {
  const Date got = runCalendar(Date::fromYmd(2024, 2, 20), [&](QDialog*, TWBrowse* g) {
    QTest::mouseDClick(g, Qt::LeftButton, {}, cellCentre(g, 2, 1));  // Sunday 4th
  });
  EXPECT_EQ(got, Date::fromYmd(2024, 2, 4));
}

TEST(CalendarDialog, ClickedDayCarriesIntoAnotherYear) {
  const Date got = runCalendar(Date::fromYmd(2024, 2, 20), [&](QDialog* d, TWBrowse* g) {
    QTest::mouseClick(g, Qt::LeftButton, {}, cellCentre(g, 5, 5));  // Thursday 29th
    QLineEdit* year = nullptr;
    for (auto* e : d->findChildren<QLineEdit*>())
      if (e->property("id").toInt() == 102) year = e;
    year->setFocus();
    QTest::keyClicks(year, "2023");
    QTest::keyClick(year, Qt::Key_Tab);  // VALID rebuilds February 2023
    d->findChildren<QPushButton*>().front()->click();
  });
  EXPECT_EQ(got, Date::fromYmd(2023, 2, 28));
}

}  // namespace
}  // namespace zol::test
