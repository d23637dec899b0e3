// A look at the record grid and the calendar: the article list template over
// a small generated table, or the calendar dialog ("browse_demo calendar").
#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "browse/calendar.h"
#include "browse/wbrowse.h"
#include "store/data_tables.h"
#include "store/work_area.h"
#include "ui/dialog.h"
#include "ui/resources.h"

using namespace zol;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Resources::loadCustomControls("BWCC32.DLL");
  Resources::use("PREV32SP.DLL");
  Resources::use("ZOL0000.DLL");
  Resources::registerCustomControls();
  TFont font("Arial", 12);
  if (argc > 1 && std::string(argv[1]) == "calendar") {
    const Date d = showCalendar(Date::today(), &font);
    std::printf("%s\n", d.toText().c_str());
    return 0;
  }
  const std::string dir = (std::filesystem::temp_directory_path() / "zol-browse-demo").string() + "/";
  std::filesystem::create_directories(dir);
  WorkAreas wa;
  const std::string path = dir + "maeart";
  if (!std::filesystem::exists(path + ".dbf")) {
    wa.create(path, articleStructure());
    WorkArea& a = wa.area(Area::Articles);
    a.open(path);
    const char* names[] = {"TORNILLO 4MM", "TUERCA M6", "ARANDELA & JUNTA", "CLAVO 30MM", "BROCA 8MM", "TACO NYLON"};
    for (int i = 1; i <= 60; ++i) {
      a.appendBlank();
      a.put("articulo", i * 10);
      a.put("nombre", Value(std::string(names[i % 6]) + " " + std::to_string(i)));
      a.put("stock", (i * 37) % 200);
      a.put("preciov", i * 1.25);
    }
    a.createTag("art02", "nombre");
    wa.closeAll();
  }
  WorkArea& a = wa.area(Area::Articles);
  a.open(path);
  a.goTop();
  TDialog dlg("ZOL0410BRW", &font);
  TWBrowse& brw = *TWBrowse::redefine(dlg, 181, &a);
  brw.bLine = [&] {
    return Cells{QString::number(a.get("articulo").number()), Cell::text1252(a.get("nombre").text()),
                 QString::number(a.get("stock").number(), 'f', 2), QString::number(a.get("preciov").number(), 'f', 2)};
  };
  brw.aHeaders = {"Código", "Nombre", "Stock", "Precio"};
  brw.aColSizes = {70, 300, 90, 90};
  brw.aJustify = {Justify::Right, 0, Justify::Right, Justify::Right};
  brw.lCellStyle = true;
  brw.Set3DStyle();
  brw.nClrPane = ColourOr(std::function<Colour()>(
      [&] { return a.keyPosition() % 2 ? RGB(255, 255, 235) : RGB(255, 255, 255); }));
  dlg.activate();
  return 0;
}
