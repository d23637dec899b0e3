// The index file's layout: structure tag, tag headers, leaf entry formats,
// tag order, replacement and the free-page chain.
#include <gtest/gtest.h>

#include "cdx_test_support.h"
#include "store/cdx_page.h"

namespace zol {
namespace {

using namespace cdxpage;
using test::TempDir;

std::string bytesAt(const std::string& file, size_t off, size_t n) { return file.substr(off, n); }
uint32_t le32(const std::string& f, size_t off) { return get32(reinterpret_cast<const uint8_t*>(f.data() + off)); }
uint16_t le16(const std::string& f, size_t off) { return get16(reinterpret_cast<const uint8_t*>(f.data() + off)); }

// Builds a character tag of `len` bytes from (key, recno) pairs.
CdxTag* buildTag(CdxFile& f, const std::string& name, int len, const std::vector<test::Entry>& keys,
                 const std::string& expr = "k", KeyType type = KeyType::Character) {
  CdxTagBuilder b(f, name, expr, "", type, len);
  for (auto& [k, r] : keys) EXPECT_TRUE(b.add(k, r));
  return b.finish();
}

TEST(CdxFile, NewFileHoldsOnlyTheStructureTag) {
  TempDir dir;
  std::string path = dir / "t.cdx";
  { ASSERT_TRUE(CdxFile::create(realFileSystem(), path)); }
  std::string f = test::readFile(path);
  ASSERT_EQ(f.size(), 1536u);
  EXPECT_EQ(le32(f, 0), 1024u);  // root
  EXPECT_EQ(le32(f, 4), 0u);     // no free page
  EXPECT_EQ(le16(f, 12), 10);    // tag names
  EXPECT_EQ(static_cast<uint8_t>(f[14]), 0xE0);
  EXPECT_EQ(f[15], 1);
  EXPECT_EQ(le16(f, 504), 1);
  EXPECT_EQ(le16(f, 506), 1);
  EXPECT_EQ(le16(f, 508), 0);
  EXPECT_EQ(le16(f, 510), 1);
  // The empty root leaf: attribute 3, no keys, no neighbours, 488 bytes free.
  EXPECT_EQ(le16(f, 1024), 3);
  EXPECT_EQ(le16(f, 1026), 0);
  EXPECT_EQ(le32(f, 1028), 0xFFFFFFFFu);
  EXPECT_EQ(le32(f, 1032), 0xFFFFFFFFu);
  EXPECT_EQ(le16(f, 1036), 488);
  EXPECT_EQ(test::hex(bytesAt(f, 1038, 10)), "FFFF00000F0F10040403");
}

TEST(CdxFile, TagHeaderAndStructureEntry) {
  TempDir dir;
  std::string path = dir / "entradas.cdx";
  const std::string expr = "dtos(fecha)+str(articulo,6)";
  {
    auto f = CdxFile::create(realFileSystem(), path);
    ASSERT_TRUE(f);
    ASSERT_TRUE(buildTag(*f, "ent01", 14, {{"20240305    12", 1}}, expr));
  }
  std::string f = test::readFile(path);
  // Structure root leaf at 1024 holds "ENT01" with the header offset as record number.
  auto cf = CdxFile::open(realFileSystem(), path);
  ASSERT_TRUE(cf);
  ASSERT_EQ(cf->tagCount(), 1u);
  auto names = test::entries(cf->structureTag());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].first, "ENT01     ");
  uint32_t h = names[0].second;
  EXPECT_EQ(h, 1536u);  // the header comes right after the structure tag's pages
  EXPECT_EQ(cf->tag(0).headerOffset(), h);
  EXPECT_EQ(le16(f, h + 12), 14);
  EXPECT_EQ(static_cast<uint8_t>(f[h + 14]), 0x60);
  EXPECT_EQ(f[h + 15], 1);
  EXPECT_EQ(f[h + 499], 0);
  EXPECT_EQ(le16(f, h + 502), 0);
  EXPECT_EQ(le16(f, h + 504), expr.size() + 1);
  EXPECT_EQ(le16(f, h + 506), 1);
  EXPECT_EQ(le16(f, h + 508), 0);
  EXPECT_EQ(le16(f, h + 510), expr.size() + 1);
  EXPECT_EQ(bytesAt(f, h + 512, expr.size() + 2), expr + std::string(2, '\0'));
  EXPECT_EQ(le32(f, h), h + 1024);  // root right after the header
  EXPECT_EQ(cf->tag(0).keyExpr(), expr);
  EXPECT_EQ(cf->tag(0).forExpr(), "");
}

TEST(CdxFile, ForExpressionAndFlagsGoInTheHeader) {
  TempDir dir;
  std::string path = dir / "t.cdx";
  {
    auto f = CdxFile::create(realFileSystem(), path);
    CdxTagBuilder b(*f, "t", "texto", "marca = 1", KeyType::Character, 4, true, true);
    ASSERT_TRUE(b.finish());
  }
  std::string f = test::readFile(path);
  uint32_t h = 1536;
  EXPECT_EQ(static_cast<uint8_t>(f[h + 14]), 0x60 | 0x08 | 0x01);
  EXPECT_EQ(le16(f, h + 502), 1);
  EXPECT_EQ(le16(f, h + 504), 6);
  EXPECT_EQ(le16(f, h + 506), 10);
  EXPECT_EQ(bytesAt(f, h + 512, 16), std::string("texto\0marca = 1\0", 16));
  auto cf = CdxFile::open(realFileSystem(), path);
  ASSERT_TRUE(cf);
  EXPECT_EQ(cf->tag(0).forExpr(), "marca = 1");
  EXPECT_TRUE(cf->tag(0).unique());
  EXPECT_TRUE(cf->tag(0).descending());
}

TEST(CdxFile, EmptyTagHasAnEmptyRootLeaf) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "t.cdx");
  CdxTag* t = buildTag(*f, "e", 14, {});
  ASSERT_TRUE(t);
  f->flush();
  std::string bytes = test::readFile(dir / "t.cdx");
  uint32_t root = t->rootOffset();
  EXPECT_EQ(le16(bytes, root), 3);
  EXPECT_EQ(le16(bytes, root + 2), 0);
  EXPECT_EQ(le16(bytes, root + 12), 488);
  CdxCursor c(*t);
  EXPECT_FALSE(c.first());
  EXPECT_FALSE(c.last());
  EXPECT_FALSE(c.seek(""));
  EXPECT_FALSE(c.failed());
  uint64_t n = 1;
  EXPECT_TRUE(t->keyCount(n));
  EXPECT_EQ(n, 0u);
}

// Bit widths follow the key length; a record number that does not fit widens the entries.
TEST(CdxFile, LeafEntryWidthsAndWidening) {
  struct Case {
    int keyLen;
    uint32_t recno;
    int recBits, cntBits, bytes;
  } cases[] = {
      {8, 1, 16, 4, 3},          {8, 65535, 16, 4, 3},     {8, 65536, 24, 4, 4},
      {14, 70000, 24, 4, 4},     {14, 1u << 24, 32, 4, 5}, {40, 4095, 12, 6, 3},
      {40, 4096, 20, 6, 4},      {40, 1u << 20, 28, 6, 5}, {10, 1, 16, 4, 3},
      {240, 255, 8, 8, 3},       {240, 256, 16, 8, 4},     {1, 1, 22, 1, 3},
      {40, 0xFFFFFFFFu, 32, 6, 6},
  };
  for (const Case& c : cases) {
    LeafFormat lf = leafFormat(c.keyLen, c.recno);
    EXPECT_EQ(lf.recBits, c.recBits) << c.keyLen << " " << c.recno;
    EXPECT_EQ(lf.cntBits, c.cntBits) << c.keyLen;
    EXPECT_EQ(lf.bytes, c.bytes) << c.keyLen << " " << c.recno;
  }
  EXPECT_EQ(maxInteriorKeys(8), 31);
  EXPECT_EQ(maxInteriorKeys(14), 22);
  EXPECT_EQ(maxInteriorKeys(40), 10);
}

// Duplicate and trailing counts, and a duplicate count that stays within the
// previous key's stored bytes, as a reader that fills dropped bytes with zeros
// needs.
TEST(CdxFile, LeafCountsStayWithinStoredBytes) {
  Node n;
  n.attr = kAttrLeaf;
  const int kl = 6;
  for (const char* k : {"AB    ", "AB    ", "AB  X ", "ABC   ", "ABCDEF", "ABCDEF"})
    n.insert(n.n, reinterpret_cast<const uint8_t*>(k), static_cast<uint32_t>(n.n + 1), 0, kl);
  uint8_t page[512];
  ASSERT_TRUE(encodeLeaf(n, 0, n.n, kl, ' ', kAttrLeaf | kAttrRoot, kNone, kNone, page));
  LeafFormat lf = leafFormat(kl, 6);
  // "AB  X " shares four bytes with "AB    ", but two of them were dropped as
  // trailing blanks there, so it may only take two.
  struct Want {
    int dup, trail;
  } want[] = {{0, 4}, {2, 4}, {2, 1}, {2, 3}, {3, 0}, {6, 0}};
  for (int i = 0; i < 6; ++i) {
    uint32_t v = page[24 + 3 * i] | page[25 + 3 * i] << 8 | page[26 + 3 * i] << 16;
    EXPECT_EQ(static_cast<int>(v & 0xFFFF), i + 1);
    EXPECT_EQ(static_cast<int>((v >> lf.recBits) & 7), want[i].dup) << i;
    EXPECT_EQ(static_cast<int>(v >> (lf.recBits + lf.cntBits)), want[i].trail) << i;
  }
  // Tails from the back: "AB", "", "  X", "C", "DEF", "".
  EXPECT_EQ(std::string(reinterpret_cast<char*>(page) + 503, 9), "DEFC  XAB");
  EXPECT_EQ(get16(page + 12), 488 - 18 - 9);
  Node back;
  ASSERT_EQ(decodeNode(page, kl, ' ', back), nullptr);
  EXPECT_EQ(back.keys, n.keys);
  EXPECT_EQ(back.recs, n.recs);
}

TEST(CdxFile, TagsComeByNameFromDiskAndInCreationOrderWhileOpen) {
  TempDir dir;
  std::string path = dir / "t.cdx";
  auto names = [](CdxFile& f) {
    std::string s;
    for (size_t i = 0; i < f.tagCount(); ++i) s += f.tag(i).name() + " ";
    return s;
  };
  {
    auto f = CdxFile::create(realFileSystem(), path);
    ASSERT_TRUE(buildTag(*f, "zeta", 4, {{"AAAA", 1}}));
    ASSERT_TRUE(buildTag(*f, "alfa", 4, {{"BBBB", 1}}));
    EXPECT_EQ(names(*f), "ZETA ALFA ");
  }
  auto f = CdxFile::open(realFileSystem(), path);
  ASSERT_TRUE(f);
  EXPECT_EQ(names(*f), "ALFA ZETA ");
  ASSERT_TRUE(buildTag(*f, "Beta", 4, {}));
  EXPECT_EQ(names(*f), "ALFA ZETA BETA ");
  EXPECT_EQ(f->tagIndex("beta  "), 2);
  EXPECT_EQ(f->findTag("zeta")->keyExpr(), "k");
}

TEST(CdxTagName, UpperCutAndTrimmed) {
  EXPECT_EQ(cdxTagName("ent01"), "ENT01");
  EXPECT_EQ(cdxTagName("ent01   "), "ENT01");
  EXPECT_EQ(cdxTagName("verylongtagname"), "VERYLONGTA");
  EXPECT_EQ(cdxTagName("abcdefghi jk"), "ABCDEFGHI");
  EXPECT_EQ(cdxTagName("c:\\zolva103\\x"), "C:\\ZOLVA10");
}

TEST(CdxFile, SameTenCharactersReplaceTheTagAndFreeItsPages) {
  TempDir dir;
  std::string path = dir / "t.cdx";
  std::vector<test::Entry> many;
  for (uint32_t i = 1; i <= 3000; ++i) many.push_back({std::to_string(100000 + i * 7) + "        ", i});
  uint64_t sizeAfterFirst = 0;
  {
    auto f = CdxFile::create(realFileSystem(), path);
    ASSERT_TRUE(buildTag(*f, "longtagname1", 14, many));
    f->flush();
    sizeAfterFirst = test::fileSize(path);
    ASSERT_TRUE(buildTag(*f, "LongTagName2", 14, many, "other"));
    ASSERT_EQ(f->tagCount(), 1u);
    EXPECT_EQ(f->tag(0).name(), "LONGTAGNAM");
    EXPECT_EQ(f->tag(0).keyExpr(), "other");
    CdxCheckReport r = f->check();
    EXPECT_TRUE(r.ok()) << r.problems[0];
    EXPECT_TRUE(r.warnings.empty());
  }
  // The second build reused the first one's pages; only its header is new.
  EXPECT_EQ(test::fileSize(path), sizeAfterFirst + 1024);
  auto f = CdxFile::open(realFileSystem(), path);
  ASSERT_TRUE(f);
  ASSERT_EQ(f->tagCount(), 1u);
  EXPECT_EQ(test::entries(f->structureTag()).size(), 1u);
  EXPECT_EQ(test::entries(f->tag(0)), many);
}

TEST(CdxFile, PagesFreedByDeletesAreReusedBeforeTheFileGrows) {
  TempDir dir;
  std::string path = dir / "t.cdx";
  auto f = CdxFile::create(realFileSystem(), path);
  std::vector<test::Entry> keys;
  for (uint32_t i = 1; i <= 5000; ++i) keys.push_back({std::to_string(1000000 + i), i});
  CdxTag* t = buildTag(*f, "t", 7, keys);
  ASSERT_TRUE(t);
  for (uint32_t i = 1; i <= 4000; ++i) ASSERT_EQ(t->remove(keys[i - 1].first, i), CdxTag::Edit::Done);
  f->flush();
  uint64_t size = test::fileSize(path);
  std::string bytes = test::readFile(path);
  EXPECT_NE(le32(bytes, 4), 0u) << "free chain empty";
  CdxCheckReport r = f->check();
  EXPECT_TRUE(r.ok());
  EXPECT_GT(r.freePages, 10u);
  // Re-inserting half-fills pages, so more are needed than were freed: the
  // file may grow only once the free chain is used up.
  uint64_t freeBefore = r.freePages;
  for (uint32_t i = 1; i <= 400; ++i) ASSERT_EQ(t->insert(keys[i - 1].first, i), CdxTag::Edit::Done);
  f->flush();
  EXPECT_EQ(test::fileSize(path), size);
  EXPECT_LT(f->check().freePages, freeBefore);
  for (uint32_t i = 401; i <= 4000; ++i) ASSERT_EQ(t->insert(keys[i - 1].first, i), CdxTag::Edit::Done);
  f->flush();
  if (test::fileSize(path) > size) {
    EXPECT_EQ(f->check().freePages, 0u);
  }
  EXPECT_EQ(test::entries(*t), keys);
  EXPECT_TRUE(f->check().ok());
}

TEST(CdxFile, RemovingATagFreesEverything) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "t.cdx");
  std::vector<test::Entry> keys;
  for (uint32_t i = 1; i <= 2000; ++i) keys.push_back({std::to_string(10000 + i), i});
  ASSERT_TRUE(buildTag(*f, "a", 5, keys));
  ASSERT_TRUE(buildTag(*f, "b", 5, keys));
  EXPECT_TRUE(f->removeTag("A"));
  EXPECT_FALSE(f->removeTag("A"));
  ASSERT_EQ(f->tagCount(), 1u);
  CdxCheckReport r = f->check();
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_EQ(r.pages, 3 + 2 + r.freePages + (r.pages - 3 - 2 - r.freePages));
  EXPECT_GT(r.freePages, 2u);
}

}  // namespace
}  // namespace zol

namespace zol {
namespace {

// Three 240-byte keys with wide record numbers where no two-way split fits:
// the leaf must become three pages.
TEST(CdxFile, LeafThatNoTwoWaySplitFitsGoesToThreePages) {
  TempDir dir;
  auto f = CdxFile::create(realFileSystem(), dir / "w.cdx");
  const uint32_t base = 1u << 24;
  std::string a = std::string(238, 'A') + "  ", b = std::string(238, 'Z') + "  ", x(240, 'M');
  CdxTag* t = buildTag(*f, "w", 240, {{a, base + 1}, {b, base + 2}});
  ASSERT_TRUE(t);
  ASSERT_EQ(f->check().pages, 3u + 2u + 1u);  // the two keys share one leaf
  ASSERT_EQ(t->insert(x, base + 3), CdxTag::Edit::Done);
  CdxCheckReport r = f->check();
  EXPECT_TRUE(r.ok()) << r.problems[0];
  // Three leaves; an interior page of 240-byte keys holds two entries, so two
  // interior pages and a root above them.
  EXPECT_EQ(r.pages, 3u + 2u + 3u + 2u + 1u);
  EXPECT_EQ(test::entries(*t), (std::vector<test::Entry>{{a, base + 1}, {x, base + 3}, {b, base + 2}}));
  // Taking the middle key out lets the other two share a page again.
  ASSERT_EQ(t->remove(x, base + 3), CdxTag::Edit::Done);
  r = f->check();
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.freePages, 3u);
  EXPECT_EQ(test::entries(*t), (std::vector<test::Entry>{{a, base + 1}, {b, base + 2}}));
}

}  // namespace
}  // namespace zol

namespace zol {
namespace {

// Another tool may have stored tag names in lower case: they are found by the
// upper-case name, and removing one removes exactly the stored entry.
TEST(CdxFile, LowerCaseTagNamesFromElsewhere) {
  TempDir dir;
  std::string path = dir / "t.cdx";
  {
    auto f = CdxFile::create(realFileSystem(), path);
    ASSERT_TRUE(buildTag(*f, "ent01", 4, {{"AAAA", 1}}));
  }
  std::string bytes = test::readFile(path);
  ASSERT_EQ(bytes.substr(1024 + 507, 5), "ENT01");
  bytes.replace(1024 + 507, 5, "ent01");
  test::writeFile(path, bytes);
  auto f = CdxFile::open(realFileSystem(), path);
  ASSERT_TRUE(f);
  ASSERT_EQ(f->tagCount(), 1u);
  EXPECT_EQ(f->tag(0).name(), "ENT01");
  ASSERT_TRUE(f->findTag("Ent01"));
  ErrorRecorder rec;
  EXPECT_TRUE(f->removeTag("ent01"));
  EXPECT_TRUE(rec.empty());
  EXPECT_TRUE(test::entries(f->structureTag()).empty());
  EXPECT_TRUE(f->check().ok());
}

}  // namespace
}  // namespace zol
