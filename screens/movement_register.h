#pragma once
// The registers of entries and of exits. They are one screen on two tables:
// what differs (table and area, templates, title, header colours and which
// way a movement moves the article's stock) is a RegisterKind; the rest is
// MovementRegister.
#include <QPointer>
#include <optional>
#include <string>

#include "core/colour.h"
#include "core/date.h"

namespace zol {

class TDialog;
class TWBrowse;
class WorkArea;

struct RegisterKind {
  int area;                  // work area of the movements table
  const char* table;         // its name in the data folder
  const char* brwTemplate;   // register dialog
  const char* addTemplate;
  const char* changeTemplate;
  const char* title;         // title text before the article's name
  double sign;               // +1: a movement adds to the stock; -1: takes off
  Colour evenHeadBack, oddHeadBack;
  std::optional<Colour> searchDateText;  // text colour of the date-search field
};

// The values of the add and change dialogs. Kept outside the dialogs because
// the article picker fills them for whichever register opened it.
struct MovementForm {
  Date date;
  double code = 0;
  std::string name;   // 40 characters, Windows-1252
  double stock = 0;
  double price = 0;
  double quantity = 0;
  double oldQuantity = 0;
  double total = 0;
  std::string detail;  // 40 characters
  QPointer<TDialog> dialog;  // the add dialog while it is open
};
MovementForm& movementForm();

class MovementRegister {
 public:
  explicit MovementRegister(const RegisterKind& kind) : kind_(kind) {}

  // Opens the articles (area 4, code order) and the movements with their
  // relation to the articles, and runs the register. Tables stay open.
  void run();

  void add(TWBrowse& grid);
  void change(TWBrowse& grid);
  void remove(TWBrowse& grid);
  // Code check of the add dialog: fills name, stock and unit price and
  // returns true when the article exists; otherwise says so and clears the code.
  bool checkArticle(double code);

  void search(TWBrowse& grid);         // search choice
  void dateSearch(TWBrowse& grid);     // the modeless date-search dialog
  void dateStep(TWBrowse& grid);       // goes to the first movement of the date searched
  void articleSearch(TWBrowse& grid);  // the modeless article-search dialog
  void articleStep(TWBrowse& grid);    // goes to the article's first movement, article order
  void top(TWBrowse& grid);
  void bottom(TWBrowse& grid);

 private:
  WorkArea& movements();
  void relate();
  void reopen(uint32_t recno);
  void backToGrid(TWBrowse& grid);
  void showTitle(TWBrowse& grid);
  bool acceptable(double stockDelta, bool adding);

  const RegisterKind& kind_;
  Date searchDate_;
  double searchCode_ = 0;
};

MovementRegister& entriesRegister();
MovementRegister& exitsRegister();

}  // namespace zol
