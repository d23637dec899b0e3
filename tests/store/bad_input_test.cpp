// Damaged files and failing I/O: every case gives its defined error event,
// never a crash, and nothing on disk changes when we only read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

#include "store/data_tables.h"
#include "store/verify.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;

class BadInputTest : public ::testing::Test {
 protected:
  // A small article master with one memo, closed.
  void makeArticles() {
    WorkAreas w;
    ASSERT_TRUE(w.create(dir / "maeart", articleStructure()));
    ASSERT_TRUE(w.use(dir / "maeart"));
    w.cur().appendBlank();
    w.cur().put("articulo", 7);
    w.cur().put("notas", Value(std::string(100, 'n')));
  }
  std::string dbf() { return test::readFile(dir / "maeart.dbf"); }
  TempDir dir;
  ErrorRecorder errors;
};

TEST_F(BadInputTest, DamagedTableAndMemoFiles) {
  makeArticles();
  const std::string goodDbf = dbf();
  const std::string goodFpt = test::readFile(dir / "maeart.fpt");
  const size_t memoField = 258 + 1 + 6 + 40 + 9 + 9 + 9 + 2;
  struct Case {
    const char* name;
    std::function<void(std::string& dbf, std::string& fpt)> damage;
    int gen, sub;
    bool readMemo;  // the error shows when the memo is read, not at open
  };
  const Case cases[] = {
      {"truncated header", [](std::string& d, std::string&) { d.resize(20); }, ErrGen::Read, 1010, false},
      {"bad version byte", [](std::string& d, std::string&) { d[0] = 0x55; }, ErrGen::Corruption, 1012, false},
      {"unknown field type", [](std::string& d, std::string&) { d[32 + 32 + 11] = 'Q'; }, ErrGen::Corruption, 1012, false},
      {"descriptors without terminator", [](std::string& d, std::string&) { d[256] = 'X'; }, ErrGen::Corruption, 1012, false},
      {"header length beyond the file", [](std::string& d, std::string&) { d[8] = '\xFF'; d[9] = '\x7F'; }, ErrGen::Read, 1010, false},
      {"record length too small", [](std::string& d, std::string&) { d[10] = 20; d[11] = 0; }, ErrGen::Corruption, 1012, false},
      {"record area shorter than claimed", [](std::string& d, std::string&) { d[4] = 5; }, ErrGen::Read, 1010, false},
      {"memo header shorter than 512", [](std::string&, std::string& m) { m.resize(300); }, ErrGen::Corruption, 1012, false},
      {"memo block size 0", [](std::string&, std::string& m) { m[4] = m[5] = m[6] = m[7] = 0; }, ErrGen::Corruption, 1012, false},
      {"memo pointer with letters", [=](std::string& d, std::string&) { d[memoField + 8] = 'x'; }, ErrGen::Corruption, 1012, true},
      {"memo pointer past the end", [=](std::string& d, std::string&) { d.replace(memoField, 10, "     99999"); }, ErrGen::Read, 1010, true},
      {"memo length past the end", [](std::string&, std::string& m) { m[16 * 64 + 4] = 0x7F; }, ErrGen::Read, 1010, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string d = goodDbf, m = goodFpt;
    c.damage(d, m);
    test::writeFile(dir / "maeart.dbf", d);
    test::writeFile(dir / "maeart.fpt", m);
    errors.clear();
    {
      WorkAreas w;
      bool opened = w.use(dir / "maeart");
      if (c.readMemo) {
        ASSERT_TRUE(opened);
        w.cur().goTo(1);
        EXPECT_EQ(w.cur().get("notas").text(), "");
      } else if (opened) {
        // Opened: the error shows once the missing record is read.
        w.cur().goBottom();
        w.cur().skip(1);
      }
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(errors.events()[0].genCode, c.gen);
      EXPECT_EQ(errors.events()[0].subCode, c.sub);
      EXPECT_FALSE(verifyTable(w.fs(), dir / "maeart.dbf").empty());
    }
    // Only reading: the files are exactly as they were.
    EXPECT_EQ(test::readFile(dir / "maeart.dbf"), d);
    EXPECT_EQ(test::readFile(dir / "maeart.fpt"), m);
  }
}

TEST_F(BadInputTest, FieldTypesFromOtherWritersRead) {
  // A hand-made table with logical and float fields, as other tools write them.
  std::string h(32 + 32 * 2 + 2, '\0');
  h[0] = 0x03;
  h[4] = 2;
  h[8] = static_cast<char>(h.size());
  h[10] = 1 + 1 + 8;
  auto field = [&](int i, const char* name, char type, int width, int dec) {
    std::memcpy(&h[32 + 32 * i], name, std::strlen(name));
    h[32 + 32 * i + 11] = type;
    h[32 + 32 * i + 16] = static_cast<char>(width);
    h[32 + 32 * i + 17] = static_cast<char>(dec);
  };
  field(0, "ACTIVO", 'L', 1, 0);
  field(1, "PESO", 'F', 8, 3);
  h[32 + 64] = 0x0D;
  test::writeFile(dir / "otro.dbf", h + " T  -1.250" + " ?   2.5  " + "\x1A");
  WorkAreas w;
  ASSERT_TRUE(w.use(dir / "otro"));
  EXPECT_TRUE(w.cur().get("activo").logical());
  EXPECT_EQ(w.cur().get("peso").number(), -1.25);
  w.cur().skip();
  EXPECT_FALSE(w.cur().get("activo").logical());
  EXPECT_EQ(w.cur().get("peso").number(), 2.5);
  w.cur().put("activo", true);
  w.cur().put("peso", 3.5);
  w.closeAll();
  ASSERT_TRUE(w.use(dir / "otro"));
  w.cur().goBottom();
  EXPECT_TRUE(w.cur().get("activo").logical());
  EXPECT_EQ(w.cur().get("peso").number(), 3.5);
  EXPECT_TRUE(errors.empty());
}

TEST_F(BadInputTest, FailedAppendNeverLeavesAHeaderClaimingLostRecords) {
  FaultFileSystem fs(realFileSystem());
  WorkAreas w(fs);
  ASSERT_TRUE(w.create(dir / "entradas", movementStructure()));
  ASSERT_TRUE(w.use(dir / "entradas"));
  for (int i = 0; i < 10; ++i) {
    w.cur().appendBlank();
    w.cur().put("articulo", i + 1);
  }
  ASSERT_TRUE(w.commitAll());
  // The disk fills up in the middle of the next records.
  fs.failWritesAfter(85 * 3 + 40);
  for (int i = 0; i < 10; ++i) {
    w.cur().appendBlank();
    w.cur().put("articulo", 100 + i);
  }
  w.commitAll();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.events()[0].genCode, ErrGen::Write);
  EXPECT_EQ(errors.events()[0].subCode, 1011);
  fs.reset();
  w.closeAll();
  // Whatever the header claims is really in the file, and it checks clean.
  EXPECT_TRUE(verifyTable(realFileSystem(), dir / "entradas.dbf").empty());
  WorkAreas r;
  ASSERT_TRUE(r.use(dir / "entradas"));
  EXPECT_GE(r.cur().recCount(), 10u);
  EXPECT_LE(r.cur().recCount(), 13u);
  int expect = 1;
  for (r.cur().goTop(); !r.cur().eof(); r.cur().skip(), ++expect)
    EXPECT_EQ(r.cur().get("articulo").number(), expect <= 10 ? expect : 100 + expect - 11);
}

TEST_F(BadInputTest, ShortReadsRaiseReadErrors) {
  makeArticles();
  FaultFileSystem fs(realFileSystem());
  fs.shortReadsFrom(100);
  WorkAreas w(fs);
  EXPECT_FALSE(w.use(dir / "maeart"));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.last().genCode, ErrGen::Read);
  EXPECT_EQ(errors.last().subCode, 1010);
  EXPECT_FALSE(w.cur().isOpen());
}

TEST_F(BadInputTest, CreateAndOpenFailuresCarryTheirCodes) {
  FaultFileSystem fs(realFileSystem());
  WorkAreas w(fs);
  fs.failOpens("maeart.fpt", OsErr::AccessDenied);
  EXPECT_FALSE(w.create(dir / "maeart", articleStructure()));
  EXPECT_EQ(errors.last().genCode, ErrGen::Create);
  EXPECT_EQ(errors.last().subCode, 1005);
  EXPECT_TRUE(errors.last().canRetry);
  EXPECT_FALSE(w.use(dir / "maeart"));
  EXPECT_EQ(errors.last().genCode, ErrGen::Open);
  EXPECT_EQ(errors.last().subCode, 1002);
  fs.failOpens("nothere", OsErr::FileNotFound);
  EXPECT_FALSE(w.use(dir / "nothere"));
  EXPECT_EQ(errors.last().genCode, ErrGen::Open);
  EXPECT_EQ(errors.last().subCode, 1001);
  EXPECT_EQ(errors.last().osCode, 2);
  EXPECT_TRUE(errors.last().canDefault);
}

TEST_F(BadInputTest, ReadOnlyAndSharedRules) {
  makeArticles();
  WorkAreas w;
  ASSERT_TRUE(w.use(dir / "maeart", "", true, true));
  EXPECT_FALSE(w.cur().put("articulo", 9));
  EXPECT_EQ(errors.last().genCode, ErrGen::Readonly);
  EXPECT_EQ(errors.last().subCode, 1025);
  EXPECT_FALSE(w.cur().pack());
  EXPECT_EQ(errors.last().genCode, ErrGen::ExclusiveRequired);
  EXPECT_EQ(errors.last().subCode, 1023);
  EXPECT_FALSE(w.cur().zap());
  EXPECT_EQ(errors.last().genCode, ErrGen::ExclusiveRequired);
  EXPECT_EQ(w.cur().recCount(), 1u);
}

// Two running copies must never write the same table: the second open fails
// with the sharing error, and succeeds on retry once the first has let go.
TEST_F(BadInputTest, ExclusiveOpenHoldsAgainstAnotherProcess) {
  makeArticles();
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    WorkAreas w;
    bool ok = w.use(dir / "maeart");
    char c = ok ? 'y' : 'n';
    (void)!write(toParent[1], &c, 1);
    (void)!read(toChild[0], &c, 1);  // hold the table until told
    w.closeAll();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  {
    WorkAreas w;
    EXPECT_FALSE(w.use(dir / "maeart"));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.last().genCode, ErrGen::Open);
    EXPECT_EQ(errors.last().osCode, 32);
    EXPECT_TRUE(errors.last().canRetry);
    EXPECT_TRUE(errors.last().canDefault);
    EXPECT_FALSE(w.cur().isOpen());  // the default leaves the area empty
  }
  // Retry: the handler releases the other process and asks to try again.
  int attempts = 0;
  auto old = setErrorHandler([&](const ErrorEvent& e) {
    ++attempts;
    char go = 'x';
    (void)!write(toChild[1], &go, 1);
    waitpid(pid, nullptr, 0);
    return e.genCode == ErrGen::Open && attempts == 1;
  });
  WorkAreas w;
  EXPECT_TRUE(w.use(dir / "maeart"));
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(w.cur().get("articulo").number(), 7);
  setErrorHandler(old);
}

}  // namespace
}  // namespace zol
