#pragma once
// The register of stock entries, and the article picker that both registers'
// add dialogs use.
#include <string>

namespace zol {

class TWBrowse;

// The screen: articles in area 4 (code order), entries in area 1 related to
// them, in date order. The tables stay open on return.
void ZOL1100();

// Adds, changes or deletes an entry, keeping the article's stock in step.
void ZOL1100A(TWBrowse& grid);
void ZOL1100M(TWBrowse& grid);
void ZOL1100B(TWBrowse& grid);
// Code check of the add dialog: true, with name, stock and sale price filled
// in, when the article exists.
bool VART1100(double code);
// Search choice, then the search by date or by article.
void ZOL1100S(TWBrowse& grid);
void S1100CO1(TWBrowse& grid);
void S1100B1(TWBrowse& grid);
void S1100CO3(TWBrowse& grid);
void S1100B3(TWBrowse& grid);
void ZOL1100TOP(TWBrowse& grid);
void ZOL1100BOT(TWBrowse& grid);

// Article picker: the chosen article's code, or `code` when none was chosen.
// Choosing also fills the open add dialog's code, name, stock and unit price.
double ZOLFART(double code);
// One step of the picker's name search; true when `text` was found.
bool BUSCOB(const std::string& text, TWBrowse& grid);

}  // namespace zol
