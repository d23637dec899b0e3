#include "ui/template_loader.h"

#include <QBuffer>
#include <QFrame>
#include <QUiLoader>

#include "ui/resources.h"

namespace zol {

namespace {

class Loader : public QUiLoader {
 public:
  explicit Loader(QDialog* root) : root_(root) {}

  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* w = nullptr;
    if (!rootTaken_ && !parent) {
      // The template's top level becomes the dialog we already have.
      rootTaken_ = true;
      w = root_;
    } else if (Resources::isCustomControl(className)) {
      auto* f = new QFrame(parent);
      f->setObjectName(name);
      w = f;
    } else {
      w = QUiLoader::createWidget(className, parent, name);
    }
    if (w) w->setProperty("uiClass", className);
    return w;
  }

 private:
  QDialog* root_;
  bool rootTaken_ = false;
};

}  // namespace

bool loadTemplateInto(QDialog* dialog, const QByteArray& xml) {
  if (xml.isEmpty()) return false;
  QByteArray data = xml;
  QBuffer buf(&data);
  if (!buf.open(QIODevice::ReadOnly)) return false;
  Loader loader(dialog);
  QWidget* root = loader.load(&buf, nullptr);
  return root == dialog;
}

}  // namespace zol
