#pragma once
// The register of stock exits: the entries register on the exits table, each
// exit taking its quantity off the article's stock (below zero if need be).
namespace zol {

class TWBrowse;

// The screen: articles in area 4 (code order), exits in area 2 related to
// them, in date order. The tables stay open on return.
void ZOL1200();

void ZOL1200A(TWBrowse& grid);
void ZOL1200M(TWBrowse& grid);
void ZOL1200B(TWBrowse& grid);
// Code check of the add dialog, on the code the dialog holds.
bool VART1200();
void ZOL1200S(TWBrowse& grid);
void S1200CO1(TWBrowse& grid);
void S1200B1(TWBrowse& grid);
void S1200CO3(TWBrowse& grid);
void S1200B3(TWBrowse& grid);
void ZOL1200TOP(TWBrowse& grid);
void ZOL1200BOT(TWBrowse& grid);

}  // namespace zol
