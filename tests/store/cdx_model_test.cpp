// Random inserts, removes, seeks and positions checked against a std::set of
// (key, record number), including after close and reopen, and cursors that
// keep their place while the tag changes under them.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <set>

#include "cdx_test_support.h"

namespace zol {
namespace {

using test::Entry;
using test::TempDir;

struct Shape {
  const char* name;
  int keyLen;
  KeyType type;
  size_t cachePages = 65536;  // small: pages are written out and dropped between operations
  bool dense = false;         // keys nearly full length: few per leaf, odd splits
};

class KeyGen {
 public:
  KeyGen(const Shape& s, uint32_t seed) : s_(s), rng_(seed) {}

  std::string key() {
    if (s_.type == KeyType::Numeric) return test::numKey((static_cast<int>(rng_() % 41) - 20) * 0.5);
    // Few letters and many trailing blanks: long shared prefixes, duplicate
    // keys and blank tails, with the odd extreme byte.
    std::string k;
    int len = s_.dense ? s_.keyLen - static_cast<int>(rng_() % 3)
                       : static_cast<int>(rng_() % static_cast<uint32_t>(s_.keyLen + 1));
    for (int i = 0; i < len; ++i) {
      uint32_t r = rng_() % 20;
      k += r == 0 ? '\0' : r == 1 ? '\xFF' : r < 5 ? ' ' : static_cast<char>('A' + r % 3);
    }
    k.resize(static_cast<size_t>(s_.keyLen), ' ');
    return k;
  }
  uint32_t recno() {
    uint32_t r = rng_() % 10;
    if (r < 7) return 1 + rng_() % 60000;
    if (r < 9) return 1 + rng_() % (1u << 24);
    return 1 + rng_() % 0x7FFFFFFFu;
  }
  uint32_t below(size_t n) { return static_cast<uint32_t>(rng_() % n); }

 private:
  Shape s_;
  std::mt19937 rng_;
};

class CdxModel : public ::testing::TestWithParam<Shape> {};

void expectSame(CdxTag& t, const std::set<Entry>& model) {
  std::vector<Entry> want(model.begin(), model.end());
  ASSERT_EQ(test::entries(t), want);
  uint64_t n = 0;
  ASSERT_TRUE(t.keyCount(n));
  EXPECT_EQ(n, model.size());
  // Backwards too, through the left links.
  CdxCursor c(t);
  auto it = model.rbegin();
  for (bool ok = c.last(); ok; ok = c.prev(), ++it) {
    ASSERT_NE(it, model.rend());
    ASSERT_EQ(Entry(std::string(c.key()), c.recno()), *it);
  }
  EXPECT_EQ(it, model.rend());
  CdxCheckReport r = t.file().check();
  EXPECT_TRUE(r.ok()) << r.problems[0];
}

TEST_P(CdxModel, RandomOperationsMatchASortedSet) {
  const Shape shape = GetParam();
  TempDir dir;
  std::string path = dir / "m.cdx";
  KeyGen gen(shape, 20240305);
  std::set<Entry> model;
  std::vector<Entry> live;  // the model's entries in no order, for picking one at random

  auto f = CdxFile::create(realFileSystem(), path);
  ASSERT_TRUE(f);
  f->setCacheLimit(shape.cachePages);
  {
    CdxTagBuilder b(*f, "m", "k", "", shape.type, shape.keyLen);
    for (int i = 0; i < 800; ++i) {
      Entry e{gen.key(), gen.recno()};
      if (model.insert(e).second) {
        live.push_back(e);
        ASSERT_TRUE(b.add(e.first, e.second));
      }
    }
    ASSERT_TRUE(b.finish());
  }
  CdxTag* t = &f->tag(0);
  expectSame(*t, model);

  for (int op = 1; op <= 24000; ++op) {
    uint32_t r = gen.below(100);
    if (r < 45) {
      Entry e{gen.key(), gen.recno()};
      bool fresh = model.insert(e).second;
      ASSERT_EQ(t->insert(e.first, e.second), fresh ? CdxTag::Edit::Done : CdxTag::Edit::Unchanged);
      if (fresh) live.push_back(e);
    } else if (r < 85) {
      if (live.empty() || r < 48) {
        Entry e{gen.key(), gen.recno()};
        ASSERT_EQ(t->remove(e.first, e.second), model.count(e) ? CdxTag::Edit::Done : CdxTag::Edit::Unchanged);
        if (model.erase(e)) live.erase(std::find(live.begin(), live.end(), e));
        continue;
      }
      size_t i = gen.below(live.size());
      Entry e = live[i];
      live[i] = live.back();
      live.pop_back();
      model.erase(e);
      ASSERT_EQ(t->remove(e.first, e.second), CdxTag::Edit::Done);
    } else if (r < 97) {
      std::string prefix = gen.key().substr(0, gen.below(static_cast<size_t>(shape.keyLen) + 1));
      auto it = std::find_if(model.begin(), model.end(),
                             [&](const Entry& e) { return e.first.compare(0, prefix.size(), prefix) >= 0; });
      CdxCursor c(*t);
      bool found = c.seek(prefix);
      ASSERT_EQ(found, it != model.end()) << test::hex(prefix);
      if (found) {
        ASSERT_EQ(Entry(std::string(c.key()), c.recno()), *it);
      }
    } else if (!live.empty()) {
      Entry e = live[gen.below(live.size())];
      auto it = model.find(e);
      ASSERT_EQ(t->position(e.first, e.second), static_cast<uint64_t>(std::distance(model.begin(), it)) + 1);
    }
    if (op % 3000 == 0) {
      expectSame(*t, model);
      if (HasFatalFailure()) return;
    }
    if (op % 8000 == 0) {
      f.reset();
      f = CdxFile::open(realFileSystem(), path);
      ASSERT_TRUE(f);
      f->setCacheLimit(shape.cachePages);
      ASSERT_EQ(f->tagCount(), 1u);
      t = &f->tag(0);
      t->setKeyType(shape.type);
      expectSame(*t, model);
    }
  }
  // Empty it completely: the root falls back to an empty leaf.
  for (const Entry& e : live) ASSERT_EQ(t->remove(e.first, e.second), CdxTag::Edit::Done);
  model.clear();
  expectSame(*t, model);
  CdxCheckReport r = f->check();
  EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
}

INSTANTIATE_TEST_SUITE_P(Shapes, CdxModel,
                         ::testing::Values(Shape{"char14", 14, KeyType::Character},
                                           Shape{"char40", 40, KeyType::Character},
                                           Shape{"numeric", 8, KeyType::Numeric, 8},
                                           Shape{"char240", 240, KeyType::Character},
                                           Shape{"char240SmallCache", 240, KeyType::Character, 16},
                                           Shape{"char240Dense", 240, KeyType::Character, 65536, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CdxCursor, KeepsItsPlaceWhileTheTagChanges) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "c.cdx");
  CdxTagBuilder b(*f, "c", "k", "", KeyType::Character, 6);
  std::set<Entry> model;
  for (uint32_t i = 1; i <= 3000; ++i) {
    Entry e{std::to_string(100000 + i * 3), i};
    model.insert(e);
    b.add(e.first, e.second);
  }
  CdxTag* t = b.finish();
  ASSERT_TRUE(t);
  CdxCursor c(*t);
  ASSERT_TRUE(c.first());
  uint32_t n = 0;
  // Walk forward removing every third entry under the cursor and adding one
  // just before it; the walk must still meet every surviving key once.
  std::vector<Entry> seen;
  while (c.valid()) {
    Entry cur(std::string(c.key()), c.recno());
    seen.push_back(cur);
    if (++n % 3 == 0) {
      ASSERT_EQ(t->remove(cur.first, cur.second), CdxTag::Edit::Done);
      model.erase(cur);
      Entry before{std::to_string(std::stoi(cur.first) - 1), 9000 + n};
      ASSERT_EQ(t->insert(before.first, before.second), CdxTag::Edit::Done);
      model.insert(before);
    }
    c.next();
  }
  EXPECT_FALSE(c.failed());
  EXPECT_EQ(seen.size(), 3000u);
  // And backwards over the changed tag, moving entries to the end as we go.
  ASSERT_TRUE(c.last());
  std::vector<Entry> back;
  while (c.valid()) {
    Entry cur(std::string(c.key()), c.recno());
    back.push_back(cur);
    if (back.size() % 5 == 0 && cur.first < "200000") {
      ASSERT_EQ(t->remove(cur.first, cur.second), CdxTag::Edit::Done);
      ASSERT_EQ(t->insert("999999", cur.second), CdxTag::Edit::Done);
    }
    c.prev();
  }
  EXPECT_EQ(back.size(), model.size());
  EXPECT_TRUE(f->check().ok());
}

TEST(CdxCursor, PositionCountsEveryEntryBeforeIt) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "p.cdx");
  CdxTagBuilder b(*f, "p", "k", "", KeyType::Character, 8);
  for (uint32_t i = 1; i <= 20000; ++i) b.add(std::to_string(10000000 + i), i);
  CdxTag* t = b.finish();
  ASSERT_TRUE(t);
  CdxCursor c(*t);
  ASSERT_TRUE(c.seek("10012345"));
  EXPECT_EQ(c.position(), 12345u);
  ASSERT_TRUE(c.first());
  EXPECT_EQ(c.position(), 1u);
  ASSERT_TRUE(c.last());
  EXPECT_EQ(c.position(), 20000u);
  // Counts follow inserts and removes before the entry.
  ASSERT_EQ(t->insert("10000000", 7), CdxTag::Edit::Done);
  EXPECT_EQ(c.position(), 20001u);
  ASSERT_EQ(t->remove("10000001", 1), CdxTag::Edit::Done);
  ASSERT_EQ(t->remove("10000002", 2), CdxTag::Edit::Done);
  EXPECT_EQ(c.position(), 19999u);
  EXPECT_EQ(t->position("10005000", 5000), 4999u);
  EXPECT_EQ(t->position("10005000", 4), 0u);  // no such entry
  c.next();
  EXPECT_FALSE(c.valid());
  EXPECT_EQ(c.position(), 0u);
}

TEST(CdxCursor, SeekFindsPrefixesAndTheFirstOfEqualKeys) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "s.cdx");
  CdxTagBuilder b(*f, "nombre", "nombre", "", KeyType::Character, 10);
  const char* names[] = {"MANZANA", "PERA", "PERAL", "PEREJIL", "PERA", "UVA"};
  for (uint32_t i = 0; i < 6; ++i) {
    std::string k = names[i];
    k.resize(10, ' ');
    b.add(k, i + 1);
  }
  CdxTag* t = b.finish();
  ASSERT_TRUE(t);
  CdxCursor c(*t);
  struct Case {
    const char* search;
    bool found;
    uint32_t recno;
  } cases[] = {
      {"PER", true, 2},  {"PERA", true, 2},      {"PERE", true, 4}, {"PERAL", true, 3},
      {"A", true, 1},    {"Z", false, 0},        {"", true, 1},     {"UVA       X", true, 6},
      {"PERAM", true, 4}, {"PERA      ", true, 2},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(c.seek(k.search), k.found) << k.search;
    if (k.found) {
      EXPECT_EQ(c.recno(), k.recno) << k.search;
    }
  }
  std::string pera = "PERA      ";
  ASSERT_TRUE(c.seekExact(pera, 3));
  EXPECT_EQ(c.recno(), 5u);  // first entry at or after (PERA, 3)
  ASSERT_TRUE(c.seekExact(pera, 6));
  EXPECT_EQ(c.recno(), 3u);  // PERAL
}

}  // namespace
}  // namespace zol
