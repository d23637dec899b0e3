#pragma once
// Fonts by face and character height in pixels, the way the screens name
// them ("Arial", 12). Faces the system lacks go to a metric-compatible one.
#include <QFont>
#include <QString>

namespace zol {

class TFont {
 public:
  TFont() = default;
  TFont(const QString& face, int height, bool bold = false, bool italic = false);
  const QFont& font() const { return font_; }
  operator const QFont&() const { return font_; }
  QString face() const { return font_.family(); }
  int height() const { return font_.pixelSize(); }
  bool bold() const { return font_.bold(); }

 private:
  QFont font_;
};

}  // namespace zol
