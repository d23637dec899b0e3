#include "demo_data.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "core/numtext.h"
#include "store/data_tables.h"

namespace zol {

namespace {

struct Family {
  const char* name;
  std::vector<const char*> sizes;
  double cost;  // typical cost price
  const char* note;
};

// Names as typed on the shop's keyboard: Windows-1252 bytes.
const std::vector<Family>& families() {
  static const std::vector<Family> f = {
      {"TORNILLO AUTOPERFORANTE", {"8X1/2", "8X3/4", "10X1", "10X1 1/2", "12X2"}, 0.35, nullptr},
      {"TUERCA HEXAGONAL", {"1/4", "5/16", "3/8", "1/2"}, 0.20, nullptr},
      {"ARANDELA PLANA", {"1/4", "5/16", "3/8", "1/2"}, 0.08, nullptr},
      {"BULON CABEZA HEXAGONAL", {"1/4X1", "5/16X2", "3/8X3"}, 0.90, nullptr},
      {"CLAVO PUNTA PARIS", {"1 1/2\"", "2\"", "2 1/2\"", "3\""}, 3.10, "Se vende por kilo."},
      {"TACO FISCHER", {"N\xBA 6", "N\xBA 8", "N\xBA 10"}, 0.12, nullptr},
      {"LLAVE COMBINADA", {"8 MM", "10 MM", "13 MM", "17 MM", "19 MM"}, 4.80, nullptr},
      {"DESTORNILLADOR PHILLIPS", {"PH1", "PH2", "PH3"}, 3.20, nullptr},
      {"DESTORNILLADOR PALETA", {"3 MM", "5 MM", "6 MM"}, 2.90, nullptr},
      {"MARTILLO CARPINTERO", {"16 OZ", "20 OZ"}, 9.50, "Mango de fibra de vidrio.\r\nGarant\xED" "a 6 meses."},
      {"PINZA UNIVERSAL", {"6\"", "8\""}, 7.40, nullptr},
      {"ALICATE CORTE OBLICUO", {"6\""}, 6.90, nullptr},
      {"CINTA M\xC9TRICA", {"3 M", "5 M", "8 M"}, 4.10, nullptr},
      {"NIVEL DE ALUMINIO", {"30 CM", "60 CM"}, 8.70, nullptr},
      {"CANDADO BRONCE", {"30 MM", "40 MM", "50 MM"}, 5.60, "Incluye dos llaves."},
      {"BISAGRA PUERTA", {"3\"", "3 1/2\"", "4\""}, 1.30, nullptr},
      {"CERRADURA EXTERIOR", {"DOBLE PALETA"}, 18.90, "Proveedor: Cerrajer\xED" "a Nu\xF1" "ez.\r\nPedir con 15 d\xED" "as de anticipaci\xF3n."},
      {"PINTURA L\xC1TEX INTERIOR", {"1 L", "4 L", "10 L", "20 L"}, 6.50, nullptr},
      {"ESMALTE SINT\xC9TICO", {"1/4 L", "1 L", "4 L"}, 5.20, nullptr},
      {"PINCEL CERDA", {"N\xBA 10", "N\xBA 15", "N\xBA 20", "N\xBA 30"}, 1.60, nullptr},
      {"RODILLO LANA", {"17 CM", "22 CM"}, 3.90, nullptr},
      {"LIJA AL AGUA", {"GRANO 80", "GRANO 120", "GRANO 220", "GRANO 400"}, 0.45, nullptr},
      {"SILICONA TRANSPARENTE", {"280 ML"}, 3.30, nullptr},
      {"CINTA AISLADORA", {"10 M", "20 M"}, 0.70, nullptr},
      {"CABLE UNIPOLAR", {"1 MM", "1.5 MM", "2.5 MM", "4 MM"}, 0.55, "Precio por metro.\r\nRollos de 100 m en dep\xF3sito."},
      {"TOMACORRIENTE DOBLE", {"10 A", "20 A"}, 2.40, nullptr},
      {"L\xC1MPARA LED", {"9 W", "12 W", "18 W"}, 1.90, nullptr},
      {"MANGUERA JARD\xCDN", {"1/2\" X 15 M", "1/2\" X 25 M"}, 11.50, nullptr},
      {"CA\xD1O PVC", {"40 MM", "63 MM", "110 MM"}, 4.30, nullptr},
      {"CODO PVC 90\xBA", {"40 MM", "63 MM", "110 MM"}, 0.85, nullptr},
      {"TEFL\xD3N", {"12 MM X 10 M"}, 0.60, nullptr},
      {"GUANTE DE TRABAJO", {"TALLE M", "TALLE L"}, 2.10, nullptr},
      {"DISCO DE CORTE", {"115 MM", "230 MM"}, 1.40, nullptr},
      {"MECHA ACERO R\xC1PIDO", {"4 MM", "6 MM", "8 MM", "10 MM"}, 1.70, nullptr},
      {"ADHESIVO CONTACTO", {"125 ML", "500 ML"}, 3.60, nullptr},
      {"CADENA ZINCADA", {"3 MM", "5 MM"}, 1.15, "Precio por metro."},
      {"TARUGO MADERA", {"6 MM", "8 MM", "10 MM"}, 0.10, nullptr},
      {"TORNILLO PARA MADERA", {"3X16", "3.5X25", "4X40", "5X50", "6X60"}, 0.15, nullptr},
      {"PRECINTO PL\xC1STICO", {"100 MM", "200 MM", "300 MM"}, 0.05, "Bolsa de 100 unidades."},
      {"LLAVE FRANCESA", {"8\"", "10\"", "12\""}, 10.40, nullptr},
      {"SERRUCHO CARPINTERO", {"18\"", "22\""}, 12.80, nullptr},
      {"HOJA DE SIERRA", {"BIMETAL 24 D"}, 1.25, nullptr},
      {"FORM\xD3N", {"12 MM", "19 MM", "25 MM"}, 5.90, nullptr},
      {"ENCHUFE MACHO", {"10 A", "20 A"}, 0.95, nullptr},
      {"TERMICA BIPOLAR", {"16 A", "25 A", "32 A"}, 9.80, "Verificar curva C antes de vender."},
      {"CANILLA ESFERICA", {"1/2\"", "3/4\""}, 6.20, nullptr},
      {"FLEXIBLE MALLADO", {"30 CM", "40 CM"}, 2.30, nullptr},
      {"ESPATULA ACERO", {"5 CM", "8 CM", "10 CM"}, 1.95, nullptr},
      {"AGUARRAS", {"1 L", "5 L"}, 2.60, nullptr},
      {"THINNER", {"1 L", "4 L"}, 3.10, nullptr},
      {"MASILLA PARA YESO", {"1 KG", "4 KG"}, 2.80, nullptr},
      {"PEGAMENTO CER\xC1MICO", {"5 KG", "30 KG"}, 4.90, "Stock en el dep\xF3sito del fondo."},
      {"ESCALERA ALUMINIO", {"5 ESCALONES", "7 ESCALONES"}, 48.00, "Env\xEDo a domicilio sin cargo en el radio c\xE9ntrico."},
  };
  return f;
}

}  // namespace

bool writeDemoData(WorkAreas& wa, const std::string& dataPath, DemoSummary& summary) {
  std::mt19937 rng(1970);
  auto uniform = [&](double a, double b) { return a + (b - a) * (rng() / double(rng.max())); };
  struct Article {
    int code;
    double cost, sale, stock;
  };
  std::vector<Article> arts;

  wa.closeAll();
  wa.select(Area::Articles);
  if (!wa.use(dataPath + Tables::Articles)) return false;
  if (wa.cur().recCount() != 0) return false;
  wa.select(Area::Entries);
  if (!wa.use(dataPath + Tables::Entries)) return false;
  wa.select(Area::Exits);
  if (!wa.use(dataPath + Tables::Exits)) return false;
  WorkArea& art = wa.area(Area::Articles);
  WorkArea& ent = wa.area(Area::Entries);
  WorkArea& sal = wa.area(Area::Exits);

  const Date start = Date::today().addDays(-730);
  auto movement = [&](WorkArea& a, Date d, const Article& x, double qty, double price, const std::string& text) {
    a.appendBlank();
    a.put("fecha", d);
    a.put("articulo", x.code);
    a.put("cantidad", qty);
    a.put("pre_uni", price);
    a.put("importe", roundHalfAway(qty * price, 2));
    a.put("texto", Value(text));
    a.put("marca", 0);
  };

  int code = 100;
  for (const Family& fam : families()) {
    for (const char* size : fam.sizes) {
      Article x;
      x.code = code;
      code += 1 + static_cast<int>(rng() % 3);
      x.cost = roundHalfAway(fam.cost * uniform(0.85, 1.25), 2);
      x.sale = roundHalfAway(x.cost * uniform(1.35, 1.7), 2);
      x.stock = std::round(uniform(5, 80));
      art.appendBlank();
      art.put("articulo", x.code);
      art.put("nombre", Value(std::string(fam.name) + " " + size));
      art.put("precio", x.cost);
      art.put("preciov", x.sale);
      art.put("stock", x.stock);
      art.put("marca", 0);
      if (fam.note) art.put("notas", Value(std::string(fam.note)));
      movement(ent, start, x, x.stock, x.cost, "STOCK INICIAL");
      ++summary.entries;
      arts.push_back(x);
    }
  }
  summary.articles = static_cast<int>(arts.size());

  // Two years of trade: sales most working days, restocking when low.
  int invoice = 1200;
  for (Date d = start.addDays(1); d <= Date::today(); d = d.addDays(1)) {
    if (d.dayOfWeek() == 1) continue;  // closed on Sundays
    int sales = 2 + static_cast<int>(rng() % 6);
    for (int i = 0; i < sales; ++i) {
      Article& x = arts[rng() % arts.size()];
      double qty = std::round(uniform(1, 6));
      if (x.stock < qty) continue;
      x.stock -= qty;
      movement(sal, d, x, qty, x.sale, rng() % 5 ? "VENTA MOSTRADOR" : "REMITO " + std::to_string(3000 + rng() % 900));
      ++summary.exits;
    }
    for (Article& x : arts) {
      if (x.stock >= 8 || rng() % 3) continue;
      double qty = std::round(uniform(20, 60));
      x.stock += qty;
      char ref[32];
      std::snprintf(ref, sizeof ref, "FACTURA 0001-%08d", ++invoice);
      movement(ent, d, x, qty, x.cost, ref);
      ++summary.entries;
    }
  }
  // Each article's stock is its entries minus its exits.
  for (size_t i = 0; i < arts.size(); ++i) {
    art.goTo(static_cast<uint32_t>(i + 1));
    art.put("stock", arts[i].stock);
  }
  bool ok = wa.commitAll();
  wa.closeAll();
  return ok;
}

}  // namespace zol
