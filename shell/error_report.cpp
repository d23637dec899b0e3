#include "shell/error_report.h"

#include <QApplication>
#include <QFileInfo>
#include <QSysInfo>
#include <QWidget>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "core/date.h"
#include "shell/globals.h"
#include "store/cdx.h"
#include "store/dbf_types.h"

namespace zol {

namespace {

const auto kProcessStart = std::chrono::steady_clock::now();

std::string demangle(const char* name) {
  if (!name || !*name) return "???";
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> d(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && d ? std::string(d.get()) : std::string(name);
}

std::string baseName(const std::string& path) {
  auto p = path.find_last_of('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

// Files and lines of addresses inside `binary`, through addr2line when the
// machine has it (one run per binary); without it the stack has no lines.
std::vector<std::pair<std::string, int>> sourceLines(const std::string& binary, const std::vector<uintptr_t>& offsets) {
  std::vector<std::pair<std::string, int>> result(offsets.size(), {std::string(), 0});
  static const bool have = std::system("command -v addr2line >/dev/null 2>&1") == 0;
  if (!have || offsets.empty() || binary.find('\'') != std::string::npos) return result;
  std::string cmd = "addr2line -e '" + binary + "'";
  char hex[32];
  for (uintptr_t o : offsets) {
    std::snprintf(hex, sizeof hex, " 0x%lx", static_cast<unsigned long>(o));
    cmd += hex;
  }
  cmd += " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return result;
  char buf[2048];
  for (size_t i = 0; i < offsets.size() && std::fgets(buf, sizeof buf, p); ++i) {
    std::string s(buf);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    auto colon = s.rfind(':');
    if (colon == std::string::npos || s.compare(0, 2, "??") == 0) continue;
    result[i] = {baseName(s.substr(0, colon)), std::atoi(s.c_str() + colon + 1)};
  }
  pclose(p);
  return result;
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

void heading(std::vector<std::string>& out, const std::string& title) {
  out.push_back(title);
  out.push_back(std::string(title.size(), '='));
}

// "1,234,567" as the picture 9,999,999 shows it.
std::string grouped(unsigned long long n) {
  std::string s = std::to_string(n);
  for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(static_cast<size_t>(i), ",");
  return s;
}

std::string padLeft(const std::string& s, size_t n) { return s.size() >= n ? s : std::string(n - s.size(), ' ') + s; }
std::string padRight(const std::string& s, size_t n) { return s.size() >= n ? s : s + std::string(n - s.size(), ' '); }

std::map<std::string, std::string> readKeyValues(const char* file, char sep) {
  std::map<std::string, std::string> kv;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    auto p = line.find(sep);
    if (p == std::string::npos) continue;
    std::string k = line.substr(0, p), v = line.substr(p + 1);
    while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.erase(0, 1);
    kv.emplace(k, v);  // first occurrence: the first processor
  }
  return kv;
}

long long kiB(const std::map<std::string, std::string>& kv, const char* key) {
  auto it = kv.find(key);
  return it == kv.end() ? -1 : std::atoll(it->second.c_str());
}

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string duration(long long secs) {
  return std::to_string(secs / 3600) + " hours " + std::to_string(secs / 60 % 60) + " mins " +
         std::to_string(secs % 60) + " secs";
}

void application(std::vector<std::string>& out, const ErrorEvent& e) {
  heading(out, "Application");
  std::string exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath().toStdString() : "";
  if (exe.empty()) {
    char buf[4096] = {};
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) exe.assign(buf, static_cast<size_t>(n));
  }
  out.push_back("   Path and name: " + exe + " (" + std::to_string(sizeof(void*) * 8) + " bits)");
  out.push_back("   Size: " + grouped(static_cast<unsigned long long>(QFileInfo(QString::fromStdString(exe)).size())) +
                " bytes");
  out.push_back(std::string("   Compiler version: ") + "GCC " + __VERSION__);
  out.push_back(std::string("   Qt version: ") + qVersion() + " (built with " + QT_VERSION_STR + ")");
  out.push_back("   OS version: " + QSysInfo::prettyProductName().toStdString() + ", kernel " +
                QSysInfo::kernelVersion().toStdString() + " " + QSysInfo::currentCpuArchitecture().toStdString());
  out.push_back("");
  const auto secs =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - kProcessStart).count();
  out.push_back("   Time from start: " + duration(secs));
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  out.push_back("   Error occurred at: " + Date::fromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday).toText() +
                ", " + two(tm.tm_hour) + ":" + two(tm.tm_min) + ":" + two(tm.tm_sec));
  out.push_back("   Error description: " + e.messageLine());
  if (!e.args.empty()) {
    out.push_back("   Args:");
    for (size_t i = 0; i < e.args.size(); ++i)
      out.push_back("     [" + padLeft(std::to_string(i + 1), 4) + "] = C   " + e.args[i]);
  }
  out.push_back("");
}

void system(std::vector<std::string>& out) {
  heading(out, "System");
  auto cpu = readKeyValues("/proc/cpuinfo", ':');
  std::string model = cpu.count("model name") ? cpu["model name"] : QSysInfo::currentCpuArchitecture().toStdString();
  std::string mhz = cpu.count("cpu MHz") ? std::to_string(std::lround(std::atof(cpu["cpu MHz"].c_str()))) : "?";
  out.push_back("   CPU type: " + model + " " + mhz + " Mhz");
  auto mem = readKeyValues("/proc/meminfo", ':');
  long long total = kiB(mem, "MemTotal"), avail = kiB(mem, "MemAvailable");
  if (total > 0) {
    out.push_back("   Hardware memory: " + std::to_string((total + 1023) / 1024) + " megs");
    if (avail >= 0) out.push_back("   Free System resources: " + std::to_string(avail * 100 / total) + " %");
  }
  std::ifstream up("/proc/uptime");
  double uptime = 0;
  if (up >> uptime) out.push_back("   System up for: " + duration(static_cast<long long>(uptime)));
  if (qApp) {
    std::vector<std::string> titles;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) titles.push_back(w->windowTitle().toStdString());
    out.push_back("   Windows of this program: " + std::to_string(titles.size()));
    for (size_t i = 0; i < titles.size(); ++i) out.push_back("    " + padLeft(std::to_string(i + 1), 3) + " " + titles[i]);
  }
  out.push_back("");
}

void variables(std::vector<std::string>& out) {
  heading(out, "Variables in use");
  out.push_back("   Procedure     Type   Value");
  out.push_back("   ==========================");
  out.push_back("   Globals");
  int n = 0;
  auto var = [&](const char* name, char type, const std::string& value) {
    out.push_back("     Public " + padLeft(std::to_string(++n), 3) + ":    " + type + "    " + padRight(name, 10) +
                  " " + value);
  };
  auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
  var("WPATH", 'C', quoted(WPATH));
  var("XART", 'N', std::to_string(static_cast<long long>(XART)));
  var("XNOM_ART", 'C', quoted(XNOM_ART));
  var("OFONTBRW", 'O', "Class: TFont");
  var("OFONTBMP", 'O', "Class: TFont");
  var("OFONTESP", 'O', "Class: TFont");
  var("XINDEXA", 'C', quoted(XINDEXA));
  var("XFECINDEX", 'D', XFECINDEX.toText());
  var("XFILESXLS", 'C', quoted(XFILESXLS));
  var("WFILESXLS", 'C', quoted(WFILESXLS));
  out.push_back("");
}

void databases(std::vector<std::string>& out, WorkAreas* wa) {
  heading(out, "Linked RDDs");
  out.push_back(std::string("   ") + kDriverName);
  out.push_back("");
  heading(out, "DataBases in use");
  if (wa) {
    // Only what the areas hold already: reading a position must not move a
    // related area (a seek could fail again inside the report).
    for (int n : wa->openAreas()) {
      if (n > 255) break;
      WorkArea& a = wa->area(n);
      const WorkArea::Snapshot at = a.snapshot();
      out.push_back(std::string(n == wa->current() ? "=> " : "   ") + padLeft(std::to_string(n), 3) + ": " +
                    a.alias());
      out.push_back(std::string("     RddName: ") + kDriverName);
      out.push_back("     RecNo    RecCount    BOF   EOF");
      out.push_back("     " + padLeft(std::to_string(at.recno), 5) + "    " + padLeft(std::to_string(a.recCount()), 8) +
                    "    " + (at.bof ? ".T." : ".F.") + "   " + (at.eof ? ".T." : ".F."));
      out.push_back("     Indexes in use                           TagName");
      const std::string controlling = a.order() > 0 ? a.orderName(a.order()) : std::string();
      for (const auto& file : a.indexFiles()) {
        for (size_t t = 0; t < file->tagCount(); ++t) {
          CdxTag& tag = file->tag(t);
          const bool on = !controlling.empty() && strcasecmp(tag.name().c_str(), controlling.c_str()) == 0;
          out.push_back(std::string(on ? "  => " : "     ") + padRight(tag.keyExpr(), 35) + "    " + tag.name());
        }
      }
      out.push_back("     Relations in use");
      for (const auto& [child, key] : a.relationList()) {
        WorkArea& c = wa->area(child);
        out.push_back("     TO " + key + " INTO " + (c.isOpen() ? c.alias() : std::to_string(child)));
      }
    }
  }
  out.push_back("");
}

void classes(std::vector<std::string>& out) {
  heading(out, "Classes in use:");
  std::set<std::string> names;
  if (qApp)
    for (QWidget* w : QApplication::allWidgets()) names.insert(w->metaObject()->className());
  int n = 0;
  for (const auto& c : names) out.push_back("   " + padLeft(std::to_string(++n), 3) + " " + c);
  out.push_back("");
}

void memory(std::vector<std::string>& out) {
  heading(out, "Memory Analysis");
  out.push_back("   10 Static variables");
  out.push_back("");
  auto status = readKeyValues("/proc/self/status", ':');
  long long rss = kiB(status, "VmRSS"), peak = kiB(status, "VmHWM");
  out.push_back("   Dynamic memory consume:");
  out.push_back("      Actual  Value: " + grouped(static_cast<unsigned long long>(rss < 0 ? 0 : rss * 1024)) + " bytes");
  out.push_back("      Highest Value: " + grouped(static_cast<unsigned long long>(peak < 0 ? 0 : peak * 1024)) +
                " bytes");
}

}  // namespace

std::vector<StackFrame> currentStack(int skip, int maxDepth) {
  std::vector<void*> addrs(static_cast<size_t>(maxDepth + skip + 1));
  int n = backtrace(addrs.data(), static_cast<int>(addrs.size()));
  std::vector<StackFrame> frames;
  std::map<std::string, std::vector<std::pair<size_t, uintptr_t>>> byBinary;
  // Frame 0 is this function.
  for (int i = 1 + skip; i < n && static_cast<int>(frames.size()) < maxDepth; ++i) {
    StackFrame f{"???", "???", 0};
    Dl_info info{};
    void* addr = addrs[static_cast<size_t>(i)];
    if (dladdr(addr, &info) && info.dli_fname) {
      f.module = baseName(info.dli_fname);
      f.routine = demangle(info.dli_sname);
      // A return address points after the call; one byte back is the call.
      const uintptr_t offset = reinterpret_cast<uintptr_t>(addr) - reinterpret_cast<uintptr_t>(info.dli_fbase) - 1;
      byBinary[info.dli_fname].push_back({frames.size(), offset});
    }
    frames.push_back(std::move(f));
  }
  for (const auto& [binary, list] : byBinary) {
    std::vector<uintptr_t> offsets;
    for (const auto& e : list) offsets.push_back(e.second);
    auto lines = sourceLines(binary, offsets);
    for (size_t k = 0; k < list.size(); ++k) {
      if (lines[k].second <= 0) continue;
      frames[list[k].first].module = lines[k].first;
      frames[list[k].first].line = lines[k].second;
    }
  }
  return frames;
}

std::string calledFromLine(const StackFrame& f) {
  return "   Called from: " + f.module + " => " + f.routine + "( " + std::to_string(f.line) + " )";
}

std::string errorReport(const ErrorEvent& e, const std::vector<StackFrame>& stack, WorkAreas* areas) {
  std::vector<std::string> out;
  application(out, e);
  heading(out, "Stack Calls");
  for (const auto& f : stack) out.push_back(calledFromLine(f));
  out.push_back("");
  system(out);
  variables(out);
  databases(out, areas);
  classes(out);
  memory(out);
  return crlf(out);
}

bool writeReport(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(f.flush());
}

}  // namespace zol
