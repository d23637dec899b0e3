// TWBrowse drawing: geometry, hit tests, the pane, the line painter, the
// header, the selection and the one-line scroll. Everything is drawn into an
// off-screen image of the client area; paintEvent only copies it out.
#include <QHash>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstring>

#include "browse/wbrowse.h"
#include "store/work_area.h"
#include "ui/colour_qt.h"

namespace zol {

namespace {

// A picture with its top-left colour made transparent, kept per picture so a
// column of the same bitmap is converted once.
QImage transparentCopy(const QPixmap& pm) {
  static QHash<qint64, QImage> cache;
  const qint64 key = pm.cacheKey();
  if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;
  QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
  if (!img.isNull()) {
    const QRgb key0 = img.pixel(0, 0) | 0xFF000000u;
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x)
        if ((line[x] | 0xFF000000u) == key0) line[x] = 0;
    }
  }
  if (cache.size() > 256) cache.clear();
  cache.insert(key, img);
  return img;
}

}  // namespace

// ---- geometry and hit tests ---------------------------------------------------

int TWBrowse::nRowCount() const {
  const int pitch = std::max(1, linePitch());
  return std::max(0, (clientRect().height() - headerBand() - 2) / pitch);
}

int TWBrowse::nWRow(int y) const {
  if (lDrawHeaders && y >= 0 && y < headerBand()) return 0;
  const int band = headerBand(), pitch = linePitch();
  for (int r = 1; r <= nRowCount(); ++r) {
    const int top = band + (r - 1) * pitch, bottom = band + r * pitch;
    if (top <= y && y <= bottom) return r;  // a boundary pixel belongs to the upper line
  }
  return 0;
}

int TWBrowse::nWCol(int x) const {
  const int usable = clientRect().width();
  if (x > usable) return 0;
  int right = 0;
  for (int i = nColPos; i <= columnCount(); ++i) {
    right += aColSizes[static_cast<size_t>(i - 1)];
    // The stretched last column reaches the edge on screen, so it does here too.
    if (i == columnCount() && lAdjLastCol) right = std::max(right, usable);
    if (right >= x) return i;
  }
  return 0;
}

bool TWBrowse::IsColVisible(int col) const {
  if (col < nColPos || col > columnCount()) return false;
  int sum = 0;
  for (int i = nColPos; i <= col; ++i) sum += aColSizes[static_cast<size_t>(i - 1)];
  return sum <= clientRect().width();
}

// ---- off-screen image ------------------------------------------------------------

void TWBrowse::ensureBuffer() {
  const QSize size = clientRect().size().expandedTo(QSize(1, 1));
  if (buf_.size() == size) return;
  buf_ = QImage(size, QImage::Format_RGB32);
  buf_.fill(toQColor(brush_));
  dirty_ = true;
}

void TWBrowse::flush() { update(); }

void TWBrowse::paintEvent(QPaintEvent*) {
  if (initialised_) {
    ensureBuffer();
    if (dirty_) {
      ++dispDepth_;  // painting already: no second update
      Paint();
      --dispDepth_;
    }
  }
  QPainter p(this);
  if (vsb_ && hsb_ && !vsb_->isHidden())
    p.fillRect(QRect(width() - vsb_->width(), height() - hsb_->height(), vsb_->width(), hsb_->height()),
               toQColor(sysColour(SysColour::BtnFace)));
  if (!initialised_) {
    p.fillRect(rect(), toQColor(brush_));
    return;
  }
  p.drawImage(0, 0, buf_);
  if (lCaptured) {
    // The border being dragged, inverted over whatever lies below it.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(dragX_, 0, dragX_, buf_.height() - 1);
  }
}

// ---- painting ------------------------------------------------------------------------

void TWBrowse::Paint() {
  if (!initialised_) return;
  nLen = logicLen();
  updateVScrollRange();
  ensureBuffer();
  dirty_ = false;
  DrawHeaders();
  if (nLen == 0) {
    clearBelow(0);
  } else {
    const int want = 1 - nRowPos;
    const int s = Skip(want);
    if (s > want) nRowPos = std::max(1, nRowPos - (s - want));
    const int line = paintPane();
    Skip(nRowPos - line);
    if (nLen < nRowPos) nRowPos = nLen;
    DrawSelect();
  }
  if (area_ && area_->isOpen()) {
    lHitTop = area_->bof();
    lHitBottom = area_->eof();
  }
}

int TWBrowse::paintPane() {
  const QRect client(QPoint(0, 0), buf_.size());
  if (!lAdjLastCol && !lAdjBrowse) {
    int x = 0;
    for (int i = nColPos; i <= columnCount(); ++i) x += aColSizes[static_cast<size_t>(i - 1)];
    if (nLineStyle != 0 && nLineStyle != 3 && nLineStyle != 7 && nLineStyle != 8) ++x;
    QPainter p(&buf_);
    p.fillRect(QRect(x, 0, client.width() - x, client.height()), toQColor(brush_));
  }
  const int n = nRowCount();
  int current = 1, drawn = 0;
  for (int j = 1; j <= n; ++j) {
    const Cells cells = bLine ? bLine() : Cells();
    drawLineAt(j, cells, nClrText.eval(), nClrPane.eval(), 0, false);
    drawn = j;
    if (Skip(1) == 0) break;
    current = j + 1;
  }
  clearBelow(drawn);
  return current;
}

void TWBrowse::clearBelow(int row) {
  const int top = row <= 0 ? headerBand() : headerBand() + row * linePitch();
  if (top >= buf_.height()) return;
  QPainter p(&buf_);
  p.fillRect(QRect(0, top, buf_.width(), buf_.height() - top), toQColor(brush_));
}

void TWBrowse::DrawLine(int row) {
  if (row <= 0) row = nRowPos;
  const Cells cells = bLine ? bLine() : Cells();
  drawLineAt(row, cells, nClrText.eval(), nClrPane.eval(), 0, false);
}

void TWBrowse::DrawHeaders() {
  if (!lDrawHeaders) return;
  Cells cells;
  for (const QString& h : aHeaders) cells.push_back(h);
  drawLineAt(0, cells, nClrForeHead, nClrBackHead, 0, false);
}

void TWBrowse::DrawSelect() {
  if (nLen == 0) return;
  const Cells cells = bLine ? bLine() : Cells();
  if (!lDrawSelect) {
    drawLineAt(nRowPos, cells, nClrText.eval(), nClrPane.eval(), 0, false);
    return;
  }
  const bool focus = hasFocus();
  const Colour fore = focus ? nClrForeFocus.eval() : nClrNFFore;
  const Colour back = focus ? nClrBackFocus.eval() : nClrNFBack;
  if (lCellStyle) {
    drawLineAt(nRowPos, cells, nClrText.eval(), nClrPane.eval(), 0, false);
    drawLineAt(nRowPos, cells, fore, back, nColAct, true);
  } else {
    drawLineAt(nRowPos, cells, fore, back, 0, true);
  }
}

void TWBrowse::drawLineAt(int row, const Cells& cells, Colour text, Colour back, int activeCol, bool selected) {
  const bool header = row == 0 && lDrawHeaders;
  if (row == 0 && !header) return;
  const int clientW = buf_.width();
  const int top = header ? 0 : headerBand() + (row - 1) * linePitch();
  const int height = header ? headerBand() : linePitch();
  if (top >= buf_.height()) return;
  const int style = header ? nHeaderStyle : nLineStyle;
  const std::vector<int>& justify = header && !aHJustify.empty() ? aHJustify : aJustify;
  const int styleValue = header ? 1 : selected ? 3 : 0;

  QPainter p(&buf_);
  p.setFont(oFont ? *oFont : font());
  const int cols = columnCount();
  int left = 0;
  QRect focusRect;
  for (int i = nColPos; i <= cols; ++i) {
    int right = left + aColSizes[static_cast<size_t>(i - 1)];
    if (i == cols) right = lAdjLastCol ? clientW : right + (header ? 1 : 0);
    if (activeCol == 0 || i == activeCol) {
      Colour fg = text, bg = back;
      if (bBkColor)
        if (auto c = bBkColor(row, i, styleValue)) bg = *c;
      if (bTextColor)
        if (auto c = bTextColor(row, i, styleValue)) fg = *c;
      const QRect cell(left, top, right - left, height);
      const Cell empty;
      const Cell& value = static_cast<size_t>(i - 1) < cells.size() ? cells[static_cast<size_t>(i - 1)] : empty;
      p.fillRect(cell, toQColor(bg));
      if (value.isText()) {
        const int j = static_cast<size_t>(i - 1) < justify.size() ? justify[static_cast<size_t>(i - 1)] : 0;
        int flags = Qt::TextSingleLine | Qt::TextDontClip;
        if (j & Justify::Top)
          flags |= Qt::AlignTop;
        else if (j & Justify::Bottom)
          flags |= Qt::AlignBottom;
        else
          flags |= Qt::AlignVCenter;
        QRect tr = cell;
        if (j & Justify::Right) {
          flags |= Qt::AlignRight;
          tr.setRight(right - 1 - (header ? 2 : 3));
        } else if (j & Justify::Centre) {
          flags |= Qt::AlignHCenter;
        } else {
          flags |= Qt::AlignLeft;
          tr.setLeft(left + 2);
        }
        if (!header) tr.translate(0, 1);  // data cells sit one pixel lower
        p.save();
        p.setClipRect(cell);
        p.setPen(toQColor(fg));
        // Without the mnemonic flag Qt shows "&" as it is.
        p.drawText(tr, flags, value.text());
        p.restore();
      } else if (value.isBitmap()) {
        const QImage img = transparentCopy(value.pix);
        p.save();
        p.setClipRect(cell);
        p.drawImage(left + (cell.width() - img.width()) / 2, top + (height - img.height()) / 2, img);
        p.restore();
      }
      if (style == 3) {
        p.setPen(toQColor(sysColour(SysColour::BtnHighlight)));
        p.drawLine(left, top, right - 2, top);
        p.drawLine(left, top, left, top + height - 2);
        p.setPen(toQColor(sysColour(SysColour::BtnShadow)));
        p.drawLine(left, top + height - 1, right - 1, top + height - 1);
        p.drawLine(right - 1, top, right - 1, top + height - 1);
      } else if (style == 1) {
        p.setPen(toQColor(nClrLine.value_or(RGB(0, 0, 0))));
        p.drawRect(left, top, right - left, height);
      }
      if (i == activeCol) focusRect = cell;
    }
    if (right >= clientW) break;  // nothing after a column that reaches the edge
    left = right;
  }
  if (selected && hasFocus() && lDrawFocusRect && style != 3) {
    if (activeCol == 0) focusRect = QRect(0, top, clientW, height);
    QPen pen(toQColor(text));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(focusRect.adjusted(0, 0, -1, -1));
  }
}

void TWBrowse::scrollLines(int lines) {
  if (lines == 0 || buf_.isNull()) return;
  const int pitch = linePitch();
  const int top = headerBand();
  int bottom = top + nRowCount() * pitch;
  const int s = nLineStyle;
  if (s != 0 && s != 3 && s != 5 && s != 6 && s != 9 && s != 10) ++bottom;
  bottom = std::min(bottom, buf_.height());
  const int d = lines * pitch;
  if (std::abs(d) >= bottom - top) return;
  const qsizetype bpl = buf_.bytesPerLine();
  if (d > 0) {
    for (int y = top; y < bottom - d; ++y) std::memcpy(buf_.scanLine(y), buf_.constScanLine(y + d), bpl);
  } else {
    for (int y = bottom - 1; y >= top - d; --y) std::memcpy(buf_.scanLine(y), buf_.constScanLine(y + d), bpl);
  }
}

}  // namespace zol
