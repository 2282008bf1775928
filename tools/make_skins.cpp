// Writes the skins and the program icon into the data folder of the source tree.
// Run by hand after a design change; the results are committed.
//
//   make_skins <data-folder> [<preview-folder>]
//
// With a preview folder it also writes PNG pictures of every skin with a mock
// meter frame drawn over it at the program's own geometry, to judge how a skin
// looks in use.

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

namespace {

// Pixels of exactly this colour are see-through on the meter window.
constexpr QRgb kKey = 0xFF400040;
constexpr QRgb kKeyNeighbour = 0xFF410041;

// Marks of the meter's scale: dB below the meter's full scale and the display
// position (0..510) the scale gives that level.
struct Mark {
  int db;
  int position;
};
constexpr Mark kMarks[] = {{-60, 20},  {-50, 56},  {-40, 112}, {-30, 184}, {-20, 256},
                           {-15, 320}, {-10, 384}, {-5, 448},  {0, 510}};

// Where the program draws, for a skin of a given size (bar width 20, no offsets).
struct Layout {
  int w = 0;
  int h = 0;
  bool stereo = true;
  bool vertical() const { return w < h; }
  // Vertical: row of block 0's top edge. Horizontal: column of block 0.
  int base() const { return vertical() ? h - (h - 512) / 2 : (w - 512) / 2; }
  // Centre (row or column) of the block that lights when the level reaches `position`.
  int markCentre(int position) const {
    const int block = position / 8;
    return vertical() ? base() - 8 * block + 3 : base() + 8 * block + 3;
  }
  // Cross coordinates of the bars: left column (vertical) or the row below (horizontal).
  std::vector<int> bars() const {
    if (vertical()) return stereo ? std::vector{w / 2 - 38, w / 2 + 20} : std::vector{w / 2 - 20};
    return stereo ? std::vector{h / 2 - 4, h / 2 + 40} : std::vector{h / 2 + 14};
  }
  // Whole extent of one bar including its clip box, as a rectangle.
  QRect barRect(int cross, int width = 20) const {
    if (vertical()) return QRect(cross, base() - 526 - 8, width, 526 + 8 + 8);
    return QRect(base(), cross - width, 536, width);
  }
};

// ---------------------------------------------------------------- drawing helpers

QFont uiFont(int pixels, bool bold = true, const char* family = "Liberation Sans") {
  QFont f(QString::fromLatin1(family));
  f.setPixelSize(pixels);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

// Text centred on (cx, cy) by its ink, so short numbers line up with their ticks.
void centredText(QPainter& p, const QString& text, double cx, double cy, const QFont& font,
                 QColor colour) {
  p.setFont(font);
  const QFontMetrics fm(font);
  const QRect ink = fm.tightBoundingRect(text);
  const double x = cx - ink.width() / 2.0 - ink.left();
  const double y = cy - ink.height() / 2.0 - ink.top();
  p.setPen(colour);
  p.drawText(QPointF(std::round(x), std::round(y)), text);
}

// Cut into metal: a dark letter over a light one offset down and right.
void engravedText(QPainter& p, const QString& text, double cx, double cy, const QFont& font,
                  QColor dark, QColor light) {
  centredText(p, text, cx + 1, cy + 1, font, light);
  centredText(p, text, cx, cy, font, dark);
}

QString dbText(int db) {
  return db == 0 ? QStringLiteral("0") : QStringLiteral("\u2212%1").arg(-db);
}

bool insideRounded(double x, double y, double w, double h, double r) {
  const double cx = std::clamp(x, r, w - r);
  const double cy = std::clamp(y, r, h - r);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// Outside the rounded outline the skin becomes see-through. Decided per pixel
// centre, so the edge stays hard: blending into the key colour would leave a
// purple fringe around the window.
void keyOutsideRounded(QImage& img, double radius) {
  for (int y = 0; y < img.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      const bool inside = insideRounded(x + 0.5, y + 0.5, img.width(), img.height(), radius);
      if (!inside)
        row[x] = kKey;
      else if (row[x] == kKey)
        row[x] = kKeyNeighbour;  // a design pixel must never become a hole
    }
  }
}

// A frame of metal around black glass, the whole skin a rounded panel.
// `bezel` is the thickness of the frame; the glass starts there.
void paintGlassPanel(QPainter& p, int w, int h, int bezel, double radius) {
  p.fillRect(0, 0, w, h, QColor(0x08, 0x09, 0x0a));
  QLinearGradient metal(0, 0, w * 0.35, h);
  metal.setColorAt(0.0, QColor(0x8a, 0x91, 0x99));
  metal.setColorAt(0.5, QColor(0x4c, 0x52, 0x59));
  metal.setColorAt(1.0, QColor(0x2a, 0x2e, 0x33));
  p.setPen(Qt::NoPen);
  p.setBrush(metal);
  p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), radius - 1, radius - 1);
  const QRectF glass(bezel, bezel, w - 2 * bezel, h - 2 * bezel);
  const double innerRadius = std::max(2.0, radius - bezel);
  p.setBrush(QColor(0x05, 0x06, 0x07));
  p.drawRoundedRect(glass.adjusted(-1, -1, 1, 1), innerRadius + 1, innerRadius + 1);
  QLinearGradient shade(0, bezel, 0, h - bezel);
  shade.setColorAt(0.0, QColor(0x1b, 0x20, 0x26));
  shade.setColorAt(0.12, QColor(0x13, 0x17, 0x1b));
  shade.setColorAt(1.0, QColor(0x0c, 0x0e, 0x11));
  p.setBrush(shade);
  p.drawRoundedRect(glass, innerRadius, innerRadius);
}

// The dark channel a bar runs in; a faint rim makes it look set into the glass.
void paintTrough(QPainter& p, QRect bar) {
  const QRect r = bar.adjusted(-3, -3, 3, 3);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2c, 0x33, 0x3a));
  p.drawRoundedRect(QRectF(r).adjusted(-1, -1, 1, 1), 3.5, 3.5);
  p.setBrush(QColor(0x00, 0x00, 0x00));
  p.drawRoundedRect(QRectF(r), 3, 3);
}

// ------------------------------------------------------------------------ skins

QImage newImage(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::black);
  return img;
}

const QColor kScaleText(0xc4, 0xcb, 0xd2);
const QColor kScaleTick(0x7d, 0x86, 0x90);
const QColor kZeroText(0xff, 0x6a, 0x55);

// Vertical ticks and numbers; `numberX` is the centre column of the numbers,
// `ticks` are (first column, width) pairs.
void verticalScale(QPainter& p, const Layout& l, double numberX,
                   const std::vector<std::pair<int, int>>& ticks, int fontPixels) {
  const QFont font = uiFont(fontPixels);
  for (const Mark& m : kMarks) {
    const int row = l.markCentre(m.position);
    for (auto [x, tw] : ticks) p.fillRect(x, row, tw, 1, kScaleTick);
    centredText(p, dbText(m.db), numberX, row + 0.5, font, m.db == 0 ? kZeroText : kScaleText);
  }
}

QImage defaultSkin() {
  const Layout l{150, 600, true};
  QImage img = newImage(l.w, l.h);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  paintGlassPanel(p, l.w, l.h, 4, 14);
  for (int x : l.bars()) paintTrough(p, l.barRect(x));
  p.setRenderHint(QPainter::Antialiasing, false);
  // Ticks hug both troughs; numbers sit in the middle of the gap.
  verticalScale(p, l, l.w / 2.0 + 0.5, {{59, 5}, {88, 5}, {29, 3}, {118, 3}}, 10);
  p.setRenderHint(QPainter::Antialiasing);
  centredText(p, QStringLiteral("dB"), l.w / 2.0 + 0.5, 40, uiFont(9), kScaleTick);
  const QFont legend = uiFont(11);
  centredText(p, QStringLiteral("L"), 37 + 10, 587, legend, kScaleText);
  centredText(p, QStringLiteral("R"), 95 + 10, 587, legend, kScaleText);
  p.end();
  keyOutsideRounded(img, 14);
  return img;
}

QImage monoSkin() {
  const Layout l{120, 600, false};
  QImage img = newImage(l.w, l.h);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  paintGlassPanel(p, l.w, l.h, 4, 14);
  const int x = l.bars()[0];
  paintTrough(p, l.barRect(x));
  p.setRenderHint(QPainter::Antialiasing, false);
  verticalScale(p, l, 84.5, {{x + 22, 5}, {x - 8, 4}}, 10);
  p.setRenderHint(QPainter::Antialiasing);
  centredText(p, QStringLiteral("dB"), 84.5, 40, uiFont(9), kScaleTick);
  centredText(p, QStringLiteral("MONO"), l.w / 2.0, 587, uiFont(10), kScaleText);
  p.end();
  keyOutsideRounded(img, 14);
  return img;
}

QImage horizontalSkin() {
  const Layout l{640, 160, true};
  QImage img = newImage(l.w, l.h);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A thin frame: the readout boxes start two columns from the left edge.
  paintGlassPanel(p, l.w, l.h, 2, 12);
  const std::vector<int> bars = l.bars();
  for (int y : bars) paintTrough(p, l.barRect(y));
  p.setRenderHint(QPainter::Antialiasing, false);
  const QFont font = uiFont(10);
  const double between = (bars[0] + bars[1] - 20) / 2.0;  // midway between the two bars
  for (const Mark& m : kMarks) {
    const int col = l.markCentre(m.position);
    p.fillRect(col, bars[0] - 20 - 7, 1, 3, kScaleTick);
    p.fillRect(col, bars[1] + 4, 1, 3, kScaleTick);
    centredText(p, dbText(m.db), col + 0.5, between, font, m.db == 0 ? kZeroText : kScaleText);
  }
  p.setRenderHint(QPainter::Antialiasing);
  centredText(p, QStringLiteral("dB"), l.base() + 536 + 18, between, uiFont(9), kScaleTick);
  const QFont legend = uiFont(11);
  centredText(p, QStringLiteral("L"), l.base() + 536 + 18, bars[0] - 10, legend, kScaleText);
  centredText(p, QStringLiteral("R"), l.base() + 536 + 18, bars[1] - 10, legend, kScaleText);
  p.end();
  keyOutsideRounded(img, 12);
  return img;
}

// Brushed steel with vertical grain: streaks of random brightness and length,
// fine grain on top, and a broad soft sheen across the plate.
void brushedSteel(QImage& img, unsigned seed) {
  const int w = img.width();
  const int h = img.height();
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> v(static_cast<std::size_t>(w) * h, 0.0);
  // Streaks: each column gets a few overlapping runs of random length.
  for (int pass = 0; pass < 6; ++pass) {
    for (int x = 0; x < w; ++x) {
      int y = static_cast<int>(rng() % h) - h;
      while (y < h) {
        const int len = 40 + static_cast<int>(rng() % 500);
        const double a = gauss(rng) * 5.0;
        for (int k = 0; k < len; ++k) {
          const int yy = y + k;
          if (yy < 0 || yy >= h) continue;
          const double t = static_cast<double>(k) / len;
          v[static_cast<std::size_t>(yy) * w + x] += a * std::sin(t * std::numbers::pi);
        }
        y += len;
      }
    }
  }
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const double sheen = 16.0 * std::cos((x * 1.2 - y * 0.35) / w * std::numbers::pi * 1.3);
      const double grain = gauss(rng) * 3.0;
      const double lum = 168.0 + sheen + v[static_cast<std::size_t>(y) * w + x] + grain;
      const int g = std::clamp(static_cast<int>(lum), 0, 255);
      row[x] =
          qRgb(std::clamp(g - 4, 0, 255), std::clamp(g - 1, 0, 255), std::clamp(g + 3, 0, 255));
    }
  }
}

void screw(QPainter& p, double cx, double cy, double angle) {
  QRadialGradient head(cx - 1.5, cy - 1.5, 6);
  head.setColorAt(0, QColor(0xe8, 0xea, 0xec));
  head.setColorAt(1, QColor(0x70, 0x75, 0x7b));
  p.setPen(QPen(QColor(0x3a, 0x3d, 0x41), 1));
  p.setBrush(head);
  p.drawEllipse(QPointF(cx, cy), 5, 5);
  p.save();
  p.translate(cx, cy);
  p.rotate(angle);
  p.setPen(QPen(QColor(0x30, 0x33, 0x36), 1.6));
  p.drawLine(QPointF(-3.6, 0), QPointF(3.6, 0));
  p.restore();
}

QImage steelSkin() {
  const Layout l{240, 600, true};
  QImage img = newImage(l.w, l.h);
  brushedSteel(img, 1995);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // Bevelled plate edge.
  p.setPen(QPen(QColor(255, 255, 255, 110), 1));
  p.drawLine(QPointF(0.5, 0.5), QPointF(l.w - 0.5, 0.5));
  p.drawLine(QPointF(0.5, 0.5), QPointF(0.5, l.h - 0.5));
  p.setPen(QPen(QColor(0, 0, 0, 120), 1));
  p.drawLine(QPointF(0.5, l.h - 0.5), QPointF(l.w - 0.5, l.h - 0.5));
  p.drawLine(QPointF(l.w - 0.5, 0.5), QPointF(l.w - 0.5, l.h - 0.5));
  // The display window is set into the plate: it holds everything the meter
  // draws, so the white label and the black readout boxes sit on glass.
  const QRectF window(56, 5, l.w - 112, l.h - 9);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 90));
  p.drawRoundedRect(window.adjusted(-2, -2, 2, 2), 8, 8);
  p.setBrush(QColor(0, 0, 0, 140));
  p.drawRoundedRect(window.adjusted(-2, -2, 1, 1), 8, 8);
  QLinearGradient shade(0, window.top(), 0, window.bottom());
  shade.setColorAt(0.0, QColor(0x1b, 0x20, 0x26));
  shade.setColorAt(0.12, QColor(0x13, 0x17, 0x1b));
  shade.setColorAt(1.0, QColor(0x0c, 0x0e, 0x11));
  p.setBrush(shade);
  p.drawRoundedRect(window, 6, 6);
  for (int x : l.bars()) paintTrough(p, l.barRect(x));
  p.setRenderHint(QPainter::Antialiasing, false);
  verticalScale(p, l, l.w / 2.0 + 0.5, {{l.w / 2 - 16, 5}, {l.w / 2 + 12, 5}}, 10);
  p.setRenderHint(QPainter::Antialiasing);
  centredText(p, QStringLiteral("dB"), l.w / 2.0 + 0.5, 40, uiFont(9), kScaleTick);
  const QFont legend = uiFont(11);
  centredText(p, QStringLiteral("L"), l.bars()[0] + 10, 587, legend, kScaleText);
  centredText(p, QStringLiteral("R"), l.bars()[1] + 10, 587, legend, kScaleText);
  // Engraved scale on the plate beside the window, for the outer edge of each bar.
  const QFont plate = uiFont(10);
  const QColor engraveDark(0x22, 0x25, 0x29), engraveLight(0xf4, 0xf6, 0xf8);
  for (const Mark& m : kMarks) {
    const int row = l.markCentre(m.position);
    // Magnitudes only: a minus sign would run into the tick beside it.
    const QString number = QString::number(-m.db);
    engravedText(p, number, 36, row + 0.5, plate, engraveDark, engraveLight);
    engravedText(p, number, l.w - 36, row + 0.5, plate, engraveDark, engraveLight);
    p.fillRect(46, row, 6, 1, engraveDark);
    p.fillRect(46, row + 1, 6, 1, QColor(255, 255, 255, 150));
    p.fillRect(l.w - 52, row, 6, 1, engraveDark);
    p.fillRect(l.w - 52, row + 1, 6, 1, QColor(255, 255, 255, 150));
  }
  engravedText(p, QStringLiteral("\u2212dB"), 36, 40, uiFont(9), engraveDark, engraveLight);
  engravedText(p, QStringLiteral("\u2212dB"), l.w - 36, 40, uiFont(9), engraveDark, engraveLight);
  screw(p, 28, 18, 30);
  screw(p, l.w - 28, 18, 75);
  screw(p, 28, l.h - 18, 110);
  screw(p, l.w - 28, l.h - 18, 160);
  p.end();
  return img;
}

// ------------------------------------------------------------------------- icon

// The icon as simple shapes, so the SVG and the bitmaps are the same design.
struct IconShape {
  double x, y, w, h, r;
  QColor colour;
  QColor colour2;  // top of a vertical gradient when valid
};

std::vector<IconShape> iconShapes() {
  std::vector<IconShape> s;
  s.push_back({4, 4, 120, 120, 22, QColor(0x1c, 0x21, 0x27), QColor(0x3a, 0x41, 0x49)});
  s.push_back({12, 12, 104, 104, 15, QColor(0x08, 0x0a, 0x0c), QColor(0x16, 0x1a, 0x1f)});
  // Two bars of blocks: green, yellow, red, with an unlit top and a white hold.
  const QColor green(0x2e, 0xe0, 0x4a), yellow(0xff, 0xd8, 0x2a), red(0xff, 0x3b, 0x2f);
  const QColor unlit(0x00, 0x26, 0x26), white(0xff, 0xff, 0xff);
  const int litLeft = 9, litRight = 6, holdRight = 7;
  for (int bar = 0; bar < 2; ++bar) {
    const double x = bar == 0 ? 30 : 72;
    const int lit = bar == 0 ? litLeft : litRight;
    const int hold = bar == 0 ? -1 : holdRight;
    for (int i = 0; i < 10; ++i) {
      const double y = 101 - i * 8.8;
      QColor c = i < 5 ? green : i < 8 ? yellow : red;
      if (i >= lit) c = unlit;
      if (i == hold) c = white;
      s.push_back({x, y, 26, 6, 1.5, c, QColor()});
    }
  }
  return s;
}

QString svgColour(QColor c) {
  return c.name(QColor::HexRgb);
}

void writeIconSvg(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
  QTextStream out(&f);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" "
         "viewBox=\"0 0 128 128\">\n<defs>\n";
  const std::vector<IconShape> shapes = iconShapes();
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    if (!shapes[i].colour2.isValid()) continue;
    out << "<linearGradient id=\"g" << i << "\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
        << "<stop offset=\"0\" stop-color=\"" << svgColour(shapes[i].colour2) << "\"/>"
        << "<stop offset=\"1\" stop-color=\"" << svgColour(shapes[i].colour) << "\"/>"
        << "</linearGradient>\n";
  }
  out << "</defs>\n";
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const IconShape& s = shapes[i];
    const QString fill =
        s.colour2.isValid() ? QStringLiteral("url(#g%1)").arg(i) : svgColour(s.colour);
    out << "<rect x=\"" << s.x << "\" y=\"" << s.y << "\" width=\"" << s.w << "\" height=\"" << s.h
        << "\" rx=\"" << s.r << "\" fill=\"" << fill << "\"/>\n";
  }
  out << "</svg>\n";
}

QImage iconImage(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 128.0, size / 128.0);
  p.setPen(Qt::NoPen);
  for (const IconShape& s : iconShapes()) {
    if (s.colour2.isValid()) {
      QLinearGradient g(0, s.y, 0, s.y + s.h);
      g.setColorAt(0, s.colour2);
      g.setColorAt(1, s.colour);
      p.setBrush(g);
    } else {
      p.setBrush(s.colour);
    }
    p.drawRoundedRect(QRectF(s.x, s.y, s.w, s.h), s.r, s.r);
  }
  return img;
}

// ------------------------------------------------------------- preview frames

// Default zone colours, graded the way the meter grades them (amber from block
// 32, red above block 53).
std::vector<QRgb> defaultBlockColours() {
  const QRgb base = 0x00FF00, mid = 0xFFFF00, top = 0xFF0000;
  const int amberStart = 32, redStart = 53;
  std::vector<QRgb> t(81, 0);
  int a1 = amberStart - 10, a2 = amberStart + 10, r1 = redStart - 10, r2 = redStart + 10;
  if (a1 < 1) a1 = 1, a2 = 21;
  if (r1 < a2) r1 = a2 + 1;
  auto ramp = [&](int s, int e, QRgb from, QRgb to) {
    const int d = std::max(1, e - s);
    for (int j = s; j <= e; ++j) {
      auto ch = [&](int shift) {
        const int a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        return static_cast<int>(a + (j - s) * (static_cast<double>(b - a) / d));
      };
      t[j] = qRgb(ch(16), ch(8), ch(0));
    }
  };
  for (int j = 0; j <= a1; ++j) t[j] = base;
  ramp(a1, a2, base, mid);
  for (int j = a2; j <= r1; ++j) t[j] = mid;
  ramp(r1, r2, mid, top);
  for (int j = r2; j <= 63; ++j) t[j] = top;
  return t;
}

struct FrameOptions {
  bool blocks = true;
  bool readouts = true;
  bool phase = true;
  QString label = QStringLiteral("Peak Level");
};

void drawBar(QImage& img, const Layout& l, int cross, int position, bool clip, int hold, int avg,
             bool blocks) {
  QPainter p(&img);
  const std::vector<QRgb> colours = defaultBlockColours();
  const int len = blocks ? 7 : 8;
  const int minimum = l.vertical() ? 5 : 10;
  for (int i = 0; i < 64; ++i) {
    QRgb c = (8 * i <= position && position >= minimum) ? colours[i] : 0x002626;
    if (hold / 8 != 0 && i == hold / 8) c = 0xFFFFFF;
    if (avg / 8 != 0 && i == avg / 8) c = 0xFFFFFF;
    if (l.vertical())
      p.fillRect(cross, l.base() - 8 * i, 20, len, QColor(c));
    else
      p.fillRect(l.base() + 8 * i, cross - 20, len, 20, QColor(c));
  }
  const QColor clipColour(clip ? 0xFF0000 : 0x002626);
  if (l.vertical())
    p.fillRect(cross, l.base() - 526 - len, 20, len, clipColour);
  else
    p.fillRect(l.base() + 528, cross - 20, 8, 20, clipColour);
}

QImage previewFrame(const QImage& skin, bool stereo, const FrameOptions& o) {
  QImage img = skin.convertToFormat(QImage::Format_RGB32);
  const Layout l{img.width(), img.height(), stereo};
  const int w = l.w, h = l.h;
  QPainter p(&img);
  // Label as the program writes it: Arial 12 pt bold white, centred, top at 8 or 10.
  const QFont label = uiFont(16, true, "Arial");
  const QFontMetrics lm(label);
  p.setFont(label);
  p.setPen(Qt::white);
  p.drawText(w / 2 - lm.horizontalAdvance(o.label) / 2, (l.vertical() ? 8 : 10) + lm.ascent(),
             o.label);
  p.end();

  const std::vector<int> bars = l.bars();
  // Left about -6 dB with a clip, right a little lower; holds above, averages below.
  drawBar(img, l, bars[0], 436, true, 470, 380, o.blocks);
  if (stereo) drawBar(img, l, bars[1], 410, false, 452, 350, o.blocks);

  p.begin(&img);
  const QFont readout = uiFont(16, true, "Arial");
  const QFontMetrics rm(readout);
  p.setFont(readout);
  p.setPen(Qt::white);
  const QString left = QStringLiteral("  -6.0"), right = QStringLiteral("  -7.5");
  auto text = [&](int x, int y, const QString& t) { p.drawText(x, y + rm.ascent(), t); };
  if (o.readouts) {
    if (l.vertical() && stereo) {
      const int y = h - 42;
      p.fillRect(QRect(QPoint(w / 2 - 54, y), QPoint(w / 2 + 54 - 1, y + 19)), Qt::black);
      text(w / 2 - 48, y, left);
      text(w / 2 - rm.horizontalAdvance(right) / 2 + 20, y, right);
    } else if (l.vertical()) {
      const int y = h - 42;
      p.fillRect(QRect(QPoint(w / 2 - 30, y), QPoint(w / 2 + 30 - 1, y + 19)), Qt::black);
      text(w / 2 - 24, y, left);
    } else if (stereo) {
      const int y1 = h / 2 - 23, y2 = h / 2 + 21;
      p.fillRect(QRect(2, y1, 48, 20), Qt::black);
      text(8, y1, left);
      p.fillRect(QRect(2, y2, 48, 20), Qt::black);
      text(8, y2, right);
    } else {
      const int y = h / 2 - 6;
      p.fillRect(QRect(0, y, 48, 20), Qt::black);
      text(6, y, left);
    }
  }
  if (o.phase && stereo) {
    const int a = 24;
    const bool v = l.vertical();
    const int top = v ? h - 52 : h - 16;
    const int half = v ? 47 : 94;
    p.fillRect(QRect(w / 2 - half, top, half, 8), QColor(0xC0, 0, 0));
    p.fillRect(QRect(w / 2, top, half, 8), QColor(0, 0xB0, 0));
    const int m = v ? w / 2 + 45 - a / 2 : w / 2 + 90 - a;
    p.fillRect(QRect(m - 2, top, 4, 8), Qt::white);
    if (o.readouts) {
      const QFont phase = uiFont(13, true, "Arial");
      const QFontMetrics pm(phase);
      p.setFont(phase);
      const QString t = QStringLiteral("-179\u00BA");
      if (v) {
        const int tw = pm.horizontalAdvance(t);
        const int x = w / 2 - tw / 2, y = h - 24;
        p.fillRect(QRect(x - 6, y, tw + 12, 20), Qt::black);
        p.drawText(x, y + pm.ascent(), t);
      } else {
        p.fillRect(QRect(14, h / 2, 40, 20), Qt::black);
        p.drawText(20, h / 2 + pm.ascent(), t);
      }
    }
  }
  return img;
}

// Several pictures side by side at twice their size, on a neutral desk colour
// so the see-through corners show.
QImage sheet(const std::vector<QImage>& pictures, bool sideBySide) {
  const int gap = 16;
  int w = gap, h = gap;
  for (const QImage& im : pictures) {
    if (sideBySide) {
      w += im.width() * 2 + gap;
      h = std::max(h, im.height() * 2 + 2 * gap);
    } else {
      h += im.height() * 2 + gap;
      w = std::max(w, im.width() * 2 + 2 * gap);
    }
  }
  QImage out(w, h, QImage::Format_RGB32);
  out.fill(QColor(0xd8, 0xdc, 0xe0));
  QPainter p(&out);
  int at = gap;
  for (const QImage& im : pictures) {
    QImage shown = im.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shown.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(shown.scanLine(y));
      for (int x = 0; x < shown.width(); ++x)
        if ((row[x] | 0xFF000000) == kKey) row[x] = 0;
    }
    const QImage big = shown.scaled(im.width() * 2, im.height() * 2);
    if (sideBySide) {
      p.drawImage(at, gap, big);
      at += big.width() + gap;
    } else {
      p.drawImage(gap, at, big);
      at += big.height() + gap;
    }
  }
  return out;
}

// ------------------------------------------------------------------------ files

void save(const QImage& img, const QString& path, const char* format, int quality = -1) {
  if (!img.save(path, format, quality)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
}

// A BMP must read back pixel for pixel, or the key colour would be lost.
void saveBmp(const QImage& img, const QString& path) {
  save(img, path, "BMP");
  const QImage back(path);
  if (back.size() != img.size()) {
    std::fprintf(stderr, "%s does not read back\n", qPrintable(path));
    std::exit(1);
  }
  long keyPixels = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb want = img.pixel(x, y) | 0xFF000000, got = back.pixel(x, y) | 0xFF000000;
      if (want != got) {
        std::fprintf(stderr, "%s differs at %d,%d\n", qPrintable(path), x, y);
        std::exit(1);
      }
      keyPixels += got == kKey;
    }
  std::printf("%s: %dx%d, %ld see-through pixels\n", qPrintable(path), img.width(), img.height(),
              keyPixels);
}

}  // namespace

int main(int argc, char** argv) {
  // Fonts only; no window is ever shown.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_skins <data-folder> [<preview-folder>]\n");
    return 2;
  }
  const QString data = QString::fromLocal8Bit(argv[1]);
  const QImage def = defaultSkin();
  const QImage horizontal = horizontalSkin();
  const QImage mono = monoSkin();
  const QImage steel = steelSkin();
  saveBmp(def, data + "/default.bmp");
  saveBmp(horizontal, data + "/Skins/Horizontal Stereo.bmp");
  saveBmp(mono, data + "/Skins/Mono.bmp");
  save(steel, data + "/Skins/Brushed Steel.jpg", "JPG", 92);
  std::printf("%s/Skins/Brushed Steel.jpg: %dx%d\n", qPrintable(data), steel.width(),
              steel.height());
  writeIconSvg(data + "/tarnvale.svg");
  save(iconImage(48), data + "/tarnvale-48.png", "PNG");
  save(iconImage(128), data + "/tarnvale-128.png", "PNG");

  if (argc >= 3) {
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QImage steelBack(data + "/Skins/Brushed Steel.jpg");
    FrameOptions full, plain, lines;
    plain.readouts = false;
    plain.phase = false;
    lines.blocks = false;
    lines.phase = false;
    save(sheet({def, previewFrame(def, true, full), previewFrame(def, true, lines),
                previewFrame(def, false, full)},
               true),
         out + "/default.png", "PNG");
    save(sheet({mono, previewFrame(mono, false, full), previewFrame(mono, false, plain)}, true),
         out + "/mono.png", "PNG");
    save(sheet(
             {steelBack, previewFrame(steelBack, true, full), previewFrame(steelBack, true, plain)},
             true),
         out + "/steel.png", "PNG");
    save(sheet({horizontal, previewFrame(horizontal, true, full),
                previewFrame(horizontal, true, lines), previewFrame(horizontal, false, full)},
               false),
         out + "/horizontal.png", "PNG");
    save(sheet({iconImage(128), iconImage(48)}, true), out + "/icon.png", "PNG");
    // Details at four times their size.
    auto detail = [&](const QImage& im, QRect r, const char* name) {
      save(im.copy(r).scaled(r.width() * 4, r.height() * 4), out + "/" + name, "PNG");
    };
    detail(previewFrame(def, true, full), QRect(0, 0, 150, 90), "default-top.png");
    detail(previewFrame(def, true, full), QRect(0, 520, 150, 80), "default-bottom.png");
    detail(previewFrame(steelBack, true, full), QRect(0, 0, 240, 110), "steel-top.png");
    detail(previewFrame(steelBack, true, full), QRect(0, 500, 240, 100), "steel-bottom.png");
    detail(previewFrame(horizontal, true, full), QRect(0, 0, 240, 160), "horizontal-left.png");
    detail(previewFrame(horizontal, true, full), QRect(400, 0, 240, 160), "horizontal-right.png");
  }
  return 0;
}
