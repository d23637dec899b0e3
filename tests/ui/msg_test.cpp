// Message boxes, the meter and run boxes and the wait window, answered and
// pressed the way a user does.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/dialog.h"
#include "ui/msg.h"
#include "ui/progress.h"
#include "ui_test_support.h"

namespace zol {
namespace {

using test::answerNextModal;

struct Seen {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;  // captions, in the box's order
};

// Shows a box through `show`, records it, and answers with `key`.
template <class F>
Seen answered(F show, Qt::Key key = Qt::Key_Return) {
  Seen seen;
  answerNextModal([&seen, key](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
    QTest::keyClick(box, key);
  });
  show();
  return seen;
}

TEST(Msg, TitleComesFromTheSecondArgumentOnlyWhenThereAreExactlyTwo) {
  EXPECT_EQ(answered([] { MsgInfo("Proceso Terminado"); }).title, "Information");
  EXPECT_EQ(answered([] { MsgInfo("Fecha Inexistente", "!!!"); }).title, "!!!");
  EXPECT_EQ(answered([] { MsgInfo("uno", "dos", "tres"); }).title, "Information");
  EXPECT_EQ(answered([] { MsgAlert("x"); }).title, "Alert");
  EXPECT_EQ(answered([] { MsgAlert("Artículo Existente", "Atención"); }).title, QString::fromUtf8("Atención"));
  EXPECT_EQ(answered([] { MsgStop("x"); }).title, "Stop");
  EXPECT_EQ(answered([] { MsgYesNo("x"); }).title, "Select an option");
  EXPECT_EQ(answered([] { MsgNoYes("x", 1, 2); }).title, "Select an option");
}

TEST(Msg, IconsFollowTheKindOfBox) {
  EXPECT_EQ(answered([] { MsgInfo("x"); }).icon, QMessageBox::Information);
  EXPECT_EQ(answered([] { MsgAlert("x"); }).icon, QMessageBox::Warning);
  EXPECT_EQ(answered([] { MsgStop("x"); }).icon, QMessageBox::Critical);
  EXPECT_EQ(answered([] { MsgYesNo("x"); }).icon, QMessageBox::Question);
}

// The questions are Spanish, and so are the answers offered.
TEST(Msg, ButtonsSpeakSpanish) {
  EXPECT_EQ(answered([] { MsgInfo("x"); }).buttons, QStringList{"&Aceptar"});
  EXPECT_EQ(answered([] { MsgStop("x"); }).buttons, QStringList{"&Aceptar"});
  Seen q = answered([] { MsgYesNo("x"); }, Qt::Key_Escape);
  q.buttons.sort();
  EXPECT_EQ(q.buttons, (QStringList{"&No", "&Sí"}));
}

TEST(Msg, ValuesThatAreNotTextAreShownConverted) {
  EXPECT_EQ(answered([] { MsgInfo(12.7); }).text, "13");
  EXPECT_EQ(answered([] { MsgInfo(-4); }).text, "-4");
  EXPECT_EQ(answered([] { MsgInfo(true); }).text, ".T.");
  EXPECT_EQ(answered([] { MsgInfo(false); }).text, ".F.");
  EXPECT_EQ(answered([] { MsgInfo(nullptr); }).text, "nil");
  EXPECT_EQ(answered([] { MsgInfo(Value()); }).text, "nil");
  EXPECT_EQ(answered([] { MsgInfo(Date::fromYmd(2024, 2, 29)); }).text, "29/02/2024");
  // Table text is Windows-1252 bytes.
  EXPECT_EQ(answered([] { MsgInfo(Value(std::string("Pe\xF1" "a"))); }).text, QString::fromUtf8("Peña"));
  // A number as the second of two arguments is the title, converted too.
  EXPECT_EQ(answered([] { MsgInfo("x", 7); }).title, "7");
}

TEST(Msg, YesNoDefaultsDifferOnlyInTheDefaultButton) {
  bool r = false;
  answered([&] { r = MsgYesNo("Salida del Programa"); }, Qt::Key_Return);
  EXPECT_TRUE(r);
  answered([&] { r = MsgNoYes("Está Seguro de Continuar ?", "!!!"); }, Qt::Key_Return);
  EXPECT_FALSE(r);
  answered([&] { r = MsgYesNo("x"); }, Qt::Key_Escape);
  EXPECT_FALSE(r);
  // Clicking Yes on the No-default box answers Yes.
  answerNextModal([](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
  });
  EXPECT_TRUE(MsgNoYes("x"));
}

QPushButton* cancelButtonOf(QWidget* box) {
  for (auto* b : box->findChildren<QPushButton*>())
    if (b->text() == "&Cancel") return b;
  return nullptr;
}

TEST(MsgMeter, CancelMidwayStopsTheActionAndIsReported) {
  int reached = -1;
  QString title, text;
  const bool cancelled = MsgMeter(
      [&](TMeter& meter, TSay&, TDialog& dlg, bool& end, TButton&) {
        title = dlg.windowTitle();
        text = dlg.findChild<QLabel*>()->text();
        meter.setTotal(1000);
        for (int i = 0; i <= 1000 && !end; ++i) {
          // The click arrives while the meter lets pending events run.
          if (i == 400)
            QTimer::singleShot(0, &dlg, [&dlg] { QTest::mouseClick(cancelButtonOf(&dlg), Qt::LeftButton); });
          meter.set(i);
          reached = i;
        }
      },
      "ENTRADAS.CDX - (ENT01)", "Espere un Momento");
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(reached, 400);  // the loop saw the flag at its next test
  EXPECT_EQ(title, "Espere un Momento");
  EXPECT_EQ(text, "ENTRADAS.CDX - (ENT01)");
}

TEST(MsgMeter, TotalZeroRunsToTheEnd) {
  int steps = 0;
  int percent = -1;
  const bool cancelled = MsgMeter([&](TMeter& meter, TSay&, TDialog&, bool& end, TButton&) {
    meter.setTotal(0);
    for (int i = 1; i <= 5 && !end; ++i) {
      meter.set(i);
      ++steps;
    }
    percent = meter.percent();
  });
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(percent, 0);
}

TEST(MsgMeter, PositionsAreClampedAndShownAsPercent) {
  std::vector<double> positions;
  std::vector<int> shown;
  MsgMeter([&](TMeter& meter, TSay&, TDialog& dlg, bool&, TButton&) {
    auto* bar = dlg.findChild<QProgressBar*>();
    EXPECT_EQ(meter.total(), 10);
    EXPECT_EQ(meter.position(), 0);
    meter.setTotal(200);
    for (double p : {-5.0, 1.0, 50.0, 250.0}) {
      meter.set(p);
      positions.push_back(meter.position());
      shown.push_back(bar->value());
    }
  });
  EXPECT_EQ(positions, (std::vector<double>{0, 1, 50, 200}));
  EXPECT_EQ(shown, (std::vector<int>{0, 0, 25, 100}));
}

TEST(MsgMeter, CannotBeClosedWhileTheActionRunsUnlessTheEndFlagIsSet) {
  std::vector<bool> visible;
  MsgMeter([&](TMeter& meter, TSay&, TDialog& dlg, bool& end, TButton&) {
    meter.setTotal(3);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    dlg.close();
    meter.set(1);
    visible.push_back(dlg.isVisible());
    end = true;
    dlg.close();
    QApplication::processEvents();
    visible.push_back(dlg.isVisible());
  });
  EXPECT_EQ(visible, (std::vector<bool>{true, false}));
}

TEST(MsgMeter, ProgressSeamDrivesTheMeter) {
  double lastShown = -1;
  const bool cancelled = runWithMeter(
      [&](Progress& p) {
        p.setTotal(4);
        for (int i = 1; i <= 4 && !p.cancelled(); ++i) p.setPosition(i);
        auto* bar = QApplication::activeModalWidget()->findChild<QProgressBar*>();
        lastShown = bar->value();
      },
      "MAEART.CDX   - (ART01)", "Espere un Momento");
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(lastShown, 100);
}

TEST(MsgRun, ReturnsTheActionsResultAndSizesToTheText) {
  QSize untitled, titled;
  bool frameless = false;
  const Value r = MsgRun("Procesando", {}, [&](TDialog& dlg) {
    untitled = dlg.size();
    frameless = dlg.windowFlags() & Qt::FramelessWindowHint;
    return Value(42);
  });
  EXPECT_EQ(r.number(), 42);
  EXPECT_TRUE(frameless);
  MsgRun("Procesando", "Un titulo bastante mas largo", [&](TDialog& dlg) {
    titled = dlg.size();
    EXPECT_EQ(dlg.windowTitle(), "Un titulo bastante mas largo");
    return Value();
  });
  EXPECT_GT(titled.width(), untitled.width());  // the longer title widens it
  EXPECT_GT(titled.height(), untitled.height());  // four rows against three
}

TEST(WaitWindow, ShowsOneLineInItsColourOnWhiteUntilClosed) {
  TFont wait("Colibri", 14, true);
  WaitWindow w("Generando Archivo ZOL_ALF.XLS...", RGB(255, 0, 0), wait);
  TDialog* dlg = w.dialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isModal());
  EXPECT_EQ(dlg->windowTitle(), "Aguarde Un Momento...");
  auto* label = dlg->findChild<QLabel*>("waitText");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Generando Archivo ZOL_ALF.XLS...");
  EXPECT_EQ(dlg->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(dlg->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_TRUE(dlg->font().bold());
  CursorWait();
  EXPECT_TRUE(isCursorWait());
  QPointer<TDialog> gone = dlg;
  w.close();
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(gone.isNull());
  EXPECT_FALSE(isCursorWait());
}

}  // namespace
}  // namespace zol
