// Tables and memo files our engine writes, read back by independent xBase
// readers (python3-dbfread, Perl's XBase module, pgdbf): every field of every
// record must come out as we wrote it.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>

#include "core/error_event.h"
#include "interop_support.h"
#include "store/data_tables.h"

namespace zol::interop {
namespace {

using test::TempDir;

// ---------------------------------------------------------------- the data

struct Article {
  int articulo;
  std::string nombre;  // Windows-1252 bytes, as typed in the shop
  double precio, preciov, stock;
  int marca;
  std::string notas;
  bool deleted = false;
};

struct Movement {
  Date fecha;
  int articulo;
  double cantidad, preUni, importe;
  std::string texto;
  int marca;
  bool deleted = false;
};

std::string repeatLines(const std::string& line, size_t atLeast) {
  std::string s;
  for (int n = 1; s.size() < atLeast; ++n) s += std::to_string(n) + ". " + line + "\r\n";
  return s;
}

// Covers what the article screen can store: accents and the euro sign,
// leading blanks, a name cut at 40 bytes, the widest and most negative
// numbers N 9.2 holds, and notes empty, one line, exactly one memo block (56
// bytes), just over it, multi-line, and over 1000 bytes with tabs and a backslash.
std::vector<Article> articleRows() {
  const std::string fiftySix = "Caja de 100 uds. Medidas: 3/4 x 40 mm. Acero cincado ok";
  return {
      {1, "Tornillo \xD1" "and\xFA" " 3/4", 0.15, 0.25, 1250, 0, ""},
      {2, "Arandela \xAB" "inox\xBB" " \x80" " caja", 12.5, 18.95, -3, 1, "Una l\xED" "nea"},
      {3, "Cola de contacto 125 ml \x93" "Pattex\x94", 999999.99, -99999.99, 0, 99,
       "Proveedor: Ferreter\xED" "a Garc\xED" "a\r\nPedido m\xED" "nimo: 12 uds.\r\nPlazo: 2 d\xED" "as"},
      {4, "  Broca HSS 6 mm (pack \xBD" " docena)", 1.05, 2.1, 0.5, 0, fiftySix},
      {5, "Cinta americana plateada 50 mm x 25 m \xE7\xFC", 4.4, 7.95, 12.75, 0, fiftySix + "!"},
      {6, "Lija al agua grano 400 (hoja 230 x 280 mm) caja completa", 0.3, 0.6, 200, 2,
       "Borrada con nota\r\nsegunda l\xED" "nea", true},
      {7, "Pintura pl\xE1" "stica blanca 15 l", 45.9, 79, -0.01, 0,
       repeatLines("Dilu\xED" "r un 10%\tcon agua; C:\\obra\\notas \x80" " 3,50", 1200)},
      {8, "Silicona neutra transparente", 2.75, 4.5, 36, 0, std::string(120, 'x') + "\n\n"},
  };
}

std::vector<Movement> entryRows() {
  return {
      {Date::fromYmd(2024, 1, 31), 1, 1250, 0.15, 187.5, "STOCK INICIAL", 0},
      {Date::fromYmd(2000, 2, 29), 2, 10, 12.5, 125, "Albar\xE1" "n n\xBA" " 4711", 0},
      {Date(), 3, -2.5, 45.9, -114.75, "Devoluci\xF3" "n sin fecha", 1},
      {Date::fromYmd(1999, 12, 31), 4, 9999999.99, 0.01, 999999.99, "M\xE1" "ximos", 0},
      {Date::fromYmd(2025, 12, 1), 5, 1, 4.4, 4.4, "Anulada", 0, true},
      {Date::fromYmd(2038, 1, 19), 999999, 0, 0, 0, std::string(45, 'Z'), 99},
  };
}

void check(bool ok, const char* what) { ASSERT_TRUE(ok) << what; }

void writeArticles(WorkAreas& wa, const std::string& path, const std::vector<Article>& rows) {
  check(wa.create(path, articleStructure()), "create");
  check(wa.use(path), "use");
  WorkArea& a = wa.cur();
  for (const Article& r : rows) {
    check(a.appendBlank(), "append");
    a.put("articulo", r.articulo);
    a.put("nombre", Value(r.nombre));
    a.put("precio", r.precio);
    a.put("preciov", r.preciov);
    a.put("stock", r.stock);
    a.put("marca", r.marca);
    a.put("notas", Value(r.notas));
    if (r.deleted) a.deleteRecord();
  }
  wa.closeAll();
}

// Edits notes the way the article screen does over time, so the memo file
// carries freed runs and a stored free-block list between live texts.
void editArticleNotes(WorkAreas& wa, const std::string& path, std::vector<Article>& rows) {
  std::map<int, std::string> edits = {
      {3, "Cambio de proveedor"},                       // shorter: frees the tail of its run
      {2, repeatLines("Nota ampliada \xF1", 300)},       // longer: moves to a new run
      {5, ""},                                          // emptied: its run is freed
      {1, "Reutiliza un hueco \xBF" "ok?"},               // small: takes a freed run
  };
  check(wa.use(path), "use");
  WorkArea& a = wa.cur();
  for (const auto& [recno, text] : edits) {
    a.goTo(static_cast<uint32_t>(recno));
    check(a.put("notas", Value(text)), "put notas");
    rows[static_cast<size_t>(recno - 1)].notas = text;
  }
  wa.closeAll();
}

void writeMovements(WorkAreas& wa, const std::string& path, const std::vector<Movement>& rows) {
  check(wa.create(path, movementStructure()), "create");
  check(wa.use(path), "use");
  WorkArea& a = wa.cur();
  for (const Movement& r : rows) {
    check(a.appendBlank(), "append");
    a.put("fecha", r.fecha);
    a.put("articulo", r.articulo);
    a.put("cantidad", r.cantidad);
    a.put("pre_uni", r.preUni);
    a.put("importe", r.importe);
    a.put("texto", Value(r.texto));
    a.put("marca", r.marca);
    if (r.deleted) a.deleteRecord();
  }
  wa.closeAll();
}

// ---------------------------------------------------------------- expected dumps

std::vector<Dump::Field> fieldsOf(const Structure& s) {
  std::vector<Dump::Field> out;
  for (const FieldSpec& f : s) {
    std::string name = f.name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    out.push_back({name, f.type, f.width, f.decimals});
  }
  return out;
}

std::string charField(const std::string& s, size_t width) { return esc(cp1252ToUtf8(rstripBlanks(s.substr(0, width)))); }

Dump expectedArticles(const std::vector<Article>& rows) {
  Dump d;
  d.fields = fieldsOf(articleStructure());
  for (const Article& r : rows)
    d.records.push_back({r.deleted,
                         {fixed(r.articulo, 0), charField(r.nombre, 40), fixed(r.precio, 2), fixed(r.preciov, 2),
                          fixed(r.stock, 2), fixed(r.marca, 0), esc(cp1252ToUtf8(r.notas))}});
  return d;
}

Dump expectedMovements(const std::vector<Movement>& rows) {
  Dump d;
  d.fields = fieldsOf(movementStructure());
  for (const Movement& r : rows)
    d.records.push_back({r.deleted,
                         {r.fecha.isEmpty() ? "" : r.fecha.dtos(), fixed(r.articulo, 0), fixed(r.cantidad, 2),
                          fixed(r.preUni, 2), fixed(r.importe, 2), charField(r.texto, 40), fixed(r.marca, 0)}});
  return d;
}

// ---------------------------------------------------------------- the tables

// One table on disk and what every reader should find in it.
struct Case {
  std::string file;  // table file name in the shared folder
  Dump expected;
  bool hasMemo = false;
};

// The tables are written once for the whole suite.
class Tables {
 public:
  static Tables& get() {
    static Tables t;
    return t;
  }
  const TempDir& dir() const { return dir_; }
  const Case& at(const std::string& name) const { return cases_.at(name); }
  const std::vector<ErrorEvent>& errors() const { return errors_; }

 private:
  Tables() {
    ErrorRecorder rec;
    WorkAreas wa;
    std::vector<Article> arts = articleRows();
    writeArticles(wa, dir_ / "maeart", arts);
    editArticleNotes(wa, dir_ / "maeart", arts);
    cases_["maeart"] = {"maeart.dbf", expectedArticles(arts), true};

    std::vector<Movement> entries = entryRows();
    writeMovements(wa, dir_ / "entradas", entries);
    cases_["entradas"] = {"entradas.dbf", expectedMovements(entries), false};

    // A packed table ends with the end-of-file byte after its last record.
    std::vector<Movement> exits = entryRows();
    writeMovements(wa, dir_ / "salidas", exits);
    wa.use(dir_ / "salidas");
    wa.cur().pack();
    wa.closeAll();
    std::erase_if(exits, [](const Movement& m) { return m.deleted; });
    cases_["salidas"] = {"salidas.dbf", expectedMovements(exits), false};

    // A fresh article master: header, terminator, end-of-file byte and a
    // memo file that is only its header.
    wa.create(dir_ / "vacio", articleStructure());
    cases_["vacio"] = {"vacio.dbf", expectedArticles({}), true};
    errors_ = rec.events();
  }

  TempDir dir_;
  std::map<std::string, Case> cases_;
  std::vector<ErrorEvent> errors_;
};

// ---------------------------------------------------------------- the readers

std::string unescapeCopy(const std::string& s);

// pgdbf prints SQL for PostgreSQL: a CREATE TABLE with the columns and a COPY
// block with one tab-separated line per live record. This turns it into the
// line form, using the expected fields to know how to read each column.
Dump parsePgdbf(const std::string& sql, const std::vector<Dump::Field>& fields) {
  Dump d;
  std::istringstream in(sql);
  std::string line;
  bool inCopy = false;
  while (std::getline(in, line)) {
    if (line.rfind("CREATE TABLE", 0) == 0) {
      size_t open = line.find('('), close = line.rfind(')');
      std::string cols = line.substr(open + 1, close - open - 1);
      // Columns are "name TYPE" or "name TYPE(w, d)", separated by ", " outside parentheses.
      int depth = 0;
      std::string cur;
      std::vector<std::string> parts;
      for (char c : cols) {
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) {
          parts.push_back(cur);
          cur.clear();
        } else {
          cur += c;
        }
      }
      parts.push_back(cur);
      for (std::string p : parts) {
        while (!p.empty() && p.front() == ' ') p.erase(0, 1);
        size_t sp = p.find(' ');
        std::string name = p.substr(0, sp), type = p.substr(sp + 1);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Dump::Field f{name, '?', 0, 0};
        int w = 0, dec = 0;
        if (std::sscanf(type.c_str(), "VARCHAR(%d)", &w) == 1) {
          f = {name, 'C', w, 0};
        } else if (std::sscanf(type.c_str(), "NUMERIC(%d, %d)", &w, &dec) == 2) {
          f = {name, 'N', w, dec};
        } else if (std::sscanf(type.c_str(), "NUMERIC(%d)", &w) == 1) {
          f = {name, 'N', w, 0};
        } else if (type == "DATE") {
          f = {name, 'D', 8, 0};
        } else if (type == "TEXT") {
          f = {name, 'M', 10, 0};
        } else if (type == "BOOLEAN") {
          f = {name, 'L', 1, 0};
        } else {
          ADD_FAILURE() << "pgdbf column type " << type;
        }
        d.fields.push_back(f);
      }
    } else if (line.rfind("\\COPY", 0) == 0) {
      inCopy = true;
    } else if (line == "\\.") {
      inCopy = false;
    } else if (inCopy) {
      std::vector<std::string> cols = splitTabs(line);
      if (cols.size() != fields.size()) {
        ADD_FAILURE() << "pgdbf line with " << cols.size() << " columns: " << line;
        continue;
      }
      Dump::Record r;
      for (size_t i = 0; i < cols.size(); ++i) {
        const std::string& c = cols[i];
        bool null = c == "\\N";
        switch (fields[i].type) {
          case 'C':
            r.values.push_back(esc(rstripBlanks(unescapeCopy(c))));
            break;
          case 'M':
            r.values.push_back(null ? "" : esc(unescapeCopy(c)));
            break;
          case 'N':
            r.values.push_back(null ? "null" : c);  // the digits exactly as stored
            break;
          case 'D':
            r.values.push_back(null ? "" : c.substr(0, 4) + c.substr(5, 2) + c.substr(8, 2));
            break;
          default:
            r.values.push_back(c);
        }
      }
      d.records.push_back(std::move(r));
    }
  }
  return d;
}

// COPY text format: backslash escapes for control characters and the backslash.
std::string unescapeCopy(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'v': out += '\v'; break;
      default: out += c;
    }
  }
  return out;
}

struct Reader {
  std::string name;
  bool (*available)();
  // The reader's view of the table at `path`.
  Dump (*dump)(const std::string& path, const Case& c);
  // Which of the expected records the reader shows, in its order.
  std::vector<Dump::Record> (*shows)(const Dump& expected);
};

std::string withExt(const std::string& path, const char* ext) { return path.substr(0, path.size() - 4) + ext; }

const Reader kReaders[] = {
    {"dbfread", haveDbfread,
     [](const std::string& path, const Case&) {
       return parseDump(runTool(std::string(kPython) + " " + quote(scriptPath("dbfread_dump.py")) + " " + quote(path)));
     },
     // dbfread lists live records and deleted ones apart.
     [](const Dump& e) {
       std::vector<Dump::Record> v = e.live(), del = e.deletedOnes();
       v.insert(v.end(), del.begin(), del.end());
       return v;
     }},
    {"xbase", haveXBase,
     [](const std::string& path, const Case&) {
       return parseDump(runTool("perl " + quote(scriptPath("xbase_dump.pl")) + " " + quote(path)));
     },
     [](const Dump& e) { return e.records; }},
    {"pgdbf", havePgdbf,
     [](const std::string& path, const Case& c) {
       std::string cmd = "pgdbf -s cp1252 ";
       if (c.hasMemo) cmd += "-m " + quote(withExt(path, ".fpt")) + " ";
       return parsePgdbf(runTool(cmd + quote(path)), c.expected.fields);
     },
     // pgdbf leaves deleted records out.
     [](const Dump& e) { return e.live(); }},
};

struct Param {
  const Reader* reader;
  std::string table;
};

void PrintTo(const Param& p, std::ostream* os) { *os << p.reader->name << " reading " << p.table; }

class ReadByOthers : public ::testing::TestWithParam<Param> {};

TEST_P(ReadByOthers, EveryValueAsWritten) {
  const Reader& reader = *GetParam().reader;
  if (!reader.available()) GTEST_SKIP() << reader.name << " is not installed";
  const Tables& t = Tables::get();
  ASSERT_TRUE(t.errors().empty()) << t.errors().front().messageLine();
  const Case& c = t.at(GetParam().table);
  Dump got = reader.dump(t.dir() / c.file, c);
  expectSameFields(c.expected, got, reader.name);
  expectSameRecords(c.expected.fields, reader.shows(c.expected), got.records, reader.name);
}

std::vector<Param> allParams() {
  std::vector<Param> out;
  for (const Reader& r : kReaders)
    for (const char* table : {"maeart", "entradas", "salidas", "vacio"}) out.push_back({&r, table});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Tables, ReadByOthers, ::testing::ValuesIn(allParams()),
                         [](const ::testing::TestParamInfo<Param>& p) { return p.param.reader->name + "_" + p.param.table; });

// Our own reading of the same files is the baseline the readers are held to.
TEST(WrittenByUs, OurEngineReadsWhatItWrote) {
  const Tables& t = Tables::get();
  ASSERT_TRUE(t.errors().empty()) << t.errors().front().messageLine();
  ErrorRecorder rec;
  WorkAreas wa;
  for (const char* table : {"maeart", "entradas", "salidas", "vacio"}) {
    const Case& c = t.at(table);
    ASSERT_TRUE(wa.use(t.dir() / c.file)) << table;
    Dump ours = dumpOurs(wa.cur());
    expectSameFields(c.expected, ours, table);
    expectSameRecords(c.expected.fields, c.expected.records, ours.records, table);
    wa.closeAll();
  }
  EXPECT_TRUE(rec.empty()) << rec.last().messageLine();
}

// The edits really left freed runs and a stored free-block list behind, so
// the readers above walked past them rather than a file without any.
TEST(WrittenByUs, ArticleMemoFileCarriesAFreeList) {
  const Tables& t = Tables::get();
  std::string m = test::readFile(t.dir() / "maeart.fpt");
  ASSERT_GE(m.size(), 1024u);
  auto le32 = [&](size_t o) {
    return uint32_t(static_cast<unsigned char>(m[o])) | uint32_t(static_cast<unsigned char>(m[o + 1])) << 8 |
           uint32_t(static_cast<unsigned char>(m[o + 2])) << 16 | uint32_t(static_cast<unsigned char>(m[o + 3])) << 24;
  };
  uint32_t list = le32(528), copy = le32(524);
  ASSERT_NE(list, 0u);
  ASSERT_NE(copy, 0u);
  ASSERT_LT(list + 8u, m.size());
  EXPECT_EQ(m.substr(list, 4), std::string("\0\0\x03\xE8", 4));  // type 1000
  EXPECT_EQ(m.size() % 64, 0u);
}

}  // namespace
}  // namespace zol::interop
