#include "screens/ZOL1200.h"

#include "screens/movement_register.h"

namespace zol {

void ZOL1200() { exitsRegister().run(); }
void ZOL1200A(TWBrowse& grid) { exitsRegister().add(grid); }
void ZOL1200M(TWBrowse& grid) { exitsRegister().change(grid); }
void ZOL1200B(TWBrowse& grid) { exitsRegister().remove(grid); }
bool VART1200() { return exitsRegister().checkArticle(movementForm().code); }
void ZOL1200S(TWBrowse& grid) { exitsRegister().search(grid); }
void S1200CO1(TWBrowse& grid) { exitsRegister().dateSearch(grid); }
void S1200B1(TWBrowse& grid) { exitsRegister().dateStep(grid); }
void S1200CO3(TWBrowse& grid) { exitsRegister().articleSearch(grid); }
void S1200B3(TWBrowse& grid) { exitsRegister().articleStep(grid); }
void ZOL1200TOP(TWBrowse& grid) { exitsRegister().top(grid); }
void ZOL1200BOT(TWBrowse& grid) { exitsRegister().bottom(grid); }

}  // namespace zol
