#pragma once
// The control kinds a screen binds by id, besides the data entry field
// (get.h) and the meter (meter.h).
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/binding.h"
#include "ui/control.h"

namespace zol {

// Multi-line text bound to a variable (Windows-1252, lines ended by CR LF as
// memo text is stored). The variable follows every change.
class TMultiGet : public TControlT<TMultiGet> {
 public:
  TMultiGet(TDialog& dialog, int id, QPlainTextEdit* edit, std::string& text);
  void refresh() override;

 private:
  std::string& text_;
  bool syncing_ = false;
};

// Text from a callback, shown again on refresh().
class TSay : public TControlT<TSay> {
 public:
  TSay(TDialog& dialog, int id, QLabel* label, std::function<QString()> text);
  TSay& setText(const QString& text);  // shows a fixed text from now on
  void refresh() override;

 private:
  std::function<QString()> text_;
};

class TButton : public TControlT<TButton> {
 public:
  TButton(TDialog& dialog, int id, QAbstractButton* button, std::function<void()> action);
  TButton& action(std::function<void()> action);
  TButton& caption(const QString& text);
  void click();

 private:
  std::function<void()> action_;
};

// Image button: a bitmap of the current resource module, optional caption
// under the picture ("TOP") or right of it ("LEFT"), tooltip.
class TBtnBmp : public TControlT<TBtnBmp> {
 public:
  TBtnBmp(TDialog& dialog, int id, QAbstractButton* button, std::string_view bitmap,
          std::function<void()> action);
  TBtnBmp& bitmap(std::string_view name);
  TBtnBmp& tooltip(const QString& text);
  TBtnBmp& caption(const QString& text);
  TBtnBmp& captionFont(const TFont& font);
  TBtnBmp& layout(std::string_view layout);  // "TOP" or "LEFT"
  TBtnBmp& action(std::function<void()> action);
  void click();

 private:
  std::function<void()> action_;
};

// A bitmap of the current resource module, optionally clickable.
class TBitmap : public TControlT<TBitmap> {
 public:
  TBitmap(TDialog& dialog, int id, QLabel* label, std::string_view name, std::function<void()> click);
  TBitmap& onClick(std::function<void()> click);
  TBitmap& load(std::string_view name);
  void click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> click_;
};

// Radio group: the bound number is the chosen button's place (from 1) in the
// id list.
class TRadMenu : public TControlT<TRadMenu> {
 public:
  TRadMenu(TDialog& dialog, std::vector<QRadioButton*> buttons, std::vector<int> ids, Binding option);
  TRadMenu& onChange(std::function<void()> callback);
  void setOption(int n);
  int option() const;
  void refresh() override;
  QRadioButton* button(int n) const;  // n from 1

 private:
  std::vector<QRadioButton*> buttons_;
  std::vector<int> ids_;
  Binding option_;
  std::function<void()> onChange_;
};

// Combo box of program texts; the bound variable holds the chosen item (UTF-8).
class TComboBox : public TControlT<TComboBox> {
 public:
  TComboBox(TDialog& dialog, int id, QComboBox* combo, std::string& item, const QStringList& items);
  TComboBox& onChange(std::function<void()> callback);
  void set(const QString& item);
  void refresh() override;

 private:
  std::string& item_;
  std::function<void()> onChange_;
  bool syncing_ = false;
};

class TListBox : public TControlT<TListBox> {
 public:
  TListBox(TDialog& dialog, int id, QListWidget* list, std::string& item, const QStringList& items);
  TListBox& onChange(std::function<void()> callback);
  TListBox& onDblClick(std::function<void()> callback);
  void setItems(const QStringList& items);
  void refresh() override;

 private:
  std::string& item_;
  std::function<void()> onChange_, onDblClick_;
  bool syncing_ = false;
};

}  // namespace zol
