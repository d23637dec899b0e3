// The main window as a user meets it: menu, button bar, message bar, the exit
// question, and the maintenance screens reached from the menu.
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "shell/globals.h"
#include "shell/main_window.h"
#include "shell/screen_registry.h"
#include "shell_test_support.h"
#include "core/launcher.h"
#include "ui/get.h"
#include "ui/msg.h"
#include "ui/resources.h"

namespace zol {
namespace {

using test::TempDir;

// A main window on its own data folder, shown and active.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initGlobals();
    test::makeDataFolder(dir_.path());
    WPATH = dir_.path();
    registerScreens();
    window_ = std::make_unique<MainWindow>();
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  void TearDown() override {
    window_.reset();
    workAreas().closeAll();
    // The exit command releases the modules; later tests need them back.
    Resources::use("PREV32SP.DLL");
    Resources::use("ZOL0000.DLL");
  }
  QMenu* menu(const QString& title) {
    for (QAction* a : window_->menuBar()->actions())
      if (a->text() == title) return a->menu();
    return nullptr;
  }
  QToolButton* button(const char* bitmap) {
    return window_->findChild<QToolButton*>(QString("btn_") + bitmap);
  }
  // Opens a menu with a click on its title (two menus share the M) and picks
  // an entry by its letter; the answers to what opens must be scheduled before.
  void choose(char menuKey, char entryKey) {
    const QString title = menuKey == 'a' ? "&Archivos" : "&Mantenimiento";
    QMenuBar* bar = window_->menuBar();
    QAction* top = nullptr;
    for (QAction* a : bar->actions())
      if (a->text() == title) top = a;
    ASSERT_NE(top, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(top).center());
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr) << "menu did not open";
    QTest::keyClick(popup, entryKey);
  }
  TempDir dir_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowTest, TitleAndMessageBarDefaults) {
  EXPECT_EQ(window_->windowTitle(), QString("Sistema Zolmar  -  (V.1.07)") + QString(18, ' '));
  EXPECT_EQ(window_->messageBar()->text(),
            "Zolmar -  Tirsano Sistemas    [" + QString::fromStdString(dir_.path()) + " ]");
  EXPECT_EQ(window_->messageBar()->dateText(), QString::fromStdString(Date::today().toText()));
  EXPECT_EQ(window_->messageBar()->clockText().size(), 8);
  EXPECT_FALSE(window_->windowIcon().isNull());
}

TEST_F(WindowTest, MenuHasEveryEntryWithItsMessageAndOnlyWrittenScreensEnabled) {
  QStringList tops;
  for (QAction* a : window_->menuBar()->actions()) tops << a->text();
  EXPECT_EQ(tops, QStringList({"&Archivos", "&Movimiento de Stock", "&Mantenimiento"}));

  struct Entry { const char* menu; const char* text; const char* tip; bool enabled; };
  const Entry entries[] = {
      {"&Archivos", "&Artículos", "Altas de Artículos y Consultas", true},
      {"&Archivos", "&Salida", "Salida del Sistema", true},
      {"&Movimiento de Stock", "&Salidas del Stock", "Salidas del Stock", true},
      {"&Movimiento de Stock", "&Ingresos al Stock", "Ingresos al Stock", true},
      {"&Movimiento de Stock", "&Listados Varios", "", true},
      {"&Listados Varios", "&Ingresos al Stock (Detalle)", "Detalle de Artículos Ingresados al Stock)", false},
      {"&Listados Varios", "&Salidas del Stock (Detalle)", "Detalle de Artículos Salidos del Stock (Detalle)", false},
      {"&Listados Varios", "&Total Entradas y Salidas del Stock", "Totales de Entradas y Salidas de Artículos al Stock", false},
      {"&Listados Varios", "&Artículos que Tuvieron Mayores Salidas", "Artículos que Tuvieron Mayores Salidas", false},
      {"&Listados Varios", "Listado &Stock Artículos Alfabético", "Listado de Artículos Alfabético con Stock", false},
      {"&Listados Varios", "Listado Stock Artículos &Numérico", "Listado de Artículos Numérico con Stock", false},
      {"&Listados Varios", "Listado de Artículos Para el &Público (Alfabético)", "Listado de Artículos Público", false},
      {"&Listados Varios", "Listado Stock (&Valorizado)", "Listado Stock Valorizado", false},
      {"&Mantenimiento", "R&eordenamiento de Archivos", "Reordenamiento de Archivos y Compactado de los Mismos", true},
      {"&Mantenimiento", "&Depuración de Movimientos de Entradas y Salidas", "Depuración Movimientos", true},
      {"&Mantenimiento", "&Impresora", "Configuración de la Impresora", false},
      {"&Mantenimiento", "&Acerca de...", "", true},
  };
  std::map<QString, QStringList> seen;
  for (QMenu* m : window_->findChildren<QMenu*>())
    if (!m->title().isEmpty())
      for (QAction* a : m->actions())
        if (!a->isSeparator()) seen[m->title()] << a->text();
  std::map<QString, QStringList> expected;
  for (const Entry& e : entries) {
    const QString menuTitle = QString::fromUtf8(e.menu), text = QString::fromUtf8(e.text);
    expected[menuTitle] << text;
    SCOPED_TRACE(e.text);
    QMenu* m = nullptr;
    for (QMenu* c : window_->findChildren<QMenu*>())
      if (c->title() == menuTitle) m = c;
    ASSERT_NE(m, nullptr);
    QAction* found = nullptr;
    for (QAction* a : m->actions())
      if (a->text() == text) found = a;
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->statusTip(), QString::fromUtf8(e.tip));
    EXPECT_EQ(found->isEnabled(), e.enabled);
  }
  EXPECT_EQ(seen, expected) << "no entry more, none missing, in order";
  // Separators where the menus have them.
  auto separators = [&](const char* title) {
    int n = 0;
    for (QAction* a : menu(QString::fromUtf8(title))->actions()) n += a->isSeparator();
    return n;
  };
  EXPECT_EQ(separators("&Archivos"), 1);
  EXPECT_EQ(separators("&Mantenimiento"), 3);
}

TEST_F(WindowTest, ButtonBarHasFiveButtonsWithTheirTipsAndAGapAfterExit) {
  auto* bar = window_->findChild<QToolBar*>("buttonBar");
  ASSERT_NE(bar, nullptr);
  QStringList order;
  for (QAction* a : bar->actions()) order << (a->isSeparator() ? "|" : a->objectName());
  EXPECT_EQ(order, QStringList({"Exit", "|", "Calcu2", "paste", "calen32x32", "ayuda"}));
  struct Case { const char* bitmap; const char* tip; const char* message; bool enabled; } cases[] = {
      {"Exit", "Salida", "Finalizar El Programa", true},
      {"Calcu2", "Calculadora", "Calculadora", true},
      {"paste", "Block De Notas", "Block De Notas", true},
      {"calen32x32", "Calendario", "Calendario", true},
      {"ayuda", "Ayuda General", "Ayuda General", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bitmap);
    QToolButton* b = button(c.bitmap);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size(), QSize(60, 45));
    EXPECT_EQ(b->toolTip(), QString::fromUtf8(c.tip));
    EXPECT_EQ(b->statusTip(), QString::fromUtf8(c.message));
    EXPECT_EQ(b->isEnabled(), c.enabled);
    EXPECT_FALSE(b->icon().isNull());
  }
}

TEST_F(WindowTest, CalendarButtonOpensTheCalendarOnToday) {
  QString title;
  test::onNextModal([&](QWidget* w) {
    title = w->windowTitle();
    QTest::keyClick(w, Qt::Key_Escape);
  });
  QTest::mouseClick(button("calen32x32"), Qt::LeftButton);
  EXPECT_TRUE(title.contains("Calendario", Qt::CaseInsensitive)) << title.toStdString();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WindowTest, HoverShowsTheButtonsMessageAndLeavingRestoresTheDefault) {
  const QString def = window_->messageBar()->defaultText();
  QToolButton* exit = button("Exit");
  QStatusTipEvent enter(exit->statusTip());
  QApplication::sendEvent(exit, &enter);
  EXPECT_EQ(window_->messageBar()->text(), "Finalizar El Programa");
  QStatusTipEvent leave("");
  QApplication::sendEvent(exit, &leave);
  EXPECT_EQ(window_->messageBar()->text(), def);
}

TEST_F(WindowTest, HelperButtonsGoThroughTheLauncher) {
  Launcher::instance().setRecording(true);
  Launcher::instance().clearRequests();
  QTest::mouseClick(button("Calcu2"), Qt::LeftButton);
  QTest::mouseClick(button("paste"), Qt::LeftButton);
  QTest::mouseClick(button("ayuda"), Qt::LeftButton);
  const auto& r = Launcher::instance().requests();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].kind, LaunchRequest::Kind::Calculator);
  EXPECT_EQ(r[1].kind, LaunchRequest::Kind::TextEditor);
  EXPECT_EQ(r[2].kind, LaunchRequest::Kind::Document);
  EXPECT_TRUE(QString::fromStdString(r[2].path).endsWith("zol0000.html"));
  Launcher::instance().setRecording(false);
  Launcher::instance().clearRequests();
}

TEST_F(WindowTest, ExitAsksWithTheTitleOfWhereItCameFrom) {
  struct Case { bool fromMenu; Qt::Key answer; const char* title; bool closes; } cases[] = {
      {true, Qt::Key_N, "Seleccione...", false},
      {false, Qt::Key_N, "Seleccione La Opción", false},
      {false, Qt::Key_Return, "Seleccione La Opción", true},  // Yes is the default
      {true, Qt::Key_Return, "Seleccione...", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    TearDown();
    SetUp();
    QString title, text;
    test::onNextModal([&](QWidget* w) {
      title = w->windowTitle();
      text = test::messageText(w);
      QTest::keyClick(w, c.answer);
    });
    if (c.fromMenu)
      choose('a', 's');
    else
      QTest::mouseClick(button("Exit"), Qt::LeftButton);
    EXPECT_EQ(title, QString::fromUtf8(c.title));
    EXPECT_EQ(text, "Salida del Programa");
    EXPECT_EQ(window_->isVisible(), !c.closes);
  }
}

TEST_F(WindowTest, AboutBoxOpensFromTheMenuAndClosesWithItsButton) {
  QString title;
  test::onNextModal([&](QWidget* w) {
    title = w->windowTitle();
    auto* ok = test::buttonWithText(w, "&Aceptar");
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  choose('m', 'a');
  EXPECT_FALSE(title.isEmpty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// ---- maintenance ----

struct Movement { int article; Date date; };

void addMovements(const std::string& dir, const char* table, std::initializer_list<Movement> list) {
  WorkAreas wa;
  ASSERT_TRUE(wa.use(dir + table));
  for (const Movement& m : list) {
    wa.cur().appendBlank();
    wa.cur().put("articulo", Value(m.article));
    wa.cur().put("fecha", Value(m.date));
    wa.cur().put("cantidad", Value(1));
  }
}

void addArticle(const std::string& dir, int code, double stock) {
  WorkAreas wa;
  ASSERT_TRUE(wa.use(dir + "maeart"));
  wa.cur().appendBlank();
  wa.cur().put("articulo", Value(code));
  wa.cur().put("nombre", Value("TORNILLO"));
  wa.cur().put("stock", Value(stock));
}

// Dates of the movements still visible, and of those marked deleted.
struct TableState { std::vector<std::string> live, deleted; };
TableState state(const std::string& dir, const char* table) {
  TableState s;
  WorkAreas wa;
  wa.hideDeleted = false;
  EXPECT_TRUE(wa.use(dir + table));
  for (wa.cur().goTop(); !wa.cur().eof(); wa.cur().skip()) {
    const std::string d = wa.cur().get("fecha").date().dtos();
    (wa.cur().deleted() ? s.deleted : s.live).push_back(d);
  }
  std::sort(s.live.begin(), s.live.end());
  std::sort(s.deleted.begin(), s.deleted.end());
  return s;
}

class PurgeTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    const std::string d = dir_.path();
    addArticle(d, 7, 12.5);
    addMovements(d, "entradas", {{7, Date::fromYmd(2024, 3, 9)}, {7, Date::fromYmd(2024, 3, 10)},
                                 {7, Date::fromYmd(2024, 3, 11)}});
    addMovements(d, "salidas", {{7, Date::fromYmd(2024, 3, 11)}, {7, Date::fromYmd(2024, 3, 10)}});
    test::RecordingRunner r;
    WorkAreas wa;
    ZOL2000(wa, d, r);  // the purge walks the date order
  }
  // Opens the purge from the menu; `inDialog` drives its dialog.
  void purge(std::function<void(QWidget* dialog, QLineEdit* date)> inDialog) {
    test::onNextModal([inDialog](QWidget* w) {
      QLineEdit* date = nullptr;
      for (auto* e : w->findChildren<QLineEdit*>())
        if (e->property("id").toInt() == 102) date = e;
      ASSERT_NE(date, nullptr);
      date->setFocus();
      if (QApplication::focusWidget() != date) {
        // Offscreen, a test run on its own may leave the box inactive: give
        // the field the focus a user's click would.
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(date, &in);
      }
      inDialog(w, date);
    });
    choose('m', 'd');
  }
  QToolButton* dialogButton(QWidget* dlg, int id) {
    for (auto* b : dlg->findChildren<QToolButton*>())
      if (b->property("id").toInt() == id) return b;
    return nullptr;
  }
  TableState entries() { return state(dir_.path(), "entradas"); }
  TableState exits() { return state(dir_.path(), "salidas"); }
};

TEST_F(PurgeTest, EmptyDateClosesTheDialogAtOnceWithoutAQuestion) {
  bool asked = false;
  purge([&](QWidget* dlg, QLineEdit* date) {
    QTest::keyClick(date, Qt::Key_Tab);
    if (QApplication::activeModalWidget() && QApplication::activeModalWidget() != dlg) asked = true;
  });
  // Getting here at all means the dialog closed.
  EXPECT_FALSE(asked);
  EXPECT_EQ(entries().deleted.size(), 0u);
  EXPECT_EQ(exits().deleted.size(), 0u);
}

TEST_F(PurgeTest, CancelOrNoChangesNothing) {
  purge([&](QWidget* dlg, QLineEdit* date) {
    QTest::keyClicks(date, "10032024");
    QTest::mouseClick(dialogButton(dlg, 105), Qt::LeftButton);
  });
  EXPECT_EQ(entries().deleted.size(), 0u);

  QString question, title;
  purge([&](QWidget* dlg, QLineEdit* date) {
    test::onNextModal(
        [&](QWidget* box) {
          question = test::messageText(box);
          title = box->windowTitle();
          QTest::keyClick(box, Qt::Key_Return);  // No is the default
        },
        dlg);
    QTest::keyClicks(date, "10032024");
    QTest::keyClick(date, Qt::Key_Return);
    QTest::mouseClick(dialogButton(dlg, 104), Qt::LeftButton);
  });
  EXPECT_EQ(question, QString::fromUtf8("Está Seguro de Continuar ?"));
  EXPECT_EQ(title, "!!!");
  EXPECT_EQ(entries().deleted.size(), 0u);
  EXPECT_EQ(exits().deleted.size(), 0u);
}

TEST_F(PurgeTest, CutOffPurgesMovementsOnOrBeforeItAndKeepsStock) {
  QString done;
  purge([&](QWidget* dlg, QLineEdit* date) {
    test::onNextModal(
        [&](QWidget* box) {
          test::clickButton(box, QMessageBox::Yes);
          test::onNextModal([&](QWidget* info) {
            done = test::messageText(info);
            QTest::keyClick(info, Qt::Key_Return);
          }, box);
        },
        dlg);
    QTest::keyClicks(date, "10032024");
    QTest::keyClick(date, Qt::Key_Return);
    QTest::mouseClick(dialogButton(dlg, 104), Qt::LeftButton);
  });
  EXPECT_EQ(done, "Proceso Terminado");
  EXPECT_EQ(entries().live, std::vector<std::string>({"20240311"}));
  EXPECT_EQ(entries().deleted, std::vector<std::string>({"20240309", "20240310"}));
  EXPECT_EQ(exits().live, std::vector<std::string>({"20240311"}));
  EXPECT_EQ(exits().deleted, std::vector<std::string>({"20240310"}));
  WorkAreas wa;
  ASSERT_TRUE(wa.use(dir_ / "maeart"));
  EXPECT_EQ(wa.cur().get("stock").number(), 12.5);
  EXPECT_FALSE(isCursorWait());
}

TEST_F(PurgeTest, ReindexFromTheMenuRemovesPurgedMovementsForGood) {
  {
    WorkAreas wa;
    ASSERT_TRUE(wa.use(dir_ / "entradas"));
    wa.cur().goTop();
    wa.cur().deleteRecord();
  }
  std::filesystem::remove(dir_ / "salidas.cdx");
  choose('m', 'e');  // six meters run by themselves
  WorkAreas wa;
  wa.hideDeleted = false;
  ASSERT_TRUE(wa.use(dir_ / "entradas"));
  EXPECT_EQ(wa.cur().recCount(), 2u);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "salidas.cdx"));
  EXPECT_EQ(wa.cur().orderCount(), 2);
}

}  // namespace
}  // namespace zol
