// TWBrowse: data sources, initialisation, navigation, scroll bars, keyboard
// and mouse. The drawing lives in wbrowse_draw.cpp.
#include "browse/wbrowse.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "core/codepage.h"
#include "store/work_area.h"
#include "ui/dialog.h"
#include "ui/msg.h"

namespace zol {

namespace {
constexpr int kScrollBarExtent = 18;

Colour fromQ(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

// The scroll message a slider action stands for; a drag sends its position
// only when the thumb is let go. Nothing for the actions the grid ignores.
std::optional<TWBrowse::ScrollCode> scrollCodeOf(int action, const QScrollBar& bar) {
  using Code = TWBrowse::ScrollCode;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return Code::LineUp;
    case QAbstractSlider::SliderSingleStepAdd: return Code::LineDown;
    case QAbstractSlider::SliderPageStepSub: return Code::PageUp;
    case QAbstractSlider::SliderPageStepAdd: return Code::PageDown;
    case QAbstractSlider::SliderToMinimum: return Code::Top;
    case QAbstractSlider::SliderToMaximum: return Code::Bottom;
    case QAbstractSlider::SliderMove:
      if (!bar.isSliderDown()) return Code::ThumbPosition;
      return std::nullopt;
    default: return std::nullopt;
  }
}
}  // namespace

Colour sysColour(SysColour c) {
  const QPalette pal = QApplication::palette();
  switch (c) {
    case SysColour::Window: return fromQ(pal.color(QPalette::Base));
    case SysColour::WindowText: return fromQ(pal.color(QPalette::Text));
    case SysColour::BtnFace: return fromQ(pal.color(QPalette::Button));
    case SysColour::BtnText: return fromQ(pal.color(QPalette::ButtonText));
    case SysColour::BtnHighlight: return fromQ(pal.color(QPalette::Light));
    case SysColour::BtnShadow: return fromQ(pal.color(QPalette::Dark));
    case SysColour::Highlight: return fromQ(pal.color(QPalette::Highlight));
    case SysColour::HighlightText: return fromQ(pal.color(QPalette::HighlightedText));
    // Qt has no caption roles; the classic caption colours keep the 3D grids readable.
    case SysColour::ActiveCaption: return RGB(0, 0, 128);
    case SysColour::CaptionText: return RGB(255, 255, 255);
  }
  return Colour();
}

Cell Cell::text1252(const std::string& bytes) {
  return Cell(QString::fromStdString(cp1252ToUtf8(bytes)));
}

// Every navigation runs inside one of these: drawing goes to the off-screen
// image and the window gets it in one copy when the outermost bracket ends.
class TWBrowse::DispBracket {
 public:
  explicit DispBracket(TWBrowse& b) : b_(b) {
    if (b_.dispDepth_++ == 0) b_.ensureBuffer();
  }
  ~DispBracket() {
    if (--b_.dispDepth_ == 0) b_.flush();
  }

 private:
  TWBrowse& b_;
};

TWBrowse::TWBrowse(WorkArea* area, QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  nClrForeHead = sysColour(SysColour::BtnText);
  nClrBackHead = sysColour(SysColour::BtnFace);
  nClrForeFocus = sysColour(SysColour::HighlightText);
  nClrBackFocus = sysColour(SysColour::Highlight);
  nClrNFFore = sysColour(SysColour::HighlightText);
  nClrNFBack = sysColour(SysColour::Highlight);
  nClrText = sysColour(SysColour::WindowText);
  nClrPane = sysColour(SysColour::Window);
  brush_ = sysColour(SysColour::Window);
  if (area) tableSetup(area);
}

TWBrowse::~TWBrowse() = default;

TWBrowse* TWBrowse::redefine(TDialog& dlg, int id, WorkArea* area) {
  QWidget* old = dlg.item(id);
  auto* grid = new TWBrowse(area);
  grid->setMinimumSize(old->minimumSize());
  grid->setMaximumSize(old->maximumSize());
  grid->setSizePolicy(old->sizePolicy());
  dlg.replaceItem(id, grid);
  return grid;
}

void TWBrowse::tableSetup(WorkArea* area) {
  area_ = area;
  cAlias = area->alias();
  // The four table callbacks answer 0 on an area without table, like an empty alias.
  bGoTop = [this] { if (area_ && area_->isOpen()) area_->goTop(); };
  bGoBottom = [this] { if (area_ && area_->isOpen()) area_->goBottom(); };
  // The record count, hidden records included; but an area standing at both
  // ends at once has no visible record, and a grid over it is empty.
  bLogicLen = [this] {
    if (!area_ || !area_->isOpen() || (area_->eof() && area_->bof())) return 0;
    return static_cast<int>(area_->recCount());
  };
  bSkip = [this](int n) {
    WorkArea* a = area_;
    if (!a || !a->isOpen()) return 0;
    if (n == 0) {
      a->skip(0);
      return 0;
    }
    int moved = 0;
    if (n > 0) {
      // The area never stays at end of file: the step that reaches it comes back.
      if (a->eof()) {
        a->goBottom();
        return 0;
      }
      while (moved < n) {
        a->skip(1);
        if (a->eof()) {
          a->skip(-1);
          break;
        }
        ++moved;
      }
      return moved;
    }
    while (moved > n) {
      a->skip(-1);
      if (a->bof()) break;
      --moved;
    }
    return moved;
  };
  // Without a line callback a table grid shows every field as text.
  bLine = [this] {
    Cells cells;
    if (!area_ || !area_->isOpen()) return cells;
    for (int i = 1; i <= area_->fieldCount(); ++i) {
      Value v = area_->get(i);
      switch (v.kind()) {
        case ValueKind::Text: cells.push_back(Cell::text1252(v.text())); break;
        case ValueKind::Number: {
          const FieldDesc* f = area_->fieldDesc(i);
          cells.push_back(QString::number(v.number(), 'f', f ? f->decimals : 0));
          break;
        }
        case ValueKind::Date: cells.push_back(QString::fromStdString(v.date().toText())); break;
        case ValueKind::Logical: cells.push_back(v.logical() ? "T" : "F"); break;
        default: cells.push_back(Cell()); break;
      }
    }
    return cells;
  };
}

void TWBrowse::setScrollBars(bool vertical, bool horizontal) {
  wantV_ = vertical;
  wantH_ = horizontal;
}

void TWBrowse::setArray(std::function<void()> goTop, std::function<void()> goBottom,
                        std::function<int(int)> skip, std::function<int()> logicLen) {
  area_ = nullptr;
  cAlias = "Array";
  bGoTop = std::move(goTop);
  bGoBottom = std::move(goBottom);
  bSkip = std::move(skip);
  bLogicLen = std::move(logicLen);
}

int TWBrowse::Skip(int n) { return bSkip ? bSkip(n) : 0; }
int TWBrowse::logicLen() { return bLogicLen ? bLogicLen() : 0; }
void TWBrowse::change() {
  if (bChange) bChange(*this);
}
int TWBrowse::rowsForNav() const { return std::max(1, nRowCount()); }

// ---- initialisation -------------------------------------------------------

void TWBrowse::Default() {
  if (initialised_) return;
  initialised_ = true;
  if (!oFont) oFont = font();
  setFont(*oFont);
  const int h = QFontMetrics(*oFont).height();
  if (nHeaderHeight <= 0) nHeaderHeight = h;
  if (nLineHeight <= 0) nLineHeight = h;

  const Cells one = bLine ? bLine() : Cells();
  const size_t cols = one.size();
  if (aHeaders.size() < cols) {
    aHeaders.assign(cols, QString());
    if (area_ && area_->isOpen())
      for (size_t i = 0; i < cols && static_cast<int>(i) < area_->fieldCount(); ++i)
        if (const FieldDesc* f = area_->fieldDesc(static_cast<int>(i) + 1))
          aHeaders[i] = QString::fromStdString(f->name);
  }
  if (aColSizes.size() < cols) {
    aColSizes.assign(cols, 15);
    const QFontMetrics fm(*oFont);
    for (size_t i = 0; i < cols; ++i) {
      if (!one[i].isText()) continue;
      const qsizetype chars = std::max(aHeaders[i].size(), one[i].text().size());
      aColSizes[i] = fm.horizontalAdvance(QString(static_cast<int>(chars) + 1, QChar('B')));
    }
  }

  nLen = logicLen();
  if (wantV_) {
    vsb_ = new QScrollBar(Qt::Vertical, this);
    vsb_->setTracking(false);  // the grid moves when the thumb is let go
    vsb_->setFocusPolicy(Qt::NoFocus);
    vMin_ = std::min(1, nLen);
    vMax_ = nLen;
    vsb_->setRange(vMin_, vMax_);
    vsb_->setPageStep(std::max(1, std::min(nRowCount(), nLen - 1)));
    thumb_ = vMin_;
    vsb_->setValue(thumb_);
    connect(vsb_, &QAbstractSlider::actionTriggered, this, [this](int action) {
      if (auto code = scrollCodeOf(action, *vsb_)) VScroll(*code, vsb_->sliderPosition());
      // The grid, not the slider, decides where the thumb ends up.
      vsb_->setSliderPosition(thumb_);
    });
  }
  if (wantH_) {
    hsb_ = new QScrollBar(Qt::Horizontal, this);
    hsb_->setTracking(false);
    hsb_->setFocusPolicy(Qt::NoFocus);
    hsb_->setRange(1, std::max(1, columnCount()));
    hsb_->setPageStep(1);
    connect(hsb_, &QAbstractSlider::actionTriggered, this, [this](int action) {
      if (auto code = scrollCodeOf(action, *hsb_)) HScroll(*code, hsb_->sliderPosition());
      hsb_->setSliderPosition(nColAct);
    });
  }
  layoutScrollBars();
  dirty_ = true;
  change();
}

// ---- scroll bars ------------------------------------------------------------

void TWBrowse::layoutScrollBars() {
  const bool v = vsb_ && vMax_ > vMin_;  // an empty range hides the bar, as the window system does
  const bool h = hsb_ != nullptr;
  if (vsb_) {
    vsb_->setVisible(v);
    vsb_->setGeometry(width() - kScrollBarExtent, 0, kScrollBarExtent, height() - (h ? kScrollBarExtent : 0));
  }
  if (hsb_) {
    hsb_->setVisible(true);
    hsb_->setGeometry(0, height() - kScrollBarExtent, width() - (v ? kScrollBarExtent : 0), kScrollBarExtent);
  }
}

QRect TWBrowse::clientRect() const {
  int w = width(), h = height();
  if (vsb_ && !vsb_->isHidden()) w -= kScrollBarExtent;
  if (hsb_ && !hsb_->isHidden()) h -= kScrollBarExtent;
  return QRect(0, 0, std::max(0, w), std::max(0, h));
}

void TWBrowse::updateVScrollRange() {
  if (!vsb_) return;
  const int lo = std::min(1, nLen), hi = nLen;
  if (lo == vMin_ && hi == vMax_) return;
  vMin_ = lo;
  vMax_ = hi;
  QSignalBlocker block(vsb_);
  vsb_->setRange(vMin_, vMax_);
  vsb_->setPageStep(std::max(1, std::min(nRowCount(), nLen - 1)));
  thumb_ = std::clamp(thumb_, vMin_, vMax_);
  vsb_->setValue(thumb_);
  layoutScrollBars();
}

void TWBrowse::setThumb(int pos) {
  thumb_ = std::clamp(pos, vMin_, std::max(vMin_, vMax_));
  if (!vsb_) return;
  QSignalBlocker block(vsb_);
  vsb_->setValue(thumb_);
}
void TWBrowse::thumbTop() { setThumb(vMin_); }
void TWBrowse::thumbBottom() { setThumb(vMax_); }

void TWBrowse::syncHScroll() {
  if (!hsb_) return;
  QSignalBlocker block(hsb_);
  hsb_->setRange(1, std::max(1, columnCount()));
  hsb_->setValue(nColAct);
}

void TWBrowse::VScroll(ScrollCode code, int pos) {
  SetFocus();
  switch (code) {
    case ScrollCode::LineUp: GoUp(); break;
    case ScrollCode::LineDown: GoDown(); break;
    case ScrollCode::PageUp: PageUp(); break;
    case ScrollCode::PageDown: PageDown(); break;
    case ScrollCode::Top: GoTop(); break;
    case ScrollCode::Bottom: GoBottom(); break;
    case ScrollCode::ThumbPosition: {
      nLen = logicLen();
      if (nLen < 1) return;
      if (pos <= 1) {
        GoTop();
      } else if (pos == vMax_) {
        GoBottom();
      } else {
        DispBracket bracket(*this);
        CursorWait();
        Skip(pos - thumb_);
        setThumb(pos);
        const int n = rowsForNav(), shown = std::min(n, nLen);
        if (pos - vMin_ < n)
          nRowPos = 1;
        else if (vMax_ - pos < shown)
          nRowPos = shown - (vMax_ - pos);
        Refresh();
        CursorArrow();
        change();
      }
      break;
    }
    case ScrollCode::ThumbTrack:
    case ScrollCode::EndScroll: break;
  }
}

int TWBrowse::HScroll(ScrollCode code, int pos) {
  if (!hsb_) return 0;
  DispBracket bracket(*this);
  switch (code) {
    case ScrollCode::LineUp: GoLeft(); break;
    case ScrollCode::LineDown: GoRight(); break;
    case ScrollCode::Top: GoToCol(1); break;
    case ScrollCode::Bottom: GoToCol(columnCount()); break;
    case ScrollCode::ThumbPosition: GoToCol(pos); break;
    case ScrollCode::PageUp: pageLeft(); break;
    case ScrollCode::PageDown: pageRight(); break;
    case ScrollCode::ThumbTrack:
    case ScrollCode::EndScroll: break;
  }
  return 0;
}

void TWBrowse::pageLeft() {
  const int first = nColPos;
  while (nColPos > 1 && (IsColVisible(first) || first == 1)) --nColPos;
  nColAct = nColPos;
  syncHScroll();
  Refresh();
}

void TWBrowse::pageRight() {
  int col = nColPos;
  while (col < columnCount() && (IsColVisible(col) || col == nColPos)) ++col;
  // `col` is the first column not wholly shown (or the last one): it leads the new view.
  nColPos = col;
  nColAct = nColPos;
  syncHScroll();
  Refresh();
}

// ---- navigation -------------------------------------------------------------

void TWBrowse::Refresh() {
  if (!initialised_) {
    dirty_ = true;
    return;
  }
  nLen = logicLen();
  if (nLen != 0) lHitTop = lHitBottom = false;
  DispBracket bracket(*this);
  Paint();
}

void TWBrowse::SetFocus() { setFocus(Qt::OtherFocusReason); }

void TWBrowse::SetColor(ColourOr text, ColourOr pane) {
  nClrText = std::move(text);
  nClrPane = std::move(pane);
  brush_ = nClrPane.fn ? sysColour(SysColour::Window) : nClrPane.colour;
}

void TWBrowse::Set3DStyle() {
  nLineStyle = 3;
  nClrForeHead = sysColour(SysColour::CaptionText);
  nClrBackHead = sysColour(SysColour::ActiveCaption);
  nClrBackFocus = RGB(0, 128, 128);
  nClrForeFocus = RGB(255, 255, 255);
  nClrNFBack = RGB(128, 128, 128);
  nClrNFFore = RGB(255, 255, 255);
  SetColor(RGB(0, 0, 0), sysColour(SysColour::BtnFace));
  Refresh();
}

void TWBrowse::GoDown() {
  lGoTop = lGoBottom = false;
  nLen = logicLen();
  if (nLen < 1 || lHitBottom) return;
  DispBracket bracket(*this);
  DrawLine();
  if (Skip(1) == 1) {
    lHitTop = false;
    if (nRowPos < rowsForNav())
      ++nRowPos;
    else
      scrollLines(1);  // only the new bottom line has to be drawn
    moveThumb(1);
  } else {
    lHitBottom = true;
  }
  DrawSelect();
  change();
}

void TWBrowse::GoUp() {
  lGoTop = lGoBottom = false;
  nLen = logicLen();
  if (nLen < 1 || lHitTop) return;
  DispBracket bracket(*this);
  DrawLine();
  if (Skip(-1) == -1) {
    lHitBottom = false;
    if (nRowPos > 1)
      --nRowPos;
    else
      scrollLines(-1);
    moveThumb(-1);
  } else {
    lHitTop = true;
  }
  DrawSelect();
  change();
}

void TWBrowse::GoTop() {
  lGoTop = true;
  lGoBottom = false;
  nLen = logicLen();
  if (nLen < 1 || lHitTop) return;
  DispBracket bracket(*this);
  if (bGoTop) bGoTop();
  nRowPos = 1;
  Refresh();
  lHitTop = true;
  lHitBottom = false;
  thumbTop();
  change();
}

void TWBrowse::GoBottom() {
  lGoBottom = true;
  lGoTop = false;
  nLen = logicLen();
  if (nLen < 1 || lHitBottom) return;
  lHitBottom = true;
  lHitTop = false;
  DispBracket bracket(*this);
  if (bGoBottom) bGoBottom();
  const int s = Skip(-(rowsForNav() - 1));
  nRowPos = 1 - s;
  for (int r = 1; r <= -s; ++r) {
    DrawLine(r);
    Skip(1);
  }
  // A short table leaves lines that held records before: they go blank.
  clearBelow(nRowPos);
  DrawSelect();
  updateVScrollRange();
  thumbBottom();
  change();
}

void TWBrowse::PageUp() {
  const int n = rowsForNav();
  nLen = logicLen();
  if (nLen < 1) return;
  const int s = Skip(-n);
  DispBracket bracket(*this);
  if (lHitTop) {
    thumbTop();
    return;
  }
  if (s != 0) {
    lHitBottom = false;
    if (-s < n) {
      nRowPos = 1;
      thumbTop();
    } else {
      moveThumb(s);
    }
  }
  Refresh();
  // Refresh clears the hit flags; a page that moved nothing met the top.
  if (s == 0) lHitTop = true;
  change();
}

void TWBrowse::PageDown() {
  lGoTop = lGoBottom = false;
  nLen = logicLen();
  if (nLen < 1 || lHitBottom) return;
  DispBracket bracket(*this);
  const int n = rowsForNav();
  DrawLine();
  const int s = Skip(2 * n - nRowPos);
  if (s != 0) lHitTop = false;
  if (s < n) {
    if (s > n - nRowPos) {
      // The last record would fall below the view: show the page ending with it.
      Skip(-n);
      for (int r = 1; r <= n - 1; ++r) {
        Skip(1);
        DrawLine(r);
      }
      Skip(1);
    }
    nRowPos = std::min(nRowPos + s, n);
    lHitBottom = true;
    thumbBottom();
  } else {
    for (int r = n; r >= 1; --r) {
      DrawLine(r);
      Skip(-1);
    }
    Skip(nRowPos);
    moveThumb(s - n + nRowPos);
  }
  DrawSelect();
  change();
}

// ---- cell cursor ---------------------------------------------------------------

bool TWBrowse::GoRight() {
  if (nColAct >= columnCount() || (bGoRight && !bGoRight())) return false;
  DispBracket bracket(*this);
  ++nColAct;
  bool scrolled = false;
  while (!IsColVisible(nColAct) && nColAct > nColPos) {
    ++nColPos;
    scrolled = true;
  }
  if (scrolled)
    Refresh();
  else
    DrawSelect();
  syncHScroll();
  return true;
}

bool TWBrowse::GoLeft() {
  if (nColAct <= 1 || (bGoLeft && !bGoLeft())) return false;
  DispBracket bracket(*this);
  --nColAct;
  bool scrolled = false;
  while (nColAct < nColPos) {
    --nColPos;
    scrolled = true;
  }
  if (scrolled)
    Refresh();
  else
    DrawSelect();
  syncHScroll();
  return true;
}

void TWBrowse::GoToCol(int n) {
  DispBracket bracket(*this);
  const int firstBefore = nColPos;
  while (n != nColAct) {
    const int before = nColAct;
    if (n > nColAct) {
      if (nColAct >= columnCount() || (bGoRight && !bGoRight())) break;
      ++nColAct;
      while (!IsColVisible(nColAct) && nColAct > nColPos) ++nColPos;
    } else {
      if (nColAct <= 1 || (bGoLeft && !bGoLeft())) break;
      --nColAct;
      while (nColAct < nColPos) --nColPos;
    }
    if (nColAct == before) break;
  }
  if (nColPos != firstBefore)
    Refresh();
  else
    DrawSelect();
  syncHScroll();
}

// ---- keyboard and mouse -----------------------------------------------------------

void TWBrowse::keyPressEvent(QKeyEvent* e) {
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  switch (e->key()) {
    case Qt::Key_Up: GoUp(); return;
    case Qt::Key_Down: GoDown(); return;
    case Qt::Key_Left: GoLeft(); return;
    case Qt::Key_Right: GoRight(); return;
    case Qt::Key_Home: GoTop(); return;
    case Qt::Key_End: GoBottom(); return;
    case Qt::Key_PageUp: ctrl ? GoTop() : PageUp(); return;
    case Qt::Key_PageDown: ctrl ? GoBottom() : PageDown(); return;
    default: break;
  }
  if (bKeyDown && bKeyDown(e->key(), static_cast<int>(e->modifiers()))) return;
  e->ignore();  // Enter, Escape and the rest go on to the dialog
}

int TWBrowse::borderAt(int x) const {
  int right = 0;
  for (int i = nColPos; i <= columnCount(); ++i) {
    right += aColSizes[static_cast<size_t>(i - 1)];
    if (std::abs(x - right) <= 1) return i;
  }
  return 0;
}

void TWBrowse::mousePressEvent(QMouseEvent* e) {
  const int x = e->position().toPoint().x(), y = e->position().toPoint().y();
  const int flags = static_cast<int>(e->modifiers());
  if (e->button() == Qt::RightButton) {
    if (bRClicked) bRClicked(y, x, flags);
    return;
  }
  if (e->button() != Qt::LeftButton || !initialised_) return;
  if (lDrawHeaders && y < headerBand()) {
    if (const int col = lMChange ? borderAt(x) : 0) {
      lCaptured = true;
      dragCol_ = col;
      dragStartX_ = dragX_ = x;
      update();
      return;
    }
    SetFocus();
    MsgBeep();  // headers carry no actions
    if (lCellStyle)
      if (const int col = nWCol(x)) GoToCol(col);
  } else {
    selectAt(x, y);
  }
  if (bLClicked) bLClicked(y, x, flags);
}

bool TWBrowse::selectAt(int x, int y) {
  const int r = nWRow(y);
  nLen = logicLen();
  if (nLen <= 0 || r < 1 || r > nRowCount()) return false;
  const int col = nWCol(x);
  DispBracket bracket(*this);
  if (r != nRowPos) {
    DrawLine();
    const int s = Skip(r - nRowPos);
    nRowPos += s;  // below the last record this stops on it
    lGoTop = lGoBottom = false;
    moveThumb(s);
    if (lCellStyle && col) GoToCol(col);
    DrawSelect();
    lHitTop = lHitBottom = false;
    change();
  } else if (lCellStyle && col && col != nColAct) {
    GoToCol(col);
  }
  return true;
}

void TWBrowse::mouseMoveEvent(QMouseEvent* e) {
  const int x = e->position().toPoint().x(), y = e->position().toPoint().y();
  if (lCaptured) {
    int left = 0;
    for (int i = nColPos; i < dragCol_; ++i) left += aColSizes[static_cast<size_t>(i - 1)];
    dragX_ = std::max(x, left + 5);
    update();
    return;
  }
  const bool onBorder = initialised_ && lMChange && lDrawHeaders && y < headerBand() && borderAt(x);
  if (onBorder)
    setCursor(Qt::SizeHorCursor);
  else
    unsetCursor();
}

void TWBrowse::mouseReleaseEvent(QMouseEvent* e) {
  if (!lCaptured) return;
  lCaptured = false;
  unsetCursor();
  int& w = aColSizes[static_cast<size_t>(dragCol_ - 1)];
  w = std::max(1, w + dragX_ - dragStartX_);
  Refresh();
}

void TWBrowse::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !initialised_) return;
  const int x = e->position().toPoint().x(), y = e->position().toPoint().y();
  // The first click of the pair has selected the line; should the window
  // system deliver the pair without it, the double click selects first.
  if (!selectAt(x, y)) return;
  if (bLDblClick) bLDblClick(y, x, static_cast<int>(e->modifiers()));
}

void TWBrowse::wheelEvent(QWheelEvent* e) {
  const int delta = e->angleDelta().y();
  if (delta == 0) return;
  const int steps = std::max(1, std::abs(delta) / 120);
  const bool up = delta > 0;
  DispBracket bracket(*this);
  for (int i = 0; i < steps; ++i) {
    if (e->position().y() > 0.8 * height()) {
      up ? GoLeft() : GoRight();
    } else if (e->buttons() & Qt::MiddleButton) {
      up ? PageUp() : PageDown();
    } else {
      up ? GoUp() : GoDown();
    }
  }
}

void TWBrowse::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  if (!initialised_ || dirty_) return;
  DispBracket bracket(*this);
  DrawSelect();
}

void TWBrowse::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  if (!initialised_ || dirty_) return;
  DispBracket bracket(*this);
  DrawSelect();
}

void TWBrowse::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  Default();
}

void TWBrowse::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  layoutScrollBars();
  nRowPos = std::clamp(nRowPos, 1, rowsForNav());
  dirty_ = true;
}

}  // namespace zol
