#pragma once
// What the screens share: opening a data table in its work area, the
// settings of their record grids, and number texts for cells and titles.
#include <QString>
#include <string>

#include "browse/wbrowse.h"
#include "core/colour.h"
#include "store/work_area.h"

namespace zol {

// Opens table `name` of the data folder (WPATH) with its index file in work
// area `area`, selects the area and puts it in order `tag` (0: record order).
// False when the open failed (the error event was raised already).
bool useTable(int area, const char* name, int tag = 0);

// str() of a number as a cell or title text: "     12.50" for (12.5, 10, 2).
QString numText(double value, int width, int decimals);

// The first grid settings every screen grid takes, in this order: no frozen
// columns, cell cursor, last column not stretched, line style 1, header
// style 1, then Set3DStyle; header 22 and lines 15 pixels high; headers centred.
void gridBasics(TWBrowse& grid);

// Header colours by column number parity (the header only).
void headerColours(TWBrowse& grid, Colour evenBack, Colour evenText, Colour oddBack, Colour oddText);

// Line background by the parity of the current record's position in the
// area's order.
ColourOr parityPane(WorkArea& area, Colour even, Colour odd);

// Whether `value` can be stored in a numeric field of this width: a wider
// one would be written as asterisks, losing it.
bool fitsField(double value, int width, int decimals);

// Trims blanks at both ends.
std::string trimmed(const std::string& s);

}  // namespace zol
