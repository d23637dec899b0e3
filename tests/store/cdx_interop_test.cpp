// Index files we write, read back by an independent reader: Perl's
// XBase::Index must walk every tag in our order with our record numbers.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "cdx_test_support.h"

namespace zol {
namespace {

using test::Entry;
using test::TempDir;

bool perlReaderPresent() { return test::run("perl -MXBase::Index -e 1 2>/dev/null") == 0; }

// What the reader lists for one tag: (key as it returns it, record number).
std::vector<std::pair<std::string, uint32_t>> perlEntries(const std::string& file, const std::string& tag, char type) {
  std::string script =
      "my $i = XBase::Index->new($ARGV[0], tag => $ARGV[1], type => $ARGV[2]) or die XBase::Index->errstr;"
      "$i->prepare_select; while (my @r = $i->fetch) { print unpack('H*', $r[0]), ' ', $r[1], \"\\n\" }";
  std::string scriptPath = file + ".pl";
  test::writeFile(scriptPath, "use XBase::Index;" + script);
  std::string out;
  int rc = test::run("perl '" + scriptPath + "' '" + file + "' '" + tag + "' " + type + " 2>&1", &out);
  EXPECT_EQ(rc, 0) << out;
  std::vector<std::pair<std::string, uint32_t>> v;
  std::istringstream in(out);
  std::string hexKey;
  uint32_t rec;
  while (in >> hexKey >> rec) {
    std::string k;
    for (size_t i = 0; i + 1 < hexKey.size(); i += 2) k += static_cast<char>(std::stoi(hexKey.substr(i, 2), nullptr, 16));
    v.emplace_back(k, rec);
  }
  return v;
}

// The reader gives character keys without their dropped trailing bytes (or
// with zeros there); compare without the padding.
std::string unpadded(std::string k) {
  while (!k.empty() && (k.back() == ' ' || k.back() == '\0')) k.pop_back();
  return k;
}

void expectReaderAgrees(const std::string& file, CdxTag& tag, char type) {
  auto ours = test::entries(tag);
  auto theirs = perlEntries(file, tag.name(), type);
  ASSERT_EQ(theirs.size(), ours.size()) << tag.name();
  for (size_t i = 0; i < ours.size(); ++i) {
    ASSERT_EQ(theirs[i].second, ours[i].second) << tag.name() << " entry " << i;
    if (type == 'C') {
      ASSERT_EQ(unpadded(theirs[i].first), unpadded(ours[i].first)) << tag.name() << " entry " << i;
    } else {
      double v = decodeNumberKey(reinterpret_cast<const uint8_t*>(ours[i].first.data()));
      ASSERT_EQ(std::stod(theirs[i].first), v) << tag.name() << " entry " << i;
    }
  }
}

class CdxInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!perlReaderPresent()) GTEST_SKIP() << "perl with XBase::Index is not installed";
  }
};

TEST_F(CdxInterop, DataTableTagsReadInOurOrder) {
  TempDir dir;
  std::mt19937 rng(11);
  test::MemTable mov = test::movementTable();
  for (int i = 0; i < 4000; ++i)
    mov.add({Value(rng() % 40 == 0 ? Date() : Date::fromYmd(2023 + static_cast<int>(rng() % 2), 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 28))),
             Value(static_cast<double>(rng() % 900)), Value(1.0), Value("")});
  test::MemTable art({{"ARTICULO", 'N', 6}, {"NOMBRE", 'C', 40}, {"CAN_SAL", 'N', 12, 2}});
  const char* words[] = {"PERA", "PERAL", "MANZANA ROJA", "TORNILLO 3MM", "TORNILLO 3MM INOX", "\xC1GUILA", "ZAPATO"};
  for (int i = 0; i < 3000; ++i) {
    std::string name = words[rng() % 7];
    if (rng() % 2) name += " " + std::to_string(rng() % 50);
    art.add({Value(static_cast<double>(static_cast<int>(rng() % 2000) - 100) / 2), Value(name),
             Value(static_cast<double>(static_cast<int>(rng() % 200000) - 1000) / 100)});
  }
  {
    auto f = CdxFile::create(realFileSystem(), dir / "entradas.cdx");
    ASSERT_TRUE(cdxCreateTag(*f, {"ent01", "dtos(fecha)+str(articulo,6)"}, mov).tag);
    ASSERT_TRUE(cdxCreateTag(*f, {"ent02", "str(articulo,6)+dtos(fecha)"}, mov).tag);
    auto g = CdxFile::create(realFileSystem(), dir / "maeart.cdx");
    ASSERT_TRUE(cdxCreateTag(*g, {"art01", "articulo"}, art).tag);
    ASSERT_TRUE(cdxCreateTag(*g, {"art02", "nombre"}, art).tag);
    ASSERT_TRUE(cdxCreateTag(*g, {"TMP1366B", "descend(str(can_sal,10,2))"}, art).tag);
  }
  auto f = CdxFile::open(realFileSystem(), dir / "entradas.cdx");
  ASSERT_TRUE(f);
  expectReaderAgrees(dir / "entradas.cdx", *f->findTag("ent01"), 'C');
  expectReaderAgrees(dir / "entradas.cdx", *f->findTag("ent02"), 'C');
  auto g = CdxFile::open(realFileSystem(), dir / "maeart.cdx");
  ASSERT_TRUE(g);
  g->findTag("art01")->setKeyType(KeyType::Numeric);
  expectReaderAgrees(dir / "maeart.cdx", *g->findTag("art01"), 'N');
  expectReaderAgrees(dir / "maeart.cdx", *g->findTag("art02"), 'C');
  expectReaderAgrees(dir / "maeart.cdx", *g->findTag("TMP1366B"), 'C');
}

// Pages split, merged and freed by key maintenance read as well as built ones.
TEST_F(CdxInterop, TagsChangedKeyByKeyStillRead) {
  TempDir dir;
  std::string path = dir / "m.cdx";
  std::mt19937 rng(5);
  auto f = CdxFile::create(realFileSystem(), path);
  auto name = [&]() {
    std::string s = "NOMBRE " + std::to_string(rng() % 300);
    s.resize(40, ' ');
    return s;
  };
  std::vector<Entry> live;
  {
    CdxTagBuilder b(*f, "art02", "nombre", "", KeyType::Character, 40);
    for (uint32_t i = 1; i <= 2000; ++i) {
      live.emplace_back(name(), i);
      b.add(live.back().first, i);
    }
    ASSERT_TRUE(b.finish());
  }
  CdxTag& t = f->tag(0);
  for (int op = 0; op < 6000; ++op) {
    if (rng() % 2 && !live.empty()) {
      size_t i = rng() % live.size();
      ASSERT_EQ(t.remove(live[i].first, live[i].second), CdxTag::Edit::Done);
      live[i] = live.back();
      live.pop_back();
    } else {
      Entry e{name(), 1 + static_cast<uint32_t>(rng() % 100000)};
      if (t.insert(e.first, e.second) == CdxTag::Edit::Done) live.push_back(e);
    }
  }
  ASSERT_TRUE(f->flush());
  expectReaderAgrees(path, t, 'C');
}

// Record numbers past 2^16 and 2^24 widen the leaf entries to 4 and 5 bytes.
TEST_F(CdxInterop, WideRecordNumbersRead) {
  TempDir dir;
  std::string path = dir / "w.cdx";
  auto f = CdxFile::create(realFileSystem(), path);
  for (uint32_t base : {60000u, (1u << 24) - 500}) {
    CdxTagBuilder b(*f, "w" + std::to_string(base), "k", "", KeyType::Character, 14);
    for (uint32_t i = 0; i < 1500; ++i) b.add(std::to_string(10000000000000 + (i * 7919) % 1500), base + i);
    ASSERT_TRUE(b.finish());
  }
  for (size_t i = 0; i < f->tagCount(); ++i) expectReaderAgrees(path, f->tag(i), 'C');
}

}  // namespace
}  // namespace zol
