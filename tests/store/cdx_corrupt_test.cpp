// Damaged index files and failing I/O give the defined error events, never a
// crash or an endless loop.
#include <gtest/gtest.h>

#include <random>

#include "cdx_test_support.h"
#include "store/cdx_page.h"

namespace zol {
namespace {

using namespace cdxpage;
using test::TempDir;

// A file with one 14-byte tag "T" of `n` keys (two levels from 2000 keys on).
std::string makeIndex(const std::string& path, uint32_t n) {
  {
    auto f = CdxFile::create(realFileSystem(), path);
    CdxTagBuilder b(*f, "t", "k", "", KeyType::Character, 14);
    for (uint32_t i = 1; i <= n; ++i) b.add(std::to_string(10000000000000 + i * 37), i);
    EXPECT_TRUE(b.finish());
  }
  return test::readFile(path);
}

void put32At(std::string& f, size_t off, uint32_t v) { put32(reinterpret_cast<uint8_t*>(&f[off]), v); }
void put16At(std::string& f, size_t off, uint32_t v) { put16(reinterpret_cast<uint8_t*>(&f[off]), v); }
uint32_t get32At(const std::string& f, size_t off) { return get32(reinterpret_cast<const uint8_t*>(&f[off])); }
uint32_t childAt(const std::string& f, uint32_t page, int i) {
  return getBE32(reinterpret_cast<const uint8_t*>(&f[page + 12 + i * 22 + 18]));
}

constexpr uint32_t kHeader = 1536;  // the only tag's header

// Leaf offsets in key order: down the leftmost path, then along the right links.
std::vector<uint32_t> leafChain(const std::string& f) {
  uint32_t p = get32At(f, kHeader);
  while (!(get16(reinterpret_cast<const uint8_t*>(&f[p])) & kAttrLeaf)) p = childAt(f, p, 0);
  std::vector<uint32_t> v;
  for (; p != kNone; p = get32At(f, p + 8)) v.push_back(p);
  return v;
}

// Opens the file and walks, seeks and counts the tag; returns the error codes seen.
std::string exercise(const std::string& path) {
  ErrorRecorder rec;
  auto f = CdxFile::open(realFileSystem(), path);
  if (f) {
    for (size_t i = 0; i < f->tagCount(); ++i) {
      CdxTag& t = f->tag(i);
      t.forEach([](std::string_view, uint32_t) { return true; });
      CdxCursor c(t);
      for (bool ok = c.last(); ok; ok = c.prev()) {
      }
      c.seek("100000000");
      uint64_t n;
      t.keyCount(n);
      c.seek("1000000001");
      c.position();
    }
  }
  std::string s;
  for (const ErrorEvent& e : rec.events()) {
    std::string c = std::to_string(e.genCode) + "/" + std::to_string(e.subCode);
    if (s.find(c) == std::string::npos) s += (s.empty() ? "" : " ") + c;
  }
  return s;
}

TEST(CdxCorrupt, FilesOf1024BytesOrLessAreCorrupt) {
  TempDir dir;
  std::string good = makeIndex(dir / "g.cdx", 10);
  for (size_t size : {0, 1, 511, 512, 1000, 1024}) {
    test::writeFile(dir / "x.cdx", good.substr(0, size));
    ErrorRecorder rec;
    EXPECT_FALSE(CdxFile::open(realFileSystem(), dir / "x.cdx")) << size;
    EXPECT_EQ(test::codes(rec), "32/1012") << size;
    EXPECT_EQ(rec.last().description, "Corruption detected");
    EXPECT_EQ(rec.last().fileName, dir / "x.cdx");
  }
}

TEST(CdxCorrupt, DamagedHeadersFailTheOpen) {
  TempDir dir;
  std::string good = makeIndex(dir / "g.cdx", 3000);
  uint32_t root = get32At(good, kHeader);
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"structure root outside", [](std::string& f) { put32At(f, 0, 0x100000); }},
      {"structure root misaligned", [](std::string& f) { put32At(f, 0, 1030); }},
      {"structure root in header", [](std::string& f) { put32At(f, 0, 512); }},
      {"structure key length 0", [](std::string& f) { put16At(f, 12, 0); }},
      {"tag header outside", [](std::string& f) { f[1024 + 24] = 0x7F; }},  // the entry's record number
      {"tag root outside", [](std::string& f) { put32At(f, kHeader, static_cast<uint32_t>(f.size())); }},
      {"tag key length 0", [](std::string& f) { put16At(f, kHeader + 12, 0); }},
      {"tag key length 241", [](std::string& f) { put16At(f, kHeader + 12, 241); }},
      {"key expression outside pool", [](std::string& f) { put16At(f, kHeader + 508, 600); }},
      {"truncated mid-page", [](std::string& f) { f.resize(f.size() - 100); }},
      {"free chain loop", [root](std::string& f) {
         put32At(f, 4, root);
         put32At(f, root, root);
       }},
      {"free page outside", [](std::string& f) { put32At(f, 4, 0x7FFFFE00); }},
  };
  for (const Case& c : cases) {
    std::string f = good;
    c.damage(f);
    test::writeFile(dir / "x.cdx", f);
    ErrorRecorder rec;
    auto cf = CdxFile::open(realFileSystem(), dir / "x.cdx");
    if (!cf) {
      EXPECT_EQ(test::codes(rec), "32/1012") << c.what;
      continue;
    }
    // Damage that only shows once the tree is read.
    EXPECT_TRUE(rec.empty()) << c.what;
    cf.reset();
    EXPECT_EQ(exercise(dir / "x.cdx"), "32/1012") << c.what;
  }
}

TEST(CdxCorrupt, DamagedTreesGiveTheCorruptionErrorAndNoLoop) {
  TempDir dir;
  std::string good = makeIndex(dir / "g.cdx", 3000);
  uint32_t root = get32At(good, kHeader);
  ASSERT_EQ(get16(reinterpret_cast<const uint8_t*>(&good[root])), 1) << "expected an interior root";
  std::vector<uint32_t> leaves = leafChain(good);
  ASSERT_GT(leaves.size(), 30u);
  uint32_t leaf1 = leaves[0], leaf2 = leaves[1], leaf3 = leaves[2];
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"sibling chain loops back", [&](std::string& f) { put32At(f, leaf3 + 8, leaf1); }},
      {"leaf points to itself", [&](std::string& f) { put32At(f, leaf2 + 8, leaf2); }},
      {"two leaves point at each other",
       [&](std::string& f) {
         put32At(f, leaf2 + 8, leaf1);
         put32At(f, leaf1 + 4, leaf2);
       }},
      {"left link loops", [&](std::string& f) { put32At(f, leaf3 + 4, leaf3); }},
      {"child outside the file",
       [&](std::string& f) { putBE32(reinterpret_cast<uint8_t*>(&f[root + 12 + 18]), 0x40000000); }},
      {"child is the root itself",
       [&](std::string& f) { putBE32(reinterpret_cast<uint8_t*>(&f[root + 12 + 22 + 18]), root); }},
      {"child in the file header",
       [&](std::string& f) { putBE32(reinterpret_cast<uint8_t*>(&f[root + 12 + 18]), 0); }},
      {"interior key count too large", [&](std::string& f) { put16At(f, root + 2, 23); }},
      {"interior key count zero", [&](std::string& f) { put16At(f, root + 2, 0); }},
      {"bad attribute", [&](std::string& f) { put16At(f, leaf2, 9); }},
      {"leaf entry size 0", [&](std::string& f) { f[leaf2 + 23] = 0; }},
      {"leaf bit counts too wide", [&](std::string& f) { f[leaf2 + 20] = 30; }},
      {"leaf key count too large", [&](std::string& f) { put16At(f, leaf2 + 2, 200); }},
      {"duplicate count past the key", [&](std::string& f) { f[leaf2 + 24 + 3 * 5 + 2] = static_cast<char>(0xFF); }},
      {"first key refers back", [&](std::string& f) { f[leaf2 + 26] = 0x01; }},
      {"keys out of order between leaves",
       [&](std::string& f) {
         // Swap the contents of two leaves, links included.
         std::string a = f.substr(leaf1 + 12, 500), b = f.substr(leaf3 + 12, 500);
         f.replace(leaf1 + 12, 500, b);
         f.replace(leaf3 + 12, 500, a);
       }},
  };
  for (const Case& c : cases) {
    std::string f = good;
    c.damage(f);
    test::writeFile(dir / "x.cdx", f);
    EXPECT_EQ(exercise(dir / "x.cdx"), "32/1012") << c.what;
    // check() finds the damage without raising anything.
    ErrorRecorder rec;
    auto cf = CdxFile::open(realFileSystem(), dir / "x.cdx");
    ASSERT_TRUE(cf) << c.what;
    CdxCheckReport r = cf->check();
    EXPECT_FALSE(r.ok()) << c.what;
    EXPECT_TRUE(rec.empty()) << c.what;
  }
}

TEST(CdxCorrupt, CheckNamesThePageUsedTwice) {
  TempDir dir;
  std::string good = makeIndex(dir / "g.cdx", 3000);
  uint32_t root = get32At(good, kHeader);
  std::string f = good;
  putBE32(reinterpret_cast<uint8_t*>(&f[root + 12 + 22 + 18]), childAt(good, root, 0));
  test::writeFile(dir / "x.cdx", f);
  auto cf = CdxFile::open(realFileSystem(), dir / "x.cdx");
  ASSERT_TRUE(cf);
  CdxCheckReport r = cf->check();
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.problems[0].find("already used by tag T"), std::string::npos) << r.problems[0];
}

// Random bytes over a good file, thousands of times: whatever comes out, no
// crash, no hang, no sanitizer report, and only the defined events.
TEST(CdxCorrupt, RandomDamageNeverCrashes) {
  TempDir dir;
  std::string good = makeIndex(dir / "g.cdx", 3000);
  std::mt19937 rng(7);
  for (int round = 0; round < 1500; ++round) {
    std::string f = good;
    int hits = 1 + static_cast<int>(rng() % 8);
    for (int h = 0; h < hits; ++h) {
      size_t page = rng() % (f.size() / 512);
      size_t at = page * 512 + (rng() % 4 == 0 ? rng() % 24 : rng() % 512);
      f[at] = static_cast<char>(rng());
    }
    test::writeFile(dir / "x.cdx", f);
    std::string codes = exercise(dir / "x.cdx");
    EXPECT_TRUE(codes.empty() || codes == "32/1012") << codes;
    ErrorRecorder rec;
    if (auto cf = CdxFile::open(realFileSystem(), dir / "x.cdx")) {
      cf->check();
      // Writes into a damaged file stop at the damage.
      cf->tag(0).insert("55555555555555", 1);
      cf->tag(0).remove(std::to_string(10000000000000 + 37 * 5), 5);
    }
  }
}

TEST(CdxIo, OpenFailuresOfferRetry) {
  TempDir dir;
  makeIndex(dir / "g.cdx", 10);
  int calls = 0;
  auto old = setErrorHandler([&](const ErrorEvent& e) {
    EXPECT_EQ(e.genCode, 21);
    EXPECT_EQ(e.subCode, 1003);
    EXPECT_TRUE(e.canRetry);
    EXPECT_TRUE(e.canDefault);
    return ++calls < 3;
  });
  EXPECT_FALSE(CdxFile::open(realFileSystem(), dir / "missing.cdx"));
  EXPECT_EQ(calls, 3);
  FaultFileSystem ffs(realFileSystem());
  ffs.failOpens("g.cdx", OsErr::SharingViolation);
  calls = 2;
  EXPECT_FALSE(CdxFile::open(ffs, dir / "g.cdx"));
  setErrorHandler(old);
  ErrorRecorder rec;
  EXPECT_FALSE(CdxFile::create(ffs, dir / "g.cdx"));
  EXPECT_EQ(test::codes(rec), "20/1006");
  EXPECT_EQ(rec.last().osCode, OsErr::SharingViolation);
}

TEST(CdxIo, ShortReadsAndFailedWritesAreReported) {
  TempDir dir;
  std::string good = makeIndex(dir / "g.cdx", 3000);
  FaultFileSystem ffs(realFileSystem());
  {
    ErrorRecorder rec;
    ffs.shortReadsFrom(static_cast<int64_t>(good.size()) - 2048);
    auto f = CdxFile::open(ffs, dir / "g.cdx");
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->tag(0).forEach([](std::string_view, uint32_t) { return true; }));
    EXPECT_EQ(test::codes(rec), "23/1010");
    ffs.reset();
  }
  {
    ErrorRecorder rec;
    auto f = CdxFile::open(ffs, dir / "g.cdx");
    ASSERT_TRUE(f);
    for (uint32_t i = 0; i < 500; ++i) f->tag(0).insert(std::to_string(20000000000000 + i), i + 1);
    ffs.failWritesAfter(1000);
    EXPECT_FALSE(f->flush());
    EXPECT_EQ(test::codes(rec), "24/1011");
    EXPECT_EQ(rec.last().osCode, OsErr::DiskFull);
    ffs.reset();
    rec.clear();
    // The pages stayed dirty: a later flush writes them all.
    EXPECT_TRUE(f->flush());
    EXPECT_TRUE(rec.empty());
  }
  auto f = CdxFile::open(realFileSystem(), dir / "g.cdx");
  ASSERT_TRUE(f);
  uint64_t n = 0;
  ASSERT_TRUE(f->tag(0).keyCount(n));
  EXPECT_EQ(n, 3500u);
  EXPECT_TRUE(f->check().ok());
}

TEST(CdxIo, ReadOnlyFilesRefuseChanges) {
  TempDir dir;
  makeIndex(dir / "g.cdx", 10);
  auto f = CdxFile::open(realFileSystem(), dir / "g.cdx", true);
  ASSERT_TRUE(f);
  ErrorRecorder rec;
  EXPECT_EQ(f->tag(0).insert("55555555555555", 1), CdxTag::Edit::Failed);
  EXPECT_EQ(test::codes(rec), "39/1025");
  EXPECT_EQ(test::entries(f->tag(0)).size(), 10u);
}

}  // namespace
}  // namespace zol
