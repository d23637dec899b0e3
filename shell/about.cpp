#include "shell/about.h"

#include "shell/globals.h"
#include "ui/dialog.h"
#include "ui/resources.h"

namespace zol {

void ZOLABO() {
  // A screen may have left another module current (the preview's).
  Resources::use("ZOL0000.DLL");
  TDialog dlg("ZOL_ABOUT", &OFONTBRW);
  dlg.button(113, [&dlg] { dlg.end(); });
  dlg.activate(true);
}

}  // namespace zol
