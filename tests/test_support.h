#pragma once
// Shared helpers for tests: a temporary folder per test and small file helpers.
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zol::test {

// A fresh folder under the system temp dir, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zoltest-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    char* p = mkdtemp(buf.data());
    path_ = p ? std::string(p) + "/" : std::string("/tmp/");
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  // Path with trailing separator.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline uint64_t fileSize(const std::string& path) {
  std::error_code ec;
  auto s = std::filesystem::file_size(path, ec);
  return ec ? 0 : s;
}

// Runs a shell command, returns its exit status and captures stdout.
inline int run(const std::string& cmd, std::string* out = nullptr) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) s.append(buf, n);
  int rc = pclose(p);
  if (out) *out = s;
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

}  // namespace zol::test
