#include "ui/resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QTextStream>
#include <map>
#include <set>

#include "core/error_event.h"

namespace zol {

namespace {

struct State {
  QStringList extraDirs;
  std::map<std::string, QString> loaded;  // key -> registered .rcc path
  std::string current;
  QString customModulePath;
  std::set<QString> customClasses;
};

State& state() {
  static State s;
  return s;
}

// "ZOL0000.DLL" -> "ZOL0000"; "Prev32sp.dll" -> "PREV32SP"; "prev32" -> "PREV32".
std::string key(std::string_view module) {
  std::string k(module);
  if (k.size() > 4) {
    std::string tail = k.substr(k.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == ".dll" || tail == ".rcc") k.resize(k.size() - 4);
  }
  for (char& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return k;
}

// Resource root of a module inside the registered resources.
QString root(const std::string& k) { return ":/" + QString::fromStdString(k).toLower() + "/"; }

QString findModuleFile(const std::string& k) {
  const QString wanted = QString::fromStdString(k).toLower() + ".rcc";
  for (const QString& dir : Resources::searchDirs()) {
    const QDir d(dir);
    if (!d.exists()) continue;
    for (const QString& f : d.entryList(QDir::Files))
      if (f.toLower() == wanted) return d.absoluteFilePath(f);
  }
  return {};
}

QString lowerName(std::string_view name) { return QString::fromUtf8(name.data(), name.size()).toLower(); }

}  // namespace

void Resources::addSearchDir(const QString& dir) {
  State& s = state();
  s.extraDirs.removeAll(dir);
  s.extraDirs.prepend(dir);
}

QStringList Resources::searchDirs() {
  QStringList dirs = state().extraDirs;
  if (QCoreApplication::instance()) dirs << QCoreApplication::applicationDirPath();
#ifdef ZOL_RESOURCE_BUILD_DIR
  dirs << QStringLiteral(ZOL_RESOURCE_BUILD_DIR);
#endif
  return dirs;
}

bool Resources::load(std::string_view module) {
  State& s = state();
  const std::string k = key(module);
  if (s.loaded.count(k)) return true;
  const QString path = findModuleFile(k);
  if (path.isEmpty() || !QResource::registerResource(path)) return false;
  s.loaded[k] = path;
  return true;
}

bool Resources::use(std::string_view module) {
  if (!load(module)) return false;
  state().current = key(module);
  return true;
}

bool Resources::setCurrent(std::string_view module) {
  const std::string k = key(module);
  if (!state().loaded.count(k)) return false;
  state().current = k;
  return true;
}

std::string Resources::current() { return state().current; }

bool Resources::isLoaded(std::string_view module) { return state().loaded.count(key(module)) > 0; }

void Resources::release(std::string_view module) {
  State& s = state();
  const std::string k = key(module);
  auto it = s.loaded.find(k);
  if (it == s.loaded.end()) return;
  QResource::unregisterResource(it->second);
  s.loaded.erase(it);
  if (s.current == k) s.current.clear();
}

void Resources::releaseAll() {
  State& s = state();
  while (!s.loaded.empty()) release(s.loaded.begin()->first);
  s.current.clear();
}

int Resources::loadCustomControls(std::string_view module) {
  State& s = state();
  const std::string k = key(module);
  if (!s.customModulePath.isEmpty()) return 1;
  const QString path = findModuleFile(k);
  if (path.isEmpty() || !QResource::registerResource(path)) return 0;
  s.customModulePath = path;
  // The list of classes sits in the module under its own root.
  QFile f(root(k) + "controls.txt");
  if (f.open(QIODevice::ReadOnly)) {
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
      const QString line = in.readLine();
      if (line.isEmpty() || line.startsWith('#')) continue;
      const QString cls = line.section('\t', 0, 0).trimmed();
      if (!cls.isEmpty()) s.customClasses.insert(cls);
    }
  }
  return 1;
}

bool Resources::registerCustomControls() {
  // The classes become available to every module's templates once the
  // module that defines them is loaded; registration only checks for that.
  return !state().customModulePath.isEmpty() && !state().customClasses.empty();
}

void Resources::unloadCustomControls(int handle) {
  State& s = state();
  if (handle <= 0 || s.customModulePath.isEmpty()) return;
  QResource::unregisterResource(s.customModulePath);
  s.customModulePath.clear();
  s.customClasses.clear();
}

bool Resources::isCustomControl(const QString& className) {
  return state().customClasses.count(className) > 0;
}

bool Resources::hasTemplate(std::string_view name) {
  const std::string& cur = state().current;
  if (cur.empty()) return false;
  return QFile::exists(root(cur) + "dialogs/" + QString::fromUtf8(name.data(), name.size()).toUpper() + ".ui");
}

QByteArray Resources::templateXml(std::string_view name) {
  const std::string& cur = state().current;
  if (cur.empty()) return {};
  QFile f(root(cur) + "dialogs/" + QString::fromUtf8(name.data(), name.size()).toUpper() + ".ui");
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

QStringList Resources::templateNames() {
  const std::string& cur = state().current;
  if (cur.empty()) return {};
  QStringList names;
  for (const QString& f : QDir(root(cur) + "dialogs").entryList(QDir::Files, QDir::Name))
    if (f.endsWith(".ui")) names << f.chopped(3);
  return names;
}

QPixmap Resources::bitmap(std::string_view name) {
  const std::string& cur = state().current;
  if (cur.empty() || name.empty()) return {};
  return QPixmap(root(cur) + "bitmaps/" + lowerName(name) + ".png");
}

QIcon Resources::icon(std::string_view name) {
  const std::string& cur = state().current;
  if (cur.empty() || name.empty()) return {};
  const QString path = root(cur) + "icons/" + lowerName(name) + ".png";
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

QPixmap Resources::cursorImage(std::string_view name) {
  const std::string& cur = state().current;
  if (cur.empty() || name.empty()) return {};
  return QPixmap(root(cur) + "cursors/" + lowerName(name) + ".png");
}

QString Resources::string(int id) {
  const std::string& cur = state().current;
  if (cur.empty()) return {};
  QFile f(root(cur) + "strings.txt");
  if (!f.open(QIODevice::ReadOnly)) return {};
  QTextStream in(&f);
  in.setEncoding(QStringConverter::Utf8);
  const QString prefix = QString::number(id) + '\t';
  while (!in.atEnd()) {
    const QString line = in.readLine();
    if (line.startsWith(prefix)) return line.mid(prefix.size());
  }
  return {};
}

namespace {
void raiseFatal(int subCode, const std::string& description, const std::string& operation,
                std::vector<std::string> args) {
  ErrorEvent e;
  e.genCode = ErrGen::Fatal;
  e.severity = Severity::Error;
  e.subsystem = "ZOLRES";
  e.subCode = subCode;
  e.description = description;
  e.operation = operation;
  e.args = std::move(args);
  raiseError(e);
}
}  // namespace

void raiseMissingTemplate(std::string_view name) {
  raiseFatal(1, "Cannot create Dialog Box", "Resource: " + std::string(name), {std::string(name)});
}

void raiseMissingId(std::string_view templateName, int id) {
  raiseFatal(2, "Non defined Id", "No: " + std::to_string(id),
             {std::string(templateName), std::to_string(id)});
}

void raiseWrongControl(std::string_view templateName, int id, const QString& expected,
                       const QString& found) {
  raiseFatal(3, "Wrong control class", "No: " + std::to_string(id),
             {std::string(templateName), std::to_string(id), expected.toStdString(), found.toStdString()});
}

}  // namespace zol
