// The article screen on a large master: how long the user waits for the list
// to open, for each key of the name search, for the add dialog (which
// proposes a code) and for paging through the grid. Offscreen, the real
// screen and dialogs.
//
//   screens_bench <folder> <articles>
//
// Builds <folder> with the four tables and <articles> articles (names from
// a shop's vocabulary, codes spread over 1..999999 with a few in the
// reserved range) when it is missing, then prints the times.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "browse/wbrowse.h"
#include "screens/ZOL0410.h"
#include "shell/globals.h"
#include "store/ZOL2000.h"
#include "store/data_tables.h"
#include "ui/dialog.h"
#include "ui/resources.h"

using namespace zol;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct QuietRunner : TaskRunner {
  struct P : TaskProgress {
    void setTotal(uint32_t) override {}
    void setPosition(uint32_t) override {}
    bool cancelled() const override { return false; }
  };
  void run(const std::string&, const std::string&, const std::function<void(TaskProgress&)>& task) override {
    P p;
    task(p);
  }
};

bool buildFolder(const std::string& dir, int articles) {
  WorkAreas wa;
  if (!ZOL_ARC(wa, dir)) return false;
  wa.closeAll();
  if (!wa.create(dir + "numeros", settingsStructure()) || !wa.use(dir + "numeros")) return false;
  wa.cur().appendBlank();
  wa.cur().put("indexa", Value(std::string("N")));
  wa.closeAll();
  if (!wa.use(dir + Tables::Articles)) return false;
  WorkArea& a = wa.cur();
  const char* words[] = {"TORNILLO", "TUERCA", "ARANDELA", "BROCA", "CLAVO", "BISAGRA", "CABLE", "LLAVE",
                         "PINZA", "MARTILLO", "SIERRA", "LIJA", "PINTURA", "RODILLO", "TACO", "CINTA"};
  uint64_t seed = 42;
  for (int i = 0; i < articles; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const int w = static_cast<int>((seed >> 40) % 16);
    a.appendBlank();
    // A few codes in the reserved range, the rest below it.
    a.put("articulo", Value(i % 1000 == 0 ? 900000 + i / 1000 : i + 1));
    a.put("nombre", Value(std::string(words[w]) + " " + std::to_string((seed >> 20) % 100000)));
    a.put("stock", Value(static_cast<double>((seed >> 12) % 200) - 20));
    a.put("precio", Value(static_cast<double>((seed >> 8) % 5000) / 100));
  }
  wa.closeAll();
  QuietRunner runner;
  ZOL2000(wa, dir, runner);
  wa.closeAll();
  return true;
}

// Runs `step` with the next dialog of `name` once it is on screen.
void onDialog(const std::string& name, std::function<void(TDialog&)> step) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [timer, name, step = std::move(step)] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = dynamic_cast<TDialog*>(w);
      if (d && d->isVisible() && d->templateName() == name && !d->isClosing()) {
        timer->stop();
        timer->deleteLater();
        step(*d);
        return;
      }
    }
  });
  timer->start();
}

void click(TDialog& d, int id) {
  QWidget* w = d.findItem(id);
  QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: screens_bench <folder> <articles>\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  initGlobals();
  createFonts();
  Resources::loadCustomControls("BWCC32.DLL");
  Resources::use("PREV32SP.DLL");
  Resources::use("ZOL0000.DLL");
  Resources::registerCustomControls();
  const std::string dir = std::filesystem::absolute(argv[1]).string() + "/";
  const int articles = std::atoi(argv[2]);
  if (!std::filesystem::exists(dir + "maeart.dbf")) {
    std::filesystem::create_directories(dir);
    const auto t = Clock::now();
    if (!buildFolder(dir, articles)) return 1;
    std::printf("built %d articles in %.0f ms\n", articles, msSince(t));
  }
  WPATH = dir;

  double openMs = 0, keyMs = 0, addMs = 0, pageMs = 0, bottomMs = 0;
  const char keys[] = "TORNILLO 5";
  Clock::time_point start = Clock::now();
  onDialog("ZOL0410BRW", [&](TDialog& list) {
    TWBrowse* grid = qobject_cast<TWBrowse*>(list.findItem(181));
    grid->repaint();
    openMs = msSince(start);

    auto* search = qobject_cast<QLineEdit*>(list.findItem(102));
    search->setFocus();
    auto t = Clock::now();
    for (const char* k = keys; *k; ++k) {
      QTest::keyClick(search, *k);
      grid->repaint();
    }
    keyMs = msSince(t) / static_cast<double>(sizeof keys - 1);

    t = Clock::now();
    onDialog("ZOL0410ALT", [&](TDialog& add) {
      addMs = msSince(t);
      click(add, 106);
    });
    click(list, 182);

    grid->setFocus();
    t = Clock::now();
    for (int i = 0; i < 100; ++i) QTest::keyClick(grid, Qt::Key_PageDown);
    pageMs = msSince(t) / 100;
    t = Clock::now();
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    grid->repaint();
    bottomMs = msSince(t);
    click(list, 187);
  });
  ZOL0410();
  std::printf("articles %d: open list %.1f ms, search key %.2f ms, add dialog %.1f ms, page down %.2f ms, "
              "to the last %.1f ms\n",
              articles, openMs, keyMs, addMs, pageMs, bottomMs);
  workAreas().closeAll();
  return 0;
}
