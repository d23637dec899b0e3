// Times writing a sheet the size of a year of movements: 60,000 rows of six
// columns (code, 40-character name, date as text, three amounts), to disk and
// to memory. Usage: xls_bench [directory] (default /tmp).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/date.h"
#include "xls/TFileXLS.h"
#include "xls/xls_tables.h"

using namespace zol;

namespace {

constexpr int kRows = 60000;

void writeSheet(TFileXLS& x, int amount) {
  const double widths[] = {7, 45, 10, 12, 12, 12};
  for (int c = 1; c <= 6; ++c) x.col(c, c, widths[c - 1]);
  Date day = Date::fromYmd(2024, 1, 1);
  std::string name = "Tornillo autorroscante cabeza plana 4x40";
  for (int i = 0; i < kRows; ++i) {
    int r = 8 + i;
    double qty = (i % 7) + 1;
    double price = (i * 37 % 100000) / 100.0;
    x.say(r, 1, 1000 + i);
    x.say(r, 2, name);
    x.say(r, 3, day.addDays(i % 366).toText());
    x.say(r, 4, qty, {.format = amount});
    x.say(r, 5, price, {.format = amount});
    x.say(r, 6, qty * price, {.format = amount});
  }
}

template <class F>
double bestOf(int runs, F f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
    best = std::min(best, d.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? argv[1] : "/tmp";
  std::filesystem::path file = dir / "xls_bench.xls";
  XLSCLSFORMAT();
  int amount = XLSFORMAT("#,##0.00");

  XlsResult res;
  double disk = bestOf(5, [&] {
    TFileXLS x(file.string(), {.longSheet = true});
    writeSheet(x, amount);
    res = x.end();
  });
  auto size = std::filesystem::file_size(file);
  std::filesystem::remove(file);

  double memory = bestOf(5, [&] {
    TFileXLS x(std::make_unique<MemorySink>(), {.longSheet = true});
    writeSheet(x, amount);
    x.end();
  });

  // Default limits: rows past 16,384 are counted and left out.
  XlsResult capped;
  double limited = bestOf(5, [&] {
    TFileXLS x(std::make_unique<MemorySink>());
    writeSheet(x, amount);
    capped = x.end();
  });

  std::printf("rows %d x 6 columns, %s, %llu bytes\n", kRows, res.ok() ? "written" : "FAILED",
              static_cast<unsigned long long>(size));
  std::printf("to disk (long sheet):   %.3f s\n", disk);
  std::printf("to memory (long sheet): %.3f s\n", memory);
  std::printf("to memory (16,384-row limit, %lld cells left out): %.3f s\n",
              static_cast<long long>(capped.dropped), limited);
  return res.ok() ? 0 : 1;
}
