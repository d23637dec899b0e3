#pragma once
// The program's frame window: menu, button bar, message bar and the client
// area painted with the gradient. Every screen runs modally on top of it.
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

namespace zol {

// The client area between the button bar and the message bar.
class GradientArea : public QWidget {
 public:
  explicit GradientArea(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

// Message bar: a centred text (the entry or button under the mouse, or the
// default text) and at its right end the keyboard state, the date and a clock.
class MessageBar : public QStatusBar {
 public:
  MessageBar(const QString& defaultText, QWidget* parent = nullptr);
  // Shows `text`, or the default text when it is empty.
  void showText(const QString& text);
  QString text() const { return message_->text(); }
  const QString& defaultText() const { return default_; }
  QString keyboardText() const { return keys_->text(); }
  QString dateText() const { return date_->text(); }
  QString clockText() const { return clock_->text(); }
  void tick();  // refreshes the indicators

 private:
  QString default_;
  QLabel* message_;
  QLabel* keys_;
  QLabel* date_;
  QLabel* clock_;
  QTimer timer_;
};

class MainWindow : public QMainWindow {
 public:
  static QString title();
  // "Zolmar -  Tirsano Sistemas    [" + data path trimmed + " ]".
  static QString defaultMessage();

  // Builds the window; the fonts are created here, and all work areas closed
  // before the menu is built.
  explicit MainWindow(QWidget* parent = nullptr);

  MessageBar* messageBar() const { return bar_; }
  GradientArea* clientArea() const { return client_; }

  // The exit command: asks "Salida del Programa" with `title`; on Yes closes
  // the window, which ends the event loop.
  void exitCommand(const QString& title);

 protected:
  bool event(QEvent* e) override;

 private:
  void buildMenu();
  void buildButtonBar();

  MessageBar* bar_ = nullptr;
  GradientArea* client_ = nullptr;
};

// The helper programs of the button bar; failures to start are silent.
void startCalculator();
void startNotepad();
// The help: zol0000.chm in the current folder when present, otherwise the
// guide zol0000.html beside the program.
void openHelp();

}  // namespace zol
