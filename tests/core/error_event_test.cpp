#include "core/error_event.h"

#include <gtest/gtest.h>

namespace zol {
namespace {

TEST(ErrorEvent, MessageLine) {
  ErrorEvent e;
  e.subsystem = "DBFCDX";
  e.subCode = 1001;
  e.description = "Open error";
  e.fileName = "/d/maeart.dbf";
  EXPECT_EQ(e.messageLine(), "Error DBFCDX/1001  Open error: /d/maeart.dbf");
  e.osCode = 32;
  EXPECT_EQ(e.messageLine(), "(DOS Error 32) DBFCDX/1001  Open error: /d/maeart.dbf");
  ErrorEvent w;
  w.severity = Severity::Warning;
  w.operation = "Say";
  EXPECT_EQ(w.messageLine(), "Warning ???/???: Say");
}

TEST(ErrorEvent, RetryOnlyWhenAllowed) {
  int calls = 0;
  auto old = setErrorHandler([&](const ErrorEvent&) { ++calls; return true; });
  ErrorEvent e;
  e.canRetry = false;
  EXPECT_FALSE(raiseError(e));
  e.canRetry = true;
  EXPECT_TRUE(raiseError(e));
  EXPECT_EQ(calls, 2);
  {
    ErrorRecorder rec;
    EXPECT_FALSE(raiseError(e));
    EXPECT_EQ(rec.events().size(), 1u);
  }
  EXPECT_TRUE(raiseError(e));  // the recorder gave the handler back
  setErrorHandler(old);
}

}  // namespace
}  // namespace zol
