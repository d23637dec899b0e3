#include "ui/control.h"

#include <QPalette>

#include "ui/colour_qt.h"
#include "ui/dialog.h"

namespace zol {

TControl::TControl(TDialog& dialog, int id, QWidget* widget)
    : QObject(&dialog), dialog_(dialog), id_(id), widget_(widget) {}

TControl::~TControl() = default;

void TControl::evalWhen() {
  if (!when_ || !widget_) return;
  widget_->setEnabled(when_());
}

void TControl::setFocus() {
  if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}

bool TControl::isEnabled() const { return widget_ && widget_->isEnabled(); }

void TControl::setWhenRule(std::function<bool()> rule) {
  when_ = std::move(rule);
  evalWhen();
}

void TControl::setColours(Colour fore, Colour back) {
  if (!widget_) return;
  QPalette pal = widget_->palette();
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    pal.setColor(role, toQColor(fore));
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
    pal.setColor(role, toQColor(back));
  widget_->setPalette(pal);
  widget_->setAutoFillBackground(true);
}

void TControl::setFontOf(const TFont& font) {
  if (widget_) widget_->setFont(font.font());
}

void TControl::setCancelExempt(bool on) {
  if (widget_) widget_->setProperty("zolCancel", on);
}

}  // namespace zol
