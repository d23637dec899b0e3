// Grid navigation cost against table size: a TWBrowse over an Entries table in
// ent01 order, lines coloured by key position as the registers colour them,
// paged down 100 times, sent to the bottom and paged up 100 times, offscreen.
//
//   browse_bench <folder> <records> [<records> ...]
//
// Builds <folder>/entN.dbf with its ent01 tag when missing (dates rising over
// two years, articles and quantities varying), then prints the time per
// operation. Every operation should cost the same whatever the table size.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/wbrowse.h"
#include "store/data_tables.h"
#include "store/work_area.h"

using namespace zol;
using Clock = std::chrono::steady_clock;

namespace {

bool buildTable(const std::string& path, uint32_t records) {
  WorkAreas wa;
  if (!wa.create(path, movementStructure()) || !wa.use(path)) return false;
  WorkArea& a = wa.cur();
  const int fecha = a.fieldPos("fecha"), articulo = a.fieldPos("articulo"), cantidad = a.fieldPos("cantidad"),
            texto = a.fieldPos("texto");
  const Date start = Date::fromYmd(2023, 1, 1);
  uint64_t seed = 12345;
  for (uint32_t i = 0; i < records; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    a.appendBlank();
    a.put(fecha, start.addDays(static_cast<int>(uint64_t{i} * 730 / records)));
    a.put(articulo, static_cast<int>((seed >> 33) % 100000) + 1);
    a.put(cantidad, static_cast<double>((seed >> 20) % 50 + 1));
    a.put(texto, Value("ENTRADA " + std::to_string(i + 1)));
  }
  return a.createTag("ent01", "dtos(fecha)+str(articulo,6)");
}

struct Stats {
  double mean = 0, median = 0, max = 0;
};

Stats stats(std::vector<double> us) {
  Stats s;
  if (us.empty()) return s;
  for (double v : us) s.mean += v;
  s.mean /= static_cast<double>(us.size());
  std::sort(us.begin(), us.end());
  s.median = us[us.size() / 2];
  s.max = us.back();
  return s;
}

template <class F>
double timeUs(F&& f) {
  const auto t0 = Clock::now();
  f();
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

int run(const std::string& folder, uint32_t records) {
  const std::string path = folder + "/ent" + std::to_string(records);
  if (!std::filesystem::exists(path + ".dbf")) {
    std::printf("building %u records...\n", records);
    std::fflush(stdout);
    if (!buildTable(path, records)) {
      std::fprintf(stderr, "cannot build %s\n", path.c_str());
      return 1;
    }
  }
  WorkAreas wa;
  WorkArea& a = wa.area(Area::Entries);
  if (!a.open(path) || !a.addIndex(path + ".cdx")) return 1;
  a.setOrder(a.orderByName("ent01"));
  a.goTop();

  TWBrowse g(&a);
  const int fFecha = a.fieldPos("fecha"), fArt = a.fieldPos("articulo"), fCant = a.fieldPos("cantidad"),
            fTexto = a.fieldPos("texto");
  g.bLine = [&] {
    return Cells{QString::fromStdString(a.getDate(fFecha).toText()), QString::number(a.getNumber(fArt)),
                 QString::number(a.getNumber(fCant), 'f', 2), Cell::text1252(a.getString(fTexto))};
  };
  g.aHeaders = {"Fecha", "Artículo", "Cantidad", "Texto"};
  g.aColSizes = {80, 70, 80, 300};
  g.lCellStyle = true;
  // Alternate bands by key position, as the registers shade their lines.
  g.nClrPane = ColourOr(std::function<Colour()>(
      [&] { return a.keyPosition() % 2 ? RGB(255, 255, 235) : RGB(235, 255, 255); }));
  g.resize(700, 500);

  const double openUs = timeUs([&] {
    g.show();
    g.Refresh();
    QApplication::processEvents();
  });
  std::vector<double> down, up;
  for (int i = 0; i < 100; ++i) down.push_back(timeUs([&] { g.PageDown(); }));
  const double bottomUs = timeUs([&] { g.GoBottom(); });
  for (int i = 0; i < 100; ++i) up.push_back(timeUs([&] { g.PageUp(); }));
  const double topUs = timeUs([&] { g.GoTop(); });
  const Stats d = stats(down), u = stats(up);
  std::printf("%9u records, %d lines: open %.0f us; PageDown mean %.0f median %.0f max %.0f us; "
              "GoBottom %.0f us; PageUp mean %.0f median %.0f max %.0f us; GoTop %.0f us\n",
              records, g.nRowCount(), openUs, d.mean, d.median, d.max, bottomUs, u.mean, u.median, u.max, topUs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: browse_bench <folder> <records> [<records> ...]\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  int rc = 0;
  for (int i = 2; i < argc; ++i) rc |= run(argv[1], static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
  return rc;
}
