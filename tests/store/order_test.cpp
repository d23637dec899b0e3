// Index orders through the Work area: navigation, seeks, key maintenance,
// relations, tag builds, and a random workload against a plain model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "store/ZOL2000.h"
#include "store/ZOL2200.h"
#include "store/data_tables.h"
#include "store/verify.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;

// Records meter calls and cancels on request.
class RecordingRunner : public TaskRunner, public TaskProgress {
 public:
  void run(const std::string& text, const std::string& title, const std::function<void(TaskProgress&)>& task) override {
    meters.push_back(text + " | " + title);
    task(*this);
  }
  void setTotal(uint32_t t) override { totals.push_back(t); }
  void setPosition(uint32_t) override { ++positions; }
  bool cancelled() const override { return cancelAt >= 0 && positions >= cancelAt; }
  std::vector<std::string> meters;
  std::vector<uint32_t> totals;
  int positions = 0;
  int cancelAt = -1;
};

class OrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(wa.create(dir / "numeros", settingsStructure()));
    ASSERT_TRUE(ZOL_ARC(wa, dir.path()));
    wa.closeAll();
  }
  void addArticle(int code, const std::string& name, double stock = 0) {
    WorkArea& a = wa.area(Area::Articles);
    a.appendBlank();
    a.put("articulo", code);
    a.put("nombre", Value(name));
    a.put("stock", stock);
  }
  void addMovement(WorkArea& a, Date d, int code, double qty) {
    a.appendBlank();
    a.put("fecha", d);
    a.put("articulo", code);
    a.put("cantidad", qty);
  }
  std::vector<int> codes(WorkArea& a) {
    std::vector<int> out;
    for (a.goTop(); !a.eof(); a.skip()) out.push_back(static_cast<int>(a.get("articulo").number()));
    return out;
  }
  void reindex() {
    RecordingRunner r;
    ZOL2000(wa, dir.path(), r);
  }
  TempDir dir;
  WorkAreas wa;
  ErrorRecorder errors;
};

TEST_F(OrderTest, ReindexBuildsSixTagsWithTheirMeters) {
  RecordingRunner r;
  ZOL2000(wa, dir.path(), r);
  EXPECT_EQ(r.meters, (std::vector<std::string>{
                          "ENTRADAS.CDX - (ENT01) | Espere un Momento", "ENTRADAS.CDX - (ENT02) | Espere un Momento",
                          "SALIDAS.CDX  - (SAL01) | Espere un Momento", "SALIDAS.CDX  - (SAL02) | Espere un Momento",
                          "MAEART.CDX   - (ART01) | Espere un Momento", "MAEART.CDX   - (ART02) | Espere un Momento"}));
  EXPECT_FALSE(indexFileMissing(wa, dir.path()));
  struct T { const char* table; const char* tags[2]; const char* keys[2]; };
  for (T t : {T{"entradas", {"ENT01", "ENT02"}, {"dtos(fecha)+str(articulo,6)", "str(articulo,6)+dtos(fecha)"}},
              T{"salidas", {"SAL01", "SAL02"}, {"dtos(fecha)+str(articulo,6)", "str(articulo,6)+dtos(fecha)"}},
              T{"maeart", {"ART01", "ART02"}, {"articulo", "nombre"}}}) {
    ASSERT_TRUE(wa.use(dir / t.table));
    // Opened automatically, but no order chosen.
    EXPECT_EQ(wa.cur().order(), 0);
    ASSERT_EQ(wa.cur().orderCount(), 2) << t.table;
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(wa.cur().orderName(i + 1), t.tags[i]);
      wa.cur().setOrder(i + 1);
      EXPECT_EQ(wa.cur().keyExpression(), t.keys[i]);
    }
    EXPECT_TRUE(wa.cur().table()->hasIndexFlag());
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(OrderTest, MovementOrdersAndSeeks) {
  wa.select(Area::Entries);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  WorkArea& e = wa.cur();
  const Date d1 = Date::fromYmd(2024, 3, 5), d2 = Date::fromYmd(2024, 3, 6);
  addMovement(e, d2, 12, 1);
  addMovement(e, d1, 14, 2);
  addMovement(e, Date(), 12, 3);
  addMovement(e, d1, 12, 4);
  addMovement(e, d1, 3, 5);
  wa.closeAll();
  reindex();
  ASSERT_TRUE(wa.use(dir / "entradas"));
  ASSERT_TRUE(e.addIndex(dir / "entradas"));
  EXPECT_EQ(e.order(), 1);  // the first tag took control
  // ent01: date then code; the empty date first.
  EXPECT_EQ(codes(e), (std::vector<int>{12, 3, 12, 14, 12}));
  e.setOrder(2);
  std::vector<double> qty;
  for (e.goTop(); !e.eof(); e.skip()) qty.push_back(e.get("cantidad").number());
  EXPECT_EQ(qty, (std::vector<double>{5, 3, 4, 1, 2}));  // code, then date; empty date first
  // The ent02 key of article 12 on 5 March 2024.
  e.goTo(4);
  EXPECT_EQ(e.keyPosition(), 3u);
  EXPECT_TRUE(e.seek(Value("    1220240305")));
  EXPECT_EQ(e.recNo(), 4u);
  // Partial seeks: a date prefix finds the first movement of that date.
  e.setOrder(1);
  EXPECT_TRUE(e.seek(Value(d1.dtos())));
  EXPECT_EQ(e.get("articulo").number(), 3);
  EXPECT_FALSE(e.seek(Value("20240307")));
  EXPECT_TRUE(e.eof());
  EXPECT_FALSE(e.seek(Value("20240305"), false) ? false : true);
  // A match that is deleted is not found.
  e.seek(Value("20240306"));
  ASSERT_FALSE(e.eof());
  e.deleteRecord();
  EXPECT_FALSE(e.seek(Value("20240306")));
  EXPECT_TRUE(e.eof());
  EXPECT_FALSE(e.found());
  EXPECT_TRUE(errors.empty());
}

TEST_F(OrderTest, NumericAndCharacterSeeksWithSoftSeek) {
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  addArticle(14, "PERNO");
  addArticle(12, "ARANDELA");
  addArticle(-1, "PERCHA");
  addArticle(0, "ZOCALO");
  wa.closeAll();
  reindex();
  ASSERT_TRUE(wa.use(dir / "maeart"));
  WorkArea& a = wa.cur();
  a.setOrder(1);
  EXPECT_EQ(codes(a), (std::vector<int>{-1, 0, 12, 14}));
  EXPECT_TRUE(a.seek(12));
  EXPECT_EQ(a.get("nombre").text().substr(0, 8), "ARANDELA");
  EXPECT_FALSE(a.seek(13));
  EXPECT_TRUE(a.eof());
  EXPECT_FALSE(a.seek(13, true));
  EXPECT_FALSE(a.eof());
  EXPECT_EQ(a.get("articulo").number(), 14);
  EXPECT_FALSE(a.seek(99, true));
  EXPECT_TRUE(a.eof());
  a.setOrder(2);
  EXPECT_TRUE(a.seek(Value("PER")));
  EXPECT_EQ(a.get("articulo").number(), -1);  // PERCHA before PERNO
  a.setOrder(0);
  errors.clear();
  EXPECT_FALSE(a.seek(12));
  ASSERT_EQ(errors.events().size(), 1u);
  EXPECT_EQ(errors.last().genCode, ErrGen::NoOrder);
  EXPECT_EQ(errors.last().subCode, 1201);
}

TEST_F(OrderTest, ChangedKeyMovesTheRecordAndSkippingGoesOnFromThere) {
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  for (const char* n : {"ALFA", "BRAVO", "CHARLIE", "DELTA", "ECO"}) addArticle(static_cast<int>(n[0]), n);
  wa.closeAll();
  reindex();
  ASSERT_TRUE(wa.use(dir / "maeart"));
  WorkArea& a = wa.cur();
  a.setOrder(2);
  a.seek(Value("BRAVO"));
  a.put("nombre", Value("DORADO"));
  a.skip(1);
  EXPECT_EQ(a.get("nombre").text().substr(0, 4), "ECO ");
  a.skip(-2);
  EXPECT_EQ(a.get("nombre").text().substr(0, 6), "DELTA ");
  std::vector<std::string> names;
  for (a.goTop(); !a.eof(); a.skip()) names.push_back(a.get("nombre").text().substr(0, 7));
  EXPECT_EQ(names, (std::vector<std::string>{"ALFA   ", "CHARLIE", "DELTA  ", "DORADO ", "ECO    "}));
  // Appends get their keys when first written.
  a.appendBlank();
  a.put("nombre", Value("BETA"));
  a.goTop();
  a.skip();
  EXPECT_EQ(a.get("nombre").text().substr(0, 5), "BETA ");
}

TEST_F(OrderTest, RelationFollowsTheParent) {
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  addArticle(12, "ARANDELA", 5);
  addArticle(14, "PERNO", 7);
  wa.select(Area::Entries);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  addMovement(wa.cur(), Date::fromYmd(2024, 1, 1), 14, 1);
  addMovement(wa.cur(), Date::fromYmd(2024, 1, 2), 99, 1);
  addMovement(wa.cur(), Date::fromYmd(2024, 1, 3), 12, 1);
  wa.closeAll();
  reindex();
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  wa.cur().setOrder(1);
  wa.select(Area::Entries);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  WorkArea& e = wa.cur();
  e.setOrder(1);
  e.setRelation(Area::Articles, [](WorkArea& p) { return p.get("articulo"); }, "articulo");
  WorkArea& art = wa.area(Area::Articles);
  std::vector<std::string> names;
  for (e.goTop(); !e.eof(); e.skip()) names.push_back(art.eof() ? "-" : art.get("nombre").text().substr(0, 5));
  EXPECT_EQ(names, (std::vector<std::string>{"PERNO", "-", "ARAND"}));
  e.clearRelations();
  e.goTop();
  EXPECT_TRUE(art.eof());  // stays where the last relation put it
  EXPECT_TRUE(errors.empty());
}

TEST_F(OrderTest, CancelledBuildKeepsTheKeysScannedAndReplacesByName) {
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  for (int i = 1; i <= 5; ++i) addArticle(i, "X");
  WorkArea& a = wa.cur();
  int calls = 0;
  a.setOrderCondition([&](uint32_t) { return ++calls < 3; }, 0);
  ASSERT_TRUE(a.createTag("art01", "articulo"));
  EXPECT_EQ(codes(a), (std::vector<int>{1, 2}));
  // A name that cuts to the same ten characters replaces the tag.
  ASSERT_TRUE(a.createTag("ARTICULOSXYZ", "articulo"));
  ASSERT_TRUE(a.createTag("articulosx", "nombre"));
  EXPECT_EQ(a.orderCount(), 2);
  EXPECT_EQ(a.orderName(2), "ARTICULOSX");
  EXPECT_EQ(a.keyExpression(), "nombre");
  // A bad expression builds nothing and leaves the area where it was.
  a.goTo(3);
  errors.clear();
  EXPECT_FALSE(a.createTag("bad", "nosuchfield"));
  EXPECT_FALSE(errors.empty());
  EXPECT_EQ(a.recNo(), 3u);
  EXPECT_EQ(a.orderCount(), 2);
}

TEST_F(OrderTest, PurgeMarksUpToTheCutoffThenDeletes) {
  wa.select(Area::Entries);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  addMovement(wa.cur(), Date::fromYmd(2024, 3, 6), 1, 1);
  addMovement(wa.cur(), Date::fromYmd(2024, 3, 5), 2, 1);
  addMovement(wa.cur(), Date(), 3, 1);
  addMovement(wa.cur(), Date::fromYmd(2024, 1, 1), 4, 1);
  wa.select(Area::Exits);
  ASSERT_TRUE(wa.use(dir / "salidas"));
  addMovement(wa.cur(), Date::fromYmd(2025, 1, 1), 5, 1);
  wa.closeAll();
  reindex();
  PurgeCounts c = purgeMovements(wa, dir.path(), Date::fromYmd(2024, 3, 5));
  EXPECT_EQ(c.entriesMarked, 3);
  EXPECT_EQ(c.entriesDeleted, 3);
  EXPECT_EQ(c.exitsMarked, 0);
  EXPECT_EQ(codes(wa.area(Area::Entries)), (std::vector<int>{1}));
  wa.closeAll();
  reindex();
  ASSERT_TRUE(wa.use(dir / "entradas"));
  EXPECT_EQ(wa.cur().recCount(), 1u);
  EXPECT_EQ(wa.cur().get("articulo").number(), 1);
}

TEST_F(OrderTest, TwoReindexRunsGiveIdenticalFiles) {
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  for (int i = 0; i < 300; ++i) addArticle((i * 7919) % 1000, "N" + std::to_string(i % 37));
  wa.closeAll();
  reindex();
  std::string first = test::readFile(dir / "maeart.cdx");
  reindex();
  EXPECT_EQ(test::readFile(dir / "maeart.cdx"), first);
}

// Random appends, key changes, deletes and recalls on two tags, checked
// against a multimap after every batch, after close/reopen and after a pack.
TEST_F(OrderTest, RandomWorkloadMatchesModel) {
  wa.closeAll();
  reindex();
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.use(dir / "maeart"));
  WorkArea& a = wa.cur();
  std::mt19937 rng(7);
  struct Rec { int code; std::string name; bool deleted; };
  std::vector<Rec> model;  // by record number - 1
  auto randomName = [&] {
    std::string s;
    for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i) s += static_cast<char>('A' + rng() % 5);
    return s;
  };
  auto check = [&](const char* when) {
    for (int ord : {1, 2}) {
      std::multimap<std::pair<std::string, uint32_t>, int> expect;
      for (size_t i = 0; i < model.size(); ++i) {
        if (model[i].deleted) continue;
        char k[16];
        std::snprintf(k, sizeof k, "%+012d", model[i].code + 500000);
        std::string key = ord == 1 ? std::string(k) : model[i].name + std::string(40 - model[i].name.size(), ' ');
        expect.insert({{key, static_cast<uint32_t>(i + 1)}, 0});
      }
      a.setOrder(ord);
      std::vector<uint32_t> got, want;
      for (a.goTop(); !a.eof(); a.skip()) got.push_back(a.recNo());
      for (auto& [k, v] : expect) want.push_back(k.second);
      ASSERT_EQ(got, want) << when << " order " << ord;
      // And backwards.
      std::vector<uint32_t> back;
      for (a.goBottom(); !a.bof() && !a.eof(); a.skip(-1)) back.push_back(a.recNo());
      std::reverse(back.begin(), back.end());
      ASSERT_EQ(back, want) << when << " backwards order " << ord;
    }
  };
  for (int round = 0; round < 6; ++round) {
    for (int op = 0; op < 300; ++op) {
      int what = static_cast<int>(rng() % 10);
      if (what < 4 || model.empty()) {
        Rec r{static_cast<int>(rng() % 2000) - 1000, randomName(), false};
        a.appendBlank();
        a.put("articulo", r.code);
        a.put("nombre", Value(r.name));
        model.push_back(r);
      } else {
        uint32_t recno = 1 + static_cast<uint32_t>(rng() % model.size());
        a.goTo(recno);
        Rec& r = model[recno - 1];
        if (what < 7) {
          r.code = static_cast<int>(rng() % 2000) - 1000;
          a.put("articulo", r.code);
        } else if (what < 9) {
          r.name = randomName();
          a.put("nombre", Value(r.name));
        } else {
          r.deleted = !r.deleted;
          if (r.deleted)
            a.deleteRecord();
          else
            a.recall();
        }
      }
    }
    check("after batch");
    // Seeks agree with the model.
    a.setOrder(1);
    for (int s = 0; s < 50; ++s) {
      int code = static_cast<int>(rng() % 2000) - 1000;
      bool want = std::any_of(model.begin(), model.end(), [&](const Rec& r) { return !r.deleted && r.code == code; });
      ASSERT_EQ(a.seek(code), want) << code;
      if (want) ASSERT_EQ(a.get("articulo").number(), code);
    }
    if (round % 2) {
      wa.closeAll();
      wa.select(Area::Articles);
      ASSERT_TRUE(wa.use(dir / "maeart"));
      check("after reopen");
    }
  }
  // Pack with the tags open: records renumber, the tags follow.
  ASSERT_TRUE(a.pack());
  std::vector<Rec> kept;
  for (const Rec& r : model)
    if (!r.deleted) kept.push_back(r);
  model = kept;
  check("after pack");
  for (const auto& f : a.indexFiles()) EXPECT_TRUE(f->check().ok());
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace zol

namespace zol {
namespace {

// Keys copied from stored bytes must equal the keys the expression gives,
// also for bytes other writers leave: the check recomputes every key the slow
// way and compares.
TEST_F(OrderTest, KeysFromStoredBytesMatchTheExpressionForOddBytes) {
  wa.select(Area::Entries);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  WorkArea& e = wa.cur();
  for (int i = 0; i < 12; ++i) addMovement(e, Date::fromYmd(2024, 1, 1 + i), i * 37 - 100, i);
  wa.closeAll();
  // Overwrite date and code bytes the way other programs may store them.
  const char* dates[] = {"20240231", "2024 101", "        ", "00000000", "19991231", "abcdefgh"};
  const char* codes[] = {"  0012", "    -0", "  12  ", "     ", "******", "-00001", "999999", "     0", "   -12"};
  std::string d = test::readFile(dir / "entradas.dbf");
  for (size_t r = 0; r < 12; ++r) {
    size_t at = 258 + r * 85 + 1;
    d.replace(at, 8, dates[r % std::size(dates)]);
    std::string c = codes[r % std::size(codes)];
    c.resize(6, ' ');
    d.replace(at + 8, 6, c);
  }
  test::writeFile(dir / "entradas.dbf", d);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  errors.clear();
  ASSERT_TRUE(wa.cur().createTag("ent01", "dtos(fecha)+str(articulo,6)"));
  ASSERT_TRUE(wa.cur().createTag("ent02", "str(articulo,6)+dtos(fecha)"));
  ASSERT_TRUE(wa.cur().createTag("txt", "texto+dtos(fecha)"));
  // Key maintenance takes the same way: change a record to odd bytes and back.
  wa.cur().goTo(3);
  wa.cur().put("articulo", -5);
  wa.closeAll();
  std::vector<std::string> problems;
  for (const Problem& p : verifyIndex(realFileSystem(), dir / "entradas.dbf")) problems.push_back(p.text());
  EXPECT_EQ(problems, std::vector<std::string>{});
}

}  // namespace
}  // namespace zol
