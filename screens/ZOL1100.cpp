#include "screens/ZOL1100.h"

#include "browse/wbrowse.h"
#include "core/codepage.h"
#include "screens/movement_register.h"
#include "screens/screen_support.h"
#include "shell/globals.h"
#include "ui/dialog.h"
#include "ui/picture.h"

namespace zol {

void ZOL1100() { entriesRegister().run(); }
void ZOL1100A(TWBrowse& grid) { entriesRegister().add(grid); }
void ZOL1100M(TWBrowse& grid) { entriesRegister().change(grid); }
void ZOL1100B(TWBrowse& grid) { entriesRegister().remove(grid); }
bool VART1100(double code) { return entriesRegister().checkArticle(code); }
void ZOL1100S(TWBrowse& grid) { entriesRegister().search(grid); }
void S1100CO1(TWBrowse& grid) { entriesRegister().dateSearch(grid); }
void S1100B1(TWBrowse& grid) { entriesRegister().dateStep(grid); }
void S1100CO3(TWBrowse& grid) { entriesRegister().articleSearch(grid); }
void S1100B3(TWBrowse& grid) { entriesRegister().articleStep(grid); }
void ZOL1100TOP(TWBrowse& grid) { entriesRegister().top(grid); }
void ZOL1100BOT(TWBrowse& grid) { entriesRegister().bottom(grid); }

bool BUSCOB(const std::string& text, TWBrowse& grid) {
  WorkArea& a = workAreas().area(Area::Articles);
  const uint32_t recno = a.recNo();
  if (!a.seek(Value(trimmed(text)))) {
    a.goTo(recno);
    return false;
  }
  grid.Refresh();
  return true;
}

double ZOLFART(double code) {
  MovementForm& f = movementForm();
  std::string text(40, ' ');
  WorkAreas& wa = workAreas();
  wa.select(Area::Articles);
  WorkArea& a = wa.cur();
  a.setOrder(2);
  a.goTop();

  bool chosen = false;
  TDialog dlg("ZOLFART", &OFONTBRW);
  TWBrowse& grid = *TWBrowse::redefine(dlg, 181, &a);
  grid.bLine = [&a] {
    // Names typed under DOS show right only through the code page.
    return Cells{numText(a.get("articulo").number(), 6, 0),
                 Cell::text1252(cp850ToCp1252(a.get("nombre").text())),
                 numText(a.get("precio").number(), 9, 2),
                 numText(a.get("preciov").number(), 9, 2),
                 numText(a.get("stock").number(), 9, 2)};
  };
  grid.aHeaders = {"Número", "Descripción", "Pre.Costo", "Pre.Venta", "Stock"};
  grid.aJustify = {Justify::Right, Justify::Left, Justify::Right, Justify::Right, Justify::Right};
  gridBasics(grid);
  grid.aHJustify.assign(grid.aHeaders.size(), Justify::Centre);  // widths come later, from the grid
  headerColours(grid, RGB(128, 0, 128), RGB(255, 255, 255), RGB(128, 0, 128), RGB(255, 255, 255));
  grid.nClrPane = parityPane(a, RGB(221, 245, 255), RGB(170, 255, 170));

  auto choose = [&] {
    if (a.eof()) {  // an empty master offers nothing to choose: close as a cancel
      dlg.end();
      return;
    }
    f.code = a.get("articulo").number();
    f.stock = a.get("stock").number();
    f.price = a.get("preciov").number();
    f.name = a.get("nombre").text();
    if (f.dialog)
      for (int id : {109, 105, 108, 102})
        if (TControl* c = f.dialog->control(id)) c->refresh();
    chosen = true;
    dlg.end();
  };
  grid.bLDblClick = [&](int, int, int) { choose(); };
  grid.bKeyDown = [&](int key, int) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    choose();
    return true;
  };
  TGet* search = nullptr;
  search = &dlg.get(184, bind(text), "@!").onChange([&](int) {
    text = search->buffer();
    std::string key = text.substr(0, text.find_last_not_of(' ') + 1);
    for (char& c : key) c = static_cast<char>(cp1252Upper(static_cast<unsigned char>(c)));
    BUSCOB(key, grid);
  });
  dlg.btnBmp(102, "yes", choose).tooltip("Correcto");
  dlg.btnBmp(185, "no2", [&] { dlg.end(); }).tooltip("Cancelar").cancel();
  dlg.activate();

  wa.select(Area::Articles);
  a.setOrder(1);
  return chosen ? f.code : code;
}

}  // namespace zol
