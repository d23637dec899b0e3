#pragma once
// Helpers to drive real dialogs the way a user does, from inside their event
// loop.
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zol::test {

// Runs `step` once the dialog's own loop is running and the dialog has the
// focus (a modal run blocks the test until the dialog closes).
inline void whenShown(QWidget* dialog, std::function<void()> step) {
  QTimer::singleShot(0, dialog, [dialog, step = std::move(step)] {
    dialog->activateWindow();
    (void)QTest::qWaitForWindowActive(dialog, 2000);
    step();
  });
}

// Answers the next modal box that opens (message box, meter) with `answer`,
// which gets the box. Polls, since the box opens inside code under test.
inline void answerNextModal(std::function<void(QWidget*)> answer, QWidget* except = nullptr) {
  auto* timer = new QTimer(qApp);  // owned by the application, never left behind
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer), except] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == except || !w->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    answer(w);
  });
  timer->start();
}

// Types text the way a keyboard does, accented letters included (QTest's
// keyClicks only knows ASCII).
inline void typeText(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    if (ch.unicode() < 128)
      QTest::keyClick(w, ch.toLatin1());
    else
      QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

inline QString messageText(QWidget* box) {
  auto* mb = qobject_cast<QMessageBox*>(box);
  return mb ? mb->text() : QString();
}

}  // namespace zol::test
