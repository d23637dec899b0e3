#include "shell/screen_registry.h"

#include <map>

namespace zol {

namespace {
std::map<std::string, ScreenFunction, std::less<>>& table() {
  static std::map<std::string, ScreenFunction, std::less<>> t;
  return t;
}
}  // namespace

void ScreenRegistry::add(std::string_view name, ScreenFunction screen) {
  table()[std::string(name)] = std::move(screen);
}

void ScreenRegistry::remove(std::string_view name) {
  auto it = table().find(name);
  if (it != table().end()) table().erase(it);
}

bool ScreenRegistry::has(std::string_view name) {
  auto it = table().find(name);
  return it != table().end() && it->second;
}

bool ScreenRegistry::run(std::string_view name) {
  auto it = table().find(name);
  if (it == table().end() || !it->second) return false;
  // A copy: the screen may re-register entries while it runs.
  ScreenFunction screen = it->second;
  screen();
  return true;
}

std::vector<std::string> ScreenRegistry::names() {
  std::vector<std::string> n;
  for (const auto& [k, v] : table()) n.push_back(k);
  return n;
}

}  // namespace zol
