#pragma once
// Message boxes, the run and meter boxes, the wait window and cursor.
//
// Message boxes are modal, owned by the active window, and take their title
// from the second argument only when exactly two are given:
//   MsgInfo("Proceso Terminado");                 // title "Information"
//   MsgAlert("Artículo Existente", "Atención");   // title "Atención"
//   MsgInfo("a", "b", "c");                       // title "Information"
// A value that is not text is shown converted: a number without decimals,
// a logical as ".T." / ".F.", nothing (nullptr) as "nil", a date as dd/mm/yyyy.
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "core/colour.h"
#include "core/date.h"
#include "core/value.h"
#include "ui/font.h"

namespace zol {

class TDialog;
class TMeter;
class TSay;
class TButton;

// One argument of a message box. Program texts are UTF-8; a Value holding
// text is table data (Windows-1252).
class MsgArg {
 public:
  MsgArg(const char* s) : text_(QString::fromUtf8(s ? s : "")) {}
  MsgArg(const std::string& s) : text_(QString::fromStdString(s)) {}
  MsgArg(const QString& s) : text_(s) {}
  MsgArg(double n);
  MsgArg(int n) : MsgArg(static_cast<double>(n)) {}
  MsgArg(long n) : MsgArg(static_cast<double>(n)) {}
  MsgArg(long long n) : MsgArg(static_cast<double>(n)) {}
  MsgArg(bool b) : text_(b ? ".T." : ".F.") {}
  MsgArg(std::nullptr_t) : text_("nil") {}
  MsgArg(const Date& d) : text_(QString::fromStdString(d.toText())) {}
  MsgArg(const Value& v);
  const QString& text() const { return text_; }

 private:
  QString text_;
};

namespace detail {
enum class MsgKind { Info, Alert, Stop, YesNo, NoYes };
bool messageBox(MsgKind kind, const std::vector<MsgArg>& args);
}  // namespace detail

template <class... A>
void MsgInfo(const A&... a) { detail::messageBox(detail::MsgKind::Info, {MsgArg(a)...}); }
template <class... A>
void MsgAlert(const A&... a) { detail::messageBox(detail::MsgKind::Alert, {MsgArg(a)...}); }
template <class... A>
void MsgStop(const A&... a) { detail::messageBox(detail::MsgKind::Stop, {MsgArg(a)...}); }
// True when the answer is Yes; Yes is the default button.
template <class... A>
bool MsgYesNo(const A&... a) { return detail::messageBox(detail::MsgKind::YesNo, {MsgArg(a)...}); }
// As MsgYesNo with No as the default button.
template <class... A>
bool MsgNoYes(const A&... a) { return detail::messageBox(detail::MsgKind::NoYes, {MsgArg(a)...}); }

void MsgBeep();

// Shows a small box with the text while `action` runs (default: one second's
// wait) and returns its result. Without a title the box has no caption.
Value MsgRun(const QString& text = "Please, wait...", const QString& title = {},
             std::function<Value(TDialog&)> action = {});

// Runs `action` inside a box with the text, a meter (position 0, total 10)
// and a "&Cancel" button. The action gets the meter, the text control, the
// box, the end flag and the button; it should stop when the end flag is set.
// The box cannot be closed while the action runs unless the flag is set.
// Returns true when "&Cancel" was pressed.
using MeterAction = std::function<void(TMeter& meter, TSay& text, TDialog& dialog, bool& end, TButton& cancel)>;
bool MsgMeter(MeterAction action, const QString& text = "Processing...", const QString& title = "Please, wait");

// The wait window of a screen: caption "Aguarde Un Momento...", one line of
// text in the given colour on white, in `font` (the wait font). It is on
// screen and painted when the constructor returns; it goes away with close()
// or the object.
class WaitWindow {
 public:
  WaitWindow(const QString& text, Colour colour, const TFont& font);
  ~WaitWindow();
  WaitWindow(const WaitWindow&) = delete;
  WaitWindow& operator=(const WaitWindow&) = delete;
  void close();
  TDialog* dialog() const;

 private:
  QPointer<TDialog> dialog_;
};

void CursorWait();   // hourglass until CursorArrow()
void CursorArrow();
bool isCursorWait();
void SysRefresh();   // lets the window system repaint and handle input

}  // namespace zol
