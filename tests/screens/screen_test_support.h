#pragma once
// Driving the screens the way a user does: a data folder of their own, the
// next dialog of a template answered from inside its modal loop, image
// buttons pressed, fields typed into, and the tables read back afterwards.
//
//   onDialog("ZOL0410BRW", [&](TDialog& list) {
//     onDialog("ZOL0410ALT", [&](TDialog& add) { type(add, 102, "TORNILLO"); press(add, 104); });
//     press(list, 182);  // returns once the add dialog has closed
//     press(list, 187);
//   });
//   ZOL0410();
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browse/wbrowse.h"
#include "core/codepage.h"
#include "shell/globals.h"
#include "shell/shell_test_support.h"
#include "store/data_tables.h"
#include "store/work_area.h"
#include "ui/dialog.h"
#include "ui/resources.h"

namespace zol::test {

// Waits until `w` is the application's active window. A dialog opened over
// another can count as active for its window while keys and focus still go
// to the one below; typing then would land in the wrong dialog.
inline void makeActive(QWidget* w) {
  w->activateWindow();
  if (!QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 2000)) {
    QApplication::setActiveWindow(w);
    (void)QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 1000);
  }
  EXPECT_EQ(QApplication::activeWindow(), w) << w->windowTitle().toStdString() << " never became active";
}

// Waits for the next visible window that `match` accepts and hands it over,
// made active as a user's click would. Gives up (a test failure) after ten
// seconds, so a window that never came is not answered in a later step.
inline void onWindow(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> answer,
                     const std::string& what) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, ticks, match = std::move(match), answer = std::move(answer), what] {
    if (++*ticks > 2000) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << what << " never opened";
      return;
    }
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && match(w)) found = w;
    if (!found) return;
    timer->stop();
    timer->deleteLater();
    makeActive(found);
    answer(found);
  });
  timer->start();
}

// The next dialog built from `templateName` (modal or modeless).
inline void onDialog(const std::string& templateName, std::function<void(TDialog&)> answer) {
  onWindow(
      [templateName](QWidget* w) {
        auto* d = dynamic_cast<TDialog*>(w);
        return d && d->templateName() == templateName && !d->isClosing();
      },
      [answer = std::move(answer)](QWidget* w) { answer(*dynamic_cast<TDialog*>(w)); },
      "dialog " + templateName);
}

// The next message box; the answer gets its text and title and presses a button.
inline void onMessage(std::function<void(QMessageBox&)> answer) {
  onWindow([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
           [answer = std::move(answer)](QWidget* w) { answer(*qobject_cast<QMessageBox*>(w)); }, "message box");
}

// Records the next message box's title and text and closes it with `button`.
struct SeenMessage {
  QString title, text;
  bool seen = false;
};
inline std::shared_ptr<SeenMessage> expectMessage(QMessageBox::StandardButton button = QMessageBox::Ok) {
  auto seen = std::make_shared<SeenMessage>();
  onMessage([seen, button](QMessageBox& box) {
    seen->title = box.windowTitle();
    seen->text = box.text();
    seen->seen = true;
    QAbstractButton* b = box.button(button);
    if (!b) b = box.buttons().value(0);
    QTest::mouseClick(b, Qt::LeftButton);
  });
  return seen;
}

// A click on the control `id` (image button, bitmap, radio button).
inline void press(TDialog& d, int id) {
  QWidget* w = d.findItem(id);
  ASSERT_NE(w, nullptr) << d.templateName() << " has no control " << id;
  // A radio button takes clicks on its mark and caption, not on the empty
  // part of a wide control.
  const bool mark = qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w);
  QTest::mouseClick(w, Qt::LeftButton, {}, mark ? QPoint(6, w->height() / 2) : w->rect().center());
}

inline QLineEdit* field(TDialog& d, int id) {
  auto* e = qobject_cast<QLineEdit*>(d.findItem(id));
  EXPECT_NE(e, nullptr) << d.templateName() << " has no entry field " << id;
  return e;
}

// Types text the way a keyboard does, accented letters included (QTest's
// keyClicks only knows ASCII).
inline void typeKeys(QWidget* w, const QString& keys) {
  for (QChar ch : keys) {
    if (ch.unicode() < 128)
      QTest::keyClick(w, ch.toLatin1());
    else
      QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

// Puts the focus in field `id`, types `keys` (a number field clears on the
// first digit, a text field is overwritten from its first position) and
// leaves the field with Tab, as a user moving on does: the value is taken
// and the field's VALID runs (a refusal keeps the focus there).
inline void type(TDialog& d, int id, const QString& keys) {
  QLineEdit* e = field(d, id);
  if (!e) return;
  e->setFocus();
  QTest::keyClick(e, Qt::Key_Home);
  typeKeys(e, keys);
  QTest::keyClick(e, Qt::Key_Tab);
}

// Tab in the dialog's field with the focus.
inline void tab(TDialog& d) {
  QWidget* w = d.focusWidget();
  QTest::keyClick(w ? w : static_cast<QWidget*>(&d), Qt::Key_Tab);
}

inline QString shown(TDialog& d, int id) {
  QLineEdit* e = field(d, id);
  return e ? e->text() : QString();
}

inline TWBrowse* gridOf(TDialog& d, int id = 181) { return qobject_cast<TWBrowse*>(d.findItem(id)); }

// A data folder with the four tables and their index files; WPATH points at it.
class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    makeDataFolder(dir_.path());
    WPATH = dir_.path();
  }
  void TearDown() override { workAreas().closeAll(); }

  // Adds records to a table of the folder (closed again afterwards) and
  // rebuilds its index file.
  void addArticle(int code, const std::string& name, double stock, double cost = 0, double sale = 0) {
    workAreas().closeAll();
    WorkAreas wa;
    ASSERT_TRUE(wa.use(WPATH + Tables::Articles));
    WorkArea& a = wa.cur();
    a.appendBlank();
    a.put("articulo", Value(code));
    a.put("nombre", Value(name));
    a.put("stock", Value(stock));
    a.put("precio", Value(cost));
    a.put("preciov", Value(sale));
    wa.closeAll();
  }
  void addMovement(const char* table, Date date, int code, double quantity, double price = 0,
                   const std::string& detail = "") {
    workAreas().closeAll();
    WorkAreas wa;
    ASSERT_TRUE(wa.use(WPATH + table));
    WorkArea& m = wa.cur();
    m.appendBlank();
    m.put("fecha", Value(date));
    m.put("articulo", Value(code));
    m.put("cantidad", Value(quantity));
    m.put("pre_uni", Value(price));
    m.put("importe", Value(quantity * price));
    m.put("texto", Value(detail));
    wa.closeAll();
  }

  // Every live record of a table as field values, in record order. Closes
  // the program's tables first: screens leave theirs open, exclusively.
  using Row = std::vector<Value>;
  std::vector<Row> rows(const char* table) {
    workAreas().closeAll();
    WorkAreas wa;
    std::vector<Row> out;
    EXPECT_TRUE(wa.use(WPATH + table));
    WorkArea& t = wa.cur();
    for (t.goTop(); !t.eof(); t.skip()) {
      Row r;
      for (int i = 1; i <= t.fieldCount(); ++i) r.push_back(t.get(i));
      out.push_back(r);
    }
    wa.closeAll();
    return out;
  }
  // The article with `code`: its field `name`, or Nil when there is none.
  Value article(int code, const char* name) {
    workAreas().closeAll();
    WorkAreas wa;
    EXPECT_TRUE(wa.use(WPATH + Tables::Articles));
    WorkArea& a = wa.cur();
    Value v;
    for (a.goTop(); !a.eof(); a.skip())
      if (static_cast<int>(a.get("articulo").number()) == code) v = a.get(name);
    wa.closeAll();
    return v;
  }

  TempDir dir_;
};

}  // namespace zol::test
