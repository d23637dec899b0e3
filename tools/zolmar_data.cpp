// zolmar-data: prepares, fills, checks and shows a data folder from the
// command line, for installers, support and our own checks.
#include <sys/stat.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/numtext.h"
#include "store/ZOL2000.h"
#include "store/data_tables.h"
#include "store/verify.h"
#include "tools/demo_data.h"

using namespace zol;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: zolmar-data init  [DIR]   create the data folder and its tables\n"
               "       zolmar-data demo  [DIR]   fill a new data folder with sample data\n"
               "       zolmar-data check [DIR]   verify every table, memo and index file\n"
               "       zolmar-data reindex [DIR] pack the tables and rebuild their index files\n"
               "       zolmar-data dump  TABLE [--tag NAME]\n"
               "                                 print a table's structure and records, or a tag's keys\n"
               "DIR defaults to the program's data folder ($ZOLMAR_DATA or ~/zolva103/).\n");
  return 1;
}

std::string folderArg(int argc, char** argv) {
  if (argc < 3) return defaultDataPath();
  std::string d = argv[2];
  if (d.back() != '/') d += '/';
  return d;
}

bool makeDirs(const std::string& path) {
  std::string cur;
  for (size_t i = 0; i < path.size(); ++i) {
    cur += path[i];
    if (path[i] == '/' && cur.size() > 1) {
      if (::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every engine error is printed and makes the command fail.
struct Errors {
  int count = 0;
  Errors() {
    setErrorHandler([this](const ErrorEvent& e) {
      ++count;
      std::fprintf(stderr, "error: %s\n", e.messageLine().c_str());
      return false;
    });
  }
};

bool initFolder(WorkAreas& wa, const std::string& dir) {
  if (!makeDirs(dir)) {
    std::fprintf(stderr, "error: cannot create the folder %s\n", dir.c_str());
    return false;
  }
  if (!wa.exists(dir + Tables::Settings)) {
    // The installation's settings: the daily reindex on, everything else blank.
    if (!wa.create(dir + Tables::Settings, settingsStructure()) || !wa.use(dir + Tables::Settings)) return false;
    wa.cur().appendBlank();
    wa.cur().put("indexa", Value("S"));
    wa.closeAll();
    std::printf("created %snumeros.dbf\n", dir.c_str());
  }
  std::vector<std::string> missing;
  for (const char* t : {"maeart.dbf", "entradas.dbf", "salidas.dbf"})
    if (!wa.exists(dir + t)) missing.push_back(t);
  bool ok = ZOL_ARC(wa, dir, [](const std::string& t) { std::printf("upgrading %s\n", t.c_str()); });
  wa.closeAll();
  for (const auto& m : missing) std::printf("created %s%s\n", dir.c_str(), m.c_str());
  return ok;
}

int cmdInit(const std::string& dir) {
  Errors errors;
  WorkAreas wa;
  if (!initFolder(wa, dir) || errors.count) return 1;
  std::printf("data folder ready: %s\n", dir.c_str());
  return 0;
}

int cmdDemo(const std::string& dir) {
  Errors errors;
  WorkAreas wa;
  if (!initFolder(wa, dir) || errors.count) return 1;
  if (!wa.use(dir + Tables::Articles)) return 1;
  if (wa.cur().recCount() != 0) {
    std::fprintf(stderr, "error: %smaeart.dbf already holds articles; demo data goes only into a new folder\n",
                 dir.c_str());
    return 1;
  }
  wa.closeAll();
  DemoSummary s;
  if (!writeDemoData(wa, dir, s) || errors.count) return 1;
  std::printf("demo data written to %s: %d articles, %d entries, %d exits\n", dir.c_str(), s.articles, s.entries,
              s.exits);
  return 0;
}

int cmdCheck(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    std::fprintf(stderr, "error: cannot read the folder %s\n", dir.c_str());
    return 1;
  }
  std::vector<std::string> tables;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > 4 && strcasecmp(n.c_str() + n.size() - 4, ".dbf") == 0) tables.push_back(n);
  }
  ::closedir(d);
  std::sort(tables.begin(), tables.end());
  if (tables.empty()) {
    std::fprintf(stderr, "error: no tables in %s\n", dir.c_str());
    return 1;
  }
  int problems = 0;
  for (const auto& t : tables) {
    auto found = verifyTable(realFileSystem(), dir + t);
    auto idx = verifyIndex(realFileSystem(), dir + t);
    found.insert(found.end(), idx.begin(), idx.end());
    for (const Problem& p : found) std::printf("%s\n", cp1252ToUtf8(p.text()).c_str());
    if (found.empty()) std::printf("%s: ok\n", t.c_str());
    problems += static_cast<int>(found.size());
  }
  if (problems) {
    std::printf("%d problem%s found\n", problems, problems == 1 ? "" : "s");
    return 1;
  }
  return 0;
}

// Draws one text bar per tag: on a terminal it moves as the tag builds.
class TextRunner : public TaskRunner, public TaskProgress {
 public:
  void run(const std::string& text, const std::string&, const std::function<void(TaskProgress&)>& task) override {
    text_ = text;
    total_ = 0;
    shown_ = -1;
    task(*this);
    draw(total_, true);
  }
  void setTotal(uint32_t t) override { total_ = t; }
  void setPosition(uint32_t p) override {
    if (tty_) draw(p, false);
  }
  bool cancelled() const override { return false; }

 private:
  void draw(uint32_t pos, bool last) {
    int pct = total_ ? static_cast<int>(uint64_t(std::min(pos, total_)) * 100 / total_) : 100;
    if (!last && pct == shown_) return;
    shown_ = pct;
    std::string bar(static_cast<size_t>(pct / 5), '#');
    bar.resize(20, '.');
    std::printf("%s%-24s [%s] %3d%%%s", tty_ ? "\r" : "", text_.c_str(), bar.c_str(), pct, last ? "\n" : "");
    std::fflush(stdout);
  }
  bool tty_ = isatty(1);
  std::string text_;
  uint32_t total_ = 0;
  int shown_ = -1;
};

int cmdReindex(const std::string& dir) {
  Errors errors;
  WorkAreas wa;
  for (const char* t : {"maeart.dbf", "entradas.dbf", "salidas.dbf"}) {
    if (!wa.exists(dir + t)) {
      std::fprintf(stderr, "error: %s%s is missing (run zolmar-data init first)\n", dir.c_str(), t);
      return 1;
    }
  }
  TextRunner runner;
  ZOL2000(wa, dir, runner);
  return errors.count ? 1 : 0;
}

int cmdDumpTag(const std::string& table, const std::string& name) {
  Errors errors;
  WorkAreas wa;
  wa.hideDeleted = false;
  if (!wa.use(table, "", true, true)) return 1;
  int n = wa.cur().orderByName(name);
  if (n == 0) {
    std::fprintf(stderr, "error: no tag %s in the index file of %s\n", name.c_str(), table.c_str());
    return 1;
  }
  CdxTag* tag = nullptr;
  for (const auto& f : wa.cur().indexFiles())
    if (!tag) tag = f->findTag(name);
  std::printf("tag %s: %s (%c %d)\n", tag->name().c_str(), tag->keyExpr().c_str(), keyTypeLetter(tag->keyType()),
              tag->keyLength());
  tag->forEach([&](std::string_view key, uint32_t recno) {
    std::printf("%u \"%s\"\n", recno, cp1252ToUtf8(describeKey(key, tag->keyType())).c_str());
    return true;
  });
  return errors.count ? 1 : 0;
}

int cmdDump(const std::string& table) {
  Errors errors;
  WorkAreas wa;
  wa.hideDeleted = false;
  if (!wa.use(table, "", true, true)) return 1;
  WorkArea& a = wa.cur();
  std::printf("table %s: %u records\n", a.table()->path().c_str(), a.recCount());
  for (int i = 1; i <= a.fieldCount(); ++i) {
    const FieldDesc* f = a.fieldDesc(i);
    std::printf("  %-10s %c %3d %d\n", f->name.c_str(), f->type, f->width, f->decimals);
  }
  for (a.goTop(); !a.eof(); a.skip()) {
    std::printf("%u%s", a.recNo(), a.deleted() ? " *" : "");
    for (int i = 1; i <= a.fieldCount(); ++i) {
      const FieldDesc* f = a.fieldDesc(i);
      Value v = a.get(i);
      std::string s;
      switch (v.kind()) {
        case ValueKind::Text: s = "\"" + cp1252ToUtf8(v.text()) + "\""; break;
        case ValueKind::Number: s = plainDecimal(v.number(), f->decimals); break;
        case ValueKind::Date: s = v.date().isEmpty() ? "-" : v.date().toText(); break;
        case ValueKind::Logical: s = v.logical() ? ".T." : ".F."; break;
        default: s = "nil";
      }
      std::printf(" %s=%s", f->name.c_str(), s.c_str());
    }
    std::printf("\n");
  }
  return errors.count ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string cmd = argv[1];
  if (cmd == "init") return cmdInit(folderArg(argc, argv));
  if (cmd == "demo") return cmdDemo(folderArg(argc, argv));
  if (cmd == "check") return cmdCheck(folderArg(argc, argv));
  if (cmd == "reindex") return cmdReindex(folderArg(argc, argv));
  if (cmd == "dump" && argc >= 3) {
    std::string t = argv[2];
    if (t.find('/') == std::string::npos) t = defaultDataPath() + t;
    if (argc == 5 && std::string(argv[3]) == "--tag") return cmdDumpTag(t, argv[4]);
    if (argc != 3) return usage();
    return cmdDump(t);
  }
  return usage();
}
