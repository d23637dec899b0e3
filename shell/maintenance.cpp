#include "shell/maintenance.h"

#include "shell/globals.h"
#include "shell/meter_runner.h"
#include "store/ZOL2000.h"
#include "store/ZOL2200.h"
#include "ui/dialog.h"
#include "ui/msg.h"

namespace zol {

void ZOL2000() {
  MeterRunner meters;
  ZOL2000(workAreas(), WPATH, meters);
  SysRefresh();
}

void ZOL2200() {
  WorkAreas& wa = workAreas();
  wa.closeAll();
  Date cutoff;
  bool proceed = false;
  {
    TDialog dlg("ZOL2200", &OFONTBRW);
    dlg.colors(RGB(255, 255, 255), RGB(255, 0, 0));
    // Leaving the date empty is the quick way out.
    dlg.get(102, bind(cutoff), "99/99/9999").valid([&] {
      if (cutoff.isEmpty()) dlg.end();
      return true;
    });
    dlg.acceptButton(104, proceed);
    dlg.cancelButton(105, proceed);
    dlg.activate();
  }
  // An empty cut-off would still purge every undated movement; never on an
  // empty date, whatever closed the dialog.
  if (proceed && !cutoff.isEmpty() && MsgNoYes("Está Seguro de Continuar ?", "!!!")) {
    {
      WaitWindow wait("Depurando Archivos..", RGB(255, 0, 0), OFONTESP);
      CursorWait();
      SysRefresh();
      purgeMovements(wa, WPATH, cutoff);
      wait.close();
      CursorArrow();
    }
    MsgInfo("Proceso Terminado");
  }
  wa.closeAll();
}

}  // namespace zol
