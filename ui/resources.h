#pragma once
// Resource modules: dialog templates, bitmaps, icons, cursors and string
// tables packed per module into a binary resource file (<module>.rcc) that is
// registered at start. One module is current; lookups by name go to it.
//
// Module names are taken as the product gives them ("ZOL0000.DLL", "prev32",
// "Prev32sp.dll"): the ".dll" suffix and letter case do not matter.
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

namespace zol {

class Resources {
 public:
  // Folders searched for module files, in order: those added here (latest
  // first), the program's own folder, then the build tree's resource folder.
  static void addSearchDir(const QString& dir);
  static QStringList searchDirs();

  // Registers a module. True when it is loaded (now or before). Does not
  // change the current module.
  static bool load(std::string_view module);
  // Loads the module when needed and makes it current. False (and the
  // current module unchanged) when its file cannot be found.
  static bool use(std::string_view module);
  // Makes a loaded module current; false when it is not loaded.
  static bool setCurrent(std::string_view module);
  // Name of the current module (upper-case key as loaded), empty when none.
  static std::string current();
  static bool isLoaded(std::string_view module);
  // Unregisters one module or all of them (shutdown). Releasing the current
  // module leaves no module current.
  static void release(std::string_view module);
  static void releaseAll();

  // The custom-control module: loading it gives a handle above 0, or 0 when
  // its file is missing. Registering makes the template loader build the
  // custom control classes it lists; without it they stand in as plain frames.
  static int loadCustomControls(std::string_view module = "BWCC32.DLL");
  static bool registerCustomControls();
  static void unloadCustomControls(int handle);
  static bool isCustomControl(const QString& className);

  // Lookups in the current module. Names are case-insensitive.
  static bool hasTemplate(std::string_view name);
  static QByteArray templateXml(std::string_view name);  // empty when missing
  static QStringList templateNames();
  static QPixmap bitmap(std::string_view name);  // null pixmap when missing
  static QIcon icon(std::string_view name);      // null icon when missing
  static QPixmap cursorImage(std::string_view name);
  static QString string(int id);  // empty when missing
};

// Fatal template errors, raised through the error hook (they end the program
// in production; a test handler may answer Default and the caller goes on
// with an empty stand-in).
void raiseMissingTemplate(std::string_view name);
void raiseMissingId(std::string_view templateName, int id);
void raiseWrongControl(std::string_view templateName, int id, const QString& expected,
                       const QString& found);

}  // namespace zol
