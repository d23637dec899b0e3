// Every screen the main window reaches. A new screen adds its line here; its
// menu entry or button is enabled from then on.
#include <QApplication>

#include "browse/calendar.h"
#include "shell/about.h"
#include "shell/globals.h"
#include "shell/maintenance.h"
#include "shell/screen_registry.h"
#include "screens/ZOL0410.h"
#include "screens/ZOL1100.h"
#include "screens/ZOL1200.h"

namespace zol {

void registerScreens() {
  ScreenRegistry::add("ZOL2000", [] { ZOL2000(); });
  ScreenRegistry::add("ZOL2200", [] { ZOL2200(); });
  ScreenRegistry::add("ZOLABO", [] { ZOLABO(); });
  ScreenRegistry::add("ZOL0410", [] { ZOL0410(); });
  ScreenRegistry::add("ZOL1100", [] { ZOL1100(); });
  ScreenRegistry::add("ZOL1200", [] { ZOL1200(); });
  ScreenRegistry::add("CALEND", [] { showCalendar(Date::today(), &OFONTBRW, QApplication::activeWindow()); });
  // Still to come, each enabling its entry when added here:
  //   "ZOL1360", "ZOL1362", "ZOL1364", "ZOL1366", "ZOL0411", "ZOL0412",
  //   "ZOL0415", "ZOL0417" listings; "PRINTERSETUP" printer choice.
}

}  // namespace zol
