#pragma once
// TWBrowse: the record grid of the screens. One line per record, one column
// per cell that bLine returns, a header line, one selected record.
//
// Two data sources:
//   - table mode: a Work area in its current order; moving in the grid moves
//     the area's record. Never loads the table: it only skips.
//   - array mode: the caller's bGoTop / bGoBottom / bSkip / bLogicLen over its
//     own data (cAlias "Array").
//
// Placing a grid on a template's placeholder control and setting it up:
//
//   TDialog dlg("ZOL0410BRW", &OFONTBRW);
//   auto& brw = *TWBrowse::redefine(dlg, 181, areas.area(Area::Articles));
//   brw.bLine = [&] { return Cells{QString::number(a.getNumber(1)), Cell::text1252(a.getString(2))}; };
//   brw.aHeaders = {"Código", "Nombre"};
//   brw.aColSizes = {60, 300};
//   brw.lCellStyle = true;
//   brw.bChange = [&](TWBrowse&) { ... };
//   brw.Set3DStyle();
//   dlg.activate();
//
// Variables keep the names the screens know (nRowPos, lHitBottom, ...) and
// are assigned directly; call Refresh() after changing what is shown.
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/colour.h"

class QScrollBar;

namespace zol {

class TDialog;
class WorkArea;

// System colours of the window system, resolved from the application palette.
enum class SysColour { Window, WindowText, BtnFace, BtnText, BtnHighlight, BtnShadow, Highlight,
                       HighlightText, ActiveCaption, CaptionText };
Colour sysColour(SysColour c);

// One cell of a line: a text, a picture (the cell shows it centred, its
// top-left colour transparent), or nothing (an empty cell).
struct Cell {
  enum class Kind { Empty, Text, Bitmap };
  Kind kind = Kind::Empty;
  QString str;
  QPixmap pix;
  Cell() = default;
  Cell(const QString& s) : kind(Kind::Text), str(s) {}
  Cell(const char* s) : kind(Kind::Text), str(QString::fromUtf8(s)) {}
  Cell(const QPixmap& p) : kind(Kind::Bitmap), pix(p) {}
  // Table data is Windows-1252.
  static Cell text1252(const std::string& bytes);
  bool isText() const { return kind == Kind::Text; }
  bool isBitmap() const { return kind == Kind::Bitmap; }
  const QString& text() const { return str; }
};
using Cells = std::vector<Cell>;

// A colour, or a callback evaluated (without arguments) for each line drawn.
struct ColourOr {
  Colour colour;
  std::function<Colour()> fn;
  ColourOr(Colour c = Colour()) : colour(c) {}
  ColourOr(std::function<Colour()> f) : fn(std::move(f)) {}
  Colour eval() const { return fn ? fn() : colour; }
};

// Alignment flags of aJustify / aHJustify.
namespace Justify {
constexpr int Left = 0, Right = 1, Centre = 2, Top = 4, Bottom = 8;
}

class TWBrowse : public QWidget {
  Q_OBJECT

 public:
  // Table mode over `area` (its alias becomes cAlias); null makes a grid
  // without source until the array callbacks are given.
  explicit TWBrowse(WorkArea* area = nullptr, QWidget* parent = nullptr);
  ~TWBrowse() override;

  // Puts a new grid on the placeholder control `id` of `dlg` (same place,
  // size and tab order) and takes the dialog's font. The dialog owns it.
  static TWBrowse* redefine(TDialog& dlg, int id, WorkArea* area = nullptr);

  // Scroll bars the control window has (set before the grid is shown).
  // Table grids default to a vertical one.
  void setScrollBars(bool vertical, bool horizontal);
  // Array mode: the caller's navigation over its own data.
  void setArray(std::function<void()> goTop, std::function<void()> goBottom,
                std::function<int(int)> skip, std::function<int()> logicLen);

  // ---- data source and content ----
  std::string cAlias;
  std::function<Cells()> bLine;
  std::vector<QString> aHeaders;
  std::vector<int> aColSizes;
  std::vector<int> aJustify;   // Justify flags per data column
  std::vector<int> aHJustify;  // header cells; empty = aJustify
  std::function<void()> bGoTop, bGoBottom;
  std::function<int(int)> bSkip;  // returns how many records it moved
  std::function<int()> bLogicLen;

  // ---- callbacks ----
  std::function<void(TWBrowse&)> bChange;
  std::function<void(int row, int col, int flags)> bLDblClick, bLClicked, bRClicked;
  // Keys the grid does not move on; true when the key was used (else it goes
  // on to the dialog: Enter moves on, Escape closes).
  std::function<bool(int key, int flags)> bKeyDown;
  std::function<bool()> bGoLeft, bGoRight;
  // Per-cell colour overrides (screen line, column, style 0 data / 1 header /
  // 3 selection); nullopt keeps the line's colour.
  std::function<std::optional<Colour>(int row, int col, int style)> bTextColor, bBkColor;

  // ---- state ----
  int nRowPos = 1, nColPos = 1, nColAct = 1, nLen = 0;
  bool lHitTop = false, lHitBottom = false, lGoTop = false, lGoBottom = false;
  bool lCellStyle = false;
  int nLineStyle = 10, nHeaderStyle = 3;
  int nHeaderHeight = -1, nLineHeight = -1;
  bool lDrawHeaders = true, lAdjLastCol = true, lAdjBrowse = false;
  bool lMChange = true, lDrawSelect = true, lDrawFocusRect = true, lCaptured = false;
  int nFreeze = 0;
  std::optional<QFont> oFont;

  // ---- colours ----
  Colour nClrForeHead, nClrBackHead;
  ColourOr nClrForeFocus, nClrBackFocus;
  Colour nClrNFFore, nClrNFBack;
  ColourOr nClrText, nClrPane;
  std::optional<Colour> nClrLine;
  Colour brushColour() const { return brush_; }

  // ---- operations ----
  void Default();  // once, when first shown; public for grids built in code
  bool initialised() const { return initialised_; }
  void Refresh();
  void SetFocus();
  void SetColor(ColourOr text, ColourOr pane);
  void Set3DStyle();
  void GoUp();
  void GoDown();
  void GoTop();
  void GoBottom();
  void PageUp();
  void PageDown();
  bool GoLeft();
  bool GoRight();
  void GoToCol(int n);
  // The scroll-bar messages, as the window system sends them.
  enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Top, Bottom, ThumbPosition, ThumbTrack, EndScroll };
  void VScroll(ScrollCode code, int pos = 0);
  int HScroll(ScrollCode code, int pos = 0);

  // ---- drawing and geometry ----
  int linePitch() const { return nLineHeight + 1; }
  int headerBand() const { return lDrawHeaders ? nHeaderHeight + 1 : 0; }
  int nRowCount() const;
  int nWRow(int y) const;
  int nWCol(int x) const;
  int nAtCol(int x) const { return nWCol(x); }
  bool IsColVisible(int col) const;
  int columnCount() const { return static_cast<int>(aColSizes.size()); }
  // The area the grid draws in (the widget less its scroll bars).
  QRect clientRect() const;
  // The off-screen image every operation draws into.
  const QImage& image() const { return buf_; }
  void DrawLine(int row = 0);
  void DrawSelect();
  void DrawHeaders();
  QScrollBar* vScrollBar() const { return vsb_; }
  QScrollBar* hScrollBar() const { return hsb_; }
  int thumb() const { return thumb_; }
  WorkArea* area() const { return area_; }

  int Skip(int n);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void showEvent(QShowEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;

 private:
  class Painter;
  friend class Painter;
  class DispBracket;

  int logicLen();
  void Paint();
  int paintPane();
  void drawLineAt(int row, const Cells& cells, Colour text, Colour back, int activeCol, bool selected);
  void scrollLines(int lines);
  void clearBelow(int row);
  void ensureBuffer();
  void flush();
  void layoutScrollBars();
  void updateVScrollRange();
  void setThumb(int pos);
  void moveThumb(int by) { setThumb(thumb_ + by); }
  void thumbTop();
  void thumbBottom();
  void syncHScroll();
  void change();
  void tableSetup(WorkArea* area);
  int rowsForNav() const;
  int borderAt(int x) const;  // column whose right border is within a pixel of x, else 0
  void pageLeft();
  bool selectAt(int x, int y);  // a click's move to line and cell
  void pageRight();

  WorkArea* area_ = nullptr;
  Colour brush_;
  QImage buf_;
  bool initialised_ = false;
  bool dirty_ = true;
  bool wantV_ = true, wantH_ = false;
  QScrollBar* vsb_ = nullptr;
  QScrollBar* hsb_ = nullptr;
  int thumb_ = 0, vMin_ = 0, vMax_ = 0;
  int dispDepth_ = 0;
  // Column-border drag.
  int dragCol_ = 0, dragStartX_ = 0, dragX_ = 0;
};

}  // namespace zol
