#pragma once
// The calendar of the button bar and its date helpers: one month as a grid of
// weeks (Sunday first), from which the user picks a day.
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "core/date.h"

class QWidget;

namespace zol {

class TFont;
class TWBrowse;

// One week: the texts of Sunday .. Saturday; a day is right-aligned in three
// characters ("  5", " 23"), a cell outside the month is empty.
using Week = std::array<QString, 7>;
using WeekGrid = std::vector<Week>;

// "Enero" .. "Diciembre".
const QStringList& monthNames();

// The 4 to 6 weeks of `month` in `year`; one empty week when that month has
// no valid dates (year 0).
WeekGrid ASEM(int month, int year);

// The date of that day; a day past the month's end gives its last day, a day
// below 1 the 1st. The empty date when the month itself is impossible.
Date GETDATE(int day, int month, int year);

// Puts `grid`'s cell cursor on GETDATE(day, month, year): top of the grid,
// first column leftmost, the weekday as active column, the week row stored in
// `row` (the grid's array position) and shown; gives the grid the focus.
Date ROWCOLDATE(int day, int month, int year, TWBrowse& grid, int& row);

// Runs the CALEND dialog on `start` (today when empty) and returns the chosen
// date, or `start` when the user closed it without choosing. `font` is the
// grids' font (OFONTBRW).
Date showCalendar(Date start = Date(), const TFont* font = nullptr, QWidget* owner = nullptr);

}  // namespace zol
