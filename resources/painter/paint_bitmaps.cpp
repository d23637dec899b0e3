// Draws the product's bitmaps, icons and cursors into PNG files and writes one
// .qrc per resource module, so rcc can pack each module folder together with
// its pictures. Every picture is drawn here from simple shapes on a 100 x 100
// canvas, in one palette, so the set stays consistent at every size.
//
// usage: zol_paint_bitmaps <output dir> <resources source dir>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// One palette for the whole set.
const QColor kInk(0x2b, 0x2f, 0x36);
const QColor kGreen(0x2e, 0x9e, 0x44);
const QColor kRed(0xd0, 0x34, 0x2c);
const QColor kBlue(0x2f, 0x6d, 0xb5);
const QColor kAmber(0xe8, 0xa3, 0x17);
const QColor kPaper(0xfb, 0xfb, 0xf7);
const QColor kGrey(0x8a, 0x93, 0x9e);
const QColor kLight(0xd9, 0xe2, 0xec);

using Draw = std::function<void(QPainter&)>;

struct Picture {
  const char* module;  // resource module folder
  const char* kind;    // "bitmaps", "icons" or "cursors"
  const char* name;    // lookup name (stored in lower case)
  int size;
  Draw draw;
};

QPen ink(double w = 4) { return QPen(kInk, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void sheet(QPainter& p, QRectF r, QColor fill = kPaper) {
  QPainterPath path;
  const double fold = r.width() * 0.28;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(ink(3.5));
  p.setBrush(fill);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
  p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void textLines(QPainter& p, QRectF r, int n) {
  p.setPen(QPen(kGrey, 4, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < n; ++i) {
    const double y = r.top() + i * r.height() / std::max(1, n - 1);
    p.drawLine(QPointF(r.left(), y), QPointF(r.right() - (i % 2) * r.width() * 0.3, y));
  }
}

void badge(QPainter& p, QPointF c, double radius, QColor fill) {
  p.setPen(QPen(Qt::white, 3));
  p.setBrush(fill);
  p.drawEllipse(c, radius, radius);
}

void check(QPainter& p, QPointF c, double s, double w) {
  p.setPen(QPen(Qt::white, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath path;
  path.moveTo(c.x() - s * 0.55, c.y());
  path.lineTo(c.x() - s * 0.15, c.y() + s * 0.4);
  path.lineTo(c.x() + s * 0.6, c.y() - s * 0.45);
  p.drawPath(path);
}

void cross(QPainter& p, QPointF c, double s, double w, QColor colour = Qt::white) {
  p.setPen(QPen(colour, w, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c.x() - s, c.y() - s), QPointF(c.x() + s, c.y() + s));
  p.drawLine(QPointF(c.x() + s, c.y() - s), QPointF(c.x() - s, c.y() + s));
}

void plusSign(QPainter& p, QPointF c, double s, double w, QColor colour = Qt::white) {
  p.setPen(QPen(colour, w, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c.x() - s, c.y()), QPointF(c.x() + s, c.y()));
  p.drawLine(QPointF(c.x(), c.y() - s), QPointF(c.x(), c.y() + s));
}

void roundBadge(QPainter& p, QColor fill) {
  QRadialGradient g(QPointF(40, 35), 60);
  g.setColorAt(0, fill.lighter(135));
  g.setColorAt(1, fill);
  p.setPen(QPen(fill.darker(140), 3));
  p.setBrush(g);
  p.drawEllipse(QRectF(8, 8, 84, 84));
}

void yes(QPainter& p) { roundBadge(p, kGreen); check(p, {50, 52}, 42, 11); }
void no2(QPainter& p) { roundBadge(p, kRed); cross(p, {50, 50}, 18, 11); }

void plus(QPainter& p) {
  sheet(p, {14, 8, 56, 74});
  textLines(p, {24, 34, 34, 30}, 4);
  badge(p, {70, 70}, 22, kGreen);
  plusSign(p, {70, 70}, 11, 7);
}

void pencil(QPainter& p, QPointF tip, double len, double angleDeg) {
  p.save();
  p.translate(tip);
  p.rotate(angleDeg);
  p.setPen(ink(3));
  p.setBrush(kAmber);
  p.drawRect(QRectF(16, -8, len - 26, 16));
  p.setBrush(kRed.lighter(130));
  p.drawRoundedRect(QRectF(len - 12, -8, 12, 16), 3, 3);
  p.setBrush(QColor(0xf1, 0xd2, 0xa6));
  QPolygonF cone;
  cone << QPointF(0, 0) << QPointF(16, -8) << QPointF(16, 8);
  p.drawPolygon(cone);
  p.setBrush(kInk);
  QPolygonF lead;
  lead << QPointF(0, 0) << QPointF(6, -3) << QPointF(6, 3);
  p.drawPolygon(lead);
  p.restore();
}

void editar(QPainter& p) {
  sheet(p, {12, 8, 56, 74});
  textLines(p, {22, 34, 34, 30}, 4);
  pencil(p, {46, 86}, 66, -45);
}

void trash(QPainter& p) {
  p.setPen(ink(3.5));
  p.setBrush(kLight);
  QPolygonF body;
  body << QPointF(22, 30) << QPointF(78, 30) << QPointF(72, 92) << QPointF(28, 92);
  p.drawPolygon(body);
  p.setPen(QPen(kGrey, 4, Qt::SolidLine, Qt::RoundCap));
  for (double x : {38.0, 50.0, 62.0}) p.drawLine(QPointF(x, 40), QPointF(x, 82));
  p.setPen(ink(3.5));
  p.setBrush(kRed);
  p.drawRoundedRect(QRectF(14, 18, 72, 12), 4, 4);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(38, 8, 24, 10), 3, 3);
}

void magnifier(QPainter& p, QPointF c, double r, const std::function<void(QPainter&)>& inner = {}) {
  p.setPen(QPen(kInk, r * 0.42, Qt::SolidLine, Qt::RoundCap));
  const QPointF handle(c.x() + r * 0.75, c.y() + r * 0.75);
  p.drawLine(handle, QPointF(c.x() + r * 1.75, c.y() + r * 1.75));
  QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r);
  g.setColorAt(0, QColor(0xe8, 0xf3, 0xff));
  g.setColorAt(1, QColor(0x9c, 0xc6, 0xf0));
  p.setPen(QPen(kBlue.darker(120), r * 0.22));
  p.setBrush(g);
  p.drawEllipse(c, r, r);
  if (inner) inner(p);
}

void search(QPainter& p) { magnifier(p, {40, 40}, 27); }
void lupa(QPainter& p) { magnifier(p, {38, 38}, 28); }

void door(QPainter& p) {
  p.setPen(ink(3.5));
  p.setBrush(QColor(0xa8, 0x74, 0x46));
  p.drawRect(QRectF(14, 8, 46, 84));
  p.setBrush(QColor(0x7a, 0x4e, 0x2a));
  QPolygonF leaf;
  leaf << QPointF(14, 8) << QPointF(44, 18) << QPointF(44, 98) << QPointF(14, 92);
  p.drawPolygon(leaf);
  p.setBrush(kAmber);
  p.drawEllipse(QPointF(38, 56), 3.5, 3.5);
  // arrow leaving to the right
  p.setPen(QPen(kGreen.darker(115), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(56, 50), QPointF(88, 50));
  QPainterPath head;
  head.moveTo(76, 36);
  head.lineTo(90, 50);
  head.lineTo(76, 64);
  p.setBrush(Qt::NoBrush);
  p.drawPath(head);
}

void calculator(QPainter& p) {
  p.setPen(ink(3.5));
  QLinearGradient g(0, 0, 0, 100);
  g.setColorAt(0, QColor(0x55, 0x60, 0x6e));
  g.setColorAt(1, QColor(0x36, 0x3d, 0x47));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(16, 6, 68, 88), 8, 8);
  p.setBrush(QColor(0xc9, 0xe8, 0xc0));
  p.drawRect(QRectF(24, 14, 52, 18));
  p.setPen(Qt::NoPen);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) {
      p.setBrush(r == 3 && c == 2 ? kAmber : QColor(0xe9, 0xec, 0xf0));
      p.drawRoundedRect(QRectF(24 + c * 18, 40 + r * 13, 14, 10), 2, 2);
    }
}

void notepad(QPainter& p) {
  p.setPen(ink(3.5));
  p.setBrush(QColor(0xff, 0xf6, 0xb8));
  p.drawRect(QRectF(18, 14, 64, 80));
  p.setBrush(kBlue);
  p.drawRect(QRectF(18, 8, 64, 12));
  p.setPen(QPen(kInk, 3));
  for (double x : {30.0, 42.0, 54.0, 66.0}) p.drawLine(QPointF(x, 4), QPointF(x, 14));
  textLines(p, {28, 34, 44, 46}, 5);
}

void calendar(QPainter& p) {
  p.setPen(ink(3.5));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(10, 14, 80, 78), 6, 6);
  p.setBrush(kRed);
  p.drawRoundedRect(QRectF(10, 14, 80, 20), 6, 6);
  p.setPen(QPen(kInk, 5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(30, 6), QPointF(30, 22));
  p.drawLine(QPointF(70, 6), QPointF(70, 22));
  p.setPen(Qt::NoPen);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) {
      p.setBrush(r == 2 && c == 3 ? kBlue : kLight.darker(110));
      p.drawRect(QRectF(18 + c * 14, 42 + r * 12, 10, 8));
    }
}

void help(QPainter& p) {
  roundBadge(p, kBlue);
  QFont f("DejaVu Sans");
  f.setPixelSize(64);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 2, 100, 100), Qt::AlignCenter, "?");
}

void arrowBar(QPainter& p, bool up) {
  p.save();
  if (!up) {
    p.translate(0, 100);
    p.scale(1, -1);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(14, 10, 72, 14), 4, 4);
  QPolygonF tri;
  tri << QPointF(50, 32) << QPointF(86, 88) << QPointF(14, 88);
  p.setPen(QPen(kBlue.darker(130), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kBlue.lighter(115));
  p.drawPolygon(tri);
  p.restore();
}

void printer(QPainter& p) {
  p.setPen(ink(3.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(28, 8, 44, 34));
  QLinearGradient g(0, 36, 0, 78);
  g.setColorAt(0, QColor(0xb7, 0xc1, 0xcc));
  g.setColorAt(1, QColor(0x84, 0x90, 0x9d));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(8, 36, 84, 40), 6, 6);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(26, 62, 48, 30));
  textLines(p, {34, 72, 30, 12}, 3);
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(QPointF(80, 48), 4, 4);
}

void copy(QPainter& p) {
  sheet(p, {10, 8, 50, 62}, kLight);
  sheet(p, {38, 32, 50, 62});
  textLines(p, {46, 56, 28, 26}, 3);
}

void chartAxes(QPainter& p) {
  p.setPen(ink(4));
  p.drawLine(QPointF(12, 8), QPointF(12, 90));
  p.drawLine(QPointF(12, 90), QPointF(94, 90));
}

void bars(QPainter& p) {
  chartAxes(p);
  p.setPen(ink(3));
  const double hs[] = {40, 64, 28, 76};
  const QColor cs[] = {kGreen, kRed, kGreen, kRed};
  for (int i = 0; i < 4; ++i) {
    p.setBrush(cs[i]);
    p.drawRect(QRectF(20 + i * 18, 88 - hs[i], 13, hs[i]));
  }
}

void lines(QPainter& p) {
  chartAxes(p);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kGreen, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPolygonF a;
  a << QPointF(18, 70) << QPointF(40, 46) << QPointF(62, 58) << QPointF(90, 20);
  p.drawPolyline(a);
  p.setPen(QPen(kRed, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPolygonF b;
  b << QPointF(18, 82) << QPointF(40, 74) << QPointF(62, 80) << QPointF(90, 52);
  p.drawPolyline(b);
}

void points(QPainter& p) {
  chartAxes(p);
  p.setPen(ink(2.5));
  const QPointF g[] = {{24, 66}, {42, 44}, {62, 54}, {84, 22}};
  const QPointF r[] = {{28, 82}, {48, 72}, {68, 78}, {86, 50}};
  p.setBrush(kGreen);
  for (auto pt : g) p.drawEllipse(pt, 6, 6);
  p.setBrush(kRed);
  for (auto pt : r) p.drawRect(QRectF(pt.x() - 5.5, pt.y() - 5.5, 11, 11));
}

void pie(QPainter& p) {
  const QRectF r(10, 12, 80, 80);
  p.setPen(QPen(Qt::white, 3));
  p.setBrush(kGreen);
  p.drawPie(r, 90 * 16, 150 * 16);
  p.setBrush(kRed);
  p.drawPie(r, 240 * 16, 80 * 16);
  p.setBrush(kBlue);
  p.drawPie(r, 320 * 16, 130 * 16);
  p.setPen(ink(3));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(r);
}

void cube(QPainter& p) {
  p.setPen(ink(3));
  QPolygonF top, left, right;
  top << QPointF(50, 10) << QPointF(88, 28) << QPointF(50, 46) << QPointF(12, 28);
  left << QPointF(12, 28) << QPointF(50, 46) << QPointF(50, 92) << QPointF(12, 74);
  right << QPointF(50, 46) << QPointF(88, 28) << QPointF(88, 74) << QPointF(50, 92);
  p.setBrush(kBlue.lighter(150));
  p.drawPolygon(top);
  p.setBrush(kBlue.lighter(110));
  p.drawPolygon(left);
  p.setBrush(kBlue.darker(110));
  p.drawPolygon(right);
  QFont f("DejaVu Sans");
  f.setPixelSize(22);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(50, 46, 38, 40), Qt::AlignCenter, "3D");
}

void grid(QPainter& p, bool horizontal) {
  p.setPen(ink(3));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(10, 10, 80, 80));
  p.setPen(QPen(kBlue, 4, Qt::DashLine, Qt::FlatCap));
  for (int i = 1; i < 4; ++i) {
    const double v = 10 + i * 20;
    if (horizontal)
      p.drawLine(QPointF(14, v), QPointF(86, v));
    else
      p.drawLine(QPointF(v, 14), QPointF(v, 86));
  }
}

void light(QPainter& p, QColor colour) {
  QRadialGradient g(QPointF(38, 34), 56);
  g.setColorAt(0, colour.lighter(170));
  g.setColorAt(0.5, colour);
  g.setColorAt(1, colour.darker(150));
  p.setPen(QPen(colour.darker(200), 6));
  p.setBrush(g);
  p.drawEllipse(QRectF(8, 8, 84, 84));
}

void banner(QPainter& p) {
  // Stacked stock boxes: the program's own icon.
  auto box = [&](QRectF r, QColor c) {
    p.setPen(ink(3));
    p.setBrush(c);
    p.drawRect(r);
    p.setPen(QPen(c.darker(140), 3));
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.top() + r.height() * 0.35));
  };
  box({8, 52, 40, 38}, QColor(0xd9, 0xa4, 0x65));
  box({52, 52, 40, 38}, QColor(0xc8, 0x8d, 0x4c));
  box({30, 14, 40, 38}, QColor(0xe4, 0xb7, 0x7c));
  QFont f("DejaVu Sans");
  f.setPixelSize(26);
  f.setBold(true);
  p.setFont(f);
  p.setPen(kBlue.darker(120));
  p.drawText(QRectF(30, 20, 40, 32), Qt::AlignCenter, "Z");
}

void triangleNav(QPainter& p, bool right, bool bar) {
  p.save();
  if (!right) {
    p.translate(100, 0);
    p.scale(-1, 1);
  }
  p.setPen(QPen(kBlue.darker(130), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kBlue.lighter(115));
  QPolygonF tri;
  const double x0 = bar ? 18 : 28;
  tri << QPointF(x0, 14) << QPointF(x0 + 52, 50) << QPointF(x0, 86);
  p.drawPolygon(tri);
  if (bar) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(74, 14, 12, 72), 3, 3);
  }
  p.restore();
}

void zoom(QPainter& p, bool in) {
  magnifier(p, {40, 40}, 28, [&](QPainter& q) {
    q.setPen(QPen(kInk, 7, Qt::SolidLine, Qt::RoundCap));
    q.drawLine(QPointF(27, 40), QPointF(53, 40));
    if (in) q.drawLine(QPointF(40, 27), QPointF(40, 53));
  });
}

void pages(QPainter& p, bool two) {
  if (two) {
    sheet(p, {6, 14, 40, 72});
    sheet(p, {54, 14, 40, 72});
    textLines(p, {12, 36, 24, 38}, 4);
    textLines(p, {60, 36, 24, 38}, 4);
  } else {
    sheet(p, {24, 8, 52, 84});
    textLines(p, {32, 36, 34, 44}, 5);
  }
}

void disk(QPainter& p) {
  p.setPen(ink(3.5));
  p.setBrush(kBlue);
  QPainterPath body;
  body.moveTo(10, 10);
  body.lineTo(78, 10);
  body.lineTo(90, 22);
  body.lineTo(90, 90);
  body.lineTo(10, 90);
  body.closeSubpath();
  p.drawPath(body);
  p.setBrush(QColor(0xe9, 0xec, 0xf0));
  p.drawRect(QRectF(26, 10, 44, 26));
  p.setBrush(kInk);
  p.drawRect(QRectF(56, 14, 8, 18));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(22, 52, 56, 38));
  textLines(p, {30, 62, 40, 18}, 3);
}

void pdf(QPainter& p) {
  sheet(p, {16, 6, 68, 88});
  p.setPen(Qt::NoPen);
  p.setBrush(kRed);
  p.drawRoundedRect(QRectF(8, 50, 70, 30), 4, 4);
  QFont f("DejaVu Sans");
  f.setPixelSize(24);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(8, 50, 70, 30), Qt::AlignCenter, "PDF");
}

void handCursor(QPainter& p) {
  // A pointing hand: finger up, palm below; hot spot at the finger tip.
  QPainterPath h;
  h.moveTo(38, 6);
  h.cubicTo(46, 6, 46, 10, 46, 14);
  h.lineTo(46, 40);
  h.cubicTo(52, 36, 60, 38, 60, 44);
  h.cubicTo(66, 40, 74, 42, 74, 48);
  h.cubicTo(80, 46, 88, 48, 88, 56);
  h.lineTo(88, 74);
  h.cubicTo(88, 88, 78, 96, 64, 96);
  h.lineTo(50, 96);
  h.cubicTo(40, 96, 34, 90, 28, 82);
  h.lineTo(14, 60);
  h.cubicTo(10, 52, 20, 46, 26, 54);
  h.lineTo(30, 60);
  h.lineTo(30, 14);
  h.cubicTo(30, 10, 32, 6, 38, 6);
  p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::white);
  p.drawPath(h);
}

void magnifierCursor(QPainter& p) {
  p.setPen(QPen(Qt::black, 12, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(62, 62), QPointF(92, 92));
  p.setPen(QPen(Qt::black, 7));
  p.setBrush(QColor(255, 255, 255, 200));
  p.drawEllipse(QPointF(40, 40), 30, 30);
  p.setPen(QPen(Qt::black, 6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(26, 40), QPointF(54, 40));
  p.drawLine(QPointF(40, 26), QPointF(40, 54));
}

const std::vector<Picture>& pictures() {
  static const std::vector<Picture> list = {
      // main window button bar (32 x 32)
      {"ZOL0000", "bitmaps", "exit", 32, door},
      {"ZOL0000", "bitmaps", "calcu2", 32, calculator},
      {"ZOL0000", "bitmaps", "paste", 32, notepad},
      {"ZOL0000", "bitmaps", "calen32x32", 32, calendar},
      {"ZOL0000", "bitmaps", "ayuda", 32, help},
      // list and register dialogs
      {"ZOL0000", "bitmaps", "plus", 32, plus},
      {"ZOL0000", "bitmaps", "editar", 32, editar},
      {"ZOL0000", "bitmaps", "delete", 32, trash},
      {"ZOL0000", "bitmaps", "search", 32, search},
      {"ZOL0000", "bitmaps", "quit", 32, door},
      {"ZOL0000", "bitmaps", "lupa16x16", 16, lupa},
      {"ZOL0000", "bitmaps", "topr", 16, [](QPainter& p) { arrowBar(p, true); }},
      {"ZOL0000", "bitmaps", "bottomr", 16, [](QPainter& p) { arrowBar(p, false); }},
      {"ZOL0000", "bitmaps", "yes", 32, yes},
      {"ZOL0000", "bitmaps", "no2", 32, no2},
      {"ZOL0000", "bitmaps", "luz_v", 12, [](QPainter& p) { light(p, QColor(0x1f, 0xb8, 0x3a)); }},
      {"ZOL0000", "bitmaps", "luz_r", 12, [](QPainter& p) { light(p, QColor(0xe0, 0x25, 0x1b)); }},
      // chart dialog
      {"ZOL0000", "bitmaps", "printer", 24, printer},
      {"ZOL0000", "bitmaps", "copy", 24, copy},
      {"ZOL0000", "bitmaps", "quit16x16", 16, door},
      {"ZOL0000", "bitmaps", "bars", 24, bars},
      {"ZOL0000", "bitmaps", "lines", 24, lines},
      {"ZOL0000", "bitmaps", "points", 24, points},
      {"ZOL0000", "bitmaps", "pie", 24, pie},
      {"ZOL0000", "bitmaps", "3d", 24, cube},
      {"ZOL0000", "bitmaps", "xgrid", 24, [](QPainter& p) { grid(p, true); }},
      {"ZOL0000", "bitmaps", "ygrid", 24, [](QPainter& p) { grid(p, false); }},
      {"ZOL0000", "icons", "banner", 48, banner},
      {"ZOL0000", "bitmaps", "banner", 48, banner},
      // print preview
      {"PREV32SP", "bitmaps", "top2", 24, [](QPainter& p) { triangleNav(p, false, true); }},
      {"PREV32SP", "bitmaps", "previous2", 24, [](QPainter& p) { triangleNav(p, false, false); }},
      {"PREV32SP", "bitmaps", "next2", 24, [](QPainter& p) { triangleNav(p, true, false); }},
      {"PREV32SP", "bitmaps", "bottom2", 24, [](QPainter& p) { triangleNav(p, true, true); }},
      {"PREV32SP", "bitmaps", "zoom2", 24, [](QPainter& p) { zoom(p, true); }},
      {"PREV32SP", "bitmaps", "unzoom2", 24, [](QPainter& p) { zoom(p, false); }},
      {"PREV32SP", "bitmaps", "two_pages2", 24, [](QPainter& p) { pages(p, true); }},
      {"PREV32SP", "bitmaps", "one_page2", 24, [](QPainter& p) { pages(p, false); }},
      {"PREV32SP", "bitmaps", "printer2", 24, printer},
      {"PREV32SP", "bitmaps", "save", 24, disk},
      {"PREV32SP", "bitmaps", "pdf", 16, pdf},
      {"PREV32SP", "bitmaps", "exit2", 24, door},
      {"PREV32SP", "icons", "print", 32, printer},
      {"PREV32SP", "cursors", "hand", 32, handCursor},
      {"PREV32SP", "cursors", "magnifier", 32, magnifierCursor},
  };
  return list;
}

bool paint(const Picture& pic, const QString& path) {
  QImage img(pic.size, pic.size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(pic.size / 100.0, pic.size / 100.0);
  pic.draw(p);
  p.end();
  return img.save(path, "PNG");
}

// Lists a module's source files (templates, string table, anything else) and
// its drawn pictures in a .qrc under the module's own prefix.
bool writeQrc(const QString& module, const QDir& src, const QDir& out) {
  QFile f(out.filePath(module + ".qrc"));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream s(&f);
  s << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/" << module.toLower() << "\">\n";
  const QDir moduleDir(src.filePath(module));
  QStringList files;
  for (const QString& sub : {QString("dialogs"), QString(".")}) {
    QDir d(moduleDir.filePath(sub));
    for (const QString& name : d.entryList(QDir::Files, QDir::Name))
      files << (sub == "." ? name : sub + "/" + name);
  }
  for (const QString& rel : files)
    s << "  <file alias=\"" << rel << "\">" << moduleDir.absoluteFilePath(rel) << "</file>\n";
  for (const Picture& pic : pictures()) {
    if (module != pic.module) continue;
    const QString rel = QString("%1/%2.png").arg(pic.kind, pic.name);
    s << "  <file alias=\"" << rel << "\">" << out.absoluteFilePath(module + "/" + rel) << "</file>\n";
  }
  s << "</qresource>\n</RCC>\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <output dir> <resources source dir>\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const QDir src(QString::fromLocal8Bit(argv[2]));
  for (const Picture& pic : pictures()) {
    const QString dir = out.filePath(QString("%1/%2").arg(pic.module, pic.kind));
    QDir().mkpath(dir);
    const QString path = dir + "/" + pic.name + ".png";
    if (!paint(pic, path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  for (const char* module : {"ZOL0000", "PREV32SP", "prev32", "BWCC32"}) {
    if (!writeQrc(module, src, out)) {
      std::fprintf(stderr, "cannot write the resource list of %s\n", module);
      return 1;
    }
  }
  return 0;
}
