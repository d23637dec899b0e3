// Tables and memo files written by independent xBase tools (python3-dbf,
// Perl's XBase module) opened with our engine: every field of every record,
// logical and float fields included, must read as the tool was asked to write
// it. Then we change a memo and append a record, and the other side must still
// read the whole table.
#include <gtest/gtest.h>

#include "core/error_event.h"
#include "interop_support.h"

namespace zol::interop {
namespace {

using test::TempDir;

struct Writer {
  std::string name;
  bool (*available)();
  std::string script;  // run as "script TABLE KIND"
  std::string kind;
  unsigned char version;  // version byte the tool writes for this kind
  std::string memoExt;    // "" when the table has no memo field
  // A dump script of an independent reader that understands this flavour.
  std::string readBack;
};

const Writer kWriters[] = {
    // FoxPro table and .fpt memo file; python3-dbf picks its own memo block size.
    {"pydbf_fp", havePythonDbf, "pydbf_write.py", "fp", 0xF5, ".fpt", "dbfread_dump.py"},
    // Visual FoxPro: binary memo pointers, a back-link area after the descriptors.
    {"pydbf_vfp", havePythonDbf, "pydbf_write.py", "vfp", 0x30, ".fpt", "dbfread_dump.py"},
    {"pydbf_db3", havePythonDbf, "pydbf_write.py", "db3", 0x03, "", "dbfread_dump.py"},
    {"xbase_fpt", haveXBase, "xbase_write.pl", "fpt", 0xF5, ".fpt", "xbase_dump.pl"},
    {"xbase_plain", haveXBase, "xbase_write.pl", "plain", 0x03, "", "xbase_dump.pl"},
};

void PrintTo(const Writer& w, std::ostream* os) { *os << w.name; }

std::string interpreterFor(const std::string& script) {
  return script.size() > 3 && script.substr(script.size() - 3) == ".py" ? std::string(kPython) : std::string("perl");
}

bool readBackAvailable(const Writer& w) {
  return interpreterFor(w.readBack) == "perl" ? haveXBase() : haveDbfread();
}

std::string runScript(const std::string& script, const std::string& args) {
  return runTool(interpreterFor(script) + " " + quote(scriptPath(script)) + " " + args);
}

class WrittenByOthers : public ::testing::TestWithParam<Writer> {
 protected:
  void SetUp() override {
    const Writer& w = GetParam();
    if (!w.available()) GTEST_SKIP() << w.name << ": the writing tool is not installed";
    table = dir / "tabla.dbf";
    expected = parseDump(runScript(w.script, quote(table) + " " + w.kind));
    ASSERT_FALSE(expected.records.empty()) << w.name << " wrote nothing";
    std::string bytes = test::readFile(table);
    ASSERT_FALSE(bytes.empty());
    // Make sure the flavour under test is the one we meant.
    ASSERT_EQ(static_cast<unsigned char>(bytes[0]), w.version) << w.name;
    if (!w.memoExt.empty()) {
      ASSERT_GT(test::fileSize(dir / ("tabla" + w.memoExt)), 0u) << w.name;
    }
  }

  TempDir dir;
  std::string table;
  Dump expected;
};

TEST_P(WrittenByOthers, OurEngineReadsEveryValue) {
  ErrorRecorder rec;
  WorkAreas wa;
  ASSERT_TRUE(wa.use(table, "", false, true));
  Dump ours = dumpOurs(wa.cur());
  wa.closeAll();
  EXPECT_TRUE(rec.empty()) << rec.last().messageLine();
  expectSameFields(expected, ours, GetParam().name);
  expectSameRecords(expected.fields, expected.records, ours.records, GetParam().name);
}

TEST_P(WrittenByOthers, NavigationHidesTheirDeletedRecord) {
  ErrorRecorder rec;
  WorkAreas wa;
  ASSERT_TRUE(wa.use(table, "", false, true));
  WorkArea& a = wa.cur();
  std::vector<uint32_t> seen;
  for (a.goTop(); !a.eof(); a.skip(1)) seen.push_back(a.recNo());
  std::vector<uint32_t> live;
  for (size_t i = 0; i < expected.records.size(); ++i)
    if (!expected.records[i].deleted) live.push_back(static_cast<uint32_t>(i + 1));
  EXPECT_EQ(seen, live);
  EXPECT_TRUE(rec.empty()) << rec.last().messageLine();
}

// Values by field name for the record we append, in Windows-1252 and in the line form.
struct Appended {
  std::string name;
  Value value;
  std::string line;
};

std::vector<Appended> appendedValues() {
  std::string note = "A\xF1" "adida por Zolmar\r\n";
  for (int i = 0; i < 30; ++i) note += "l\xED" "nea " + std::to_string(i) + "\r\n";
  return {
      {"NOMBRE", Value("Taco de nyl\xF3" "n 8 mm \x80"), esc(cp1252ToUtf8("Taco de nyl\xF3" "n 8 mm \x80"))},
      {"CANTIDAD", Value(-7.25), "-7.25"},
      {"PRECIO", Value(0.05), "0.05"},
      {"CODIGO", Value(123456), "123456"},
      {"NOTAS", Value(note), esc(cp1252ToUtf8(note))},
      {"PESO", Value(2.5), "2.500"},
      {"ACTIVO", Value(true), "T"},
      {"ALTA", Value(Date::fromYmd(2026, 3, 15)), "20260315"},
  };
}

TEST_P(WrittenByOthers, TheirReaderSeesOurChanges) {
  const Writer& w = GetParam();
  if (!readBackAvailable(w)) GTEST_SKIP() << w.readBack << ": the reading tool is not installed";
  ErrorRecorder rec;
  {
    WorkAreas wa;
    ASSERT_TRUE(wa.use(table));
    WorkArea& a = wa.cur();
    int notas = a.fieldPos("notas");
    if (notas) {
      // A longer text than the first record had: it cannot stay in its run.
      std::string text = "Texto nuevo, m\xE1" "s largo que el anterior y con varias l\xED" "neas\r\n";
      for (int i = 0; i < 5; ++i) text += text;
      a.goTo(1);
      ASSERT_TRUE(a.put(notas, Value(text)));
      expected.records[0].values[static_cast<size_t>(notas - 1)] = esc(cp1252ToUtf8(text));
    }
    ASSERT_TRUE(a.appendBlank());
    Dump::Record added;
    for (int pos = 1; pos <= a.fieldCount(); ++pos) {
      for (const Appended& v : appendedValues()) {
        if (v.name != a.fieldDesc(pos)->name) continue;
        ASSERT_TRUE(a.put(pos, v.value)) << v.name;
        added.values.push_back(v.line);
      }
    }
    ASSERT_EQ(added.values.size(), static_cast<size_t>(a.fieldCount()));
    expected.records.push_back(added);
  }
  EXPECT_TRUE(rec.empty()) << rec.last().messageLine();

  Dump theirs = parseDump(runScript(w.readBack, quote(table)));
  std::vector<Dump::Record> want = expected.records;
  if (w.readBack == "dbfread_dump.py") {  // dbfread lists deleted records last
    want = expected.live();
    for (const Dump::Record& r : expected.deletedOnes()) want.push_back(r);
  }
  expectSameRecords(expected.fields, want, theirs.records, w.readBack);
}

INSTANTIATE_TEST_SUITE_P(Tools, WrittenByOthers, ::testing::ValuesIn(kWriters),
                         [](const ::testing::TestParamInfo<Writer>& p) { return p.param.name; });

}  // namespace
}  // namespace zol::interop
