// Table files: what we write byte for byte, how records read back, navigation
// over hidden records, pack/zap, append from / copy to.
#include <gtest/gtest.h>

#include "store/data_tables.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;
using test::readFile;

uint16_t le16At(const std::string& s, size_t o) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[o]) | static_cast<unsigned char>(s[o + 1]) << 8);
}
uint32_t le32At(const std::string& s, size_t o) { return le16At(s, o) | uint32_t(le16At(s, o + 2)) << 16; }

class DbfTest : public ::testing::Test {
 protected:
  TempDir dir;
  WorkAreas wa;
  ErrorRecorder errors;

  // Opens a fresh Entries table with `n` movements numbered 1..n in `articulo`.
  void entries(int n) {
    ASSERT_TRUE(wa.create(dir / "entradas", movementStructure()));
    ASSERT_TRUE(wa.use(dir / "entradas"));
    for (int i = 1; i <= n; ++i) {
      ASSERT_TRUE(wa.cur().appendBlank());
      wa.cur().put("articulo", i);
    }
  }
  std::vector<int> visibleForward() {
    std::vector<int> out;
    for (wa.cur().goTop(); !wa.cur().eof(); wa.cur().skip(1)) out.push_back(static_cast<int>(wa.cur().get("articulo").number()));
    return out;
  }
};

TEST_F(DbfTest, NewArticleMasterLayout) {
  ASSERT_TRUE(wa.create(dir / "maeart", articleStructure()));
  std::string d = readFile(dir / "maeart.dbf");
  ASSERT_EQ(d.size(), 259u);
  EXPECT_EQ(static_cast<unsigned char>(d[0]), 0xF5);
  EXPECT_EQ(le32At(d, 4), 0u);
  EXPECT_EQ(le16At(d, 8), 258);
  EXPECT_EQ(le16At(d, 10), 86);
  EXPECT_EQ(d.substr(32, 11), std::string("ARTICULO\0\0\0", 11));
  EXPECT_EQ(d[32 + 11], 'N');
  EXPECT_EQ(d[32 + 16], 6);
  EXPECT_EQ(d.substr(256, 3), std::string("\x0D\x00\x1A", 3));
  // Header date is today's, year counted from 1900.
  Date t = Date::today();
  EXPECT_EQ(static_cast<unsigned char>(d[1]), t.year() - 1900);
  std::string m = readFile(dir / "maeart.fpt");
  ASSERT_EQ(m.size(), 1024u);
  EXPECT_EQ(m.substr(0, 8), std::string("\0\0\0\x10\0\0\0\x40", 8));
  EXPECT_EQ(m.substr(8, 8), std::string("Quorvex\0", 8));
  EXPECT_EQ(m.substr(512, 12), std::string("FlexFile3\x03\0\0", 12));
}

TEST_F(DbfTest, EntriesFileGrowsByRecordsOnly) {
  ASSERT_TRUE(wa.create(dir / "entradas", movementStructure()));
  std::string d = readFile(dir / "entradas.dbf");
  EXPECT_EQ(static_cast<unsigned char>(d[0]), 0x03);
  const size_t hdr = 32 + 32 * 7 + 2, rec = 85;
  EXPECT_EQ(d.size(), hdr + 1);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  EXPECT_TRUE(wa.cur().eof());
  EXPECT_TRUE(wa.cur().bof());
  wa.cur().appendBlank();
  wa.cur().put("texto", Value("STOCK INICIAL"));
  wa.closeAll();
  d = readFile(dir / "entradas.dbf");
  ASSERT_EQ(d.size(), hdr + rec);
  EXPECT_EQ(le32At(d, 4), 1u);
  EXPECT_EQ(d.substr(hdr + 1 + 8 + 6 + 10 + 9 + 9, 13), "STOCK INICIAL");
  EXPECT_TRUE(errors.empty());
}

TEST_F(DbfTest, FieldStorageTable) {
  entries(1);
  struct Case { const char* field; Value in; std::string stored; int errGen; };
  const Case cases[] = {
      {"importe", 12.5, "    12.50", 0},
      {"importe", -3, "    -3.00", 0},
      {"importe", 0, "     0.00", 0},
      {"importe", -0.0, "     0.00", 0},
      {"importe", 0.005, "     0.01", 0},
      {"importe", -0.005, "    -0.01", 0},
      {"importe", 999999.994, "999999.99", 0},
      {"importe", 1234567.891, "*********", ErrGen::DataWidth},
      {"articulo", 123456, "123456", 0},
      {"articulo", 1234567, "******", ErrGen::DataWidth},
      {"texto", Value(std::string(45, 'x')), std::string(40, 'x'), 0},
      {"texto", Value("abc"), "abc" + std::string(37, ' '), 0},
      {"texto", Value("\xD1" "and\xFA"), "\xD1" "and\xFA" + std::string(35, ' '), 0},
      {"fecha", Date::fromYmd(2024, 3, 5), "20240305", 0},
      {"fecha", Date(), "        ", 0},
  };
  const auto& buf = wa.cur().recordBuffer();
  for (const Case& c : cases) {
    errors.clear();
    wa.cur().put(c.field, c.in);
    const FieldDesc* f = wa.cur().fieldDesc(wa.cur().fieldPos(c.field));
    EXPECT_EQ(buf.substr(static_cast<size_t>(f->offset), static_cast<size_t>(f->width)), c.stored) << c.field;
    if (c.errGen) {
      ASSERT_EQ(errors.events().size(), 1u) << c.field;
      EXPECT_EQ(errors.last().genCode, c.errGen);
      EXPECT_EQ(errors.last().subCode, 1021);
    } else {
      EXPECT_TRUE(errors.empty()) << c.field;
    }
  }
  // Asterisks read back as 0; values survive close and reopen.
  EXPECT_EQ(wa.cur().get("articulo").number(), 0);
  wa.cur().put("importe", 12.5);
  wa.cur().put("fecha", Date::fromYmd(2024, 3, 5));
  wa.closeAll();
  ASSERT_TRUE(wa.use(dir / "ENTRADAS.DBF"));
  EXPECT_EQ(wa.cur().get("importe").number(), 12.5);
  EXPECT_EQ(wa.cur().get("fecha").date(), Date::fromYmd(2024, 3, 5));
  EXPECT_EQ(wa.cur().get("texto").text(), "\xD1" "and\xFA" + std::string(35, ' '));
}

TEST_F(DbfTest, WrongKindIsADataTypeErrorAndLeavesTheField) {
  entries(1);
  wa.cur().put("importe", 7);
  for (Value v : {Value("7"), Value(true), Value(Date::today()), Value()}) {
    errors.clear();
    EXPECT_FALSE(wa.cur().put("importe", v));
    ASSERT_EQ(errors.events().size(), 1u);
    EXPECT_EQ(errors.last().genCode, ErrGen::DataType);
    EXPECT_EQ(errors.last().subCode, 1020);
    EXPECT_EQ(wa.cur().get("importe").number(), 7);
  }
  errors.clear();
  EXPECT_FALSE(wa.cur().put("texto", 5));
  EXPECT_EQ(errors.last().genCode, ErrGen::DataType);
}

TEST_F(DbfTest, NavigationOverHiddenRecords) {
  entries(5);
  auto del = [&](int r) { wa.cur().goTo(static_cast<uint32_t>(r)); wa.cur().deleteRecord(); };
  del(1);
  del(5);
  del(3);
  EXPECT_EQ(visibleForward(), (std::vector<int>{2, 4}));
  WorkArea& a = wa.cur();
  a.goTop();
  EXPECT_EQ(a.recNo(), 2u);
  a.skip(-1);
  EXPECT_TRUE(a.bof());
  EXPECT_FALSE(a.eof());
  EXPECT_EQ(a.recNo(), 2u);
  a.goBottom();
  EXPECT_EQ(a.recNo(), 4u);
  a.skip(1);
  EXPECT_TRUE(a.eof());
  EXPECT_EQ(a.recNo(), 6u);
  EXPECT_EQ(a.get("articulo").number(), 0);  // the Phantom record reads blank
  a.skip(-1);
  EXPECT_EQ(a.recNo(), 4u);
  EXPECT_FALSE(a.eof());
  // goTo reaches hidden records.
  a.goTo(3);
  EXPECT_TRUE(a.deleted());
  EXPECT_EQ(a.get("articulo").number(), 3);
  a.recall();
  EXPECT_EQ(visibleForward(), (std::vector<int>{2, 3, 4}));
  for (uint32_t bad : {0u, 6u, 100u}) {
    a.goTo(bad);
    EXPECT_TRUE(a.eof());
    EXPECT_EQ(a.recNo(), 6u);
  }
}

TEST_F(DbfTest, AllRecordsDeleted) {
  entries(3);
  for (uint32_t r = 1; r <= 3; ++r) {
    wa.cur().goTo(r);
    wa.cur().deleteRecord();
  }
  wa.cur().goTop();
  EXPECT_TRUE(wa.cur().eof());
  EXPECT_TRUE(wa.cur().bof());
  wa.cur().goBottom();
  EXPECT_TRUE(wa.cur().eof());
  wa.cur().goTo(1);
  EXPECT_TRUE(wa.cur().deleted());
  EXPECT_EQ(wa.cur().get("articulo").number(), 1);
  // With hiding off every record shows.
  wa.hideDeleted = false;
  EXPECT_EQ(visibleForward(), (std::vector<int>{1, 2, 3}));
}

TEST_F(DbfTest, PackKeepsOrderAndCutsTheFile) {
  entries(6);
  for (uint32_t r : {2u, 3u, 6u}) {
    wa.cur().goTo(r);
    wa.cur().deleteRecord();
  }
  ASSERT_TRUE(wa.cur().pack());
  EXPECT_EQ(wa.cur().recCount(), 3u);
  EXPECT_EQ(wa.cur().recNo(), 1u);
  EXPECT_EQ(visibleForward(), (std::vector<int>{1, 4, 5}));
  wa.closeAll();
  std::string d = readFile(dir / "entradas.dbf");
  const size_t hdr = 258 - 32 * 0 - 0;  // 32 + 7*32 + 2
  ASSERT_EQ(d.size(), hdr + 3 * 85 + 1);
  EXPECT_EQ(d.back(), '\x1A');
  EXPECT_EQ(le32At(d, 4), 3u);
}

TEST_F(DbfTest, ZapEmptiesTableAndMemo) {
  ASSERT_TRUE(wa.create(dir / "maeart", articleStructure()));
  ASSERT_TRUE(wa.use(dir / "maeart"));
  for (int i = 0; i < 3; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("notas", Value(std::string(200, 'n')));
  }
  wa.commitAll();
  EXPECT_GT(test::fileSize(dir / "maeart.fpt"), 1024u);
  ASSERT_TRUE(wa.cur().zap());
  EXPECT_TRUE(wa.cur().eof());
  EXPECT_EQ(wa.cur().recCount(), 0u);
  wa.closeAll();
  EXPECT_EQ(test::fileSize(dir / "maeart.dbf"), 259u);
  EXPECT_EQ(test::fileSize(dir / "maeart.fpt"), 1024u);
}

TEST_F(DbfTest, AppendFromMatchesFieldsByNameAndWidth) {
  // An old movement table: 6 fields and a 10-character text.
  Structure old = movementStructure();
  old.pop_back();
  old[5].width = 10;
  ASSERT_TRUE(wa.create(dir / "old", old));
  ASSERT_TRUE(wa.use(dir / "old"));
  for (int i = 1; i <= 3; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("articulo", i);
    wa.cur().put("texto", Value("ABCDEFGHIJ"));
    wa.cur().put("importe", i * 1.5);
  }
  wa.cur().goTo(2);
  wa.cur().deleteRecord();
  wa.closeAll();
  entries(0);
  ASSERT_TRUE(wa.cur().appendFrom(dir / "OLD"));
  EXPECT_EQ(wa.cur().recCount(), 2u);
  EXPECT_EQ(visibleForward(), (std::vector<int>{1, 3}));
  wa.cur().goTop();
  EXPECT_EQ(wa.cur().get("texto").text(), "ABCDEFGHIJ" + std::string(30, ' '));
  EXPECT_EQ(wa.cur().get("importe").number(), 1.5);
  EXPECT_EQ(wa.cur().get("marca").number(), 0);
  // Copy to writes the visible records into a new table of the same structure.
  ASSERT_TRUE(wa.cur().copyTo(dir / "copy"));
  WorkArea& b = wa.area(2);
  ASSERT_TRUE(b.open(dir / "copy"));
  EXPECT_EQ(b.recCount(), 2u);
  b.goBottom();
  EXPECT_EQ(b.get("articulo").number(), 3);
  EXPECT_TRUE(errors.empty());
}

TEST_F(DbfTest, CopyToCarriesMemoTexts) {
  ASSERT_TRUE(wa.create(dir / "maeart", articleStructure()));
  ASSERT_TRUE(wa.use(dir / "maeart"));
  const std::string notes[] = {"", "corta", std::string(300, 'L') + "\r\nfin"};
  for (const auto& n : notes) {
    wa.cur().appendBlank();
    wa.cur().put("notas", Value(n));
  }
  ASSERT_TRUE(wa.cur().copyTo(dir / "mae2"));
  WorkArea& b = wa.area(2);
  ASSERT_TRUE(b.open(dir / "mae2"));
  int i = 0;
  for (b.goTop(); !b.eof(); b.skip()) EXPECT_EQ(b.get("notas").text(), notes[i++]);
  EXPECT_EQ(i, 3);
}

TEST_F(DbfTest, HeaderBytesFromOtherWritersSurvive) {
  entries(1);
  wa.closeAll();
  std::string d = readFile(dir / "entradas.dbf");
  d[12] = 'x';
  d[28] = 1;
  d[29] = 0x57;  // a code page mark
  test::writeFile(dir / "entradas.dbf", d);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  wa.cur().appendBlank();
  wa.closeAll();
  d = readFile(dir / "entradas.dbf");
  EXPECT_EQ(d[12], 'x');
  EXPECT_EQ(d[28], 1);
  EXPECT_EQ(d[29], 0x57);
  EXPECT_EQ(le32At(d, 4), 2u);
}

TEST_F(DbfTest, AreasAreIndependentAndAddressableByNumber) {
  entries(2);
  wa.select(Area::Articles);
  ASSERT_TRUE(wa.create(dir / "maeart", articleStructure()));
  ASSERT_TRUE(wa.use(dir / "maeart"));
  wa.cur().appendBlank();
  wa.cur().put("stock", 5);
  wa.select(Area::Entries);
  // Reading and writing area 4 leaves area 1 current and where it was.
  wa.cur().goBottom();
  WorkArea& art = wa.area(Area::Articles);
  art.put("stock", art.get("stock").number() + 2);
  EXPECT_EQ(wa.current(), Area::Entries);
  EXPECT_EQ(wa.cur().recNo(), 2u);
  EXPECT_EQ(art.get("stock").number(), 7);
  EXPECT_EQ(wa.findAlias("maeart"), Area::Articles);
  EXPECT_EQ(art.alias(), "MAEART");
  // The table is ours exclusively: a second open, even in this process, fails.
  errors.clear();
  EXPECT_FALSE(wa.cur().open(dir / "maeart"));
  EXPECT_EQ(errors.last().genCode, ErrGen::Open);
  EXPECT_EQ(errors.last().osCode, 32);
  EXPECT_FALSE(wa.cur().isOpen());
  art.close();
  // Opening in an area closes what it held; an alias may be given.
  ASSERT_TRUE(wa.cur().open(dir / "entradas"));
  ASSERT_TRUE(wa.cur().open(dir / "maeart", "xnumeros"));
  EXPECT_EQ(wa.cur().alias(), "XNUMEROS");
  // Fields of an empty area raise an error instead of crashing.
  errors.clear();
  EXPECT_TRUE(wa.area(50).get("x").isNil());
  EXPECT_EQ(errors.last().genCode, ErrGen::NotInUse);
}

TEST_F(DbfTest, FileNamesAreCaseInsensitive) {
  ASSERT_TRUE(wa.create(dir / "ENTRADAS", movementStructure()));
  // New files get lower-case names.
  EXPECT_TRUE(std::filesystem::exists(dir / "entradas.dbf"));
  std::filesystem::rename(dir / "entradas.dbf", dir / "EnTrAdAs.DbF");
  EXPECT_TRUE(wa.use(dir / "entradas"));
  EXPECT_TRUE(wa.exists(dir / "ENTRADAS.DBF"));
  wa.closeAll();
  EXPECT_FALSE(std::filesystem::exists(dir / "entradas.dbf"));
}

}  // namespace
}  // namespace zol
