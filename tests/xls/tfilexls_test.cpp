#include "xls/TFileXLS.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include "core/error_event.h"
#include "core/launcher.h"
#include "xls/xls_tables.h"
#include "xls_test_util.h"

namespace zol {
namespace {

using namespace xlstest;
namespace fs = std::filesystem;

class TablesReset : public ::testing::Test {
 protected:
  void SetUp() override { XLSCLSFONT(), XLSCLSFORMAT(); }
  void TearDown() override { XLSCLSFONT(), XLSCLSFORMAT(); }
};

using HeaderTest = TablesReset;

TEST_F(HeaderTest, DefaultsAreByteExact) {
  std::string bytes = sheetBytes([](TFileXLS&) {});
  const std::string arial = "31 00 0A 00 C8 00 00 00 05 41 72 69 61 6C";
  std::string expected =
      "09 00 04 00 05 00 10 00 "        // BOF, worksheet
      "42 00 02 00 E4 04 "              // CODEPAGE 1252
      "0D 00 02 00 01 00 "              // CALCMODE automatic
      "0C 00 02 00 01 00 "              // CALCCOUNT
      "0F 00 02 00 01 00 "              // REFMODE A1
      "11 00 02 00 00 00 "              // ITERATION off
      "10 00 08 00 FC A9 F1 D2 4D 62 50 3F "  // DELTA 0.001
      "0E 00 02 00 01 00 "              // SAVERECALC
      "22 00 02 00 00 00 "              // 1904 off
      "25 00 02 00 FF 80 " +            // DEFAULTROWHEIGHT
      arial + " " + arial + " " + arial + " " + arial + " " +
      "40 00 02 00 00 00 "              // BACKUP
      "1F 00 02 00 01 00 "              // FORMATCOUNT
      "1E 00 08 00 07 47 65 6E 65 72 61 6C "  // FORMAT "General"
      "1B 00 02 00 00 00 "              // no row breaks
      "1A 00 02 00 00 00 "              // no column breaks
      "12 00 02 00 00 00 "              // not protected
      "0A 00 00 00";                    // EOF
  EXPECT_EQ(hex(bytes), expected);
}

TEST_F(HeaderTest, OptionsReachTheirRecords) {
  XlsOptions opt;
  opt.autoCalc = false;
  opt.iterations = 7;
  opt.protect = true;
  auto recs = records(sheetBytes([](TFileXLS&) {}, opt));
  auto find = [&](uint16_t type) {
    for (auto& r : recs)
      if (r.type == type) return hex(r.data);
    return std::string("missing");
  };
  EXPECT_EQ(find(0x000D), "00 00");
  EXPECT_EQ(find(0x000C), "07 00");
  EXPECT_EQ(find(0x0011), "01 00");
  EXPECT_EQ(find(0x0012), "01 00");
}

TEST_F(HeaderTest, FontsFromTheTableAndDefaultsForMissingOnes) {
  EXPECT_EQ(XLSFONT("Times New Roman", 12, true, false, true), 1);
  EXPECT_EQ(XLSFONT("Courier", 8.5, false, true, false, true), 2);
  EXPECT_EQ(XLSFONT("Times New Roman", 12, true, false, true), 1);
  EXPECT_EQ(XLSFONT("Times New Roman", 12, true), 3);  // differs in underline
  EXPECT_EQ(XLSFONT("Verdana"), 4);                    // never reaches a file

  std::vector<std::string> fonts;
  for (auto& r : records(sheetBytes([](TFileXLS&) {})))
    if (r.type == 0x0031) fonts.push_back(hex(r.data));
  ASSERT_EQ(fonts.size(), 4u);
  EXPECT_EQ(fonts[0], "C8 00 00 00 05 41 72 69 61 6C");
  EXPECT_EQ(fonts[1], "F0 00 05 00 0F 54 69 6D 65 73 20 4E 65 77 20 52 6F 6D 61 6E");
  EXPECT_EQ(fonts[2], "AA 00 0A 00 07 43 6F 75 72 69 65 72");  // 8.5 pt = 170 twips
  EXPECT_EQ(fonts[3], "F0 00 01 00 0F 54 69 6D 65 73 20 4E 65 77 20 52 6F 6D 61 6E");

  XLSCLSFONT();
  XLSFONT("Arial", 14);
  fonts.clear();
  for (auto& r : records(sheetBytes([](TFileXLS&) {})))
    if (r.type == 0x0031) fonts.push_back(hex(r.data));
  ASSERT_EQ(fonts.size(), 4u);
  EXPECT_EQ(fonts[1], "18 01 00 00 05 41 72 69 61 6C");
  EXPECT_EQ(fonts[2], "C8 00 00 00 05 41 72 69 61 6C");
  EXPECT_EQ(fonts[3], "C8 00 00 00 05 41 72 69 61 6C");
}

TEST_F(HeaderTest, FormatRegisteredTwiceIsWrittenOnce) {
  EXPECT_EQ(XLSFORMAT("#,##0.00"), 1);
  EXPECT_EQ(XLSFORMAT("#,##0.00"), 1);
  EXPECT_EQ(XLSFORMAT("dd/mm/yyyy"), 2);
  EXPECT_EQ(XLSFORMAT(), 3);  // "0"
  std::vector<std::string> formats;
  for (auto& r : records(sheetBytes([](TFileXLS&) {})))
    if (r.type == 0x001E) formats.push_back(r.data);
  ASSERT_EQ(formats.size(), 4u);
  EXPECT_EQ(formats[0], "\x07General");
  EXPECT_EQ(formats[1], "\x08#,##0.00");
  EXPECT_EQ(formats[2], "\x0A" "dd/mm/yyyy");
  EXPECT_EQ(formats[3], "\x01" "0");
}

// One call on a fresh sheet and the exact bytes it adds between header and
// closing records.
struct ByteCase {
  const char* name;
  std::function<void(TFileXLS&)> write;
  const char* bytes;
};

class CellBytes : public TablesReset, public ::testing::WithParamInterface<ByteCase> {};

TEST_P(CellBytes, Exact) {
  EXPECT_EQ(hex(cellBytes(sheetBytes(GetParam().write))), GetParam().bytes);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Writer, CellBytes,
    ::testing::Values(
        ByteCase{"TextAtRow1Col2", [](TFileXLS& x) { x.say(1, 2, "ABC"); },
                 "04 00 0B 00 00 00 01 00 00 00 00 03 41 42 43"},
        ByteCase{"EmptyText", [](TFileXLS& x) { x.say(1, 1, ""); },
                 "04 00 08 00 00 00 00 00 00 00 00 00"},
        ByteCase{"WholeNumberWithFormat1", [](TFileXLS& x) { x.say(3, 1, 5, {.format = 1}); },
                 "02 00 09 00 02 00 00 00 00 01 00 05 00"},
        ByteCase{"Fraction", [](TFileXLS& x) { x.say(1, 1, 5.5); },
                 "03 00 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 16 40"},
        ByteCase{"NegativeWhole", [](TFileXLS& x) { x.say(1, 1, -1); },
                 "03 00 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 BF"},
        ByteCase{"Zero", [](TFileXLS& x) { x.say(1, 1, 0); }, "02 00 09 00 00 00 00 00 00 00 00 00 00"},
        ByteCase{"NegativeZero", [](TFileXLS& x) { x.say(1, 1, -0.0); },
                 "02 00 09 00 00 00 00 00 00 00 00 00 00"},
        ByteCase{"LargestInteger", [](TFileXLS& x) { x.say(1, 1, 65535); },
                 "02 00 09 00 00 00 00 00 00 00 00 FF FF"},
        ByteCase{"PastIntegerRange", [](TFileXLS& x) { x.say(1, 1, 65536); },
                 "03 00 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 40"},
        ByteCase{"NaNIsNumError", [](TFileXLS& x) { x.say(1, 1, kNaN); },
                 "05 00 09 00 00 00 00 00 00 00 00 24 01"},
        ByteCase{"InfinityIsNumError", [](TFileXLS& x) { x.number(1, 1, -kInf); },
                 "05 00 09 00 00 00 00 00 00 00 00 24 01"},
        ByteCase{"True", [](TFileXLS& x) { x.say(2, 3, true); },
                 "05 00 09 00 01 00 02 00 00 00 00 01 00"},
        ByteCase{"False", [](TFileXLS& x) { x.boolean(1, 1, false); },
                 "05 00 09 00 00 00 00 00 00 00 00 00 00"},
        ByteCase{"ErrorDiv0", [](TFileXLS& x) { x.error(1, 1, XlsError::Div0); },
                 "05 00 09 00 00 00 00 00 00 00 00 07 01"},
        ByteCase{"NoValueIsBlank", [](TFileXLS& x) { x.say(4, 5, Value()); },
                 "01 00 07 00 03 00 04 00 00 00 00"},
        ByteCase{"Date", [](TFileXLS& x) { x.say(1, 1, Date::fromYmd(2024, 1, 15), {.format = 2}); },
                 "02 00 09 00 00 00 00 00 00 02 00 FA B0"},
        ByteCase{"FirstDateOfTheCalendar", [](TFileXLS& x) { x.say(1, 1, Date::fromYmd(1900, 3, 1)); },
                 "02 00 09 00 00 00 00 00 00 00 00 3D 00"},
        ByteCase{"DateBeforeMarch1900IsText",
                 [](TFileXLS& x) { x.say(1, 1, Date::fromYmd(1900, 2, 28)); },
                 "04 00 12 00 00 00 00 00 00 00 00 0A 32 38 2F 30 32 2F 31 39 30 30"},
        ByteCase{"DatePastIntegerRangeIsNumber",
                 [](TFileXLS& x) { x.say(1, 1, Date::fromYmd(2080, 1, 1)); },
                 "03 00 0F 00 00 00 00 00 00 00 00 00 00 00 00 20 0D F0 40"},
        ByteCase{"EmptyDateIsBlank", [](TFileXLS& x) { x.say(1, 1, Date()); },
                 "01 00 07 00 00 00 00 00 00 00 00"},
        ByteCase{"AllAttributes",
                 [](TFileXLS& x) {
                   x.blank(1, 1, {.hidden = true, .locked = true, .font = 2, .format = 3, .shaded = true,
                                  .border = XlsBorder::Left | XlsBorder::Bottom, .align = XlsAlign::Right});
                 },
                 "01 00 07 00 00 00 00 00 C0 83 CB"},
        ByteCase{"FontsAboveThreeUseFontThree", [](TFileXLS& x) { x.blank(1, 1, {.font = 9, .format = 1}); },
                 "01 00 07 00 00 00 00 00 00 C1 00"},
        // Out-of-range fields must not spill into their neighbours' bits.
        ByteCase{"StrayAttributesStayInTheirBits",
                 [](TFileXLS& x) { x.blank(1, 1, {.font = -1, .format = 64, .border = 0xFF, .align = 0x0A}); },
                 "01 00 07 00 00 00 00 00 00 00 7A"},
        ByteCase{"ColumnWidth45", [](TFileXLS& x) { x.col(2, 2, 45); }, "24 00 04 00 01 01 B8 2D"},
        ByteCase{"ColumnDefaultsSpanAndWidth", [](TFileXLS& x) { x.col(3); }, "24 00 04 00 02 02 6E 0B"},
        ByteCase{"ColumnsHidden", [](TFileXLS& x) { x.col(1, 4, 30, true); }, "24 00 04 00 00 03 00 00"},
        ByteCase{"ColumnsPastTheSheetAreCut", [](TFileXLS& x) { x.col(250, 400, 1); },
                 "24 00 04 00 F9 FF B8 01"},
        ByteCase{"RowHeight", [](TFileXLS& x) { x.row(2); },
                 "08 00 10 00 01 00 00 00 00 00 FF 00 00 00 00 00 00 00 00 00"},
        ByteCase{"Formula",
                 [](TFileXLS& x) { x.formula(1, 1, 3, true, std::string("\x1E\x03\x00", 3), {.format = 1}); },
                 "06 00 14 00 00 00 00 00 00 01 00 00 00 00 00 00 00 08 40 02 03 1E 03 00"},
        ByteCase{"Note", [](TFileXLS& x) { x.note(2, 2, "Hi"); }, "1C 00 08 00 01 00 01 00 02 00 48 69"},
        ByteCase{"Display",
                 [](TFileXLS& x) { x.setDisplay({.top = 1, .left = 2, .bottom = 10, .right = 5, .hideZeros = true}); },
                 "3D 00 09 00 28 00 14 00 50 00 C8 00 00 "
                 "3E 00 0E 00 00 01 01 00 00 00 00 00 00 01 00 00 00 00"},
        ByteCase{"Printer",
                 [](TFileXLS& x) { x.setPrinter({.header = "Ab", .footer = "", .left = 0.5, .printGrid = true}); },
                 "14 00 03 00 02 41 62 15 00 00 00 "
                 "26 00 08 00 00 00 00 00 00 00 E0 3F 27 00 08 00 00 00 00 00 00 00 00 00 "
                 "28 00 08 00 00 00 00 00 00 00 00 00 29 00 08 00 00 00 00 00 00 00 00 00 "
                 "2A 00 02 00 00 00 2B 00 02 00 01 00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TablesReset, LongTextKeepsItsFirst255Bytes) {
  std::string text(254, 'a');
  text += "\xF1zzz";  // the cut falls after a Windows-1252 letter
  auto recs = records(cellBytes(sheetBytes([&](TFileXLS& x) { x.say(1, 1, text); })));
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].data.size(), 8u + 255u);
  EXPECT_EQ(static_cast<unsigned char>(recs[0].data[7]), 255u);
  EXPECT_EQ(recs[0].data.substr(8), text.substr(0, 255));
}

TEST_F(TablesReset, LongNoteGoesOnInFollowingRecords) {
  std::string text(5000, 'n');
  auto recs = records(cellBytes(sheetBytes([&](TFileXLS& x) { x.note(3, 4, text); })));
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(hex(recs[0].data.substr(0, 6)), "02 00 03 00 88 13");  // total length 5000
  EXPECT_EQ(hex(recs[1].data.substr(0, 6)), "FF FF 00 00 00 08");  // 2048 more
  EXPECT_EQ(hex(recs[2].data.substr(0, 6)), "FF FF 00 00 88 03");  // the last 904
  EXPECT_EQ(recs[0].data.size() - 6 + recs[1].data.size() - 6 + recs[2].data.size() - 6, 5000u);
}

TEST_F(TablesReset, BreaksAreSortedUniqueAndWithinTheSheet) {
  std::string bytes = sheetBytes([](TFileXLS& x) {
    x.addBreak(XlsBreak::Horizontal, {10, 5, 10, 0, -3, 16385});
    x.addBreak(XlsBreak::Horizontal, {7, 5});
    x.addBreak(XlsBreak::Vertical, {3, 257, 256});
  });
  auto recs = records(bytes);
  ASSERT_GE(recs.size(), 4u);
  auto tail = std::vector<Record>(recs.end() - 4, recs.end());
  EXPECT_EQ(tail[0].type, 0x001B);
  EXPECT_EQ(hex(tail[0].data), "03 00 04 00 06 00 09 00");
  EXPECT_EQ(tail[1].type, 0x001A);
  EXPECT_EQ(hex(tail[1].data), "02 00 02 00 FF 00");
  EXPECT_EQ(tail[2].type, 0x0012);
  EXPECT_EQ(tail[3].type, 0x000A);
  EXPECT_TRUE(tail[3].data.empty());
}

TEST_F(TablesReset, SayWritesWhatTheDirectWriterWrites) {
  const XlsAttr a{.format = 1, .align = 2};
  std::vector<std::pair<Value, std::function<void(TFileXLS&)>>> cases = {
      {Value(12.25), [&](TFileXLS& x) { x.number(2, 3, 12.25, a); }},
      {Value("Ca\xF1" "a"), [&](TFileXLS& x) { x.string(2, 3, "Ca\xF1" "a", a); }},
      {Value(Date::fromYmd(2023, 12, 31)), [&](TFileXLS& x) { x.date(2, 3, Date::fromYmd(2023, 12, 31), a); }},
      {Value(true), [&](TFileXLS& x) { x.boolean(2, 3, true, a); }},
      {Value(), [&](TFileXLS& x) { x.blank(2, 3, a); }},
  };
  for (auto& [value, direct] : cases) {
    SCOPED_TRACE(hex(value.text()) + " kind " + std::to_string(static_cast<int>(value.kind())));
    std::string viaSay = sheetBytes([&](TFileXLS& x) { x.say(2, 3, value, a); });
    std::string viaCallback = sheetBytes([&](TFileXLS& x) { x.say(2, 3, [&] { return value; }, a); });
    std::string expected = sheetBytes(direct);
    EXPECT_EQ(hex(viaSay), hex(expected));
    EXPECT_EQ(hex(viaCallback), hex(expected));
  }
}

TEST_F(TablesReset, CallbackIsEvaluatedOnce) {
  int calls = 0;
  std::string bytes = sheetBytes([&](TFileXLS& x) {
    x.say(1, 1, [&] {
      ++calls;
      return Value(42);
    });
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(hex(cellBytes(bytes)), "02 00 09 00 00 00 00 00 00 00 00 2A 00");
}

TEST_F(TablesReset, UnsupportedKindRaisesTheWarningAndWritesNothing) {
  ErrorRecorder rec;
  XlsInput::Callback nested = [] { return XlsInput(XlsInput::Callback([] { return XlsInput(1); })); };
  XlsInput::Callback empty;
  auto sink = std::make_unique<MemorySink>();
  MemorySink* mem = sink.get();
  TFileXLS x(std::move(sink));
  x.say(1, 1, nested);
  x.say(1, 2, empty);
  XlsResult r = x.end();

  ASSERT_EQ(rec.events().size(), 2u);
  const ErrorEvent& e = rec.events()[0];
  EXPECT_EQ(e.subsystem, "FileXLS");
  EXPECT_EQ(e.subCode, 3);
  EXPECT_EQ(e.severity, Severity::Warning);
  EXPECT_EQ(e.description, "Data type XLS no support");
  EXPECT_EQ(e.operation, "\nType: B");
  EXPECT_TRUE(e.canDefault);
  EXPECT_FALSE(e.canRetry);
  EXPECT_EQ(cellBytes(mem->bytes()), "");
  EXPECT_EQ(r.dropped, 2);
  EXPECT_TRUE(r.written);
  EXPECT_FALSE(r.ok());
}

// Cells the format cannot place are left out and counted, never wrapped to
// another position.
TEST_F(TablesReset, CellsBeyondTheSheetAreLeftOutAndCounted) {
  struct Case {
    int row, col;
    bool longSheet;
    bool written;
  };
  const Case cases[] = {
      {0, 1, false, false},      {1, 0, false, false},      {-1, 1, false, false},
      {16384, 256, false, true}, {16385, 1, false, false},  {1, 257, false, false},
      {65536, 1, true, true},    {65537, 1, true, false},   {30000, 300, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.col) + (c.longSheet ? " long" : ""));
    auto sink = std::make_unique<MemorySink>();
    MemorySink* mem = sink.get();
    TFileXLS x(std::move(sink), {.longSheet = c.longSheet});
    x.say(c.row, c.col, "v");
    x.note(c.row, c.col, "n");
    x.row(c.row);
    XlsResult r = x.end();
    auto recs = records(cellBytes(mem->bytes()));
    int rowRecords = 0;
    std::erase_if(recs, [&](const Record& rec) { return rec.type == 0x0008 && ++rowRecords; });
    EXPECT_EQ(rowRecords, c.row >= 1 && c.row <= (c.longSheet ? 65536 : 16384) ? 1 : 0);
    EXPECT_EQ(recs.size(), c.written ? 2u : 0u);
    EXPECT_EQ(r.dropped, c.written ? 0 : 2);
    EXPECT_EQ(r.ok(), c.written);
    if (c.written) {
      unsigned row = static_cast<unsigned char>(recs[0].data[0]) | static_cast<unsigned char>(recs[0].data[1]) << 8;
      EXPECT_EQ(row, static_cast<unsigned>(c.row - 1));
    }
  }
}

TEST_F(TablesReset, UnrepresentableCellsAreLeftOut) {
  auto sink = std::make_unique<MemorySink>();
  MemorySink* mem = sink.get();
  TFileXLS x(std::move(sink));
  x.error(1, 1, 0x99);
  x.formula(1, 2, 0, true, std::string(256, '\x1E'));
  XlsResult r = x.end();
  EXPECT_EQ(cellBytes(mem->bytes()), "");
  EXPECT_EQ(r.dropped, 2);
}

TEST_F(TablesReset, WritesAfterEndAreIgnored) {
  auto sink = std::make_unique<MemorySink>();
  MemorySink* mem = sink.get();
  TFileXLS x(std::move(sink));
  XlsResult first = x.end();
  size_t size = mem->bytes().size();
  x.say(1, 1, "late");
  x.col(1);
  x.setDisplay();
  XlsResult again = x.end();
  EXPECT_EQ(mem->bytes().size(), size);
  EXPECT_EQ(again.written, first.written);
  EXPECT_EQ(again.dropped, 0);
}

// A sink that takes `budget` bytes and then fails, like a full disk.
class FailingSink : public XlsSink {
 public:
  explicit FailingSink(size_t budget) : budget_(budget) {}
  bool good() const override { return !failed_; }
  bool write(const char* data, size_t n) override {
    if (failed_ || n > budget_) {
      failed_ = true;
      return false;
    }
    budget_ -= n;
    bytes += std::string(data, n);
    return true;
  }
  bool commit() override { committed = !failed_; return committed; }
  void discard() override { discarded = true; }
  int osError() const override { return failed_ ? 28 : 0; }
  std::string bytes;
  bool committed = false;
  bool discarded = false;

 private:
  size_t budget_;
  bool failed_ = false;
};

TEST_F(TablesReset, FailedWriteIsReportedNotCommitted) {
  for (size_t budget : {size_t(0), size_t(100), size_t(70000)}) {
    SCOPED_TRACE(budget);
    auto sink = std::make_unique<FailingSink>(budget);
    FailingSink* s = sink.get();
    TFileXLS x(std::move(sink));
    for (int r = 1; r <= 5000; ++r) x.say(r, 1, "some text in a cell");
    EXPECT_FALSE(x.good());
    XlsResult res = x.end();
    EXPECT_FALSE(res.written);
    EXPECT_EQ(res.osError, 28);
    EXPECT_FALSE(s->committed);
    EXPECT_LE(s->bytes.size(), budget);
  }
}

class DiskTest : public TablesReset {
 protected:
  void SetUp() override {
    TablesReset::SetUp();
    char tmpl[] = "/tmp/zol-xls-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
    Launcher::instance().setRecording(false);
    Launcher::instance().clearRequests();
    TablesReset::TearDown();
  }
  static std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void spit(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
  size_t entries() const { return std::distance(fs::directory_iterator(dir_), fs::directory_iterator()); }
  fs::path dir_;
};

TEST_F(DiskTest, FinishedSheetReplacesTheOldFileAndLeavesNothingElse) {
  fs::path p = dir_ / "ZOL_ALF.XLS";
  spit(p, "old contents");
  std::string expected = sheetBytes([](TFileXLS& x) { x.say(1, 1, "new"); });
  {
    TFileXLS x(p.string());
    x.say(1, 1, "new");
    EXPECT_EQ(slurp(p), "old contents");  // replaced only when complete
    XlsResult r = x.end();
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.osError, 0);
  }
  EXPECT_EQ(slurp(p), expected);
  EXPECT_EQ(entries(), 1u);
  struct stat st;
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRGRP, 0u) << "a sheet is readable like any other file";
}

TEST_F(DiskTest, AbandonedSheetKeepsTheOldFile) {
  fs::path p = dir_ / "TOT_ZOL.XLS";
  spit(p, "old contents");
  {
    TFileXLS x(p.string());
    x.say(1, 1, "never finished");
  }
  EXPECT_EQ(slurp(p), "old contents");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(DiskTest, SheetThatCannotBeCreatedLosesItsWritesAndSaysSo) {
  fs::path readOnly = dir_ / "ro.xls";
  spit(readOnly, "keep me");
  fs::permissions(readOnly, fs::perms::owner_read);
  fs::create_directory(dir_ / "adir.xls");
  const bool root = ::geteuid() == 0;  // root writes through permission bits

  struct Case {
    fs::path path;
    bool skipAsRoot;
  };
  const Case cases[] = {{dir_ / "missing" / "x.xls", false}, {dir_ / "adir.xls", false}, {readOnly, true}};
  for (const Case& c : cases) {
    if (c.skipAsRoot && root) continue;
    SCOPED_TRACE(c.path.string());
    Launcher::instance().setRecording(true);
    TFileXLS x(c.path.string(), {.openAtEnd = true});
    for (int r = 1; r <= 100; ++r) x.say(r, 1, r);
    EXPECT_FALSE(x.good());
    XlsResult res = x.end();
    EXPECT_FALSE(res.written);
    EXPECT_NE(res.osError, 0);
    EXPECT_FALSE(res.opened);
    EXPECT_TRUE(Launcher::instance().requests().empty()) << "nothing to open";
  }
  if (!root) {
    EXPECT_EQ(slurp(readOnly), "keep me");
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "adir.xls"));
  EXPECT_EQ(entries(), 2u);  // no stray temporary files
}

TEST_F(DiskTest, OpenAtEndHandsTheFileToTheDesktop) {
  Launcher::instance().setRecording(true);
  fs::path p = dir_ / "MAY_ZOL.XLS";
  {
    TFileXLS x(p.string(), {.openAtEnd = true});
    XlsResult r = x.end();
    EXPECT_TRUE(r.opened);
  }
  {
    TFileXLS quiet((dir_ / "quiet.xls").string());
    EXPECT_FALSE(quiet.end().opened);
  }
  ASSERT_EQ(Launcher::instance().requests().size(), 1u);
  EXPECT_EQ(Launcher::instance().requests()[0],
            (LaunchRequest{LaunchRequest::Kind::Document, p.string()}));
}

TEST_F(DiskTest, NoNameGivesATemporarySheet) {
  std::string name;
  {
    setenv("TMPDIR", dir_.c_str(), 1);
    TFileXLS x;
    unsetenv("TMPDIR");
    name = x.name();
    x.say(1, 1, "t");
    EXPECT_TRUE(x.end().ok());
  }
  EXPECT_EQ(fs::path(name).parent_path(), dir_);
  EXPECT_EQ(fs::path(name).extension(), ".xls");
  EXPECT_EQ(records(slurp(name)).front().type, 0x0009);
}

TEST_F(DiskTest, WritesThroughASymbolicLinkToItsTarget) {
  fs::create_directory(dir_ / "real");
  fs::path target = dir_ / "real" / "SAL_ZOL.XLS";
  spit(target, "old");
  fs::create_symlink(target, dir_ / "link.xls");
  {
    TFileXLS x((dir_ / "link.xls").string());
    EXPECT_TRUE(x.end().ok());
  }
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.xls"));
  EXPECT_EQ(records(slurp(target)).front().type, 0x0009);
}

// A sheet big enough to pass the writer's buffer splits into records cleanly.
TEST_F(DiskTest, LargeSheetIsWholeRecords) {
  fs::path p = dir_ / "big.xls";
  {
    TFileXLS x(p.string());
    for (int r = 1; r <= 5000; ++r) {
      x.say(r, 1, r * 1.5);
      x.say(r, 2, "name of an article");
    }
    EXPECT_TRUE(x.end().ok());
  }
  bool whole = false;
  auto recs = records(slurp(p), &whole);
  EXPECT_TRUE(whole);
  EXPECT_EQ(recs.back().type, 0x000A);
}

}  // namespace
}  // namespace zol
