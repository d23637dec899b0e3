// The other control kinds bound by id in real templates: radio groups, combo
// and list boxes, image buttons, bitmaps, texts, memo fields, and the dialog's
// own keys and placement.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "core/codepage.h"
#include "ui/dialog.h"
#include "ui/resources.h"
#include "ui_test_support.h"

namespace zol {
namespace {

using test::whenShown;

void run(TDialog& dlg, std::function<void()> steps) {
  whenShown(&dlg, [&dlg, steps = std::move(steps)] {
    steps();
    if (dlg.isVisible()) dlg.end();
  });
  dlg.activate();
}

TEST(RadMenu, OptionFollowsTheIdOrderBothWays) {
  int option = 1;
  bool ok = false;
  TDialog dlg("RANGO_FEC5");
  TRadMenu& r = dlg.radMenu({112, 113, 114, 115}, option);
  dlg.acceptButton(103, ok);
  EXPECT_TRUE(qobject_cast<QRadioButton*>(dlg.findItem(112))->isChecked());
  run(dlg, [&] {
    QTest::mouseClick(dlg.findItem(114), Qt::LeftButton);
    EXPECT_EQ(option, 3);
    r.setOption(2);
    EXPECT_TRUE(qobject_cast<QRadioButton*>(dlg.findItem(113))->isChecked());
    QTest::mouseClick(dlg.findItem(103), Qt::LeftButton);
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(option, 2);
}

TEST(ComboBox, HoldsTheChosenItemAndCallsBackOnChange) {
  std::string month = "Marzo";
  std::vector<std::string> changes;
  TDialog dlg("CALEND");
  auto& c = dlg.comboBox(101, month, {"Enero", "Febrero", "Marzo"}).onChange([&] { changes.push_back(month); });
  auto* combo = qobject_cast<QComboBox*>(dlg.findItem(101));
  EXPECT_EQ(combo->currentText(), "Marzo");
  combo->setCurrentIndex(0);
  EXPECT_EQ(month, "Enero");
  c.set("Febrero");  // set by the program: shown, no callback
  EXPECT_EQ(combo->currentText(), "Febrero");
  EXPECT_EQ(changes, (std::vector<std::string>{"Enero"}));
}

TEST(BtnBmp, ShowsBitmapCaptionTooltipAndLayout) {
  TFont bmpFont("Arial", 11);
  int adds = 0;
  TDialog dlg("ZOL1100BRW");
  auto& add = dlg.btnBmp(182, "plus", [&] { ++adds; })
                  .caption("Añadir")
                  .tooltip("Agregar Registro")
                  .captionFont(bmpFont)
                  .layout("TOP");
  dlg.btnBmp(4001, "Topr").caption("Principio").tooltip("Principio del Archivo").layout("LEFT");
  auto* b = qobject_cast<QToolButton*>(dlg.findItem(182));
  EXPECT_FALSE(b->icon().isNull());
  EXPECT_EQ(b->text(), QString::fromUtf8("Añadir"));
  EXPECT_EQ(b->toolTip(), "Agregar Registro");
  EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  EXPECT_EQ(b->font().pixelSize(), 11);
  EXPECT_EQ(qobject_cast<QToolButton*>(dlg.findItem(4001))->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  run(dlg, [&] {
    QTest::mouseClick(b, Qt::LeftButton);
    b->setFocus();
    QTest::keyClick(&dlg, Qt::Key_Return);  // Enter presses the focused button
  });
  EXPECT_EQ(adds, 2);
  add.when([] { return false; });
  EXPECT_FALSE(b->isEnabled());
}

TEST(Bitmap, ClickRunsItsAction) {
  int clicks = 0;
  TDialog dlg("ZOL0410ALT");
  dlg.bitmap(172, "calcu2", [&] { ++clicks; });
  auto* l = qobject_cast<QLabel*>(dlg.findItem(172));
  EXPECT_FALSE(l->pixmap().isNull());
  run(dlg, [&] { QTest::mouseClick(l, Qt::LeftButton); });
  EXPECT_EQ(clicks, 1);
}

TEST(Say, TextComesFromItsCallback) {
  int page = 3;
  Resources::use("prev32");
  TDialog dlg("PREVIEW_PROC");
  Resources::use("ZOL0000");
  TSay& s = dlg.say(101, [&] { return QString::number(page); });
  auto* l = qobject_cast<QLabel*>(dlg.findItem(101));
  EXPECT_EQ(l->text(), "3");
  page = 4;
  s.refresh();
  EXPECT_EQ(l->text(), "4");
  s.colors(RGB(0, 0, 255), RGB(255, 255, 255));
  EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST(MultiGet, KeepsMemoTextInWindows1252WithCrLf) {
  std::string notes = utf8ToCp1252("línea 1\r\nlínea 2");
  TDialog dlg("ZOL0410MOD");
  dlg.multiGet(107, notes).colors(RGB(0, 0, 0), RGB(191, 255, 255));
  auto* e = qobject_cast<QPlainTextEdit*>(dlg.findItem(107));
  EXPECT_EQ(e->toPlainText(), QString::fromUtf8("línea 1\nlínea 2"));
  run(dlg, [&] {
    e->setFocus();
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Return);
    test::typeText(e, QString::fromUtf8("ñ"));
  });
  EXPECT_EQ(notes, utf8ToCp1252("línea 1\r\nlínea 2\r\nñ"));
}

TEST(ListBox, SelectionAndDoubleClick) {
  // No template of the product holds a list box: build one on a blank dialog.
  std::string chosen;
  int doubles = 0;
  TDialog dlg{TDialog::Blank{}};
  auto* list = new QListWidget(&dlg);
  list->setProperty("id", 10);
  dlg.listBox(10, chosen, {"uno", "dos"}).onDblClick([&] { ++doubles; });
  list->setCurrentRow(1);
  EXPECT_EQ(chosen, "dos");
  emit list->itemDoubleClicked(list->item(1));
  EXPECT_EQ(doubles, 1);
}

TEST(Dialog, EscapeAndCloseBoxCancelUnlessCanCloseRefuses) {
  bool ok = true;
  TDialog dlg("BORRAR2");
  dlg.acceptButton(101, ok);
  dlg.cancelButton(102, ok);
  bool allow = false;
  dlg.canClose([&] { return allow; });
  std::vector<bool> visible;
  run(dlg, [&] {
    QTest::keyClick(&dlg, Qt::Key_Escape);
    visible.push_back(dlg.isVisible());
    allow = true;
    QTest::keyClick(&dlg, Qt::Key_Escape);
    visible.push_back(dlg.isVisible());
  });
  EXPECT_EQ(visible, (std::vector<bool>{true, false}));
  EXPECT_TRUE(ok);  // untouched: neither button ran
}

TEST(Dialog, FontColoursHelpButtonAndPlacement) {
  TFont brw("Arial", 12);
  TDialog owner{TDialog::Blank{}};
  owner.setGeometry(100, 100, 800, 600);
  owner.show();
  auto* dlg = new TDialog("ZOL1100S1", &brw, &owner);
  dlg->colors(RGB(255, 255, 255), RGB(255, 0, 0)).helpButton(false);
  EXPECT_EQ(dlg->font().pixelSize(), 12);
  EXPECT_EQ(dlg->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_FALSE(dlg->windowFlags() & Qt::WindowContextHelpButtonHint);
  QPointer<TDialog> alive = dlg;
  dlg->showModeless(false);  // where the template places it, relative to its owner
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isModal());
  EXPECT_EQ(dlg->pos(), owner.frameGeometry().topLeft() + QPoint(40, 90));
  dlg->end();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());  // a modeless dialog goes when it closes
}

TEST(Dialog, ReplaceItemPutsAnotherControlInTheTemplatesPlace) {
  TDialog dlg("ZOLFART");
  dlg.show();
  QApplication::processEvents();
  const QRect place = dlg.findItem(181)->geometry();
  auto* grid = new QListWidget;
  dlg.replaceItem(181, grid);
  QApplication::processEvents();
  EXPECT_EQ(dlg.findItem(181), grid);
  EXPECT_EQ(grid->geometry(), place);
  dlg.hide();
}

}  // namespace
}  // namespace zol
