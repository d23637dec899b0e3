#include "screens/movement_register.h"

#include <functional>
#include <memory>

#include "browse/wbrowse.h"
#include "core/codepage.h"
#include "core/launcher.h"
#include "core/numtext.h"
#include "screens/ZOL1100.h"
#include "screens/screen_support.h"
#include "shell/globals.h"
#include "store/data_tables.h"
#include "ui/dialog.h"
#include "ui/msg.h"

namespace zol {

namespace {

const RegisterKind entriesKind{Area::Entries, Tables::Entries, "ZOL1100BRW", "ZOL1100ALT", "ZOL1100MOD",
                               "INGRESOS ARTICULOS:     ", +1, RGB(128, 0, 128), RGB(0, 0, 128), std::nullopt};
const RegisterKind exitsKind{Area::Exits, Tables::Exits, "ZOL1200BRW", "ZOL1200ALT", "ZOL1200MOD",
                             "SALIDAS ARTICULOS:     ", -1, RGB(0, 0, 128), RGB(0, 128, 0), RGB(0, 0, 255)};

WorkArea& articles() { return workAreas().area(Area::Articles); }

// The article's stock once `delta` is applied; nothing when no article has the code.
std::optional<double> stockAfter(double code, double delta) {
  WorkArea& a = articles();
  a.setOrder(1);
  a.goTop();
  if (!a.seek(Value(code))) return std::nullopt;
  return a.get("stock").number() + delta;
}

// Applies a movement to its article's stock, in a step of its own after the
// movement was written. Movements of a missing article change nothing.
void moveStock(double code, double delta) {
  WorkArea& a = articles();
  a.setOrder(1);
  a.goTop();
  if (!a.seek(Value(code))) return;
  a.lock();
  a.put("stock", Value(a.get("stock").number() + delta));
  a.commit();
  a.unlock();
}

// The fields the add and change dialogs share, after the code: name and
// stock shown only, unit price, quantity (leaving it computes the total),
// total, detail, and the calculator.
void bindMovementFields(TDialog& dlg, MovementForm& f) {
  dlg.get(102, bind(f.name)).readOnly();
  dlg.get(105, bind(f.stock), "999999.99").readOnly();
  dlg.get(108, bind(f.price), "999999.99");
  TGet& total = dlg.get(113, bind(f.total), "9999999.99");
  dlg.get(114, bind(f.quantity), "9999999.99").valid([&f, &total] {
    f.total = f.price * f.quantity;
    total.refresh();
    return true;
  });
  dlg.get(107, bind(f.detail));
  dlg.bitmap(172, "calcu2", [] { Launcher::instance().startCalculator(); });
}

// Writes the dialog's values into the current movement.
void writeMovement(WorkArea& m, const MovementForm& f) {
  m.put("fecha", Value(f.date));
  m.put("articulo", Value(f.code));
  m.put("cantidad", Value(f.quantity));
  m.put("pre_uni", Value(f.price));
  m.put("importe", Value(f.total));
  m.put("texto", Value(f.detail));
}

QString fromTable(const std::string& bytes) { return QString::fromStdString(cp1252ToUtf8(bytes)); }

}  // namespace

MovementForm& movementForm() {
  static MovementForm form;
  return form;
}

MovementRegister& entriesRegister() {
  static MovementRegister r(entriesKind);
  return r;
}

MovementRegister& exitsRegister() {
  static MovementRegister r(exitsKind);
  return r;
}

WorkArea& MovementRegister::movements() { return workAreas().area(kind_.area); }

void MovementRegister::relate() {
  WorkArea& m = movements();
  m.clearRelations();
  m.setRelation(Area::Articles, [](WorkArea& w) { return w.get("articulo"); }, "articulo");
}

// The table is opened afresh so its order and relation are the register's
// own again, whatever a search left behind.
void MovementRegister::reopen(uint32_t recno) {
  if (!useTable(kind_.area, kind_.table, 1)) return;
  relate();
  movements().goTo(recno);
}

void MovementRegister::showTitle(TWBrowse& grid) {
  WorkArea& a = articles();
  const QString name = fromTable(trimmed(a.get("nombre").text()));
  const QString stock = QString::fromStdString(trimmed(str(a.get("stock").number(), 9, 2)));
  grid.window()->setWindowTitle(QString::fromUtf8(kind_.title) + name + "   Stock = " + stock);
}

void MovementRegister::backToGrid(TWBrowse& grid) {
  workAreas().select(kind_.area);
  grid.SetFocus();
  grid.Refresh();
  showTitle(grid);
}

// Asked before an add or change dialog closes with accept: the total must
// fit the amount field, and the article's stock must still fit its own. An
// add without code or quantity writes nothing, so nothing is checked; a
// change is written whatever its quantity.
bool MovementRegister::acceptable(double stockDelta, bool adding) {
  const MovementForm& f = movementForm();
  if (adding && (f.code == 0 || f.quantity == 0)) return true;
  if (!fitsField(f.total, 9, 2)) {
    MsgStop("El total " + plainDecimal(f.total, 2) +
                " no cabe en el importe del movimiento (máximo 999999.99).\nCorrija el total o la cantidad.",
            "Atención");
    return false;
  }
  const std::optional<double> stock = stockAfter(f.code, stockDelta);
  if (stock && !fitsField(*stock, 9, 2)) {
    MsgStop("El stock del artículo quedaría en " + plainDecimal(*stock, 2) +
                ", que no cabe en su campo (de -99999.99 a 999999.99).\nCorrija la cantidad.",
            "Atención");
    return false;
  }
  return true;
}

bool MovementRegister::checkArticle(double code) {
  WorkAreas& wa = workAreas();
  MovementForm& f = movementForm();
  const int area = wa.current();
  WorkArea& a = articles();
  a.setOrder(1);
  a.goTop();
  const bool found = a.seek(Value(code));
  if (found) {
    f.stock = a.get("stock").number();
    f.name = a.get("nombre").text();
    f.price = a.get("preciov").number();
    if (f.dialog)
      for (int id : {105, 102, 108})
        if (TControl* c = f.dialog->control(id)) c->refresh();
  } else {
    MsgAlert("Artículo Inexistente", "Atención");
  }
  wa.select(area);
  if (!found) {
    f.code = 0;
    if (f.dialog)
      if (TControl* c = f.dialog->control(109)) c->refresh();
  }
  return found;
}

void MovementRegister::add(TWBrowse& grid) {
  WorkAreas& wa = workAreas();
  WorkArea& m = movements();
  uint32_t recno = m.recNo();
  MovementForm& f = movementForm();
  f = MovementForm{};
  f.date = Date::today();
  f.name.assign(40, ' ');
  f.detail.assign(40, ' ');

  bool ok = false;
  TDialog dlg(kind_.addTemplate, &OFONTBRW);
  f.dialog = &dlg;
  dlg.get(101, bind(f.date), "99/99/9999");
  TGet& code = dlg.get(109, bind(f.code), "999999");
  code.valid([&] {
    if (f.code == 0) {  // leaving the code empty is the way out
      ok = false;
      dlg.end();
      return true;
    }
    return checkArticle(f.code);
  });
  // The picker is how an unknown code gets filled in: reaching it must not
  // run the code's check first.
  dlg.bitmap(111, "lupa16x16", [&] {
    f.code = ZOLFART(f.code);
    code.refresh();
  }).cancel();
  bindMovementFields(dlg, f);
  dlg.acceptButton(104, ok);
  dlg.cancelButton(106, ok, "Cancelar", [&] { grid.Refresh(); });
  dlg.canClose([&] {
    if (!ok || acceptable(kind_.sign * f.quantity, true)) return true;
    ok = false;
    return false;
  });
  dlg.activate();
  f.dialog = nullptr;
  XART = f.code;  // the article last entered, for the screens that start from it

  wa.select(kind_.area);
  if (ok && f.code != 0 && f.quantity != 0) {
    m.lock();
    m.appendBlank();
    writeMovement(m, f);
    recno = m.recNo();
    wa.commitAll();
    grid.Refresh();
    m.unlock();
    moveStock(f.code, kind_.sign * f.quantity);
    wa.select(kind_.area);
  }
  grid.Refresh();
  reopen(recno);
  backToGrid(grid);
}

void MovementRegister::change(TWBrowse& grid) {
  WorkAreas& wa = workAreas();
  WorkArea& m = movements();
  if (m.eof() || m.deleted()) return;  // no movement under the cursor: nothing to write on
  const uint32_t recno = m.recNo();
  MovementForm& f = movementForm();
  f = MovementForm{};
  f.date = m.get("fecha").date();
  f.code = m.get("articulo").number();
  f.price = m.get("pre_uni").number();
  f.quantity = m.get("cantidad").number();
  f.total = m.get("importe").number();
  f.detail = m.get("texto").text();
  f.name = articles().get("nombre").text();
  f.stock = articles().get("stock").number();
  f.oldQuantity = f.quantity;

  bool ok = false;
  TDialog dlg(kind_.changeTemplate, &OFONTBRW);
  dlg.get(101, bind(f.date), "99/99/9999");
  dlg.get(109, bind(f.code), "999999").readOnly();
  bindMovementFields(dlg, f);
  dlg.acceptButton(104, ok, "Ok", [&] { grid.Refresh(); });
  dlg.cancelButton(106, ok, "Cancela", [&] { grid.Refresh(); });
  dlg.canClose([&] {
    if (!ok || acceptable(kind_.sign * (f.quantity - f.oldQuantity), false)) return true;
    ok = false;
    return false;
  });
  dlg.activate();
  XART = f.code;

  if (ok) {
    wa.select(kind_.area);
    m.lock();
    writeMovement(m, f);
    wa.commitAll();
    grid.Refresh();
    m.unlock();
    if (f.oldQuantity != f.quantity) moveStock(f.code, kind_.sign * (f.quantity - f.oldQuantity));
    wa.select(kind_.area);
    grid.Refresh();
  }
  reopen(recno);
  backToGrid(grid);
}

void MovementRegister::remove(TWBrowse& grid) {
  WorkArea& m = movements();
  if (m.eof() || m.deleted()) return;  // no movement under the cursor: nothing to delete
  bool ok = false;
  {
    TDialog dlg("BORRAR2", &OFONTBRW);
    dlg.acceptButton(101, ok, "Correcto", [&] { grid.Refresh(); });
    dlg.cancelButton(102, ok, "Cancelar", [&] { grid.Refresh(); });
    dlg.activate();
  }
  if (ok) {
    const double code = m.get("articulo").number();
    const double quantity = m.get("cantidad").number();
    const std::optional<double> stock = stockAfter(code, -kind_.sign * quantity);
    if (stock && !fitsField(*stock, 9, 2)) {
      MsgStop("No se puede borrar: el stock del artículo quedaría en " + plainDecimal(*stock, 2) +
                  ", que no cabe en su campo (de -99999.99 a 999999.99).",
              "Atención");
    } else {
      m.lock();
      m.deleteRecord();
      m.unlock();
      moveStock(code, -kind_.sign * quantity);
      workAreas().select(kind_.area);
      m.setOrder(1);
      // Off the deleted movement, so the grid cannot offer it again.
      m.skip(1);
      if (m.eof()) m.goBottom();
    }
  }
  backToGrid(grid);
}

void MovementRegister::search(TWBrowse& grid) {
  int option = 1;
  bool ok = false;
  {
    TDialog dlg("ZOL1100CO", &OFONTBRW);
    dlg.radMenu({100, 101}, option);
    dlg.acceptButton(102, ok);
    dlg.cancelButton(103, ok, "Cancelar", [&] { grid.Refresh(); });
    dlg.activate();
  }
  if (ok) {
    CursorWait();
    if (option == 1)
      dateSearch(grid);
    else
      articleSearch(grid);
  }
  // The search dialogs stay open; the register is back in date order now,
  // and an article search puts it in article order when it is accepted.
  articles().setOrder(1);
  WorkArea& m = movements();
  m.setOrder(1);
  relate();
  grid.Refresh();
}

// The two search dialogs stay open while the user goes on with the register,
// so they own what they edit, and reach the grid only while it exists.
// Accepting hands the value to `step`; both buttons close the dialog.
namespace {

template <class T>
void showSearch(const char* templateName, T initial, const char* picture, std::optional<Colour> textColour,
                TWBrowse& grid, std::function<void(const T&, TWBrowse&)> step) {
  auto value = std::make_shared<T>(initial);
  auto* dlg = new TDialog(templateName, &OFONTBRW, grid.window());
  TGet& field = dlg->get(102, bind(*value), picture);
  if (textColour) field.colors(*textColour, RGB(255, 255, 255));
  QPointer<TWBrowse> target(&grid);
  dlg->btnBmp(104, "yes", [dlg, value, target, step = std::move(step)] {
       const T wanted = *value;
       const QPointer<TWBrowse> g = target;
       dlg->end();  // the dialog goes: use nothing of it after this
       if (g) step(wanted, *g);
     })
      .tooltip("Correcto");
  dlg->btnBmp(105, "no2", [dlg, target] {
       const QPointer<TWBrowse> g = target;
       dlg->end();
       if (g) {
         g->Refresh();
         g->SetFocus();
       }
     })
      .tooltip("Cancelar")
      .cancel();
  dlg->showModeless(false);
  CursorArrow();
}

}  // namespace

void MovementRegister::dateSearch(TWBrowse& grid) {
  showSearch<Date>("ZOL1100S1", Date::today(), "99/99/9999", kind_.searchDateText, grid,
                   [this](const Date& wanted, TWBrowse& g) {
                     searchDate_ = wanted;
                     dateStep(g);
                   });
}

void MovementRegister::dateStep(TWBrowse& grid) {
  workAreas().select(kind_.area);
  WorkArea& m = movements();
  m.setOrder(1);
  const uint32_t recno = m.recNo();
  m.goTop();
  if (!m.seek(Value(searchDate_.dtos()))) {
    MsgInfo("Fecha Inexistente", "!!!");
    m.goTo(recno);
  }
  backToGrid(grid);
}

void MovementRegister::articleSearch(TWBrowse& grid) {
  showSearch<double>("ZOL1100S3", 0, "999999", std::nullopt, grid, [this](const double& wanted, TWBrowse& g) {
    searchCode_ = wanted;
    articleStep(g);
  });
}

void MovementRegister::articleStep(TWBrowse& grid) {
  workAreas().select(kind_.area);
  WorkArea& m = movements();
  m.setOrder(2);
  m.goTop();
  if (!m.seek(Value(str(searchCode_, 6)))) {
    MsgInfo("Artículo Inexistente", "!!!");
    m.goTop();
  }
  backToGrid(grid);
}

void MovementRegister::top(TWBrowse& grid) {
  movements().goTop();
  backToGrid(grid);
}

void MovementRegister::bottom(TWBrowse& grid) {
  movements().goBottom();
  backToGrid(grid);
}

void MovementRegister::run() {
  if (!useTable(Area::Articles, Tables::Articles, 1) || !useTable(kind_.area, kind_.table)) return;
  relate();
  WorkArea& m = movements();
  m.setOrder(1);
  m.goTop();

  TDialog dlg(kind_.brwTemplate, &OFONTBRW);
  WorkArea& a = articles();
  TWBrowse& grid = *TWBrowse::redefine(dlg, 181, &m);
  grid.bLine = [&m, &a] {
    return Cells{QString::fromStdString(m.get("fecha").date().toText()),
                 numText(m.get("articulo").number(), 6, 0),
                 Cell::text1252(a.get("nombre").text()),
                 numText(m.get("cantidad").number(), 10, 2),
                 numText(m.get("pre_uni").number(), 9, 2),
                 numText(m.get("importe").number(), 9, 2),
                 Cell::text1252(m.get("texto").text())};
  };
  grid.aHeaders = {"Fecha", "Artículo", "Nombre Artículo", "Cantidad", "Pre.Unidad", "Total", "Detalle"};
  grid.aColSizes = {70, 55, 315, 75, 70, 70, 315};
  grid.aJustify = {Justify::Left,  Justify::Right, Justify::Left, Justify::Right,
                   Justify::Right, Justify::Right, Justify::Left};
  gridBasics(grid);
  headerColours(grid, kind_.evenHeadBack, RGB(255, 255, 0), kind_.oddHeadBack, RGB(255, 255, 255));
  grid.nClrPane = parityPane(m, RGB(193, 221, 255), RGB(221, 245, 255));
  grid.bChange = [this](TWBrowse& g) {
    g.Refresh();
    showTitle(g);
  };
  grid.bLDblClick = [this, &grid](int, int, int) { change(grid); };

  dlg.btnBmp(182, "plus", [&] { add(grid); })
      .caption("Añadir").tooltip("Agregar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(183, "editar", [&] { change(grid); })
      .caption("Editar").tooltip("Modificar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(184, "delete", [&] { remove(grid); })
      .caption("Borrar").tooltip("Borrar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(185, "search", [&] { search(grid); })
      .caption("Buscar").tooltip("Buscar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(187, "quit", [&] { dlg.end(); })
      .caption("Salir").tooltip("Salida").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(4001, "Topr", [&] { top(grid); }).caption("Principio").tooltip("Principio del Archivo").layout("LEFT");
  dlg.btnBmp(4004, "Bottomr", [&] { bottom(grid); }).caption("Final").tooltip("Final del Archivo").layout("LEFT");
  dlg.activate();
}

}  // namespace zol
