#pragma once
// A dialog built from a template of the current resource module. Screens
// bind the template's controls by id, run the dialog and act on a result
// flag set by the accept or cancel image button:
//
//   bool ok = false;
//   TDialog dlg("ZOL0410S2", &fontBrw);
//   dlg.get(102, bind(code), "999999");
//   dlg.acceptButton(104, ok);
//   dlg.cancelButton(105, ok);
//   dlg.activate();
//   if (ok) ...
//
// A template or id the module lacks raises the fatal resource event; when a
// handler answers Default the dialog goes on with empty stand-ins.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

#include "core/colour.h"
#include "ui/binding.h"
#include "ui/controls.h"
#include "ui/font.h"
#include "ui/get.h"
#include "ui/meter.h"

namespace zol {

class TDialog : public QDialog {
 public:
  explicit TDialog(std::string_view templateName, const TFont* font = nullptr, QWidget* owner = nullptr);
  // A dialog without template, for the library's own boxes built in code;
  // give its controls the property "id" to bind them.
  struct Blank {};
  explicit TDialog(Blank, QWidget* owner = nullptr);
  ~TDialog() override;

  const std::string& templateName() const { return name_; }
  bool fromTemplate() const { return loaded_; }

  TDialog& colors(Colour text, Colour back);
  TDialog& helpButton(bool on);
  TDialog& title(const QString& text);
  // Runs once, as soon as the dialog is on screen.
  TDialog& onInit(std::function<void()> init);
  // Asked before the dialog closes; false keeps it open.
  TDialog& canClose(std::function<bool()> rule);

  // ---- controls bound by id ----
  TGet& get(int id, Binding binding, std::string_view picture = {});
  TMultiGet& multiGet(int id, std::string& text);
  TSay& say(int id, std::function<QString()> text);
  TButton& button(int id, std::function<void()> action = {});
  TBtnBmp& btnBmp(int id, std::string_view bitmap, std::function<void()> action = {});
  // The accept / cancel pair of the data dialogs: bitmap "yes" / "no2", the
  // tooltip, an optional step, then the result flag is set and the dialog closes.
  TBtnBmp& acceptButton(int id, bool& flag, const QString& tooltip = "Correcto",
                        std::function<void()> before = {});
  TBtnBmp& cancelButton(int id, bool& flag, const QString& tooltip = "Cancelar",
                        std::function<void()> before = {});
  TBitmap& bitmap(int id, std::string_view name, std::function<void()> click = {});
  TRadMenu& radMenu(std::initializer_list<int> ids, int& option);
  TRadMenu& radMenu(std::initializer_list<int> ids, Binding option);
  TComboBox& comboBox(int id, std::string& item, const QStringList& items);
  TListBox& listBox(int id, std::string& item, const QStringList& items);
  TMeter& meter(int id, double total = 10);

  // The template's control with this id; the fatal event when it is missing
  // (then a hidden stand-in is returned, never null).
  QWidget* item(int id);
  QWidget* findItem(int id) const;  // null when missing, no event
  // Puts `w` where the template's control `id` was (same place in the layout,
  // same id); the old control is deleted. For layers that bring their own
  // control class (record browse, chart).
  QWidget* replaceItem(int id, QWidget* w);
  TControl* control(int id) const;

  // ---- running ----
  // Modal: returns when the dialog has closed. Centred on its owner, or where
  // the template places it.
  void activate(bool centred = true);
  // Without waiting: returns at once; the dialog deletes itself when closed,
  // so allocate it with new.
  void showModeless(bool centred = true);
  void end();  // closes the dialog (canClose permitting)
  bool isClosing() const { return closing_; }

  void refreshControls();  // every bound control shows its binding again
  void evalWhen();         // every WHEN rule, after a good leave of a field
  void focusNextControl(bool forward);

  // For TGet: the field being edited, asked before a click elsewhere.
  void setActiveGet(TGet* get) { activeGet_ = get; }
  TGet* activeGet() const { return activeGet_; }
  // A click whose focus change the field refused: the click itself goes too.
  void swallowNextPress() { swallowNextPress_ = true; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void done(int r) override;

 private:
  template <class W>
  W* itemAs(int id, const char* kind);
  template <class C>
  C& add(C* control);
  void place(bool centred);

  std::string name_;
  bool loaded_ = false;
  bool closing_ = false;
  bool initDone_ = false;
  bool swallowNextPress_ = false;
  QPoint templatePos_;
  std::map<int, TControl*> controls_;
  QPointer<TGet> activeGet_;
  std::function<void()> init_;
  std::function<bool()> canClose_;
};

}  // namespace zol
