#include "TFileXLS.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/error_event.h"
#include "core/launcher.h"
#include "xls/xls_tables.h"

namespace zol {

namespace {

namespace Rec {
constexpr uint16_t Blank = 0x0001, Integer = 0x0002, Number = 0x0003, Label = 0x0004,
                   BoolErr = 0x0005, Formula = 0x0006, Row = 0x0008, Bof = 0x0009, Eof = 0x000A,
                   CalcCount = 0x000C, CalcMode = 0x000D, SaveRecalc = 0x000E, RefMode = 0x000F,
                   Delta = 0x0010, Iteration = 0x0011, Protect = 0x0012, Header = 0x0014,
                   Footer = 0x0015, Note = 0x001C, VBreaks = 0x001A, HBreaks = 0x001B,
                   Format = 0x001E, FormatCount = 0x001F, DateMode = 0x0022, ColWidth = 0x0024,
                   DefRowHeight = 0x0025, LeftMargin = 0x0026, RightMargin = 0x0027,
                   TopMargin = 0x0028, BottomMargin = 0x0029, PrintHeaders = 0x002A,
                   PrintGrid = 0x002B, Font = 0x0031, Window1 = 0x003D, Window2 = 0x003E,
                   Backup = 0x0040, CodePage = 0x0042;
}

// Largest record body readers of the format accept.
constexpr size_t kMaxRecordData = 2080;
constexpr size_t kNoteChunk = 2048;
constexpr size_t kFlushAt = 64 * 1024;

// Without it readers guess the code page (python3-xlrd assumes ASCII and
// fails on the first accented name).
constexpr uint16_t kCodePage = 1252;

long roundAway(double v) { return std::lround(v); }  // halves go away from zero

unsigned clampU16(double v) {
  if (!(v > 0)) return 0;
  return v >= 65535 ? 65535u : static_cast<unsigned>(v);
}

std::string_view cut(std::string_view s, size_t max) { return s.substr(0, std::min(s.size(), max)); }

std::string tempSheetName() {
  const char* dir = std::getenv("TMPDIR");
  std::string t = std::string(dir && *dir ? dir : "/tmp") + "/zolXXXXXX.xls";
  int fd = ::mkstemps(t.data(), 4);
  if (fd < 0) return {};
  ::close(fd);
  return t;
}

// Kind letters of the error text, as the error report shows them.
char kindLetter(const Value& v) {
  switch (v.kind()) {
    case ValueKind::Nil: return 'U';
    case ValueKind::Text: return 'C';
    case ValueKind::Number: return 'N';
    case ValueKind::Date: return 'D';
    case ValueKind::Logical: return 'L';
  }
  return '?';
}

void raiseUnsupported(char kind) {
  ErrorEvent e;
  e.genCode = ErrGen::DataType;
  e.severity = Severity::Warning;
  e.subsystem = "FileXLS";
  e.subCode = 3;
  e.description = "Data type XLS no support";
  e.operation = std::string("\nType: ") + kind;
  e.canDefault = true;
  raiseError(e);
}

// 1 March 1900 and its day number in the spreadsheet's 1900 calendar, which
// counts a 29 February 1900 that never was: from here on the serial is right.
const int32_t kFirstSerialDay = Date::fromYmd(1900, 3, 1).dayNumber();
const int32_t kSerialBase = Date::fromYmd(1900, 1, 1).dayNumber() - 2;

}  // namespace

TFileXLS::TFileXLS(std::string name, XlsOptions options) : name_(std::move(name)), opt_(options) {
  if (name_.empty()) name_ = tempSheetName();
  sink_ = std::make_unique<DiskSink>(name_);
  rowLimit_ = opt_.longSheet ? kMaxLongRows : kMaxRows;
  writeHeader();
}

TFileXLS::TFileXLS(std::unique_ptr<XlsSink> sink, XlsOptions options, std::string name)
    : name_(std::move(name)), opt_(options), sink_(std::move(sink)) {
  if (!sink_) sink_ = std::make_unique<DiskSink>(std::string());
  rowLimit_ = opt_.longSheet ? kMaxLongRows : kMaxRows;
  writeHeader();
}

TFileXLS::~TFileXLS() {
  if (!ended_) sink_->discard();
}

void TFileXLS::record(uint16_t type, uint16_t len) {
  put16(type);
  put16(len);
}

void TFileXLS::putDouble(double v) {
  uint64_t bits = std::bit_cast<uint64_t>(v);
  put32(static_cast<uint32_t>(bits));
  put32(static_cast<uint32_t>(bits >> 32));
}

void TFileXLS::flush() {
  if (buf_.empty()) return;
  // After a failure the rest of the sheet is lost, never written elsewhere.
  if (!failed_ && !sink_->write(buf_.data(), buf_.size())) failed_ = true;
  buf_.clear();
}

void TFileXLS::writeHeader() {
  record(Rec::Bof, 4), put16(0x0005), put16(0x0010);
  record(Rec::CodePage, 2), put16(kCodePage);
  record(Rec::CalcMode, 2), put16(opt_.autoCalc ? 1 : 0);
  record(Rec::CalcCount, 2), put16(opt_.iterations > 0 ? clampU16(opt_.iterations) : 1);
  record(Rec::RefMode, 2), put16(1);
  record(Rec::Iteration, 2), put16(opt_.iterations > 0 ? 1 : 0);
  record(Rec::Delta, 8), putDouble(0.001);
  record(Rec::SaveRecalc, 2), put16(1);
  record(Rec::DateMode, 2), put16(0);
  record(Rec::DefRowHeight, 2), put16(0x80FF);

  record(Rec::Font, 10), put16(200), put16(0), put8(5), putBytes("Arial");
  const auto& fonts = xlsFonts();
  for (size_t i = 0; i < 3; ++i) {
    if (i >= fonts.size()) {
      record(Rec::Font, 10), put16(200), put16(0), put8(5), putBytes("Arial");
      continue;
    }
    const XlsFont& f = fonts[i];
    std::string_view face = cut(f.face, 255);
    record(Rec::Font, static_cast<uint16_t>(5 + face.size()));
    put16(std::min(clampU16(roundAway(f.points * 20)), 0x7FFFu));
    put8((f.bold ? 1 : 0) | (f.italic ? 2 : 0) | (f.underline ? 4 : 0) | (f.strikeout ? 8 : 0));
    put8(0);
    put8(static_cast<unsigned>(face.size()));
    putBytes(face);
  }

  record(Rec::Backup, 2), put16(0);
  record(Rec::FormatCount, 2), put16(1);
  record(Rec::Format, 8), put8(7), putBytes("General");
  for (const std::string& fmt : xlsFormats()) {
    std::string_view t = cut(fmt, 255);
    record(Rec::Format, static_cast<uint16_t>(1 + t.size()));
    put8(static_cast<unsigned>(t.size()));
    putBytes(t);
  }
  flush();
}

bool TFileXLS::cellStart(uint16_t type, uint16_t len, int row, int col, const XlsAttr& a) {
  if (ended_) return false;
  if (row < 1 || row > rowLimit_ || col < 1 || col > kMaxCols) {
    ++dropped_;
    return false;
  }
  record(type, len);
  put16(static_cast<unsigned>(row - 1));
  put16(static_cast<unsigned>(col - 1));
  // Each field is kept to its own bits so a stray argument cannot spill into
  // its neighbours (a format number of 64 would otherwise change the font).
  unsigned font = a.font <= 0 ? 0 : a.font >= 3 ? 3 : static_cast<unsigned>(a.font);
  unsigned format = a.format > 0 && a.format <= 63 ? static_cast<unsigned>(a.format) : 0;
  put8((a.hidden ? 0x80 : 0) | (a.locked ? 0x40 : 0));
  put8((font << 6) | format);
  put8((a.shaded ? 0x80 : 0) | (static_cast<unsigned>(a.border) & 0x78) |
       (static_cast<unsigned>(a.align) & 0x07));
  return true;
}

void TFileXLS::col(int first, int last, double width, bool hidden) {
  if (ended_) return;
  if (last == 0) last = first;
  if (last < first) std::swap(first, last);
  first = std::max(first, 1);
  last = std::min(last, kMaxCols);
  if (first > last) return;
  unsigned w = hidden ? 0 : clampU16(roundAway((width + 0.72) * 256));
  record(Rec::ColWidth, 4);
  put8(static_cast<unsigned>(first - 1));
  put8(static_cast<unsigned>(last - 1));
  put16(w);
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::row(int row, double points) {
  if (ended_ || row < 1 || row > rowLimit_) return;
  record(Rec::Row, 16);
  put16(static_cast<unsigned>(row - 1));
  put16(0), put16(0);
  // The top bit of the height marks a default height; keep it clear.
  put16(std::min(clampU16(roundAway(points * 20)), 0x7FFFu));
  put16(0), put8(0), put16(0);
  put8(0), put8(0), put8(0);
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::say(int row, int col, const XlsInput& in, const XlsAttr& a) {
  if (ended_) return;
  if (const Value* v = in.value()) return sayValue(row, col, *v, a);
  const XlsInput::Callback& cb = *in.callback();
  if (cb) {
    XlsInput out = cb();
    if (const Value* v = out.value()) return sayValue(row, col, *v, a);
  }
  // A callback that gave another callback, or an empty one.
  raiseUnsupported('B');
  ++dropped_;
}

void TFileXLS::sayValue(int row, int col, const Value& v, const XlsAttr& a) {
  switch (v.kind()) {
    case ValueKind::Number: return number(row, col, v.number(), a);
    case ValueKind::Text: return string(row, col, v.text(), a);
    case ValueKind::Date: return date(row, col, v.date(), a);
    case ValueKind::Logical: return boolean(row, col, v.logical(), a);
    case ValueKind::Nil: return blank(row, col, a);
  }
  raiseUnsupported(kindLetter(v));
  ++dropped_;
}

void TFileXLS::number(int row, int col, double v, const XlsAttr& a) {
  if (!std::isfinite(v)) return error(row, col, XlsError::Num, a);
  if (v >= 0 && v <= 65535 && v == std::floor(v)) {
    if (!cellStart(Rec::Integer, 9, row, col, a)) return;
    put16(static_cast<unsigned>(v));
  } else {
    if (!cellStart(Rec::Number, 15, row, col, a)) return;
    putDouble(v);
  }
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::string(int row, int col, std::string_view text, const XlsAttr& a) {
  // The length is one byte; a longer text would corrupt the record.
  text = cut(text, 255);
  if (!cellStart(Rec::Label, static_cast<uint16_t>(8 + text.size()), row, col, a)) return;
  put8(static_cast<unsigned>(text.size()));
  putBytes(text);
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::date(int row, int col, Date d, const XlsAttr& a) {
  if (d.isEmpty()) return blank(row, col, a);
  if (d.dayNumber() < kFirstSerialDay) return string(row, col, d.toText(), a);
  int32_t serial = d.dayNumber() - kSerialBase;
  if (serial > 65535) return number(row, col, serial, a);
  if (!cellStart(Rec::Integer, 9, row, col, a)) return;
  put16(static_cast<unsigned>(serial));
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::boolean(int row, int col, bool v, const XlsAttr& a) {
  if (!cellStart(Rec::BoolErr, 9, row, col, a)) return;
  put8(v ? 1 : 0), put8(0);
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::blank(int row, int col, const XlsAttr& a) {
  if (!cellStart(Rec::Blank, 7, row, col, a)) return;
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::error(int row, int col, int code, const XlsAttr& a) {
  static constexpr int known[] = {XlsError::Null, XlsError::Div0, XlsError::Value, XlsError::Ref,
                                  XlsError::Name, XlsError::Num,  XlsError::NA};
  if (std::find(std::begin(known), std::end(known), code) == std::end(known)) {
    if (!ended_) ++dropped_;
    return;
  }
  if (!cellStart(Rec::BoolErr, 9, row, col, a)) return;
  put8(static_cast<unsigned>(code)), put8(1);
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::formula(int row, int col, double value, bool recalc, std::string_view parsed,
                       const XlsAttr& a) {
  // Cutting the tokens would leave a broken formula: leave the cell out.
  if (parsed.size() > 255) {
    if (!ended_) ++dropped_;
    return;
  }
  if (!cellStart(Rec::Formula, static_cast<uint16_t>(17 + parsed.size()), row, col, a)) return;
  putDouble(value);
  put8(recalc ? 2 : 0);
  put8(static_cast<unsigned>(parsed.size()));
  putBytes(parsed);
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::note(int row, int col, std::string_view text) {
  if (ended_) return;
  if (row < 1 || row > rowLimit_ || col < 1 || col > kMaxCols) {
    ++dropped_;
    return;
  }
  // A note longer than one record goes on in records for row 0xFFFF.
  text = cut(text, 65535);
  std::string_view chunk = cut(text, kNoteChunk);
  record(Rec::Note, static_cast<uint16_t>(6 + chunk.size()));
  put16(static_cast<unsigned>(row - 1)), put16(static_cast<unsigned>(col - 1));
  put16(static_cast<unsigned>(text.size()));
  putBytes(chunk);
  for (size_t at = chunk.size(); at < text.size(); at += kNoteChunk) {
    chunk = cut(text.substr(at), kNoteChunk);
    record(Rec::Note, static_cast<uint16_t>(6 + chunk.size()));
    put16(0xFFFF), put16(0), put16(static_cast<unsigned>(chunk.size()));
    putBytes(chunk);
  }
  if (buf_.size() >= kFlushAt) flush();
}

void TFileXLS::addBreak(XlsBreak kind, const std::vector<int>& at) {
  if (ended_) return;
  std::vector<int>& list = kind == XlsBreak::Horizontal ? hBreaks_ : vBreaks_;
  int limit = kind == XlsBreak::Horizontal ? rowLimit_ : kMaxCols;
  for (int n : at) {
    // 0 or a number past the sheet has no position to write.
    if (n >= 1 && n <= limit) list.push_back(n);
  }
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
}

void TFileXLS::setDisplay(const XlsDisplay& d) {
  if (ended_) return;
  record(Rec::Window1, 9);
  put16(clampU16(d.left * 20.0));
  put16(clampU16(d.top * 20.0));
  put16(clampU16((static_cast<double>(d.right) - d.left + 1) * 20));
  put16(clampU16((static_cast<double>(d.bottom) - d.top + 1) * 20));
  put8(d.hidden ? 1 : 0);
  record(Rec::Window2, 14);
  put8(d.showFormulas ? 1 : 0), put8(d.showGrid ? 1 : 0), put8(d.showHeaders ? 1 : 0);
  put8(0), put8(d.hideZeros ? 0 : 1);
  put16(0), put16(0), put8(1), put32(0);
}

void TFileXLS::setPrinter(const XlsPrinter& p) {
  if (ended_) return;
  for (auto [type, text] : {std::pair{Rec::Header, std::string_view(p.header)},
                            std::pair{Rec::Footer, std::string_view(p.footer)}}) {
    text = cut(text, 255);
    if (text.empty()) {
      record(type, 0);
    } else {
      record(type, static_cast<uint16_t>(1 + text.size()));
      put8(static_cast<unsigned>(text.size()));
      putBytes(text);
    }
  }
  record(Rec::LeftMargin, 8), putDouble(p.left);
  record(Rec::RightMargin, 8), putDouble(p.right);
  record(Rec::TopMargin, 8), putDouble(p.top);
  record(Rec::BottomMargin, 8), putDouble(p.bottom);
  record(Rec::PrintHeaders, 2), put16(p.printHeaders ? 1 : 0);
  record(Rec::PrintGrid, 2), put16(p.printGrid ? 1 : 0);
}

XlsResult TFileXLS::end() {
  if (ended_) return result_;
  for (auto [type, list] : {std::pair{Rec::HBreaks, &hBreaks_}, std::pair{Rec::VBreaks, &vBreaks_}}) {
    // More breaks than one record holds are left out; nobody pages that finely.
    size_t n = std::min(list->size(), (kMaxRecordData - 2) / 2);
    record(type, static_cast<uint16_t>(2 + 2 * n));
    put16(static_cast<unsigned>(n));
    for (size_t i = 0; i < n; ++i) put16(static_cast<unsigned>((*list)[i] - 1));
  }
  record(Rec::Protect, 2), put16(opt_.protect ? 1 : 0);
  record(Rec::Eof, 0);
  flush();
  ended_ = true;

  result_.dropped = dropped_;
  bool wasGood = sink_->good() && !failed_;
  result_.written = sink_->commit() && wasGood;
  if (!result_.written) {
    result_.osError = sink_->osError();
    if (result_.osError == 0) result_.osError = EIO;
  }
  if (result_.written && opt_.openAtEnd && !name_.empty()) result_.opened = Launcher::instance().openDocument(name_);
  return result_;
}

}  // namespace zol
