#include "launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace zol {

namespace {

// Full path of the first directory on PATH holding an executable `name`.
std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string full = dir + "/" + name;
    if (::access(full.c_str(), X_OK) == 0) return full;
    start = end + 1;
  }
  return {};
}

// Starts argv detached: a short-lived shell puts the program in the
// background and exits at once, so the program is adopted by init (no zombie
// left to reap) and we only wait for the shell.
bool spawnDetached(const std::vector<std::string>& argv) {
  std::vector<std::string> args = {"sh", "-c", "\"$0\" \"$@\" </dev/null >/dev/null 2>&1 &"};
  args.insert(args.end(), argv.begin(), argv.end());
  std::vector<char*> cargs;
  for (auto& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own session, so closing our terminal does not take the program down.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, "/bin/sh", nullptr, &attr, cargs.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A relative name starting with '-' would be read as an option.
std::string safePath(const std::string& path) {
  return !path.empty() && path[0] == '-' ? "./" + path : path;
}

}  // namespace

Launcher& Launcher::instance() {
  static Launcher launcher;
  return launcher;
}

bool Launcher::openDocument(const std::string& path) {
  if (recording_) {
    requests_.push_back({LaunchRequest::Kind::Document, path});
    return true;
  }
  return start({"xdg-open"}, path);
}

bool Launcher::startCalculator() {
  if (recording_) {
    requests_.push_back({LaunchRequest::Kind::Calculator, {}});
    return true;
  }
  return start({"gnome-calculator", "kcalc", "mate-calc", "galculator", "qalculate-gtk", "xcalc"}, {});
}

bool Launcher::startTextEditor(const std::string& path) {
  if (recording_) {
    requests_.push_back({LaunchRequest::Kind::TextEditor, path});
    return true;
  }
  return start({"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma", "xed",
                "featherpad", "leafpad"},
               path);
}

bool Launcher::start(const std::vector<std::string>& programs, const std::string& path) {
  for (const auto& name : programs) {
    std::string program = findProgram(name);
    if (program.empty()) continue;
    std::vector<std::string> argv = {program};
    if (!path.empty()) argv.push_back(safePath(path));
    return spawnDetached(argv);
  }
  return false;
}

}  // namespace zol
