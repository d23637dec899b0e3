#pragma once
// Article maintenance: the article list with its name search, adding (with
// the opening "STOCK INICIAL" entry), changing, deleting (with the article's
// movements) and the searches by name and by code.
#include <string>

namespace zol {

class TWBrowse;
class WorkArea;

// The screen: opens entries (area 1), exits (area 2) and articles (area 4,
// name order) and runs the list dialog. The tables stay open on return.
void ZOL0410();

// Adds an article (`add`) or changes the current one.
void ZOL0410A(TWBrowse& grid, bool add);
// Deletes the current article and all its entries and exits.
void ZOL0410B(TWBrowse& grid);
// True when no article has `code`; otherwise says so and returns false.
bool VAL_ART(double code);
// Search choice, then the search by name or by code.
void ZOL0410S(TWBrowse& grid);
void S0410CO1(TWBrowse& grid);
void S0410B1(TWBrowse& grid);
void S0410CO2(TWBrowse& grid);
void S0410B2(TWBrowse& grid);
// One step of the incremental name search; true when `key` was found.
bool BUSCOB2(const std::string& key, TWBrowse& grid);

// The code offered for a new article: one past the highest code below the
// 900000 range (codes from 900000 up are kept for other uses), or one past
// the lowest code when all are in that range; 1 for an empty master. Leaves
// `articles` in code order, on the record it was on.
double proposedArticleCode(WorkArea& articles);

}  // namespace zol
