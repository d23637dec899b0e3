#pragma once
// Screens reachable from the main window, by the name of their screen
// function ("ZOL0410", "ZOL2200", "CALEND"...). The menu and the button bar
// enable an entry only when its screen is registered, so a new screen shows
// up by registering itself in registerScreens() (screen_table.cpp).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zol {

using ScreenFunction = std::function<void()>;

class ScreenRegistry {
 public:
  static void add(std::string_view name, ScreenFunction screen);
  static void remove(std::string_view name);
  static bool has(std::string_view name);
  // Runs the screen; false when it is not registered.
  static bool run(std::string_view name);
  static std::vector<std::string> names();
};

// Registers every screen the program has; called once before the main window
// is built.
void registerScreens();

}  // namespace zol
