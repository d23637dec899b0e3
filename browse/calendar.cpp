// The calendar dialog and its helpers.
#include "browse/calendar.h"

#include <QKeyEvent>
#include <algorithm>
#include <string>

#include "browse/wbrowse.h"
#include "ui/dialog.h"

namespace zol {

const QStringList& monthNames() {
  static const QStringList names = {"Enero", "Febrero", "Marzo",     "Abril",   "Mayo",      "Junio",
                                    "Julio", "Agosto",  "Septiembre", "Octubre", "Noviembre", "Diciembre"};
  return names;
}

WeekGrid ASEM(int month, int year) {
  WeekGrid weeks(1);
  Date d = Date::fromYmd(year, month, 1);
  if (d.isEmpty()) return weeks;
  int col = d.dayOfWeek();
  while (!d.isEmpty() && d.month() == month) {
    if (col > 7) {
      weeks.emplace_back();
      col = 1;
    }
    weeks.back()[static_cast<size_t>(col - 1)] = QString::number(d.day()).rightJustified(3, ' ');
    d = d.addDays(1);
    ++col;
  }
  return weeks;
}

Date GETDATE(int day, int month, int year) {
  // Two digits of day: anything larger is past every month's end anyway.
  day = std::clamp(day, 1, 99);
  Date d = Date::fromYmd(year, month, day);
  // The guard: at day 1 no lower day can make the date valid.
  while (d.isEmpty() && day > 1) d = Date::fromYmd(year, month, --day);
  return d;
}

Date ROWCOLDATE(int day, int month, int year, TWBrowse& grid, int& row) {
  const Date d = GETDATE(day, month, year);
  const Date first = d.isEmpty() ? Date() : Date::fromYmd(d.year(), d.month(), 1);
  grid.GoTop();
  grid.nColPos = 1;
  grid.nColAct = d.isEmpty() ? 1 : d.dayOfWeek();
  row = d.isEmpty() ? std::min(row, 1) : (d.day() + first.dayOfWeek() - grid.nColAct + 8) / 7;
  grid.nRowPos = std::clamp(row, 1, std::max(1, grid.nRowCount()));
  grid.Refresh();
  grid.SetFocus();
  return d;
}

Date showCalendar(Date start, const TFont* font, QWidget* owner) {
  if (start.isEmpty()) start = Date::today();
  Date work = start;
  int month = start.month(), year = start.year();
  WeekGrid weeks = ASEM(month, year);
  int row = 1;
  bool selected = false;
  std::string monthName = monthNames()[month - 1].toStdString();

  TDialog dlg("CALEND", font, owner);
  dlg.helpButton(false);
  TWBrowse* grid = TWBrowse::redefine(dlg, 100);
  grid->setScrollBars(false, false);
  grid->setArray([&] { row = weeks.empty() ? 0 : 1; }, [&] { row = static_cast<int>(weeks.size()); },
                 [&](int n) {
                   const int to = std::clamp(row + n, weeks.empty() ? 0 : 1, static_cast<int>(weeks.size()));
                   const int moved = to - row;
                   row = to;
                   return moved;
                 },
                 [&] { return static_cast<int>(weeks.size()); });
  grid->bLine = [&] {
    Cells cells;
    if (row < 1 || row > static_cast<int>(weeks.size())) return Cells(7);
    for (const QString& day : weeks[static_cast<size_t>(row - 1)]) cells.push_back(day);
    return cells;
  };
  grid->aHeaders = {" D", " L", " M", " M", " J", " V", " S"};
  grid->aColSizes.assign(7, 20);
  grid->lAdjLastCol = false;
  grid->lCellStyle = true;
  grid->bTextColor = [](int, int col, int) -> std::optional<Colour> {
    if (col == 1) return RGB(255, 0, 0);  // Sundays
    return std::nullopt;
  };

  auto dayUnderCursor = [&] {
    if (row < 1 || row > static_cast<int>(weeks.size()) || grid->nColAct < 1 || grid->nColAct > 7) return 0;
    return weeks[static_cast<size_t>(row - 1)][static_cast<size_t>(grid->nColAct - 1)].trimmed().toInt();
  };
  auto rebuild = [&] {
    weeks = ASEM(month, year);
    ROWCOLDATE(work.day(), month, year, *grid, row);
  };

  TComboBox& combo = dlg.comboBox(101, monthName, monthNames());
  TGet& yearGet = dlg.get(102, bind(year), "9999");
  auto showMonth = [&](int m, int y) {
    month = m;
    year = y;
    combo.set(monthNames()[m - 1]);
    yearGet.refresh();
    rebuild();
  };
  combo.onChange([&] {
    month = static_cast<int>(monthNames().indexOf(QString::fromStdString(monthName))) + 1;
    if (month < 1) month = 1;
    rebuild();
  });
  yearGet.valid([&] {
    rebuild();
    return true;
  });
  yearGet.spinner([&] { year = std::min(year + 1, 9999); }, [&] { year = std::max(year - 1, 0); },
                  [] { return 0.0; }, [] { return 9999.0; });

  auto click = [&] {
    const Date d = GETDATE(dayUnderCursor(), month, year);
    if (!d.isEmpty()) work = d;
  };
  auto pick = [&] {
    if (dayUnderCursor() > 0) {
      selected = true;
      dlg.end();
    } else if (row == 1) {
      showMonth(month == 1 ? 12 : month - 1, month == 1 ? year - 1 : year);
    } else {
      showMonth(month == 12 ? 1 : month + 1, month == 12 ? year + 1 : year);
    }
  };
  grid->bLClicked = [&](int y, int, int) {
    if (grid->nWRow(y) >= 1) click();
  };
  grid->bLDblClick = [&](int, int, int) { pick(); };
  grid->bKeyDown = [&](int key, int) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      pick();
      return true;
    }
    // Other keys take the date of the current cell, as a click does, and go on
    // to the dialog (Escape closes it).
    click();
    return false;
  };
  dlg.button(104, [&] {
    selected = true;
    dlg.end();
  });
  dlg.onInit([&] { ROWCOLDATE(start.day(), month, year, *grid, row); });
  dlg.activate(false);

  if (!selected) return start;
  const Date chosen = GETDATE(dayUnderCursor(), month, year);
  return chosen.isEmpty() ? start : chosen;
}

}  // namespace zol
