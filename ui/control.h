#pragma once
// Base of the controls a screen binds by id to a template's control. The
// control object lives as long as its dialog.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "core/colour.h"
#include "ui/font.h"

namespace zol {

class TDialog;

class TControl : public QObject {
 public:
  TControl(TDialog& dialog, int id, QWidget* widget);
  ~TControl() override;

  int id() const { return id_; }
  QWidget* widget() const { return widget_; }
  TDialog& dialog() const { return dialog_; }

  // Re-reads what the control shows from its binding.
  virtual void refresh() {}
  // Evaluates the WHEN rule and enables or disables the control.
  void evalWhen();
  void setFocus();
  bool isEnabled() const;

 protected:
  void setWhenRule(std::function<bool()> rule);
  void setColours(Colour fore, Colour back);
  void setFontOf(const TFont& font);
  void setCancelExempt(bool on);

 private:
  TDialog& dialog_;
  int id_;
  QPointer<QWidget> widget_;
  std::function<bool()> when_;
};

// Chaining setters that every control kind shares, returning the kind itself.
template <class Self>
class TControlT : public TControl {
 public:
  using TControl::TControl;
  Self& when(std::function<bool()> rule) {
    setWhenRule(std::move(rule));
    return self();
  }
  Self& colors(Colour fore, Colour back) {
    setColours(fore, back);
    return self();
  }
  Self& font(const TFont& f) {
    setFontOf(f);
    return self();
  }
  // Marks a button whose click leaves a data entry field without running its
  // VALID rule (the cancel button of a data dialog).
  Self& cancel(bool on = true) {
    setCancelExempt(on);
    return self();
  }

 protected:
  Self& self() { return static_cast<Self&>(*this); }
};

}  // namespace zol
