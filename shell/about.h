#pragma once

namespace zol {

// The about box, from the program's own resource module.
void ZOLABO();

}  // namespace zol
