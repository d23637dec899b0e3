#include "ui/get.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTimer>

#include "core/codepage.h"
#include "ui/dialog.h"

namespace zol {

namespace {
bool& confirmSlot() {
  static bool on = true;
  return on;
}

QString fromCp1252(const std::string& bytes) { return QString::fromStdString(cp1252ToUtf8(bytes)); }

EditKind kindOf(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Number: return EditKind::Number;
    case ValueKind::Date: return EditKind::Date;
    default: return EditKind::Text;
  }
}
}  // namespace

void setConfirm(bool on) { confirmSlot() = on; }
bool confirm() { return confirmSlot(); }

TGet::TGet(TDialog& dialog, int id, QLineEdit* edit, Binding binding, std::string_view picture)
    : TControlT(dialog, id, edit), binding_(std::move(binding)), picture_(Picture::parse(picture)) {
  const Value v = binding_.get ? binding_.get() : Value();
  kind_ = kindOf(v);
  length_ = static_cast<int>(v.text().size());
  edit->installEventFilter(this);
  edit->setContextMenuPolicy(Qt::NoContextMenu);  // no paste behind the picture's back
  edit->setAcceptDrops(false);
  edit->setMaxLength(32767);
  if (kind_ == EditKind::Number) edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QObject::connect(edit, &QLineEdit::cursorPositionChanged, this, [this](int, int pos) {
    if (syncing_ || !buffer_) return;
    buffer_->clickAt(pos);  // a click lands on the nearest editable position
    showBuffer();
  });
  refresh();
}

QLineEdit* TGet::edit() const { return static_cast<QLineEdit*>(widget()); }

TGet& TGet::valid(std::function<bool()> rule) {
  valid_ = std::move(rule);
  return *this;
}

TGet& TGet::onChange(std::function<void(int)> callback) {
  onChange_ = std::move(callback);
  return *this;
}

TGet& TGet::readOnly(bool on) {
  if (QLineEdit* e = edit()) {
    e->setReadOnly(on);
    // A field that cannot change is skipped by Tab and Enter.
    e->setFocusPolicy(on ? Qt::NoFocus : Qt::StrongFocus);
  }
  return *this;
}

TGet& TGet::picture(std::string_view picture) {
  picture_ = Picture::parse(picture);
  refresh();
  return *this;
}

TGet& TGet::spinner(std::function<void()> up, std::function<void()> down, std::function<double()> min,
                    std::function<double()> max) {
  up_ = std::move(up);
  down_ = std::move(down);
  min_ = std::move(min);
  max_ = std::move(max);
  QLineEdit* e = edit();
  if (e && !spinUpButton_) {
    auto make = [&](Qt::ArrowType arrow) {
      auto* b = new QToolButton(e);
      b->setArrowType(arrow);
      b->setFocusPolicy(Qt::NoFocus);
      b->setAutoRepeat(true);
      b->setCursor(Qt::ArrowCursor);
      b->setProperty("zolSpin", true);
      return b;
    };
    spinUpButton_ = make(Qt::UpArrow);
    spinDownButton_ = make(Qt::DownArrow);
    QObject::connect(spinUpButton_, &QToolButton::clicked, this, [this] { spin(true); });
    QObject::connect(spinDownButton_, &QToolButton::clicked, this, [this] { spin(false); });
    placeSpinButtons();
  }
  return *this;
}

void TGet::placeSpinButtons() {
  QLineEdit* e = edit();
  if (!e || !spinUpButton_) return;
  const int w = 14;
  const int h = e->height() / 2;
  e->setTextMargins(0, 0, w, 0);
  spinUpButton_->setGeometry(e->width() - w - 1, 1, w, h - 1);
  spinDownButton_->setGeometry(e->width() - w - 1, h, w, e->height() - h - 1);
}

void TGet::refresh() {
  if (buffer_) {
    beginEdit();
    return;
  }
  const Value v = binding_.get ? binding_.get() : Value();
  show(EditBuffer::display(picture_, kind_, v, length_), 0);
}

std::string TGet::buffer() const {
  if (buffer_) return buffer_->text();
  return EditBuffer::display(picture_, kind_, value(), length_);
}

int TGet::cursorPos() const { return buffer_ ? buffer_->cursor() : 0; }

Value TGet::value() const { return binding_.get ? binding_.get() : Value(); }

void TGet::show(const std::string& cp1252Text, int cursor) {
  QLineEdit* e = edit();
  if (!e) return;
  syncing_ = true;
  const QString text = fromCp1252(cp1252Text);
  if (e->text() != text) e->setText(text);
  e->setCursorPosition(cursor);
  syncing_ = false;
}

void TGet::showBuffer() {
  if (buffer_) show(buffer_->text(), buffer_->cursor());
}

void TGet::beginEdit() {
  buffer_.emplace(picture_, kind_, value(), length_);
  showBuffer();
}

void TGet::endEdit() {
  buffer_.reset();
  refresh();
}

void TGet::changed(int key) {
  showBuffer();
  if (onChange_) onChange_(key);
}

void TGet::typeText(const QString& text) {
  if (!buffer_) beginEdit();
  for (QChar ch : text) {
    const std::string bytes = utf8ToCp1252(QString(ch).toStdString());
    // Characters the code page lacks come back as '?': refused like any other.
    if (bytes.size() != 1 || (bytes[0] == '?' && ch != QLatin1Char('?'))) continue;
    const unsigned char c = static_cast<unsigned char>(bytes[0]);
    if (!buffer_->type(c)) continue;
    changed(c);
    if (!buffer_) return;  // the callback may have closed the dialog
    if (buffer_->atEnd() && !confirm()) {
      if (tryLeave(false)) dialog().focusNextControl(true);
      return;
    }
  }
}

bool TGet::handleKey(QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
  switch (e->key()) {
    case Qt::Key_Escape: return false;  // the dialog cancels
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      const bool back = e->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
      if (tryLeave(false)) dialog().focusNextControl(!back);
      return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (up_ || down_) {
        spin(e->key() == Qt::Key_Up);
      } else if (tryLeave(false)) {
        dialog().focusNextControl(e->key() == Qt::Key_Down);
      }
      return true;
    default: break;
  }
  if (!buffer_) beginEdit();
  if (mods & Qt::AltModifier) return false;  // mnemonics of the dialog
  if (e->matches(QKeySequence::Copy)) return false;
  if (e->matches(QKeySequence::Paste)) {
    typeText(QApplication::clipboard()->text().section('\n', 0, 0));
    return true;
  }
  switch (e->key()) {
    case Qt::Key_Left: buffer_->move(EditBuffer::Move::Left); showBuffer(); return true;
    case Qt::Key_Right: buffer_->move(EditBuffer::Move::Right); showBuffer(); return true;
    case Qt::Key_Home: buffer_->move(EditBuffer::Move::Home); showBuffer(); return true;
    case Qt::Key_End: buffer_->move(EditBuffer::Move::End); showBuffer(); return true;
    case Qt::Key_Backspace:
      if (buffer_->backspace()) changed(GetKey::Backspace);
      showBuffer();
      return true;
    case Qt::Key_Delete:
      if (buffer_->del()) changed(GetKey::Delete);
      showBuffer();
      return true;
    default: break;
  }
  if (mods & (Qt::ControlModifier | Qt::MetaModifier)) return true;  // no line-edit shortcuts
  if (!e->text().isEmpty() && e->text().at(0).isPrint()) typeText(e->text());
  return true;  // everything else is refused silently
}

bool TGet::eventFilter(QObject* watched, QEvent* event) {
  if (watched != widget()) return false;
  switch (event->type()) {
    case QEvent::FocusIn:
      // A message box of VALID hands the focus back mid-leave: not a new edit.
      if (!edit()->isReadOnly() && !leaving_) {
        beginEdit();
        dialog().setActiveGet(this);
        // The line edit selects all on Tab, which would put the cursor after
        // the last position: let it take the focus, then show our cursor.
        syncing_ = true;
        static_cast<QObject*>(edit())->event(event);
        syncing_ = false;
        showBuffer();
        return true;
      }
      break;
    case QEvent::FocusOut: {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // Another window or a popup took the focus: the field stays in edit.
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      if (buffer_ && !leaving_ && dialog().isVisible()) {
        // Focus moved some way the dialog did not see first (a mnemonic):
        // the same checks apply, and a failure brings the focus back.
        QWidget* to = QApplication::focusWidget();
        const bool toCancel = to && to->property("zolCancel").toBool();
        if (!tryLeave(toCancel)) {
          if (reason == Qt::MouseFocusReason) dialog().swallowNextPress();
          QPointer<QLineEdit> e = edit();
          QTimer::singleShot(0, this, [e] {
            if (e) e->setFocus(Qt::OtherFocusReason);
          });
        }
      }
      break;
    }
    case QEvent::KeyPress: return handleKey(static_cast<QKeyEvent*>(event));
    case QEvent::InputMethod: return true;
    case QEvent::Resize: placeSpinButtons(); break;
    default: break;
  }
  return false;
}

bool TGet::tryLeave(bool toCancelButton) {
  if (!buffer_) return true;
  if (leaving_) return false;
  bool ok = true;
  const Value v = buffer_->value(&ok);
  if (toCancelButton) {
    if (ok && buffer_->changed() && binding_.set) binding_.set(v);
    endEdit();
    dialog().setActiveGet(nullptr);
    return true;
  }
  if (!ok) {
    QApplication::beep();
    return false;
  }
  leaving_ = true;
  if (binding_.set) binding_.set(v);
  endEdit();
  const bool good = valid_ ? valid_() : true;
  leaving_ = false;
  if (!good) {
    if (dialog().isClosing()) return true;
    beginEdit();
    if (QLineEdit* e = edit()) e->setFocus(Qt::OtherFocusReason);
    return false;
  }
  dialog().setActiveGet(nullptr);
  dialog().evalWhen();
  return true;
}

void TGet::spin(bool up) {
  if (buffer_) {
    bool ok = true;
    const Value v = buffer_->value(&ok);
    if (ok && buffer_->changed() && binding_.set) binding_.set(v);
  }
  if (up && up_) up_();
  if (!up && down_) down_();
  double now = value().number();
  if (min_ && now < min_()) now = min_();
  if (max_ && now > max_()) now = max_();
  if (now != value().number() && binding_.set) binding_.set(Value(now));
  if (buffer_)
    beginEdit();
  else
    refresh();
  if (valid_) valid_();
}

void TGet::spinUp() { spin(true); }
void TGet::spinDown() { spin(false); }

}  // namespace zol
