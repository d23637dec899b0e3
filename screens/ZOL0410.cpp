#include "screens/ZOL0410.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include "browse/wbrowse.h"
#include "core/codepage.h"
#include "core/launcher.h"
#include "core/numtext.h"
#include "screens/screen_support.h"
#include "shell/globals.h"
#include "store/data_tables.h"
#include "ui/dialog.h"
#include "ui/msg.h"
#include "ui/picture.h"
#include "ui/resources.h"

namespace zol {

namespace {

// Kept while the screen is open: the name search text and the list's grid.
std::string searchText;
TWBrowse* listGrid = nullptr;

WorkArea& articles() { return workAreas().area(Area::Articles); }

// Refreshes the grid, gives it the focus, and leaves the article area selected.
void backToGrid(TWBrowse& grid) {
  workAreas().select(Area::Articles);
  grid.SetFocus();
  grid.Refresh();
}

// The notes as the user saw them: where the box wrapped a long line, the
// stored text gets a line break of its own, so the memo reads the same
// wherever it is shown later.
std::string notesWithHardBreaks(QPlainTextEdit* edit, const std::string& fallback) {
  if (!edit) return fallback;
  QString out;
  const QTextDocument* doc = edit->document();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b != doc->begin()) out += "\r\n";
    const QString text = b.text();
    const QTextLayout* layout = b.layout();
    if (!layout || layout->lineCount() <= 1) {
      out += text;
      continue;
    }
    for (int i = 0; i < layout->lineCount(); ++i) {
      const QTextLine line = layout->lineAt(i);
      if (i) out += "\r\n";
      out += text.mid(line.textStart(), line.textLength());
    }
  }
  return utf8ToCp1252(out.toStdString());
}

}  // namespace

double proposedArticleCode(WorkArea& a) {
  const uint32_t recno = a.recNo();
  a.setOrder(1);
  a.goBottom();
  double code = 0;
  if (!a.eof()) {
    code = a.get("articulo").number();
    if (code > 900000) {
      while (code >= 900000 && !a.bof()) {
        a.skip(-1);
        code = a.get("articulo").number();
      }
    }
  }
  a.goTo(recno);
  return code + 1;
}

bool VAL_ART(double code) {
  WorkArea& a = articles();
  a.setOrder(1);
  if (a.seek(Value(code))) {
    MsgAlert("Artículo Existente", "Atención");
    if (listGrid) listGrid->Refresh();
    return false;
  }
  return true;
}

bool BUSCOB2(const std::string& key, TWBrowse& grid) {
  WorkArea& a = articles();
  const std::string k = trimmed(key);
  if (a.seek(Value(k))) {
    grid.Refresh();
    return true;
  }
  a.seek(Value(k.substr(0, k.empty() ? 0 : k.size() - 1)));
  grid.Refresh();
  return false;
}

void ZOL0410A(TWBrowse& grid, bool add) {
  WorkAreas& wa = workAreas();
  WorkArea& a = articles();
  if (!add && a.eof()) return;  // nothing to change on an empty list

  double code = 0, cost = 0, sale = 0, stock = 0;
  std::string name(40, ' ');
  std::string notes;
  if (add) {
    code = proposedArticleCode(a);
  } else {
    code = a.get("articulo").number();
    name = a.get("nombre").text();
    cost = a.get("precio").number();
    sale = a.get("preciov").number();
    stock = a.get("stock").number();
    notes = a.get("notas").text();
  }

  bool ok = false;
  TDialog dlg(add ? "ZOL0410ALT" : "ZOL0410MOD", &OFONTBRW);
  TGet& codeGet = dlg.get(101, bind(code), "999999");
  if (add)
    codeGet.valid([&] { return VAL_ART(code) && code > 0; });
  else
    codeGet.readOnly();
  dlg.get(102, bind(name), "@!");
  dlg.get(105, bind(cost), "999999.99");
  dlg.get(110, bind(sale), "999999.99");
  dlg.get(108, bind(stock), "999999.99");
  TMultiGet& notesGet = dlg.multiGet(107, notes).colors(RGB(0, 0, 0), RGB(191, 255, 255));
  dlg.bitmap(172, "calcu2", [] { Launcher::instance().startCalculator(); });
  dlg.acceptButton(104, ok);
  dlg.cancelButton(106, ok, "Cancelar", [&] { grid.Refresh(); });
  // The opening entry records stock x cost price; refuse what its amount
  // field cannot hold rather than store asterisks in it.
  dlg.canClose([&] {
    if (!ok || !add || fitsField(stock * cost, 9, 2)) return true;
    MsgStop("El importe del stock inicial (stock x precio de costo) no cabe en el movimiento.\n"
            "Máximo 999999.99: corrija el stock o el precio de costo.",
            "Atención");
    ok = false;
    return false;
  });
  dlg.activate();

  if (ok) {
    notes = notesWithHardBreaks(qobject_cast<QPlainTextEdit*>(notesGet.widget()), notes);
    wa.select(Area::Articles);
    a.lock();
    if (add) {
      a.appendBlank();
      a.put("articulo", Value(code));
    }
    a.put("nombre", Value(name));
    a.put("precio", Value(cost));
    a.put("preciov", Value(sale));
    a.put("stock", Value(stock));
    a.put("notas", Value(notes));
    wa.commitAll();
    grid.Refresh();
    a.unlock();
    if (add) {
      // The stock typed for a new article is its first entry, whatever it is.
      WorkArea& e = wa.area(Area::Entries);
      e.lock();
      e.appendBlank();
      e.put("fecha", Value(Date::today()));
      e.put("articulo", Value(code));
      e.put("cantidad", Value(stock));
      e.put("pre_uni", Value(cost));
      e.put("importe", Value(stock * cost));
      e.put("texto", Value(std::string("STOCK INICIAL")));
      e.commit();
      e.unlock();
    }
  } else {
    if (add) a.goTop();
    grid.Refresh();
  }
  backToGrid(grid);
}

void ZOL0410B(TWBrowse& grid) {
  WorkAreas& wa = workAreas();
  WorkArea& a = articles();
  if (a.eof()) return;  // no article to delete
  bool ok = false;
  {
    TDialog dlg("BORRAR2", &OFONTBRW);
    dlg.acceptButton(101, ok);
    dlg.cancelButton(102, ok);
    dlg.activate();
  }
  if (!ok) {
    a.goTop();
    grid.Refresh();
    return;
  }
  if (!MsgYesNo("Se Borrarán También Todos los Movimientos de Entradas y Salidas. Continúa ?", "ATENCION...")) {
    backToGrid(grid);
    return;
  }
  const double code = a.get("articulo").number();
  a.lock();
  a.deleteRecord();
  a.goTop();
  a.unlock();
  // Deleted movements are hidden, so each seek finds the next one.
  const Value key(str(code, 6));
  for (int area : {Area::Entries, Area::Exits}) {
    WorkArea& m = wa.area(area);
    m.setOrder(2);
    m.goTop();
    while (m.seek(key)) {
      m.lock();
      m.deleteRecord();
      m.unlock();
    }
    m.commit();
  }
  a.commit();
  a.goTop();
  backToGrid(grid);
}

void ZOL0410S(TWBrowse& grid) {
  int option = 1;
  bool ok = false;
  {
    TDialog dlg("ZOL0410CO", &OFONTBRW);
    dlg.radMenu({100, 110}, option);
    dlg.acceptButton(101, ok);
    dlg.cancelButton(102, ok);
    dlg.activate();
  }
  if (!ok) {
    articles().goTop();
    grid.Refresh();
    return;
  }
  CursorWait();
  if (option == 1)
    S0410CO1(grid);
  else
    S0410CO2(grid);
  CursorArrow();
  grid.Refresh();
}

namespace {

// The values the two searches look for, kept between the dialog and its step.
std::string searchName;
double searchCode = 0;

// Puts the articles in order `tag` on their first record and asks for the
// value to look for; true when the user accepted.
bool askSearch(const char* templateName, Binding value, const char* picture, int tag) {
  WorkArea& a = articles();
  a.setOrder(tag);
  a.goTop();
  bool ok = false;
  TDialog dlg(templateName, &OFONTBRW);
  dlg.get(102, std::move(value), picture);
  dlg.acceptButton(104, ok);
  dlg.cancelButton(105, ok);
  CursorArrow();
  dlg.activate();
  return ok;
}

// Seeks `key` from the first record in order `tag`; when nothing matches,
// the articles stay where they were.
void seekFromTop(int tag, const Value& key, TWBrowse& grid) {
  WorkArea& a = articles();
  a.setOrder(tag);
  const uint32_t recno = a.recNo();
  a.goTop();
  if (!a.seek(key)) a.goTo(recno);
  backToGrid(grid);
}

}  // namespace

void S0410CO1(TWBrowse& grid) {
  searchName.assign(20, ' ');
  if (askSearch("ZOL0410S1", bind(searchName), "@!", 2))
    S0410B1(grid);
  else
    backToGrid(grid);
}

void S0410B1(TWBrowse& grid) { seekFromTop(2, Value(trimmed(searchName)), grid); }

void S0410CO2(TWBrowse& grid) {
  searchCode = 0;
  if (askSearch("ZOL0410S2", bind(searchCode), "999999", 1))
    S0410B2(grid);
  else
    backToGrid(grid);
}

void S0410B2(TWBrowse& grid) { seekFromTop(1, Value(searchCode), grid); }

void ZOL0410() {
  WorkAreas& wa = workAreas();
  searchText.assign(30, ' ');
  // The two lights live as long as the screen.
  const QPixmap greenLight = Resources::bitmap("luz_v");
  const QPixmap redLight = Resources::bitmap("luz_r");

  wa.closeAll();
  if (!useTable(Area::Entries, Tables::Entries) || !useTable(Area::Exits, Tables::Exits) ||
      !useTable(Area::Articles, Tables::Articles, 2)) {
    wa.closeAll();
    return;
  }
  WorkArea& a = articles();
  a.goTop();

  TDialog dlg("ZOL0410BRW", &OFONTBRW);
  dlg.helpButton(false);
  TWBrowse& grid = *TWBrowse::redefine(dlg, 181, &a);
  listGrid = &grid;
  grid.bLine = [&a, &greenLight, &redLight] {
    const double stock = a.get("stock").number();
    return Cells{stock > 0 ? greenLight : redLight,
                 numText(a.get("articulo").number(), 6, 0),
                 Cell::text1252(a.get("nombre").text()),
                 numText(a.get("precio").number(), 9, 2),
                 numText(a.get("preciov").number(), 9, 2),
                 numText(stock, 9, 2)};
  };
  grid.aHeaders = {" ", "Artículo", "Nombre", "Pre.Costo", "Pre.Venta", "Stock"};
  grid.aColSizes = {15, 65, 325, 70, 70, 70};
  grid.aJustify = {Justify::Left, Justify::Right, Justify::Left, Justify::Right, Justify::Right, Justify::Right};
  gridBasics(grid);
  headerColours(grid, RGB(128, 0, 0), RGB(255, 255, 0), RGB(0, 128, 0), RGB(255, 255, 255));
  grid.nClrPane = parityPane(a, RGB(193, 221, 255), RGB(221, 245, 255));
  grid.nClrText = ColourOr(std::function<Colour()>(
      [&a] { return a.get("stock").number() <= 0 ? RGB(255, 0, 0) : RGB(0, 0, 0); }));
  grid.nClrBackFocus = RGB(123, 244, 37);
  grid.nClrForeFocus = RGB(0, 0, 255);
  grid.bLDblClick = [&grid](int, int, int) { ZOL0410A(grid, false); };

  TGet* search = nullptr;
  search = &dlg.get(102, bind(searchText), "@!").onChange([&](int key) {
    const std::string typed = search->buffer();
    searchText = typed;
    a.setOrder(2);
    const size_t upto = std::min<size_t>(static_cast<size_t>(std::max(search->cursorPos(), 0)), typed.size());
    std::string k = typed.substr(0, upto);
    for (char& c : k) c = static_cast<char>(cp1252Upper(static_cast<unsigned char>(c)));
    if (key == GetKey::Backspace)
      k += '\x08';
    else if (key == GetKey::Delete)
      k += '.';
    else
      k += static_cast<char>(cp1252Upper(static_cast<unsigned char>(key & 0xFF)));
    BUSCOB2(k, grid);
  });
  dlg.btnBmp(182, "plus", [&] { ZOL0410A(grid, true); })
      .caption("Añadir").tooltip("Agregar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(183, "editar", [&] { ZOL0410A(grid, false); })
      .caption("Editar").tooltip("Modificar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(184, "delete", [&] { ZOL0410B(grid); })
      .caption("Borrar").tooltip("Borrar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(185, "search", [&] { ZOL0410S(grid); })
      .caption("Buscar").tooltip("Buscar Registro").captionFont(OFONTBMP).layout("TOP");
  dlg.btnBmp(187, "quit", [&] { dlg.end(); })
      .caption("Salir").tooltip("Salida").captionFont(OFONTBMP).layout("TOP");
  dlg.activate();
  listGrid = nullptr;

  // The article the user was on is the one later screens start from.
  workAreas().select(Area::Articles);
  XART = a.get("articulo").number();  // 0 and blanks when the list stands past its end
  XNOM_ART = a.get("nombre").text();
}

}  // namespace zol
