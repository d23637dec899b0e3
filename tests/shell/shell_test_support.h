#pragma once
// Helpers for the shell tests: data folders with tables, and driving modal
// boxes the way a user does.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "store/ZOL2000.h"
#include "store/data_tables.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol::test {

// Records meter runs instead of showing them; tasks run to their end.
class RecordingRunner : public TaskRunner {
 public:
  struct Meter : TaskProgress {
    void setTotal(uint32_t) override {}
    void setPosition(uint32_t) override {}
    bool cancelled() const override { return false; }
  };
  std::vector<std::string> texts;
  std::function<void()> onFirstRun;
  void run(const std::string& text, const std::string&, const std::function<void(TaskProgress&)>& task) override {
    if (texts.empty() && onFirstRun) onFirstRun();
    texts.push_back(text);
    Meter m;
    task(m);
  }
};

// The three data tables and a settings table with one record.
inline void makeDataFolder(const std::string& dir, const std::string& indexa = "N", Date fecindex = Date(),
                           const std::string& filesxls = "", bool withIndexes = true) {
  WorkAreas wa;
  ASSERT_TRUE(ZOL_ARC(wa, dir));
  wa.closeAll();
  ASSERT_TRUE(wa.create(dir + "numeros", settingsStructure()));
  wa.closeAll();
  ASSERT_TRUE(wa.use(dir + "numeros"));
  wa.cur().appendBlank();
  wa.cur().put("indexa", Value(indexa));
  wa.cur().put("fecindex", Value(fecindex));
  wa.cur().put("filesxls", Value(filesxls));
  wa.closeAll();
  if (withIndexes) {
    RecordingRunner r;
    ZOL2000(wa, dir, r);
  }
}

// Polls for the next modal widget other than `except` and hands it over.
inline void onNextModal(std::function<void(QWidget*)> answer, QWidget* except = nullptr) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  // Gives up after a while, so a box that never came cannot be answered in a
  // later test.
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, ticks, answer = std::move(answer), except] {
    if (++*ticks > 2000) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "the expected modal box never opened";
      return;
    }
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == except || !w->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    // A test run on its own has no active window yet: make the box active as
    // a user's click would, or its fields never get the focus.
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w, 1000)) QApplication::setActiveWindow(w);
    answer(w);
  });
  timer->start();
}

inline QPushButton* buttonWithText(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QPushButton*>())
    if (b->text() == text && b->isVisible()) return b;
  return nullptr;
}

inline QString messageText(QWidget* box) {
  auto* mb = qobject_cast<QMessageBox*>(box);
  return mb ? mb->text() : QString();
}

inline void clickButton(QWidget* box, QMessageBox::StandardButton which) {
  auto* mb = qobject_cast<QMessageBox*>(box);
  ASSERT_NE(mb, nullptr);
  QTest::mouseClick(mb->button(which), Qt::LeftButton);
}

}  // namespace zol::test
