#include "bench_data.h"


namespace zol::bench {

namespace {

const char* const kWhat[] = {"Tornillo", "Tuerca", "Arandela", "Broca", "Taco", "Bisagra", "Cerradura",
                             "Pintura", "Cola", "Silicona", "Lija", "Cinta", "Llave", "Martillo",
                             "Destornillador", "Alicate", "Cable", "Enchufe", "Bombilla", "Grifo"};
const char* const kDetail[] = {"inox", "cincado", "lat\xF3n", "acero", "nyl\xF3n", "blanca", "negra",
                               "pl\xE1stica", "r\xE1pida", "3/4", "6 mm", "8 mm", "10 mm", "1/2",
                               "de presi\xF3n", "el\xE9" "ctrico", "universal", "reforzado"};
const char* const kPack[] = {"", " (caja 100 uds.)", " (blister 10)", " 15 l", " 750 ml", " 25 m",
                             " pack \xBD docena", " granel"};

// Amounts are whole cents until they become doubles, so the generator costs
// next to nothing and every program gets the same values bit for bit.
int64_t costCents(int n) {
  Rng r(static_cast<uint64_t>(n) * 7919u);
  return 5 + r.below(40000);
}
double fromCents(int64_t c) { return static_cast<double>(c) / 100.0; }

}  // namespace

Article article(int n) {
  Rng r(static_cast<uint64_t>(n) * 104729u + 17);
  Article a;
  a.articulo = n;
  a.nombre = std::string(kWhat[r.below(20)]) + " " + kDetail[r.below(18)] + kPack[r.below(8)];
  int64_t cost = costCents(n);
  a.precio = fromCents(cost);
  a.preciov = fromCents((cost * (125 + r.below(60)) + 50) / 100);
  a.stock = static_cast<double>(r.below(500)) - 20;
  a.marca = 0;
  if (r.below(5) == 0) {
    a.notas = "Proveedor: Ferreter\xED" "a Garc\xED" "a S.L.\r\nPedido m\xED" "nimo " +
              std::to_string(1 + r.below(24)) + " uds.";
    if (r.below(3) == 0) a.notas += "\r\nUbicaci\xF3n: pasillo " + std::to_string(1 + r.below(12)) +
                                    ", estante " + std::to_string(1 + r.below(6)) + ".";
  }
  return a;
}

bool MovementSource::next(Movement& m) {
  if (done_ >= count_) return false;
  static const Date first = Date::fromYmd(2023, 1, 1);
  m.fecha = first.addDays(static_cast<int>(uint64_t(done_) * 731 / count_));
  // A few articles sell far more than the rest.
  uint32_t pick = rng_.below(kArticles);
  m.articulo = static_cast<int>(rng_.below(4) == 0 ? 1 + pick % 2000 : 1 + pick);
  // Quantities in hundredths: whole units mostly, some by the quarter (kilos, metres).
  int64_t qty = rng_.below(10) == 0 ? 25 * (1 + rng_.below(40)) : 100 * (1 + rng_.below(48));
  int64_t cost = costCents(m.articulo);
  m.cantidad = fromCents(qty);
  m.preUni = fromCents(cost);
  m.importe = fromCents((qty * cost + 50) / 100);
  switch (rng_.below(4)) {
    case 0: m.texto = "Albar\xE1n n\xBA " + std::to_string(10000 + rng_.below(90000)); break;
    case 1: m.texto = "Factura " + std::to_string(2023 + done_ * 2 / count_) + "/" + std::to_string(rng_.below(5000)); break;
    case 2: m.texto = "Pedido proveedor"; break;
    default: m.texto.clear();
  }
  m.marca = 0;
  ++done_;
  return true;
}

std::vector<uint32_t> lookupOrder(uint32_t records, uint32_t count) {
  Rng r(4711);
  std::vector<uint32_t> out(count);
  for (uint32_t& v : out) v = 1 + r.below(records);
  return out;
}

}  // namespace zol::bench
