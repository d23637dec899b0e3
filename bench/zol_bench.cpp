// Our engine's side of the benchmarks, one measurement per process run:
//   zol-bench articles DIR   write the article master (100,000 articles)
//   zol-bench append DIR     append 1,000,000 movements to a new entradas.dbf
//   zol-bench scan DIR       go top, skip to the end, sum importe
//   zol-bench goto DIR       100,000 random goto + read of a whole record
// Each prints one result line so run.sh can check all programs agree.
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_data.h"
#include "core/error_event.h"
#include "store/data_tables.h"
#include "store/work_area.h"

using namespace zol;
using namespace zol::bench;

namespace {

int fail(const char* what) {
  std::fprintf(stderr, "zol-bench: %s failed\n", what);
  return 1;
}

int writeArticles(const std::string& dir) {
  WorkAreas wa;
  if (!wa.create(dir + "maeart", articleStructure()) || !wa.use(dir + "maeart")) return fail("create maeart");
  WorkArea& a = wa.cur();
  const int articulo = a.fieldPos("articulo"), nombre = a.fieldPos("nombre"), precio = a.fieldPos("precio"),
            preciov = a.fieldPos("preciov"), stock = a.fieldPos("stock"), marca = a.fieldPos("marca"),
            notas = a.fieldPos("notas");
  for (uint32_t n = 1; n <= kArticles; ++n) {
    Article r = article(static_cast<int>(n));
    if (!a.appendBlank()) return fail("append");
    a.put(articulo, r.articulo);
    a.put(nombre, Value(std::move(r.nombre)));
    a.put(precio, r.precio);
    a.put(preciov, r.preciov);
    a.put(stock, r.stock);
    a.put(marca, r.marca);
    if (!r.notas.empty()) a.put(notas, Value(std::move(r.notas)));
  }
  wa.closeAll();
  std::printf("articles %u\n", kArticles);
  return 0;
}

int appendMovements(const std::string& dir) {
  WorkAreas wa;
  if (!wa.create(dir + "entradas", movementStructure()) || !wa.use(dir + "entradas")) return fail("create entradas");
  WorkArea& a = wa.cur();
  const int fecha = a.fieldPos("fecha"), articulo = a.fieldPos("articulo"), cantidad = a.fieldPos("cantidad"),
            preUni = a.fieldPos("pre_uni"), importe = a.fieldPos("importe"), texto = a.fieldPos("texto"),
            marca = a.fieldPos("marca");
  MovementSource src;
  Movement m;
  double sum = 0;
  while (src.next(m)) {
    if (!a.appendBlank()) return fail("append");
    a.put(fecha, m.fecha);
    a.put(articulo, m.articulo);
    a.put(cantidad, m.cantidad);
    a.put(preUni, m.preUni);
    a.put(importe, m.importe);
    a.put(texto, Value(std::move(m.texto)));
    a.put(marca, m.marca);
    sum += m.importe;
  }
  uint32_t n = a.recCount();
  wa.closeAll();
  std::printf("appended %u sum %.2f\n", n, sum);
  return 0;
}

int scan(const std::string& dir) {
  WorkAreas wa;
  if (!wa.use(dir + "entradas")) return fail("open entradas");
  WorkArea& a = wa.cur();
  const int importe = a.fieldPos("importe");
  double sum = 0;
  uint32_t n = 0;
  for (a.goTop(); !a.eof(); a.skip(1)) {
    sum += a.getNumber(importe);
    ++n;
  }
  wa.closeAll();
  std::printf("records %u sum %.2f\n", n, sum);
  return 0;
}

int randomGoto(const std::string& dir) {
  WorkAreas wa;
  if (!wa.use(dir + "entradas")) return fail("open entradas");
  WorkArea& a = wa.cur();
  const int fecha = a.fieldPos("fecha"), articulo = a.fieldPos("articulo"), importe = a.fieldPos("importe"),
            texto = a.fieldPos("texto");
  double sum = 0;
  long long art = 0, day = 0, len = 0;
  for (uint32_t r : lookupOrder(a.recCount())) {
    a.goTo(r);
    sum += a.getNumber(importe);
    art += static_cast<long long>(a.getNumber(articulo));
    day += a.getDate(fecha).day();
    std::string t = a.getString(texto);
    len += static_cast<long long>(t.find_last_not_of(' ') + 1);
  }
  wa.closeAll();
  std::printf("lookups %u sum %.2f art %lld day %lld len %lld\n", kLookups, sum, art, day, len);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zol-bench articles|append|scan|goto DIR\n");
    return 2;
  }
  std::string cmd = argv[1], dir = argv[2];
  if (dir.back() != '/') dir += '/';
  // Any engine error is a failed benchmark, not a number to report.
  setErrorHandler([](const ErrorEvent& e) {
    std::fprintf(stderr, "zol-bench: %s\n", e.messageLine().c_str());
    std::exit(1);
    return false;
  });
  if (cmd == "articles") return writeArticles(dir);
  if (cmd == "append") return appendMovements(dir);
  if (cmd == "scan") return scan(dir);
  if (cmd == "goto") return randomGoto(dir);
  std::fprintf(stderr, "zol-bench: unknown command %s\n", cmd.c_str());
  return 2;
}
