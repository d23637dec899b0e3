#pragma once
// Writes one worksheet as an Excel 2.x (BIFF2) file, record by record in call
// order. The header (fonts and number formats from xls_tables.h) is written at
// construction; the caller then sets column widths before the cells of those
// columns, writes cells, and calls end(). See docs/formats/xls-biff2.md.
//
// Rows and columns are 1-based. A sheet holds rows 1..16384 and columns 1..256:
// readers of the format (python3-xlrd among them) refuse a whole file with a
// cell beyond them, so such cells are left out and counted in the result.
// LibreOffice reads rows up to 65536; XlsOptions::longSheet allows those for
// sheets that would otherwise lose rows, at the price of that compatibility.
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/value.h"
#include "xls/xls_sink.h"

namespace zol {

struct XlsOptions {
  bool autoCalc = true;
  int iterations = 0;      // 0: no iterative calculation
  bool protect = false;
  bool openAtEnd = false;  // hand the finished file to the desktop's default application
  bool longSheet = false;  // allow rows up to 65536 (see above)
};

// Attributes of one cell.
struct XlsAttr {
  bool hidden = false;
  bool locked = false;
  int font = 0;    // 0..3; higher numbers use font 3
  int format = 0;  // 0 "General", n the n-th XLSFORMAT entry (1..63; others give 0)
  bool shaded = false;
  int border = 0;  // or-ed XlsBorder bits
  int align = 0;   // XlsAlign
};

namespace XlsBorder {
constexpr int Left = 0x08, Right = 0x10, Top = 0x20, Bottom = 0x40;
}
namespace XlsAlign {
constexpr int General = 0, Left = 1, Centre = 2, Right = 3;
}
// Error values of error cells.
namespace XlsError {
constexpr int Null = 0x00, Div0 = 0x07, Value = 0x0F, Ref = 0x17, Name = 0x1D, Num = 0x24,
              NA = 0x2A;
}

// What say() writes: a value, or a callback asked for the value at write time.
class XlsInput {
 public:
  using Callback = std::function<XlsInput()>;
  template <class T>
    requires std::constructible_from<Value, T>
  XlsInput(T&& v) : v_(std::in_place_type<Value>, std::forward<T>(v)) {}
  XlsInput(Callback f) : v_(std::move(f)) {}
  template <class F>
    requires(!std::constructible_from<Value, F> && !std::same_as<std::decay_t<F>, Callback> &&
             !std::same_as<std::decay_t<F>, XlsInput> && std::invocable<F&>)
  XlsInput(F f) : v_(Callback(std::move(f))) {}

  const Value* value() const { return std::get_if<Value>(&v_); }
  const Callback* callback() const { return std::get_if<Callback>(&v_); }

 private:
  std::variant<Value, Callback> v_;
};

enum class XlsBreak { Horizontal, Vertical };

struct XlsDisplay {
  int top = 0, left = 0, bottom = 200, right = 300;
  bool hidden = false;
  bool showFormulas = false;
  bool showGrid = true;
  bool showHeaders = true;
  bool hideZeros = false;
};

struct XlsPrinter {
  std::string header, footer;  // Windows-1252, up to 255 bytes
  double left = 0, right = 0, top = 0, bottom = 0;  // inches
  bool printHeaders = false;
  bool printGrid = false;
};

struct XlsResult {
  bool written = false;  // the finished file is on disk
  int64_t dropped = 0;   // cells left out: beyond the limits, unsupported, unrepresentable
  int osError = 0;       // why the file could not be written, 0 when written
  bool opened = false;   // the open-at-end request was accepted by the desktop
  bool ok() const { return written && dropped == 0; }
};

class TFileXLS {
 public:
  static constexpr int kMaxRows = 16384;
  static constexpr int kMaxLongRows = 65536;
  static constexpr int kMaxCols = 256;

  // Creates (or replaces, at end()) the file `name`; an empty name gives a new
  // temporary file "*.xls". When the file cannot be created the sheet's writes
  // are lost without a message and end() reports it.
  explicit TFileXLS(std::string name = {}, XlsOptions options = {});
  // Writes into the given sink (tests, benchmarks).
  explicit TFileXLS(std::unique_ptr<XlsSink> sink, XlsOptions options = {}, std::string name = {});
  // Without end(), the unfinished sheet is dropped and the old file kept.
  ~TFileXLS();
  TFileXLS(const TFileXLS&) = delete;
  TFileXLS& operator=(const TFileXLS&) = delete;

  const std::string& name() const { return name_; }
  // False once the file could not be created or a write failed; after end(),
  // whether the file was written.
  bool good() const { return ended_ ? result_.written : sink_->good() && !failed_; }
  int64_t dropped() const { return dropped_; }

  // Width in characters of columns first..last (last 0: first alone); 0 when hidden.
  void col(int first, int last = 0, double width = 10.71, bool hidden = false);
  // Height in points of one row.
  void row(int row, double points = 12.75);

  // Writes one cell by the kind of the value: number, text, date, logical,
  // or a blank cell for no value. A callback is called once and its result
  // written; a result of any other kind raises the "Data type XLS no support"
  // warning and writes nothing.
  void say(int row, int col, const XlsInput& v, const XlsAttr& a = {});

  // Whole numbers 0..65535 go out as 2-byte integers, others as doubles;
  // infinities and NaN as the #NUM! error.
  void number(int row, int col, double v, const XlsAttr& a = {});
  // Windows-1252 text, cut to 255 bytes.
  void string(int row, int col, std::string_view text, const XlsAttr& a = {});
  // The spreadsheet's day number; the empty date gives a blank cell, dates
  // the 1900 calendar cannot show (before 1 March 1900) go out as text.
  void date(int row, int col, Date d, const XlsAttr& a = {});
  void boolean(int row, int col, bool v, const XlsAttr& a = {});
  void blank(int row, int col, const XlsAttr& a = {});
  // `code` is one of XlsError; other codes are not written.
  void error(int row, int col, int code, const XlsAttr& a = {});
  // `parsed` is the formula already in the format's token bytes (at most 255).
  void formula(int row, int col, double value, bool recalc, std::string_view parsed,
               const XlsAttr& a = {});
  void note(int row, int col, std::string_view text);

  // Adds page breaks (1-based rows or columns), kept sorted without duplicates.
  void addBreak(XlsBreak kind, const std::vector<int>& at);
  void setDisplay(const XlsDisplay& d = {});
  void setPrinter(const XlsPrinter& p = {});

  // Writes the closing records and finishes the file; with openAtEnd, hands a
  // written file to the desktop. Later calls do nothing and give the same result.
  XlsResult end();

 private:
  void writeHeader();
  void sayValue(int row, int col, const Value& v, const XlsAttr& a);
  bool cellStart(uint16_t type, uint16_t len, int row, int col, const XlsAttr& a);
  void record(uint16_t type, uint16_t len);
  void put8(unsigned v) { buf_.push_back(static_cast<char>(v & 0xFF)); }
  void put16(unsigned v) { put8(v); put8(v >> 8); }
  void put32(uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); }
  void putDouble(double v);
  void putBytes(std::string_view s) { buf_.append(s); }
  void flush();

  std::string name_;
  XlsOptions opt_;
  std::unique_ptr<XlsSink> sink_;
  std::string buf_;
  std::vector<int> hBreaks_, vBreaks_;
  int rowLimit_ = kMaxRows;
  int64_t dropped_ = 0;
  bool failed_ = false;
  bool ended_ = false;
  XlsResult result_;
};

}  // namespace zol
