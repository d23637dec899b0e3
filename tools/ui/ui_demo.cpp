// Shows a dialog template of the resource modules with sample values, for a
// look at what the user sees. With --shot the dialog is saved as a PNG and
// the program ends; otherwise it stays until closed.
//
// usage: zol_ui_demo [TEMPLATE|demo] [--module NAME] [--shot file.png]
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>
#include <QTimer>
#include <cstdio>
#include <map>

#include "core/codepage.h"
#include "ui/dialog.h"
#include "ui/msg.h"
#include "ui/resources.h"

using namespace zol;

namespace {

// Binds what a screen would bind, with plausible values, so every control
// kind shows working.
void bindSamples(TDialog& dlg, const TFont& bmpFont) {
  static Date date = Date::fromYmd(2024, 3, 15);
  static double code = 1234, stock = 12.5, price = 1850.75, qty = 3, total = 5552.25;
  static std::string name = utf8ToCp1252("TORNILLO CABEZA HEXAGONAL 1/2\" ACERO    ");
  static std::string detail = utf8ToCp1252("Remito 0001-00012345                    ");
  static std::string search(30, ' ');
  static std::string notes = utf8ToCp1252("Proveedor: Tornillería Núñez\r\nPedir por caja de 100.");
  static std::string month = "Marzo";
  static int option = 1;
  static bool ok = false;
  const std::map<int, std::pair<const char*, const char*>> captions = {
      {182, {"Añadir", "Agregar Registro"}}, {183, {"Editar", "Modificar Registro"}},
      {184, {"Borrar", "Borrar Registro"}},  {185, {"Buscar", "Buscar Registro"}},
      {187, {"Salir", "Salida"}}};
  const std::string name_ = dlg.templateName();
  const bool movement = name_.rfind("ZOL1100", 0) == 0 || name_.rfind("ZOL1200", 0) == 0;
  if (name_ == "ZOL0410ALT" || name_ == "ZOL0410MOD") {
    dlg.get(101, bind(code), "999999");
    dlg.get(102, bind(name), "@!");
    dlg.get(105, bind(price), "999999.99");
    dlg.get(110, bind(total), "999999.99");
    dlg.get(108, bind(stock), "999999.99");
    dlg.multiGet(107, notes).colors(RGB(0, 0, 0), RGB(191, 255, 255));
    dlg.bitmap(172, "calcu2", [] {});
    dlg.acceptButton(104, ok);
    dlg.cancelButton(106, ok);
  } else if (movement && (name_.find("ALT") != std::string::npos || name_.find("MOD") != std::string::npos)) {
    dlg.get(101, bind(date), "99/99/9999");
    dlg.get(109, bind(code), "999999");
    dlg.get(102, bind(name)).readOnly();
    dlg.get(105, bind(stock), "999999.99").readOnly();
    dlg.get(108, bind(price), "999999.99");
    dlg.get(114, bind(qty), "9999999.99");
    dlg.get(113, bind(total), "9999999.99");
    dlg.get(107, bind(detail));
    if (dlg.findItem(111)) dlg.bitmap(111, "lupa16x16", [] {});
    dlg.bitmap(172, "calcu2", [] {});
    dlg.acceptButton(104, ok);
    dlg.cancelButton(106, ok);
  } else if (name_ == "CALEND") {
    static double year = 2024;
    dlg.comboBox(101, month, {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto",
                              "Septiembre", "Octubre", "Noviembre", "Diciembre"});
    dlg.get(102, bind(year), "9999").spinner([] { ++year; }, [] { --year; }, [] { return 0.0; },
                                             [] { return 9999.0; });
  } else {
    for (const auto& [id, text] : captions)
      if (qobject_cast<QToolButton*>(dlg.findItem(id)))
        dlg.btnBmp(id, {}).caption(QString::fromUtf8(text.first)).tooltip(QString::fromUtf8(text.second))
            .captionFont(bmpFont).layout("TOP");
    if (dlg.findItem(4001)) dlg.btnBmp(4001, {}).caption("Principio").layout("LEFT");
    if (dlg.findItem(4004)) dlg.btnBmp(4004, {}).caption("Final").layout("LEFT");
    if (name_ == "ZOL0410BRW") dlg.get(102, bind(search), "@!");
    for (int id : {101, 102}) {
      auto* e = qobject_cast<QLineEdit*>(dlg.findItem(id));
      if (e && name_.rfind("RANGO_FEC", 0) == 0) dlg.get(id, bind(date), "99/99/9999");
    }
    if (name_ == "ZOL2200" || name_ == "ZOL1100S1") dlg.get(102, bind(date), "99/99/9999");
    if (name_ == "ZOL0410S2" || name_ == "ZOL1100S3") dlg.get(102, bind(code), "999999");
    if (dlg.findItem(112) && dlg.findItem(113)) {
      if (dlg.findItem(115))
        dlg.radMenu({112, 113, 114, 115}, option);
      else
        dlg.radMenu({112, 113}, option);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString name = "demo", module = "ZOL0000", shot;
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    if (a == "--shot" && i + 1 < argc)
      shot = QString::fromLocal8Bit(argv[++i]);
    else if (a == "--module" && i + 1 < argc)
      module = QString::fromLocal8Bit(argv[++i]);
    else
      name = a;
  }
  Resources::loadCustomControls("BWCC32.DLL");
  Resources::registerCustomControls();
  if (!Resources::use(module.toStdString())) {
    std::fprintf(stderr, "resource module %s not found\n", qPrintable(module));
    return 1;
  }
  const TFont brw("Arial", 12), bmp("Arial", 11);
  TDialog dlg(name == "demo" ? "ZOL1100ALT" : name.toStdString(), &brw);
  bindSamples(dlg, bmp);
  if (!shot.isEmpty()) {
    dlg.show();
    QApplication::processEvents();
    dlg.adjustSize();
    QApplication::processEvents();
    return dlg.grab().save(shot) ? 0 : 1;
  }
  dlg.activate();
  return 0;
}
