#pragma once
// Code page conversions. Table data is Windows-1252 bytes; the GUI speaks UTF-8.
#include <string>
#include <string_view>

namespace zol {

// Windows-1252 bytes to UTF-8. Every byte maps, so the conversion is lossless.
std::string cp1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252; characters the code page lacks (and broken UTF-8) become '?'.
std::string utf8ToCp1252(std::string_view utf8);
// DOS 850 bytes to Windows-1252 bytes; line-drawing signs 1252 lacks become '?'.
std::string cp850ToCp1252(std::string_view bytes);

}  // namespace zol
