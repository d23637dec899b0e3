// The general error handler: silent cases, the report file, the dialog and
// the way the program ends.
#include <QLabel>
#include <QListWidget>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/launcher.h"
#include "shell/error_handler.h"
#include "shell/globals.h"
#include "shell_test_support.h"

namespace zol {
namespace {

using test::TempDir;

ErrorEvent openError(bool canRetry, bool canDefault) {
  ErrorEvent e;
  e.genCode = ErrGen::Open;
  e.subsystem = "DBFCDX";
  e.subCode = 1001;
  e.description = "Open error";
  e.fileName = "/datos/maeart.dbf";
  e.args = {"maeart"};
  e.canRetry = canRetry;
  e.canDefault = canDefault;
  return e;
}

// The handler installed for one test, writing into a temporary folder.
class HandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setErrorHandler(generalErrorHandler);
    setReportLocation(dir_.path());
    clearSharedUseFailed();
  }
  void TearDown() override {
    setErrorHandler(previous_);
    setReportLocation("./");
    setMainLoopRunning(false);
    Launcher::instance().setRecording(false);
    Launcher::instance().clearRequests();
  }
  std::string log() const { return dir_ / "error.log"; }
  TempDir dir_;
  ErrorHandler previous_;
};

TEST(ErrorLine, FollowsTheEventsKindAndWhatItCarries) {
  struct Case { int os; Severity sev; const char* sub; int code; const char* desc; const char* file; const char* op;
                const char* line; } cases[] = {
      {0, Severity::Error, "DBFCDX", 1001, "Open error", "c:\\x.dbf", "", "Error DBFCDX/1001  Open error: c:\\x.dbf"},
      {0, Severity::Warning, "DBFCDX", 1001, "Open error", "c:\\x.dbf", "", "Warning DBFCDX/1001  Open error: c:\\x.dbf"},
      {32, Severity::Error, "DBFCDX", 1001, "Open error", "c:\\x.dbf", "", "(DOS Error 32) DBFCDX/1001  Open error: c:\\x.dbf"},
      {0, Severity::Error, "DBFCDX", 1012, "Corruption detected", "", "DBSKIP", "Error DBFCDX/1012  Corruption detected: DBSKIP"},
      {0, Severity::Error, "ZOLRES", 0, "", "", "", "Error ZOLRES/???"},
  };
  for (const Case& c : cases) {
    ErrorEvent e;
    e.osCode = c.os;
    e.severity = c.sev;
    e.subsystem = c.sub;
    e.subCode = c.code;
    e.description = c.desc;
    e.fileName = c.file;
    e.operation = c.op;
    EXPECT_EQ(e.messageLine(), c.line);
  }
}

TEST_F(HandlerTest, SilentCasesTakeTheDefaultWithoutReportOrDialog) {
  ErrorEvent zero;
  zero.genCode = ErrGen::ZeroDiv;
  zero.canDefault = true;
  EXPECT_FALSE(raiseError(zero));
  EXPECT_FALSE(sharedUseFailed());

  for (int os : {32, 5}) {
    ErrorEvent shared = openError(true, true);
    shared.osCode = os;
    clearSharedUseFailed();
    EXPECT_FALSE(raiseError(shared));
    EXPECT_TRUE(sharedUseFailed());
  }
  ErrorEvent append;
  append.genCode = ErrGen::AppendLock;
  append.canDefault = true;
  clearSharedUseFailed();
  EXPECT_FALSE(raiseError(append));
  EXPECT_TRUE(sharedUseFailed());

  EXPECT_FALSE(std::filesystem::exists(log()));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(HandlerTest, ReportHasItsSectionsInOrderAndTheErrorLine) {
  // Something open, so the tables section has content.
  TempDir data;
  test::makeDataFolder(data.path());
  workAreas().select(Area::Articles);
  ASSERT_TRUE(workAreas().use(data / "maeart", "maeart"));
  workAreas().select(Area::Entries);
  ASSERT_TRUE(workAreas().use(data / "entradas"));
  workAreas().cur().setRelation(Area::Articles, [](WorkArea& p) { return p.get("articulo"); }, "articulo");
  workAreas().select(Area::Articles);

  QString message;
  test::onNextModal([&](QWidget* w) {
    if (auto* l = w->findChild<QLabel*>("message")) message = l->text();
    auto* b = test::buttonWithText(w, "&Default");
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
  });
  EXPECT_FALSE(raiseError(openError(false, true)));
  workAreas().closeAll();

  const std::string report = test::readFile(log());
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(message.toStdString(), "Error DBFCDX/1001  Open error: /datos/maeart.dbf");
  EXPECT_NE(report.find("   Error description: Error DBFCDX/1001  Open error: /datos/maeart.dbf\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("     [   1] = C   maeart\r\n"), std::string::npos);
  size_t at = 0;
  for (const char* section : {"Application", "Stack Calls", "System", "Variables in use", "Linked RDDs",
                              "DataBases in use", "Classes in use:", "Memory Analysis"}) {
    const std::string h = std::string(section) + "\r\n" + std::string(std::strlen(section), '=') + "\r\n";
    size_t p = report.find(h, at);
    ASSERT_NE(p, std::string::npos) << section << " missing or out of order";
    at = p + h.size();
  }
  EXPECT_EQ(report.rfind("Application\r\n", 0), 0u) << "the report starts with the Application section";
  EXPECT_NE(report.find("   Called from: "), std::string::npos);
  EXPECT_NE(report.find("   Path and name: "), std::string::npos);
  std::string lower = report;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_NE(lower.find("=>   4: maeart"), std::string::npos);
  EXPECT_NE(report.find("articulo"), std::string::npos) << "tag key expressions are listed";
  EXPECT_NE(report.find("     TO articulo INTO MAEART\r\n"), std::string::npos) << "relations are listed";
  EXPECT_NE(report.find("   Hardware memory: "), std::string::npos);
}

TEST_F(HandlerTest, DialogOffersExactlyTheButtonsTheEventAllows) {
  struct Case { bool retry, deflt; QStringList buttons; } cases[] = {
      {false, false, {"&Quit"}},
      {true, false, {"&Retry", "&Quit"}},
      {false, true, {"&Quit", "&Default"}},
      {true, true, {"&Retry", "&Quit", "&Default"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buttons.join(",").toStdString());
    QStringList seen;
    test::onNextModal([&](QWidget* w) {
      for (auto* b : w->findChildren<QPushButton*>())
        if (b->text().startsWith('&')) seen << b->text();
      // Stack list under its caption.
      EXPECT_NE(w->findChild<QListWidget*>("stack"), nullptr);
      QTest::mouseClick(test::buttonWithText(w, "&Quit"), Qt::LeftButton);
    });
    ErrorChoice choice = showErrorDialog(openError(c.retry, c.deflt), {{"a.cpp", "f()", 3}}, log());
    EXPECT_EQ(choice, ErrorChoice::Quit);
    EXPECT_EQ(seen, c.buttons);
  }
}

TEST_F(HandlerTest, SeeReportOpensItInTheEditorAndKeepsTheDialog) {
  Launcher::instance().setRecording(true);
  bool stillOpen = false;
  test::onNextModal([&](QWidget* w) {
    QTest::mouseClick(test::buttonWithText(w, "See error.log file"), Qt::LeftButton);
    stillOpen = w->isVisible();
    QTest::mouseClick(test::buttonWithText(w, "&Quit"), Qt::LeftButton);
  });
  showErrorDialog(openError(false, false), {}, log());
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(Launcher::instance().requests().size(), 1u);
  EXPECT_EQ(Launcher::instance().requests()[0].kind, LaunchRequest::Kind::TextEditor);
  EXPECT_EQ(Launcher::instance().requests()[0].path, log());
}

TEST_F(HandlerTest, RetryIsHonouredWhileTheMainLoopRuns) {
  setMainLoopRunning(true);
  test::onNextModal([](QWidget* w) { QTest::mouseClick(test::buttonWithText(w, "&Retry"), Qt::LeftButton); });
  EXPECT_TRUE(raiseError(openError(true, true)));
}

using HandlerDeathTest = HandlerTest;

TEST_F(HandlerDeathTest, QuitEndsTheProgramWithCodeOne) {
  EXPECT_EXIT(
      {
        test::onNextModal([](QWidget* w) { QTest::mouseClick(test::buttonWithText(w, "&Quit"), Qt::LeftButton); });
        raiseError(openError(true, true));
      },
      ::testing::ExitedWithCode(1), "");
}

TEST_F(HandlerDeathTest, RetryBeforeTheMainLoopEndsTheProgram) {
  EXPECT_EXIT(
      {
        setMainLoopRunning(false);
        test::onNextModal([](QWidget* w) { QTest::mouseClick(test::buttonWithText(w, "&Retry"), Qt::LeftButton); });
        raiseError(openError(true, true));
      },
      ::testing::ExitedWithCode(1), "");
}

TEST_F(HandlerDeathTest, AnErrorWhileTheDialogIsUpEndsAtOnce) {
  EXPECT_EXIT(
      {
        test::onNextModal([](QWidget*) { raiseError(openError(true, true)); });
        raiseError(openError(true, true));
        std::exit(0);  // not reached
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace zol
