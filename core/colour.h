#pragma once
// 24-bit colour: red in the low byte, green in the middle, blue in the high byte.
#include <cstdint>

namespace zol {

struct Colour {
  uint32_t value = 0;
  constexpr Colour() = default;
  constexpr explicit Colour(uint32_t v) : value(v & 0xFFFFFF) {}
  constexpr int red() const { return value & 0xFF; }
  constexpr int green() const { return (value >> 8) & 0xFF; }
  constexpr int blue() const { return (value >> 16) & 0xFF; }
  friend constexpr bool operator==(Colour, Colour) = default;
};

constexpr Colour RGB(int r, int g, int b) {
  return Colour(static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8 |
                static_cast<uint32_t>(b & 0xFF) << 16);
}

}  // namespace zol
