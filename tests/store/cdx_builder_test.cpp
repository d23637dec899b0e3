// Tag builds from a record scan: progress and cancel, FOR and unique tags,
// errors, spilling to a temporary file, and repeatable output.
#include <gtest/gtest.h>

#include <random>

#include "cdx_test_support.h"
#include "store/cdx_page.h"

namespace zol {
namespace {

using test::MemTable;
using test::TempDir;

MemTable articles(std::vector<double> codes) {
  MemTable t({{"ARTICULO", 'N', 6}, {"NOMBRE", 'C', 40}});
  for (double c : codes) t.add({Value(c), Value("ART " + std::to_string(static_cast<int>(c)))});
  return t;
}

struct ProgressCase {
  uint32_t records;
  uint32_t interval;
  int cancelOnCall;  // 0 = never
  std::vector<uint32_t> calls;  // the counts each call received
  uint64_t keys;
};

class CdxProgress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(CdxProgress, CallsAndCancelFollowTheInterval) {
  const ProgressCase& c = GetParam();
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "a.cdx");
  std::vector<double> codes;
  for (uint32_t i = 1; i <= c.records; ++i) codes.push_back(i);
  MemTable t = articles(codes);
  std::vector<uint32_t> calls;
  CdxBuildOptions opt;
  opt.interval = c.interval;
  opt.progress = [&](uint32_t scanned) {
    calls.push_back(scanned);
    return static_cast<int>(calls.size()) != c.cancelOnCall;
  };
  CdxBuildResult r = cdxCreateTag(*f, {"art01", "articulo"}, t, opt);
  ASSERT_TRUE(r.tag);
  EXPECT_EQ(calls, c.calls);
  EXPECT_EQ(r.keys, c.keys);
  EXPECT_EQ(r.cancelled, c.cancelOnCall != 0);
  EXPECT_EQ(test::recnos(*r.tag).size(), c.keys);
  EXPECT_EQ(t.loads, r.scanned);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CdxProgress,
    ::testing::Values(ProgressCase{5, 0, 0, {0, 1, 2, 3, 4, 5}, 5},  // before every record, and once after
                      ProgressCase{5, 2, 0, {0, 2, 4, 5}, 5}, ProgressCase{4, 2, 0, {0, 2, 4}, 4},
                      ProgressCase{3, 10, 0, {0, 3}, 3}, ProgressCase{0, 0, 0, {}, 0},
                      ProgressCase{5, 0, 3, {0, 1, 2}, 2},  // false on the third call keeps two keys
                      ProgressCase{5, 0, 1, {0}, 0}, ProgressCase{10, 4, 2, {0, 4}, 4}));

TEST(CdxBuild, NumericKeysOrderAndSeek) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "a.cdx");
  MemTable t = articles({12, -1, 14, 0.5, 0, 12});
  CdxBuildResult r = cdxCreateTag(*f, {"art01", "articulo"}, t);
  ASSERT_TRUE(r.tag);
  EXPECT_EQ(r.type, KeyType::Numeric);
  EXPECT_EQ(r.keyLength, 8);
  EXPECT_EQ(test::recnos(*r.tag), (std::vector<uint32_t>{2, 5, 4, 1, 6, 3}));
  CdxCursor c(*r.tag);
  ASSERT_TRUE(c.seek(seekKey(Value(12))));
  EXPECT_EQ(c.recno(), 1u);
  // 13 is absent: the cursor stands on 14, whose key differs (a soft seek's answer).
  ASSERT_TRUE(c.seek(seekKey(Value(13))));
  EXPECT_EQ(c.recno(), 3u);
  EXPECT_NE(c.key(), seekKey(Value(13)));
  EXPECT_FALSE(c.seek(seekKey(Value(15))));
}

TEST(CdxBuild, MovementTagsAndDateSeek) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "entradas.cdx");
  MemTable t = test::movementTable();
  Date d1 = Date::fromYmd(2024, 3, 5), d2 = Date::fromYmd(2024, 3, 6);
  t.add({Value(d2), Value(12), Value(1.0), Value("")});
  t.add({Value(d1), Value(300), Value(1.0), Value("")});
  t.add({Value(Date()), Value(12), Value(1.0), Value("")});
  t.add({Value(d1), Value(12), Value(1.0), Value("")});
  CdxBuildResult a = cdxCreateTag(*f, {"ent01", "dtos(fecha)+str(articulo,6)"}, t);
  CdxBuildResult b = cdxCreateTag(*f, {"ent02", "str(articulo,6)+dtos(fecha)"}, t);
  ASSERT_TRUE(a.tag && b.tag);
  EXPECT_EQ(a.keyLength, 14);
  EXPECT_EQ(test::recnos(*a.tag), (std::vector<uint32_t>{3, 4, 2, 1}));
  EXPECT_EQ(test::recnos(*b.tag), (std::vector<uint32_t>{3, 4, 1, 2}));
  EXPECT_EQ(test::entries(*b.tag)[1].first, "    1220240305");
  CdxCursor c(*a.tag);
  ASSERT_TRUE(c.seek("20240305"));  // the first movement of that date
  EXPECT_EQ(c.recno(), 4u);
  ASSERT_TRUE(c.seek("20240306"));
  EXPECT_EQ(c.recno(), 1u);
  EXPECT_FALSE(c.seek("20240307"));
}

TEST(CdxBuild, ForConditionAndUniqueTags) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "a.cdx");
  MemTable t({{"ARTICULO", 'N', 6}, {"ACTIVO", 'L', 1}});
  for (int i = 0; i < 10; ++i) t.add({Value(i % 4), Value(i % 3 != 0)});
  CdxBuildResult r = cdxCreateTag(*f, {"act", "articulo", "activo"}, t);
  ASSERT_TRUE(r.tag);
  EXPECT_EQ(test::recnos(*r.tag), (std::vector<uint32_t>{5, 9, 2, 6, 3, 8}));
  EXPECT_EQ(r.tag->options(), 0x68);
  EXPECT_EQ(r.tag->forExpr(), "activo");
  CdxTagSpec u{"uni", "articulo"};
  u.unique = true;
  r = cdxCreateTag(*f, u, t);
  ASSERT_TRUE(r.tag);
  EXPECT_EQ(test::recnos(*r.tag), (std::vector<uint32_t>{1, 2, 3, 4}));  // the first record of each code
  EXPECT_EQ(r.tag->insert(test::numKey(2), 11), CdxTag::Edit::Unchanged);
  EXPECT_EQ(r.tag->insert(test::numKey(7), 11), CdxTag::Edit::Done);
  // A logical key is one byte.
  r = cdxCreateTag(*f, {"flag", "activo"}, t);
  ASSERT_TRUE(r.tag);
  EXPECT_EQ(r.keyLength, 1);
  EXPECT_EQ(test::entries(*r.tag).front(), test::Entry("F", 1));
}

TEST(CdxBuild, ErrorsCreateNothingAndKeepTheOldTag) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "a.cdx");
  MemTable t = articles({1, 2, 3});
  ASSERT_TRUE(cdxCreateTag(*f, {"art01", "articulo"}, t).tag);
  ErrorRecorder rec;
  struct Case {
    CdxTagSpec tagDef;
    const char* codes;
  } cases[] = {
      {{"art01", std::string(300, 'a'), std::string(211, 'b')}, "34/1054"},
      {{"art01", "nosuchfield"}, "33/1026"},
      {{"art01", "articulo", "nosuchfield"}, "33/1026"},
      {{"art01", "dtos(articulo)"}, "33/1026"},
      {{"art01", "str(articulo,0)"}, "33/1026"},
      {{"", "articulo"}, "33/1026"},
  };
  for (const Case& c : cases) {
    rec.clear();
    EXPECT_FALSE(cdxCreateTag(*f, c.tagDef, t).tag) << c.tagDef.keyExpr;
    EXPECT_EQ(test::codes(rec), c.codes) << c.tagDef.keyExpr;
    ASSERT_EQ(f->tagCount(), 1u);
    EXPECT_EQ(test::recnos(f->tag(0)).size(), 3u);
  }
  // 510 characters in all is still fine.
  rec.clear();
  MemTable w({{"A", 'C', 10}});
  w.add({Value("x")});
  std::string longExpr = "a" + std::string(508, ' ') + "+a";
  EXPECT_EQ(longExpr.size(), 511u);
  EXPECT_FALSE(cdxCreateTag(*f, {"w", longExpr}, w).tag);
  EXPECT_EQ(test::codes(rec), "34/1054");
  rec.clear();
  longExpr.erase(1, 1);
  CdxBuildResult r = cdxCreateTag(*f, {"w", longExpr}, w);
  ASSERT_TRUE(r.tag);
  EXPECT_TRUE(rec.empty());
  EXPECT_EQ(r.keyLength, 20);
}

TEST(CdxBuild, WideCharacterKeysAreCutTo240) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "a.cdx");
  MemTable t({{"A", 'C', 200}, {"B", 'C', 100}});
  t.add({Value("x"), Value("y")});
  ErrorRecorder rec;
  CdxBuildResult r = cdxCreateTag(*f, {"wide", "a+b"}, t);
  ASSERT_TRUE(r.tag);
  EXPECT_EQ(test::codes(rec), "34/1026");
  EXPECT_EQ(r.keyLength, 240);
  auto e = test::entries(*r.tag);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].first, "x" + std::string(199, ' ') + "y" + std::string(39, ' '));
}

// Random 14-byte keys, many duplicates, record numbers past 2^16.
MemTable randomMovements(uint32_t n, uint32_t seed) {
  MemTable t = test::movementTable();
  std::mt19937 rng(seed);
  for (uint32_t i = 0; i < n; ++i)
    t.add({Value(rng() % 50 == 0 ? Date() : Date::fromYmd(2020 + static_cast<int>(rng() % 5), 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 28))),
           Value(static_cast<double>(rng() % 3000)), Value(1.0), Value("")});
  return t;
}

TEST(CdxBuild, TinyBudgetSpillsRunsAndGivesTheSameFile) {
  TempDir dir;
  MemTable t = randomMovements(70000, 1);
  const CdxTagSpec tagDef{"ent02", "str(articulo,6)+dtos(fecha)"};
  {
    auto f = CdxFile::create(realFileSystem(), dir / "big.cdx");
    CdxBuildResult r = cdxCreateTag(*f, tagDef, t);
    ASSERT_TRUE(r.tag);
    EXPECT_EQ(r.spilledRuns, 0u);
  }
  {
    auto f = CdxFile::create(realFileSystem(), dir / "tiny.cdx");
    CdxBuildOptions opt;
    opt.memoryBudget = 24 * 1000;  // a thousand keys per run
    CdxBuildResult r = cdxCreateTag(*f, tagDef, t, opt);
    ASSERT_TRUE(r.tag);
    EXPECT_GE(r.spilledRuns, 70u);
    CdxCheckReport c = f->check();
    EXPECT_TRUE(c.ok());
  }
  EXPECT_FALSE(realFileSystem().exists(dir / "tiny.cdx.srt"));
  std::string big = test::readFile(dir / "big.cdx");
  EXPECT_GT(big.size(), 100000u);
  EXPECT_TRUE(big == test::readFile(dir / "tiny.cdx"));
}

TEST(CdxBuild, LongKeysSpillToo) {
  TempDir dir;
  MemTable t({{"NOMBRE", 'C', 40}});
  std::mt19937 rng(3);
  for (int i = 0; i < 5000; ++i) t.add({Value("NAME " + std::to_string(rng() % 700) + " " + std::string(rng() % 30, 'X'))});
  auto f = CdxFile::create(realFileSystem(), dir / "n.cdx");
  CdxBuildOptions opt;
  opt.memoryBudget = 4096;
  opt.tempPath = dir / "sort.tmp";
  CdxBuildResult r = cdxCreateTag(*f, {"art02", "nombre"}, t, opt);
  ASSERT_TRUE(r.tag);
  EXPECT_GT(r.spilledRuns, 10u);
  std::vector<test::Entry> want;
  for (uint32_t i = 1; i <= 5000; ++i) want.emplace_back(t.rows[i - 1][0].text(), i);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(test::entries(*r.tag), want);
  EXPECT_FALSE(realFileSystem().exists(dir / "sort.tmp"));
}

TEST(CdxBuild, TwoIdenticalBuildsGiveIdenticalFiles) {
  TempDir dir;
  MemTable t = randomMovements(20000, 2);
  for (const char* name : {"a.cdx", "b.cdx"}) {
    auto f = CdxFile::create(realFileSystem(), dir / name);
    ASSERT_TRUE(cdxCreateTag(*f, {"ent01", "dtos(fecha)+str(articulo,6)"}, t).tag);
    ASSERT_TRUE(cdxCreateTag(*f, {"ent02", "str(articulo,6)+dtos(fecha)"}, t).tag);
  }
  std::string a = test::readFile(dir / "a.cdx");
  EXPECT_GT(a.size(), 50000u);
  EXPECT_TRUE(a == test::readFile(dir / "b.cdx"));
}

// A full build holds the tree the format promises: full leaves, interior pages
// within their capacity, every level linked, and a check that passes.
TEST(CdxBuild, LargeBuildIsSoundAndDense) {
  TempDir dir;
  MemTable t = randomMovements(120000, 3);
  auto f = CdxFile::create(realFileSystem(), dir / "e.cdx");
  CdxBuildResult r = cdxCreateTag(*f, {"ent01", "dtos(fecha)+str(articulo,6)"}, t);
  ASSERT_TRUE(r.tag);
  CdxCheckReport c = f->check();
  EXPECT_TRUE(c.ok());
  EXPECT_TRUE(c.warnings.empty());
  uint64_t n = 0;
  ASSERT_TRUE(r.tag->keyCount(n));
  EXPECT_EQ(n, 120000u);
  // Leaves of record numbers past 65535 use 4-byte entries.
  std::string bytes = test::readFile(dir / "e.cdx");
  int wide = 0;
  for (size_t off = 2560; off + 512 <= bytes.size(); off += 512)
    if ((bytes[off] & 2) && bytes[off + 23] == 4) ++wide;
  EXPECT_GT(wide, 100);
  CdxCursor cur(*r.tag);
  ASSERT_TRUE(cur.last());
  EXPECT_EQ(cur.position(), 120000u);
}

}  // namespace
}  // namespace zol
