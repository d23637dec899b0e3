#include "ui/msg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "core/codepage.h"
#include "core/numtext.h"
#include "ui/colour_qt.h"
#include "ui/dialog.h"

namespace zol {

MsgArg::MsgArg(double n) : text_(QString::fromStdString(plainDecimal(n, 0))) {}

MsgArg::MsgArg(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Nil: text_ = "nil"; break;
    case ValueKind::Text: text_ = QString::fromStdString(cp1252ToUtf8(v.text())); break;
    case ValueKind::Number: text_ = QString::fromStdString(plainDecimal(v.number(), 0)); break;
    case ValueKind::Date: text_ = QString::fromStdString(v.date().toText()); break;
    case ValueKind::Logical: text_ = v.logical() ? ".T." : ".F."; break;
  }
}

namespace detail {

bool messageBox(MsgKind kind, const std::vector<MsgArg>& args) {
  QString title;
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (kind) {
    case MsgKind::Info: title = "Information"; break;
    case MsgKind::Alert: title = "Alert"; icon = QMessageBox::Warning; break;
    case MsgKind::Stop: title = "Stop"; icon = QMessageBox::Critical; break;
    case MsgKind::YesNo:
    case MsgKind::NoYes: title = "Select an option"; icon = QMessageBox::Question; break;
  }
  if (args.size() == 2) title = args[1].text();
  const QString text = args.empty() ? QString() : args[0].text();
  CursorArrow();
  QMessageBox box(icon, title, text, QMessageBox::NoButton, QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  if (kind == MsgKind::YesNo || kind == MsgKind::NoYes) {
    // Spanish captions whatever the desktop's language: the question is Spanish.
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    yes->setText("&Sí");
    QPushButton* no = box.addButton(QMessageBox::No);
    no->setText("&No");
    box.setDefaultButton(kind == MsgKind::YesNo ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
  }
  box.addButton(QMessageBox::Ok)->setText("&Aceptar");
  box.exec();
  return true;
}

}  // namespace detail

void MsgBeep() { QApplication::beep(); }

Value MsgRun(const QString& text, const QString& title, std::function<Value(TDialog&)> action) {
  TDialog dlg{TDialog::Blank{}};
  const QFontMetrics fm(dlg.font());
  const int col = fm.averageCharWidth();
  const int row = fm.height();
  if (title.isEmpty()) {
    dlg.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dlg.setFixedSize(col * (static_cast<int>(text.size()) + 4), row * 3);
    auto* frame = new QFrame(&dlg);
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry(dlg.rect());
  } else {
    dlg.setWindowTitle(title);
    dlg.setFixedSize(col * (static_cast<int>(std::max(text.size(), title.size())) + 4), row * 4);
  }
  auto* label = new QLabel(text, &dlg);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(dlg.rect());
  Value result;
  dlg.onInit([&] {
    if (action) {
      result = action(dlg);
    } else {
      QEventLoop loop;
      QTimer::singleShot(1000, &loop, &QEventLoop::quit);
      loop.exec();
    }
    dlg.end();
  });
  dlg.activate();
  SysRefresh();
  return result;
}

bool MsgMeter(MeterAction action, const QString& text, const QString& title) {
  TDialog dlg{TDialog::Blank{}};
  dlg.setWindowTitle(title);
  // The system face, small: a readable 8 points rather than 8 pixels.
  QFont f = QApplication::font();
  f.setPointSize(8);
  dlg.setFont(f);
  auto* layout = new QVBoxLayout(&dlg);
  auto* label = new QLabel(text, &dlg);
  label->setProperty("id", 1);
  label->setMinimumWidth(QFontMetrics(f).averageCharWidth() * 40);
  auto* bar = new QProgressBar(&dlg);
  bar->setProperty("id", 2);
  auto* cancelButton = new QPushButton("&Cancel", &dlg);
  cancelButton->setProperty("id", 3);
  layout->addWidget(label);
  layout->addWidget(bar);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancelButton);
  row->addStretch();
  layout->addLayout(row);

  bool end = false;
  bool cancelled = false;
  bool running = true;
  TMeter& meter = dlg.meter(2, 10);
  TSay& say = dlg.say(1, [text] { return text; });
  TButton& cancel = dlg.button(3, [&] {
    end = true;
    cancelled = true;
  });
  dlg.canClose([&] { return !running || end; });
  dlg.onInit([&] {
    if (action) action(meter, say, dlg, end, cancel);
    running = false;
    dlg.end();
  });
  dlg.activate();
  return cancelled;
}

// ---- wait window -------------------------------------------------------------

WaitWindow::WaitWindow(const QString& text, Colour colour, const TFont& font) {
  dialog_ = new TDialog(TDialog::Blank{});
  dialog_->setWindowTitle("Aguarde Un Momento...");
  dialog_->setFont(font.font());
  QPalette pal = dialog_->palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, toQColor(colour));
  dialog_->setPalette(pal);
  dialog_->setAutoFillBackground(true);
  const QFontMetrics fm(font.font());
  dialog_->setFixedSize(fm.averageCharWidth() * 34, fm.height() * 2);
  auto* label = new QLabel(text, dialog_);
  label->setObjectName("waitText");
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(dialog_->rect());
  dialog_->showModeless(true);
  dialog_->repaint();
}

WaitWindow::~WaitWindow() { close(); }

TDialog* WaitWindow::dialog() const { return dialog_; }

void WaitWindow::close() {
  if (dialog_) dialog_->end();  // deletes itself, as every modeless dialog
  dialog_ = nullptr;
  CursorArrow();
}

// ---- cursor and events -----------------------------------------------------

namespace {
bool& waitSlot() {
  static bool on = false;
  return on;
}
}  // namespace

void CursorWait() {
  if (waitSlot()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  waitSlot() = true;
}

void CursorArrow() {
  if (!waitSlot()) return;
  QApplication::restoreOverrideCursor();
  waitSlot() = false;
}

bool isCursorWait() { return waitSlot(); }

void SysRefresh() { QCoreApplication::processEvents(); }

}  // namespace zol
