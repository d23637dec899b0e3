#include "ui/controls.h"

#include <QEvent>
#include <QMouseEvent>

#include "core/codepage.h"
#include "ui/dialog.h"
#include "ui/resources.h"

namespace zol {

namespace {
QString fromCp1252(const std::string& bytes) { return QString::fromStdString(cp1252ToUtf8(bytes)); }
std::string toCp1252(const QString& text) { return utf8ToCp1252(text.toStdString()); }
}  // namespace

// ---- TMultiGet ---------------------------------------------------------------

TMultiGet::TMultiGet(TDialog& dialog, int id, QPlainTextEdit* edit, std::string& text)
    : TControlT(dialog, id, edit), text_(text) {
  edit->setTabChangesFocus(true);
  QObject::connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
    if (syncing_) return;
    QString t = edit->toPlainText();
    t.replace("\n", "\r\n");
    text_ = toCp1252(t);
  });
  refresh();
}

void TMultiGet::refresh() {
  auto* edit = static_cast<QPlainTextEdit*>(widget());
  if (!edit) return;
  QString t = fromCp1252(text_);
  t.replace("\r\n", "\n");
  t.replace('\r', '\n');
  syncing_ = true;
  if (edit->toPlainText() != t) edit->setPlainText(t);
  syncing_ = false;
}

// ---- TSay ----------------------------------------------------------------------

TSay::TSay(TDialog& dialog, int id, QLabel* label, std::function<QString()> text)
    : TControlT(dialog, id, label), text_(std::move(text)) {
  refresh();
}

TSay& TSay::setText(const QString& text) {
  text_ = [text] { return text; };
  refresh();
  return *this;
}

void TSay::refresh() {
  if (auto* l = static_cast<QLabel*>(widget()); l && text_) l->setText(text_());
}

// ---- TButton -------------------------------------------------------------------

TButton::TButton(TDialog& dialog, int id, QAbstractButton* button, std::function<void()> action)
    : TControlT(dialog, id, button), action_(std::move(action)) {
  if (auto* p = qobject_cast<QPushButton*>(button)) {
    p->setAutoDefault(false);  // Enter belongs to the field, not to a default button
    p->setDefault(false);
  }
  QObject::connect(button, &QAbstractButton::clicked, this, [this] { click(); });
}

TButton& TButton::action(std::function<void()> action) {
  action_ = std::move(action);
  return *this;
}

TButton& TButton::caption(const QString& text) {
  if (auto* b = static_cast<QAbstractButton*>(widget())) b->setText(text);
  return *this;
}

void TButton::click() {
  if (action_) action_();
}

// ---- TBtnBmp -------------------------------------------------------------------

TBtnBmp::TBtnBmp(TDialog& dialog, int id, QAbstractButton* button, std::string_view bitmapName,
                 std::function<void()> action)
    : TControlT(dialog, id, button), action_(std::move(action)) {
  if (auto* p = qobject_cast<QPushButton*>(button)) p->setAutoDefault(false);
  if (!bitmapName.empty()) bitmap(bitmapName);
  QObject::connect(button, &QAbstractButton::clicked, this, [this] { click(); });
}

TBtnBmp& TBtnBmp::bitmap(std::string_view name) {
  if (auto* b = static_cast<QAbstractButton*>(widget())) {
    const QPixmap pm = Resources::bitmap(name);
    b->setIcon(QIcon(pm));
    if (!pm.isNull() && b->iconSize().width() < pm.width()) b->setIconSize(pm.size());
  }
  return *this;
}

TBtnBmp& TBtnBmp::tooltip(const QString& text) {
  if (QWidget* w = widget()) w->setToolTip(text);
  return *this;
}

TBtnBmp& TBtnBmp::caption(const QString& text) {
  if (auto* b = static_cast<QAbstractButton*>(widget())) b->setText(text);
  if (auto* t = qobject_cast<QToolButton*>(widget());
      t && !text.isEmpty() && t->toolButtonStyle() == Qt::ToolButtonIconOnly)
    t->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  return *this;
}

TBtnBmp& TBtnBmp::captionFont(const TFont& font) {
  if (QWidget* w = widget()) w->setFont(font.font());
  return *this;
}

TBtnBmp& TBtnBmp::layout(std::string_view layout) {
  if (auto* t = qobject_cast<QToolButton*>(widget())) {
    const QString l = QString::fromUtf8(layout.data(), layout.size()).toUpper();
    t->setToolButtonStyle(l == "TOP" ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonTextBesideIcon);
  }
  return *this;
}

TBtnBmp& TBtnBmp::action(std::function<void()> action) {
  action_ = std::move(action);
  return *this;
}

void TBtnBmp::click() {
  if (action_) action_();
}

// ---- TBitmap -------------------------------------------------------------------

TBitmap::TBitmap(TDialog& dialog, int id, QLabel* label, std::string_view name, std::function<void()> click)
    : TControlT(dialog, id, label) {
  label->setAlignment(Qt::AlignCenter);
  label->installEventFilter(this);
  load(name);
  onClick(std::move(click));
}

TBitmap& TBitmap::load(std::string_view name) {
  if (auto* l = static_cast<QLabel*>(widget()); l && !name.empty()) l->setPixmap(Resources::bitmap(name));
  return *this;
}

TBitmap& TBitmap::onClick(std::function<void()> click) {
  click_ = std::move(click);
  if (QWidget* w = widget()) w->setCursor(click_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
  return *this;
}

void TBitmap::click() {
  if (click_) click_();
}

bool TBitmap::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widget() && event->type() == QEvent::MouseButtonRelease) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() == Qt::LeftButton && widget()->rect().contains(me->position().toPoint()) &&
        widget()->isEnabled()) {
      click();
      return true;
    }
  }
  return false;
}

// ---- TRadMenu ------------------------------------------------------------------

TRadMenu::TRadMenu(TDialog& dialog, std::vector<QRadioButton*> buttons, std::vector<int> ids, Binding option)
    : TControlT(dialog, ids.empty() ? 0 : ids.front(), buttons.empty() ? nullptr : buttons.front()),
      buttons_(std::move(buttons)),
      ids_(std::move(ids)),
      option_(std::move(option)) {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    QRadioButton* b = buttons_[i];
    b->setAutoExclusive(true);
    QObject::connect(b, &QRadioButton::toggled, this, [this, i](bool on) {
      if (!on) return;
      if (option_.set) option_.set(Value(static_cast<int>(i + 1)));
      if (onChange_) onChange_();
    });
  }
  refresh();
}

TRadMenu& TRadMenu::onChange(std::function<void()> callback) {
  onChange_ = std::move(callback);
  return *this;
}

void TRadMenu::setOption(int n) {
  if (option_.set) option_.set(Value(n));
  refresh();
}

int TRadMenu::option() const { return option_.get ? static_cast<int>(option_.get().number()) : 0; }

QRadioButton* TRadMenu::button(int n) const {
  return n >= 1 && n <= static_cast<int>(buttons_.size()) ? buttons_[static_cast<size_t>(n - 1)] : nullptr;
}

void TRadMenu::refresh() {
  const int n = option();
  if (QRadioButton* b = button(n)) {
    b->setChecked(true);
  } else {
    // No valid choice: none checked.
    for (QRadioButton* r : buttons_) {
      r->setAutoExclusive(false);
      r->setChecked(false);
      r->setAutoExclusive(true);
    }
  }
}

// ---- TComboBox -----------------------------------------------------------------

TComboBox::TComboBox(TDialog& dialog, int id, QComboBox* combo, std::string& item, const QStringList& items)
    : TControlT(dialog, id, combo), item_(item) {
  combo->clear();
  combo->addItems(items);
  QObject::connect(combo, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    if (syncing_) return;
    item_ = text.toStdString();
    if (onChange_) onChange_();
  });
  refresh();
}

TComboBox& TComboBox::onChange(std::function<void()> callback) {
  onChange_ = std::move(callback);
  return *this;
}

void TComboBox::set(const QString& item) {
  item_ = item.toStdString();
  refresh();
}

void TComboBox::refresh() {
  auto* combo = static_cast<QComboBox*>(widget());
  if (!combo) return;
  syncing_ = true;
  const int i = combo->findText(QString::fromStdString(item_));
  if (i >= 0) combo->setCurrentIndex(i);
  syncing_ = false;
}

// ---- TListBox ------------------------------------------------------------------

TListBox::TListBox(TDialog& dialog, int id, QListWidget* list, std::string& item, const QStringList& items)
    : TControlT(dialog, id, list), item_(item) {
  QObject::connect(list, &QListWidget::currentTextChanged, this, [this](const QString& text) {
    if (syncing_) return;
    item_ = text.toStdString();
    if (onChange_) onChange_();
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
    if (onDblClick_) onDblClick_();
  });
  setItems(items);
}

TListBox& TListBox::onChange(std::function<void()> callback) {
  onChange_ = std::move(callback);
  return *this;
}

TListBox& TListBox::onDblClick(std::function<void()> callback) {
  onDblClick_ = std::move(callback);
  return *this;
}

void TListBox::setItems(const QStringList& items) {
  auto* list = static_cast<QListWidget*>(widget());
  if (!list) return;
  syncing_ = true;
  list->clear();
  list->addItems(items);
  syncing_ = false;
  refresh();
}

void TListBox::refresh() {
  auto* list = static_cast<QListWidget*>(widget());
  if (!list) return;
  syncing_ = true;
  const auto found = list->findItems(QString::fromStdString(item_), Qt::MatchExactly);
  if (!found.isEmpty()) list->setCurrentItem(found.front());
  syncing_ = false;
}

}  // namespace zol
