// Memo files: block layout, reuse of freed runs, the stored free-block list,
// and a random workload checked against a plain model.
#include <gtest/gtest.h>

#include <random>

#include "store/data_tables.h"
#include "store/memo.h"
#include "store/verify.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;

uint32_t be32At(const std::string& s, size_t o) {
  auto b = [&](size_t i) { return uint32_t(static_cast<unsigned char>(s[o + i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

class MemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(wa.create(dir / "maeart", articleStructure()));
    ASSERT_TRUE(wa.use(dir / "maeart"));
  }
  std::string fpt() {
    wa.commitAll();
    return test::readFile(dir / "maeart.fpt");
  }
  std::string pointer() {
    const FieldDesc* f = wa.cur().fieldDesc(7);
    return wa.cur().recordBuffer().substr(static_cast<size_t>(f->offset), 10);
  }
  std::vector<std::string> problems() {
    wa.commitAll();
    std::vector<std::string> out;
    for (const Problem& p : verifyTable(wa.fs(), dir / "maeart.dbf")) out.push_back(p.text());
    return out;
  }
  TempDir dir;
  WorkAreas wa;
  ErrorRecorder errors;
};

TEST_F(MemoTest, BlockLayoutAroundTheOneBlockBoundary) {
  struct Case { size_t len; uint32_t blocks; bool filler; };
  // 8 header bytes + 56 text bytes fill one 64-byte block exactly.
  for (Case c : {Case{1, 1, true}, Case{55, 1, true}, Case{56, 1, false}, Case{57, 2, true},
                 Case{100, 2, true}, Case{120, 2, false}, Case{121, 3, true}}) {
    wa.cur().appendBlank();
    std::string text(c.len, 't');
    wa.cur().put("notas", Value(text));
    std::string f = fpt();
    uint32_t block = static_cast<uint32_t>(std::stoul(pointer()));
    size_t at = size_t(block) * 64;
    EXPECT_EQ(be32At(f, at), 1u) << c.len;
    EXPECT_EQ(be32At(f, at + 4), c.len) << c.len;
    EXPECT_EQ(f.substr(at + 8, c.len), text);
    size_t runEnd = at + c.blocks * 64;
    EXPECT_EQ(f.size(), runEnd) << c.len;  // appended at the end, file ends on a block boundary
    EXPECT_EQ(f.back() == '\xAF', c.filler) << c.len;
    EXPECT_EQ(be32At(f, 0), runEnd / 64);
    EXPECT_EQ(wa.cur().get("notas").text(), text);
  }
  EXPECT_TRUE(problems().empty());
}

TEST_F(MemoTest, ReplaceWithSmallerReusesTheRun) {
  wa.cur().appendBlank();
  wa.cur().put("notas", Value(std::string(100, 'a')));
  EXPECT_EQ(pointer(), "        16");
  wa.cur().appendBlank();
  wa.cur().put("notas", Value("second"));  // block 18 keeps the first run from being last
  EXPECT_EQ(pointer(), "        18");
  wa.cur().goTo(1);
  wa.cur().put("notas", Value(std::string(20, 'b')));
  EXPECT_EQ(pointer(), "        16");
  std::string f = fpt();
  // The block left over is free, marked, and listed in both copies of the list.
  EXPECT_EQ(be32At(f, 17 * 64), 1001u);
  EXPECT_EQ(be32At(f, 17 * 64 + 4), 64u - 8);
  uint32_t listOff = static_cast<unsigned char>(f[528]) | static_cast<unsigned char>(f[529]) << 8;
  uint32_t copyOff = static_cast<unsigned char>(f[524]) | static_cast<unsigned char>(f[525]) << 8;
  ASSERT_NE(listOff, 0u);
  ASSERT_NE(copyOff, 0u);
  EXPECT_EQ(be32At(f, listOff), 1000u);
  EXPECT_EQ(be32At(f, listOff + 4), 1010u);
  EXPECT_EQ(f[listOff + 8], 7);  // one run: 1 * 4 + 3
  EXPECT_EQ(f.substr(listOff + 10, 8), std::string("\x40\x04\0\0\x40\0\0\0", 8));  // block 17, 64 bytes
  EXPECT_EQ(f.substr(copyOff + 10, 8), std::string("\x40\0\0\0\x40\x04\0\0", 8));
  EXPECT_EQ(static_cast<unsigned char>(f[listOff + 18]), 0xAD);
  EXPECT_EQ(f[532], 1);
  EXPECT_TRUE(problems().empty());
  // A one-block text takes the freed block.
  wa.cur().appendBlank();
  wa.cur().put("notas", Value("x"));
  EXPECT_EQ(pointer(), "        17");
}

TEST_F(MemoTest, EmptyTextFreesAndTheFileShrinks) {
  wa.cur().appendBlank();
  wa.cur().put("notas", Value(std::string(300, 'a')));
  EXPECT_GT(test::fileSize(dir / "maeart.fpt"), 1024u);
  wa.cur().put("notas", Value(""));
  EXPECT_EQ(pointer(), std::string(10, ' '));
  EXPECT_EQ(wa.cur().get("notas").text(), "");
  std::string f = fpt();
  EXPECT_EQ(f.size(), 1024u);  // the last run was given back
  EXPECT_EQ(be32At(f, 0), 16u);
}

TEST_F(MemoTest, FreeingFromTheEndShrinksWithoutAList) {
  for (int i = 0; i < 3; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("notas", Value(std::string(70, char('a' + i))));
  }
  for (uint32_t r : {3u, 2u, 1u}) {
    wa.cur().goTo(r);
    wa.cur().put("notas", Value(""));
  }
  std::string f = fpt();
  EXPECT_EQ(f.size(), 1024u);
  EXPECT_EQ(f.substr(524, 8), std::string(8, '\0'));
}

TEST_F(MemoTest, FreeListIsGivenBackWhenEmptyAndLast) {
  for (int i = 0; i < 3; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("notas", Value(std::string(70, char('a' + i))));
  }
  wa.cur().goTo(1);
  wa.cur().put("notas", Value(""));  // a run in the middle: the list gets stored after the last memo
  ASSERT_EQ(wa.cur().table()->memo()->freeRuns().size(), 1u);
  EXPECT_NE(fpt().substr(524, 8), std::string(8, '\0'));
  wa.cur().appendBlank();
  wa.cur().put("notas", Value(std::string(70, 'd')));  // takes the free run: the list is empty
  EXPECT_EQ(pointer(), "        16");
  std::string f = fpt();
  EXPECT_EQ(f.size(), 22u * 64);
  EXPECT_EQ(f.substr(524, 8), std::string(8, '\0'));
  EXPECT_TRUE(problems().empty());
}

TEST_F(MemoTest, FreeListSurvivesCloseAndReopen) {
  for (int i = 0; i < 6; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("notas", Value(std::string(static_cast<size_t>(60 * (i + 1)), 'm')));
  }
  for (uint32_t r : {1u, 3u, 5u}) {
    wa.cur().goTo(r);
    wa.cur().put("notas", Value(""));
  }
  auto before = wa.cur().table()->memo()->freeRuns();
  ASSERT_EQ(before.size(), 3u);
  wa.closeAll();
  ASSERT_TRUE(wa.use(dir / "maeart"));
  EXPECT_EQ(wa.cur().table()->memo()->freeRuns(), before);
  EXPECT_TRUE(problems().empty());
}

TEST_F(MemoTest, RandomWorkloadMatchesModel) {
  std::mt19937 rng(20261211);
  const int kRecords = 40;
  std::vector<std::string> model(kRecords);
  for (int i = 0; i < kRecords; ++i) wa.cur().appendBlank();
  auto randomText = [&] {
    static const size_t sizes[] = {0, 1, 20, 55, 56, 57, 100, 119, 120, 121, 500, 1500, 5000};
    size_t n = sizes[rng() % std::size(sizes)] + (rng() % 3 == 0 ? rng() % 64 : 0);
    std::string s(n, ' ');
    for (char& c : s) c = static_cast<char>('A' + rng() % 26);
    return s;
  };
  for (int round = 0; round < 8; ++round) {
    for (int op = 0; op < 250; ++op) {
      uint32_t r = 1 + rng() % kRecords;
      wa.cur().goTo(r);
      std::string t = rng() % 4 == 0 ? std::string() : randomText();
      wa.cur().put("notas", Value(t));
      model[r - 1] = t;
    }
    if (round % 2) {
      wa.closeAll();
      ASSERT_TRUE(wa.use(dir / "maeart"));
    }
    for (uint32_t r = 1; r <= kRecords; ++r) {
      wa.cur().goTo(r);
      ASSERT_EQ(wa.cur().get("notas").text(), model[r - 1]) << "record " << r << " round " << round;
    }
    ASSERT_EQ(problems(), std::vector<std::string>{}) << "round " << round;
  }
  EXPECT_TRUE(errors.empty());
  // Freed space is reused: the file stays near what the live texts need.
  size_t live = 0;
  for (const auto& t : model) live += t.empty() ? 0 : (t.size() + 8 + 63) / 64 * 64;
  EXPECT_LT(test::fileSize(dir / "maeart.fpt"), 1024 + 2 * live + 4096);
}

}  // namespace
}  // namespace zol
