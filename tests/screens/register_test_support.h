#pragma once
// Helpers for driving the two movement registers: which register a case
// runs, the dialogs a step must not open, and the modeless search dialogs.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "screens/ZOL1100.h"
#include "screens/ZOL1200.h"
#include "tests/screens/screen_test_support.h"

namespace zol::test {

// One register as the tests see it.
struct RegisterCase {
  const char* name;
  void (*open)();
  int area;
  const char* brw;
  const char* add;
  const char* change;
  const char* table;
  double sign;        // what a movement of 1 does to the stock
  const char* title;  // title text before the article's name
  const char* emptyTitle;
};

inline const RegisterCase kEntries{"Entries", ZOL1100, Area::Entries, "ZOL1100BRW", "ZOL1100ALT", "ZOL1100MOD",
                                   Tables::Entries, +1, "INGRESOS ARTICULOS:     ",
                                   "INGRESOS ARTICULOS:        Stock = 0.00"};
inline const RegisterCase kExits{"Exits", ZOL1200, Area::Exits, "ZOL1200BRW", "ZOL1200ALT", "ZOL1200MOD",
                                 Tables::Exits, -1, "SALIDAS ARTICULOS:     ",
                                 "SALIDAS ARTICULOS:        Stock = 0.00"};

inline void PrintTo(const RegisterCase& c, std::ostream* os) { *os << c.name; }
inline std::string caseName(const ::testing::TestParamInfo<RegisterCase>& info) { return info.param.name; }

// While it lives, any message box or dialog outside `allowed` that shows up
// is a failure, and is closed so the test goes on instead of hanging.
class Unexpected {
 public:
  explicit Unexpected(std::set<std::string> allowed = {}) : timer_(new QTimer) {
    timer_->setInterval(10);
    QObject::connect(timer_.get(), &QTimer::timeout, [allowed = std::move(allowed)] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
          ADD_FAILURE() << "unexpected message: " << box->windowTitle().toStdString() << " / "
                        << box->text().toStdString();
          box->done(QMessageBox::Ok);
        } else if (auto* d = dynamic_cast<TDialog*>(w); d && !d->isClosing() && !allowed.count(d->templateName())) {
          ADD_FAILURE() << "unexpected dialog " << d->templateName();
          d->reject();
        }
      }
    });
    timer_->start();
  }

 private:
  std::unique_ptr<QTimer> timer_;
};

// A dialog on screen now (the modeless search dialogs), made active; or null.
inline TDialog* visibleDialog(const std::string& templateName) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = dynamic_cast<TDialog*>(w); d && w->isVisible() && !d->isClosing() && d->templateName() == templateName) {
      makeActive(d);
      return d;
    }
  return nullptr;
}

// The current movement of the register's area: its article code and date.
inline int currentArticle(int area) {
  WorkArea& m = workAreas().area(area);
  return m.eof() ? 0 : static_cast<int>(m.get("articulo").number());
}

}  // namespace zol::test
