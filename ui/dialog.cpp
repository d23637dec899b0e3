#include "ui/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWindow>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <type_traits>

#include "ui/colour_qt.h"
#include "ui/msg.h"
#include "ui/resources.h"
#include "ui/template_loader.h"

namespace zol {

TDialog::TDialog(std::string_view templateName, const TFont* font, QWidget* owner)
    : QDialog(owner ? owner : QApplication::activeWindow()), name_(templateName) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  if (font) setFont(font->font());
  const QByteArray xml = Resources::templateXml(templateName);
  loaded_ = !xml.isEmpty() && loadTemplateInto(this, xml);
  if (!loaded_) {
    raiseMissingTemplate(templateName);
    setWindowTitle(QString::fromUtf8(templateName.data(), templateName.size()));
  }
  templatePos_ = pos();
  if (font) setFont(font->font());  // the template may have set its own
  // Pictures named in the template come from the current module, so a
  // dialog looks whole before the screen binds anything.
  for (QWidget* w : findChildren<QWidget*>()) {
    const QString name = w->property("bitmap").toString();
    if (name.isEmpty()) continue;
    const QPixmap pm = Resources::bitmap(name.toStdString());
    if (auto* b = qobject_cast<QAbstractButton*>(w))
      b->setIcon(QIcon(pm));
    else if (auto* l = qobject_cast<QLabel*>(w))
      l->setPixmap(pm);
  }
}

TDialog::TDialog(Blank, QWidget* owner)
    : QDialog(owner ? owner : QApplication::activeWindow()), name_("(blank)"), loaded_(true) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

TDialog::~TDialog() { qApp->removeEventFilter(this); }

TDialog& TDialog::colors(Colour text, Colour back) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, toQColor(text));
  pal.setColor(QPalette::Window, toQColor(back));
  setPalette(pal);
  setAutoFillBackground(true);
  return *this;
}

TDialog& TDialog::helpButton(bool on) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, on);
  return *this;
}

TDialog& TDialog::title(const QString& text) {
  setWindowTitle(text);
  return *this;
}

TDialog& TDialog::onInit(std::function<void()> init) {
  init_ = std::move(init);
  return *this;
}

TDialog& TDialog::canClose(std::function<bool()> rule) {
  canClose_ = std::move(rule);
  return *this;
}

// ---- controls ----------------------------------------------------------------

QWidget* TDialog::findItem(int id) const {
  for (QWidget* w : findChildren<QWidget*>()) {
    const QVariant v = w->property("id");
    if (v.isValid() && v.toInt() == id) return w;
  }
  return nullptr;
}

QWidget* TDialog::item(int id) {
  if (QWidget* w = findItem(id)) return w;
  raiseMissingId(name_, id);
  auto* standIn = new QWidget(this);
  standIn->hide();
  return standIn;
}

template <class W>
W* TDialog::itemAs(int id, const char* kind) {
  QWidget* w = findItem(id);
  if (!w) {
    raiseMissingId(name_, id);
  } else if (auto* typed = qobject_cast<W*>(w)) {
    return typed;
  } else {
    raiseWrongControl(name_, id, kind, w->property("uiClass").toString());
  }
  // A hidden stand-in keeps the screen going after a Default answer.
  W* standIn = nullptr;
  if constexpr (std::is_abstract_v<W>)
    standIn = new QToolButton(this);
  else
    standIn = new W(this);
  standIn->setProperty("id", id);
  standIn->hide();
  return standIn;
}

template <class C>
C& TDialog::add(C* control) {
  auto it = controls_.find(control->id());
  if (it != controls_.end() && it->second != control) delete it->second;
  controls_[control->id()] = control;
  return *control;
}

TControl* TDialog::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

TGet& TDialog::get(int id, Binding binding, std::string_view picture) {
  return add(new TGet(*this, id, itemAs<QLineEdit>(id, "QLineEdit"), std::move(binding), picture));
}

TMultiGet& TDialog::multiGet(int id, std::string& text) {
  return add(new TMultiGet(*this, id, itemAs<QPlainTextEdit>(id, "QPlainTextEdit"), text));
}

TSay& TDialog::say(int id, std::function<QString()> text) {
  return add(new TSay(*this, id, itemAs<QLabel>(id, "QLabel"), std::move(text)));
}

TButton& TDialog::button(int id, std::function<void()> action) {
  return add(new TButton(*this, id, itemAs<QAbstractButton>(id, "QPushButton"), std::move(action)));
}

TBtnBmp& TDialog::btnBmp(int id, std::string_view bitmap, std::function<void()> action) {
  return add(new TBtnBmp(*this, id, itemAs<QAbstractButton>(id, "QToolButton"), bitmap, std::move(action)));
}

TBtnBmp& TDialog::acceptButton(int id, bool& flag, const QString& tooltip, std::function<void()> before) {
  return btnBmp(id, "yes", [this, &flag, before = std::move(before)] {
           if (before) before();
           flag = true;
           end();
         })
      .tooltip(tooltip);
}

TBtnBmp& TDialog::cancelButton(int id, bool& flag, const QString& tooltip, std::function<void()> before) {
  return btnBmp(id, "no2", [this, &flag, before = std::move(before)] {
           if (before) before();
           flag = false;
           end();
         })
      .tooltip(tooltip)
      .cancel();
}

TBitmap& TDialog::bitmap(int id, std::string_view name, std::function<void()> click) {
  return add(new TBitmap(*this, id, itemAs<QLabel>(id, "QLabel"), name, std::move(click)));
}

TRadMenu& TDialog::radMenu(std::initializer_list<int> ids, int& option) {
  return radMenu(ids, bind(option));
}

TRadMenu& TDialog::radMenu(std::initializer_list<int> ids, Binding option) {
  std::vector<QRadioButton*> buttons;
  for (int id : ids) buttons.push_back(itemAs<QRadioButton>(id, "QRadioButton"));
  return add(new TRadMenu(*this, std::move(buttons), std::vector<int>(ids), std::move(option)));
}

TComboBox& TDialog::comboBox(int id, std::string& item, const QStringList& items) {
  return add(new TComboBox(*this, id, itemAs<QComboBox>(id, "QComboBox"), item, items));
}

TListBox& TDialog::listBox(int id, std::string& item, const QStringList& items) {
  return add(new TListBox(*this, id, itemAs<QListWidget>(id, "QListWidget"), item, items));
}

TMeter& TDialog::meter(int id, double total) {
  return add(new TMeter(*this, id, itemAs<QProgressBar>(id, "QProgressBar"), total));
}

QWidget* TDialog::replaceItem(int id, QWidget* w) {
  QWidget* old = item(id);
  QWidget* parent = old->parentWidget() ? old->parentWidget() : this;
  w->setParent(parent);
  w->setProperty("id", id);
  w->setGeometry(old->geometry());
  if (QLayout* l = parent->layout()) {
    // The control may sit in a nested layout: search them all.
    std::function<bool(QLayout*)> swap = [&](QLayout* lay) -> bool {
      if (QLayoutItem* gone = lay->replaceWidget(old, w, Qt::FindDirectChildrenOnly)) {
        delete gone;  // the layout hands the old item over
        return true;
      }
      for (int i = 0; i < lay->count(); ++i)
        if (QLayout* sub = lay->itemAt(i)->layout(); sub && swap(sub)) return true;
      return false;
    };
    swap(l);
  }
  QWidget::setTabOrder(old, w);
  w->setVisible(old->isVisibleTo(parent) || !old->isHidden());
  old->setProperty("id", QVariant());
  old->hide();
  old->deleteLater();
  return w;
}

// ---- running -----------------------------------------------------------------

void TDialog::place(bool centred) {
  adjustSize();
  QWidget* owner = parentWidget();
  QRect area = owner ? owner->window()->frameGeometry()
                     : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                        : QRect(0, 0, 1024, 768));
  if (centred) {
    move(area.center() - rect().center());
  } else {
    move(area.topLeft() + templatePos_);
  }
}

void TDialog::activate(bool centred) {
  CursorArrow();  // a wait cursor left by the caller does not belong over a dialog
  place(centred);
  closing_ = false;
  exec();
}

void TDialog::showModeless(bool centred) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  place(centred);
  closing_ = false;
  show();
}

void TDialog::end() {
  if (canClose_ && !canClose_()) return;
  closing_ = true;
  QDialog::done(QDialog::Accepted);
}

void TDialog::done(int r) {
  // Escape and the close box arrive here: a cancel, subject to canClose.
  if (!closing_ && canClose_ && !canClose_()) return;
  closing_ = true;
  QDialog::done(r);
}

void TDialog::closeEvent(QCloseEvent* e) {
  if (!closing_ && canClose_ && !canClose_()) {
    e->ignore();
    return;
  }
  closing_ = true;
  QDialog::closeEvent(e);
}

void TDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  qApp->installEventFilter(this);
  evalWhen();
  if (!initDone_) {
    initDone_ = true;
    if (init_) QTimer::singleShot(0, this, [this] { init_(); });
  }
}

void TDialog::hideEvent(QHideEvent* e) {
  qApp->removeEventFilter(this);
  QDialog::hideEvent(e);
}

void TDialog::refreshControls() {
  for (auto& [id, c] : controls_) c->refresh();
}

void TDialog::evalWhen() {
  for (auto& [id, c] : controls_) c->evalWhen();
}

void TDialog::focusNextControl(bool forward) { focusNextPrevChild(forward); }

bool TDialog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type t = event->type();
  if (t != QEvent::MouseButtonPress && t != QEvent::MouseButtonDblClick) return false;
  TGet* get = activeGet_;
  if (swallowNextPress_ && watched != windowHandle()) {
    // The field already refused this click while the focus was moving.
    swallowNextPress_ = false;
    return true;
  }
  if (!get || !get->editing()) return false;
  // The window hands the focus to the clicked control before the control sees
  // the click, so the click is caught where it enters the dialog's window.
  QWidget* w = nullptr;
  if (watched == windowHandle()) {
    w = childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
  } else {
    w = qobject_cast<QWidget*>(watched);
  }
  if (!w || !isAncestorOf(w)) return false;
  QWidget* edit = get->widget();
  if (edit && (w == edit || edit->isAncestorOf(w))) return false;  // inside the field itself
  if (!w->isEnabled()) return false;
  // A click elsewhere is a way of leaving the field: the same checks apply,
  // and a refused leave swallows the click.
  bool toCancel = false;
  for (QWidget* p = w; p && p != this; p = p->parentWidget())
    if (p->property("zolCancel").toBool()) toCancel = true;
  return !get->tryLeave(toCancel);
}

void TDialog::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter presses a focused button, elsewhere moves on; never a hidden default.
      if (auto* b = qobject_cast<QAbstractButton*>(focusWidget())) {
        b->click();
      } else {
        focusNextControl(!(e->modifiers() & Qt::ShiftModifier));
      }
      return;
    default: QDialog::keyPressEvent(e);
  }
}

}  // namespace zol
