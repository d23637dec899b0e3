// Every template of every resource module exists and holds the controls the
// screens bind, with the class each binding expects; radio buttons come in
// the order their numbers count. Missing templates and ids reach the error hook.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/error_event.h"
#include "ui/dialog.h"
#include "ui/resources.h"

namespace zol {
namespace {

// Control kinds as the template classes that carry them.
const char* const Get = "QLineEdit";
const char* const Memo = "QPlainTextEdit";
const char* const ImgBtn = "QToolButton";
const char* const PushBtn = "QPushButton";
const char* const Picture = "QLabel";  // bitmap or text
const char* const Radio = "QRadioButton";
const char* const Combo = "QComboBox";
const char* const Browse = "TWBrowse";
const char* const Graph = "TGraph";

struct TemplateCase {
  const char* module;
  const char* name;
  std::map<int, const char*> ids;
  std::vector<std::vector<int>> radioGroups = {};  // ids in option order
  std::vector<int> absent = {};                // ids that must not be there
};

std::map<int, const char*> merge(std::map<int, const char*> a, const std::map<int, const char*>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

const std::map<int, const char*> kArticleForm = {{101, Get}, {102, Get}, {105, Get}, {110, Get}, {108, Get},
                                                 {107, Memo}, {172, Picture}, {104, ImgBtn}, {106, ImgBtn}};
const std::map<int, const char*> kListButtons = {{182, ImgBtn}, {183, ImgBtn}, {184, ImgBtn}, {185, ImgBtn},
                                                 {187, ImgBtn}};
const std::map<int, const char*> kMovementForm = {{101, Get}, {109, Get}, {102, Get}, {105, Get},
                                                  {108, Get}, {114, Get}, {113, Get}, {107, Get},
                                                  {172, Picture}, {104, ImgBtn}, {106, ImgBtn}};
const std::map<int, const char*> kRange = {{101, Get}, {102, Get}, {112, Radio}, {113, Radio},
                                           {103, ImgBtn}, {104, ImgBtn}};
const std::map<int, const char*> kSearch = {{102, Get}, {104, ImgBtn}, {105, ImgBtn}};
const std::map<int, const char*> kListChoice = {{112, Radio}, {113, Radio}, {107, ImgBtn}, {108, ImgBtn}};

std::vector<TemplateCase> templateCases() {
  const char* Z = "ZOL0000";
  return {
      {Z, "ZOL0410BRW", merge({{181, Browse}, {102, Get}}, kListButtons)},
      {Z, "ZOL0410ALT", kArticleForm},
      {Z, "ZOL0410MOD", kArticleForm},
      {Z, "ZOL0410CO", {{100, Radio}, {110, Radio}, {101, ImgBtn}, {102, ImgBtn}}, {{100, 110}}},
      {Z, "ZOL0410S1", kSearch},
      {Z, "ZOL0410S2", kSearch},
      {Z, "ZOL1100BRW", merge({{181, Browse}, {4001, ImgBtn}, {4004, ImgBtn}}, kListButtons)},
      {Z, "ZOL1200BRW", merge({{181, Browse}, {4001, ImgBtn}, {4004, ImgBtn}}, kListButtons)},
      {Z, "ZOL1100ALT", merge({{111, Picture}}, kMovementForm)},
      {Z, "ZOL1200ALT", merge({{111, Picture}}, kMovementForm)},
      {Z, "ZOL1100MOD", kMovementForm, {}, {111}},
      {Z, "ZOL1200MOD", kMovementForm, {}, {111}},
      {Z, "ZOLFART", {{184, Get}, {181, Browse}, {102, ImgBtn}, {185, ImgBtn}}},
      {Z, "ZOL1100CO", {{100, Radio}, {101, Radio}, {102, ImgBtn}, {103, ImgBtn}}, {{100, 101}}},
      {Z, "ZOL1100S1", kSearch},
      {Z, "ZOL1100S3", kSearch},
      {Z, "BORRAR2", {{101, ImgBtn}, {102, ImgBtn}}},
      {Z, "LIS_SEL1", kListChoice, {{112, 113}}},
      {Z, "LIS_SEL2", kListChoice, {{112, 113}}},
      {Z, "LIS_SEL3", kListChoice, {{112, 113}}},
      {Z, "LIS_SEL4", kListChoice, {{112, 113}}},
      {Z, "RANGO_FEC1", kRange, {{112, 113}}},
      {Z, "RANGO_FEC2", kRange, {{112, 113}}},
      {Z, "RANGO_FEC4", kRange, {{112, 113}}},
      {Z, "RANGO_FEC5", merge({{114, Radio}, {115, Radio}}, kRange), {{112, 113, 114, 115}}},
      {Z, "GRAFICA2", {{120, Graph}, {181, Browse}, {101, ImgBtn}, {102, ImgBtn}, {103, ImgBtn},
                       {104, ImgBtn}, {105, ImgBtn}, {106, ImgBtn}, {107, ImgBtn}, {108, ImgBtn},
                       {109, ImgBtn}, {110, ImgBtn}}},
      {Z, "ZOL2200", kSearch},
      {Z, "CALEND", {{101, Combo}, {102, Get}, {100, Browse}, {104, PushBtn}}},
      {Z, "ZOL_ABOUT", {{113, PushBtn}}},
      {"PREV32SP", "PRINT", {{103, Radio}, {104, Radio}, {105, Radio}, {106, Get}, {107, Get},
                             {101, PushBtn}, {102, PushBtn}}, {{103, 104, 105}}},
      {"prev32", "PREVIEW_PROC", {{2, PushBtn}, {101, Picture}}},
  };
}

class ModuleScope {
 public:
  explicit ModuleScope(const char* module) : previous_(Resources::current()) { Resources::use(module); }
  ~ModuleScope() { Resources::setCurrent(previous_); }

 private:
  std::string previous_;
};

TEST(Templates, EveryTemplateHoldsTheBoundControls) {
  for (const TemplateCase& c : templateCases()) {
    SCOPED_TRACE(c.name);
    ModuleScope scope(c.module);
    ErrorRecorder errors;
    TDialog dlg(c.name);
    ASSERT_TRUE(dlg.fromTemplate());
    for (const auto& [id, kind] : c.ids) {
      QWidget* w = dlg.findItem(id);
      ASSERT_NE(w, nullptr) << "id " << id;
      EXPECT_EQ(w->property("uiClass").toString().toStdString(), kind) << "id " << id;
    }
    for (int id : c.absent) EXPECT_EQ(dlg.findItem(id), nullptr) << "id " << id;
    for (const auto& group : c.radioGroups) {
      // Same parent (one exclusive group) and laid out in option order.
      QWidget* parent = dlg.findItem(group.front())->parentWidget();
      QPoint last(-1, -1);
      dlg.show();  // layouts place hidden widgets only once shown
      QApplication::processEvents();
      for (int id : group) {
        QWidget* w = dlg.findItem(id);
        EXPECT_EQ(w->parentWidget(), parent) << "id " << id;
        const QPoint p = w->geometry().topLeft();
        EXPECT_TRUE(p.y() > last.y() || (p.y() == last.y() && p.x() > last.x()))
            << "id " << id << " at " << p.x() << "," << p.y() << " after " << last.x() << "," << last.y();
        last = p;
      }
    }
    EXPECT_TRUE(errors.empty());
  }
}

TEST(Templates, ModulesHoldNoTemplateBeyondTheList) {
  std::map<std::string, std::set<std::string>> expected;
  for (const TemplateCase& c : templateCases()) expected[c.module].insert(c.name);
  for (const auto& [module, names] : expected) {
    ModuleScope scope(module.c_str());
    std::set<std::string> found;
    for (const QString& n : Resources::templateNames()) found.insert(n.toStdString());
    EXPECT_EQ(found, names) << module;
  }
}

TEST(Templates, DialogsFitASmallScreen) {
  for (const TemplateCase& c : templateCases()) {
    ModuleScope scope(c.module);
    TFont brw("Arial", 12);
    TDialog dlg(c.name, &brw);
    dlg.adjustSize();
    EXPECT_LE(dlg.width(), 1024) << c.name;
    EXPECT_LE(dlg.height(), 700) << c.name;
  }
}

TEST(Templates, PicturesNamedInATemplateShowBeforeAnyBinding) {
  TDialog about("ZOL_ABOUT");
  auto* banner = about.findChild<QLabel*>("bmpBanner");
  ASSERT_NE(banner, nullptr);
  EXPECT_FALSE(banner->pixmap().isNull());
  TDialog list("ZOL0410BRW");
  for (int id : {182, 183, 184, 185, 187})
    EXPECT_FALSE(qobject_cast<QToolButton*>(list.findItem(id))->icon().isNull()) << id;
}

TEST(Templates, MissingTemplateIsFatalWithItsName) {
  ErrorRecorder errors;
  TDialog dlg("NO_SUCH_DIALOG");
  EXPECT_FALSE(dlg.fromTemplate());
  ASSERT_EQ(errors.events().size(), 1u);
  const ErrorEvent& e = errors.last();
  EXPECT_EQ(e.genCode, ErrGen::Fatal);
  EXPECT_EQ(e.description, "Cannot create Dialog Box");
  EXPECT_EQ(e.operation, "Resource: NO_SUCH_DIALOG");
  EXPECT_FALSE(e.canRetry);
  EXPECT_FALSE(e.canDefault);
}

TEST(Templates, MissingIdIsFatalAndTheScreenGoesOnWithAStandIn) {
  ErrorRecorder errors;
  TDialog dlg("ZOL0410S2");
  double code = 0;
  TGet& g = dlg.get(999, bind(code), "999999");
  ASSERT_EQ(errors.events().size(), 1u);
  EXPECT_EQ(errors.last().description, "Non defined Id");
  EXPECT_EQ(errors.last().operation, "No: 999");
  EXPECT_NE(g.widget(), nullptr);
  EXPECT_FALSE(g.widget()->isVisible());
}

TEST(Templates, BindingAControlOfTheWrongKindIsFatal) {
  ErrorRecorder errors;
  TDialog dlg("ZOL0410S2");
  dlg.btnBmp(102, "yes");  // 102 is the entry field
  ASSERT_EQ(errors.events().size(), 1u);
  EXPECT_EQ(errors.last().genCode, ErrGen::Fatal);
  EXPECT_EQ(errors.last().operation, "No: 102");
}

TEST(Templates, GarbageTemplateIsFatalNotACrash) {
  // A module whose template cannot be read: simulate by naming a string table.
  ErrorRecorder errors;
  ModuleScope scope("BWCC32.DLL");  // holds no dialogs at all
  TDialog dlg("ZOL0410S1");
  EXPECT_FALSE(dlg.fromTemplate());
  EXPECT_EQ(errors.events().size(), 1u);
}

TEST(Resources, EveryBitmapAndIconTheScreensNameExists) {
  const std::vector<const char*> program = {
      "Exit", "Calcu2", "paste", "calen32x32", "ayuda", "plus", "editar", "delete", "search", "quit",
      "calcu2", "lupa16x16", "Topr", "Bottomr", "yes", "no2", "Printer", "Copy", "Quit16x16", "Bars",
      "Lines", "Points", "Pie", "3D", "Xgrid", "Ygrid", "luz_v", "luz_r"};
  const std::vector<const char*> preview = {"Top2", "Previous2", "Next2", "Bottom2", "Zoom2", "Unzoom2",
                                            "Two_Pages2", "One_Page2", "Printer2", "Save", "PDF", "Exit2"};
  {
    ModuleScope scope("ZOL0000.DLL");
    for (const char* n : program) EXPECT_FALSE(Resources::bitmap(n).isNull()) << n;
    EXPECT_FALSE(Resources::icon("banner").isNull());
    EXPECT_TRUE(Resources::bitmap("no_such_bitmap").isNull());
  }
  {
    ModuleScope scope("Prev32sp.dll");
    for (const char* n : preview) EXPECT_FALSE(Resources::bitmap(n).isNull()) << n;
    EXPECT_FALSE(Resources::icon("Print").isNull());
    EXPECT_FALSE(Resources::cursorImage("magnifier").isNull());
    // Bitmaps live in their own module only.
    EXPECT_TRUE(Resources::bitmap("yes").isNull());
  }
}

TEST(Resources, StringTablesHoldThePreviewAndReportTexts) {
  {
    ModuleScope scope("PREV32SP");
    for (int id : {3, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 32})
      EXPECT_FALSE(Resources::string(id).isEmpty()) << id;
    EXPECT_TRUE(Resources::string(4).isEmpty());
  }
  {
    ModuleScope scope("prev32.dll");
    EXPECT_FALSE(Resources::string(5).isEmpty());
    EXPECT_FALSE(Resources::string(6).isEmpty());
  }
}

TEST(Resources, ModulesLoadAndReleaseByTheirProductNames) {
  const std::string before = Resources::current();
  EXPECT_TRUE(Resources::isLoaded("zol0000.dll"));
  EXPECT_FALSE(Resources::use("NOSUCH.DLL"));
  EXPECT_EQ(Resources::current(), before);  // a failed load changes nothing
  EXPECT_TRUE(Resources::use("prev32"));
  EXPECT_EQ(Resources::current(), "PREV32");
  Resources::release("PREV32.DLL");
  EXPECT_FALSE(Resources::isLoaded("prev32"));
  EXPECT_EQ(Resources::current(), "");
  EXPECT_FALSE(Resources::hasTemplate("PREVIEW_PROC"));
  {
    ErrorRecorder errors;
    TDialog dlg("ZOL0410S1");  // no current module: every template is missing
    EXPECT_EQ(errors.events().size(), 1u);
  }
  EXPECT_TRUE(Resources::use("prev32"));
  EXPECT_TRUE(Resources::hasTemplate("preview_proc"));
  Resources::use(before);
}

TEST(Resources, CustomControlsComeFromTheirModule) {
  EXPECT_TRUE(Resources::isCustomControl("TWBrowse"));
  EXPECT_TRUE(Resources::isCustomControl("TGraph"));
  EXPECT_FALSE(Resources::isCustomControl("QLineEdit"));
}

}  // namespace
}  // namespace zol
