#include "ui/font.h"

#include <QStringList>

namespace zol {

namespace {
// The wait-window font is named "Colibri", which no system carries; the face
// meant is Calibri (Carlito on Debian). Registered once.
void registerSubstitutes() {
  static const bool done = [] {
    QFont::insertSubstitution("Colibri", "Calibri");
    QFont::insertSubstitution("Calibri", "Carlito");
    QFont::insertSubstitutions("MS Sans Serif", QStringList{"Liberation Sans", "DejaVu Sans"});
    return true;
  }();
  (void)done;
}
}  // namespace

TFont::TFont(const QString& face, int height, bool bold, bool italic) {
  registerSubstitutes();
  font_.setFamily(face);
  font_.setPixelSize(height > 0 ? height : 12);
  font_.setBold(bold);
  font_.setItalic(italic);
}

}  // namespace zol
