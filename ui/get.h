#pragma once
// Data entry field bound to a variable or field through a get-and-set
// callback, edited through a picture mask (see picture.h).
//
// Leaving the field by any way (Tab, Shift+Tab, Enter, Up, Down, a click on
// another control of the dialog) writes the value back and runs VALID; a
// false VALID or a date that is not valid keeps the focus. Only a control
// marked cancel() leaves without those checks. After a good leave the dialog
// re-evaluates every WHEN rule.
#include <QLineEdit>
#include <QToolButton>
#include <functional>
#include <optional>
#include <string_view>

#include "ui/binding.h"
#include "ui/control.h"
#include "ui/picture.h"

namespace zol {

// The confirm setting: on (the product's setting), a field filled to its last
// position keeps the focus until Enter or Tab; off, it moves on by itself.
void setConfirm(bool on);
bool confirm();

// Key codes handed to change callbacks besides typed characters.
namespace GetKey {
constexpr int Backspace = 8;
constexpr int Delete = 46;
}  // namespace GetKey

class TGet : public TControlT<TGet> {
 public:
  TGet(TDialog& dialog, int id, QLineEdit* edit, Binding binding, std::string_view picture);

  TGet& valid(std::function<bool()> rule);
  // Runs after every key that changed the text, with the key's code (the
  // typed character's Windows-1252 code, GetKey::Backspace or GetKey::Delete).
  TGet& onChange(std::function<void(int key)> callback);
  TGet& readOnly(bool on = true);
  // Spinner: up and down change the bound value, kept within min and max;
  // each step is followed by a redisplay and VALID.
  TGet& spinner(std::function<void()> up, std::function<void()> down, std::function<double()> min,
                std::function<double()> max);
  TGet& picture(std::string_view picture);

  void refresh() override;    // shows the bound value again
  QLineEdit* edit() const;
  EditKind kind() const { return kind_; }
  bool editing() const { return buffer_.has_value(); }
  std::string buffer() const;  // the text being edited or shown, Windows-1252
  int cursorPos() const;
  Value value() const;         // the bound value
  void spinUp();
  void spinDown();

  // Tries to leave the field: the checks above. True when the focus may go.
  bool tryLeave(bool toCancelButton);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void beginEdit();
  void endEdit();
  void show(const std::string& cp1252Text, int cursor);
  void showBuffer();
  bool handleKey(class QKeyEvent* e);
  void typeText(const QString& text);
  void changed(int key);
  void spin(bool up);
  void placeSpinButtons();

  Binding binding_;
  Picture picture_;
  EditKind kind_ = EditKind::Text;
  int length_ = 0;
  std::optional<EditBuffer> buffer_;
  std::function<bool()> valid_;
  std::function<void(int)> onChange_;
  std::function<void()> up_, down_;
  std::function<double()> min_, max_;
  QToolButton* spinUpButton_ = nullptr;
  QToolButton* spinDownButton_ = nullptr;
  bool leaving_ = false;
  bool syncing_ = false;
};

}  // namespace zol
