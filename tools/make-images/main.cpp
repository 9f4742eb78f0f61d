// make-images: draws the program's icons and the maker's logo and writes them
// into res/images (icons/<id>.png, bitmaps/<id>.bmp). Run it by hand after
// changing a drawing; the outputs are committed, the build only embeds them.
//
//   make-images [output-dir]      (default: the source tree's res/images)
//   make-images --app-icons DIR   the application icon at 16..256 pixels

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {

// One palette for every image, so they read as a set.
const QColor kNavy(0x1F, 0x3A, 0x5F);
const QColor kNavyLight(0x35, 0x5C, 0x8C);
const QColor kWater(0x2E, 0x8B, 0xE6);
const QColor kWaterLight(0x8C, 0xC8, 0xF8);
const QColor kSteel(0xB8, 0xC2, 0xCC);
const QColor kSteelDark(0x6E, 0x7A, 0x86);
const QColor kGreen(0x2D, 0xB8, 0x4C);
const QColor kGreenDark(0x16, 0x6E, 0x2A);
const QColor kRed(0xD6, 0x45, 0x41);
const QColor kRedDark(0x80, 0x1E, 0x1B);

constexpr QRgb kLogoKey = 0xFF00FF00u;  // pure green: the logo's transparent colour

QImage NewCanvas(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QPainterPath Drop(const QPointF& tip, qreal width, qreal height) {
  // A water drop: a point at the top, a round belly at the bottom.
  const qreal r = width / 2;
  const QPointF centre(tip.x(), tip.y() + height - r);
  QPainterPath path(tip);
  path.cubicTo(QPointF(tip.x() + r * 0.35, tip.y() + height * 0.35),
               QPointF(centre.x() + r, centre.y() - r * 0.45), QPointF(centre.x() + r, centre.y()));
  path.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 0, -180);
  path.cubicTo(QPointF(centre.x() - r, centre.y() - r * 0.45),
               QPointF(tip.x() - r * 0.35, tip.y() + height * 0.35), tip);
  path.closeSubpath();
  return path;
}

void FillDrop(QPainter& p, const QPainterPath& drop) {
  const QRectF box = drop.boundingRect();
  QLinearGradient fill(box.topLeft(), box.bottomRight());
  fill.setColorAt(0, kWaterLight);
  fill.setColorAt(1, kWater);
  p.setPen(QPen(kNavy, 1.0));
  p.setBrush(fill);
  p.drawPath(drop);
}

// Icon 128: the sensor probe dipping into a drop of water. Drawn on a 32-unit
// grid; other sizes scale the drawing rather than the pixels, so the desktop's
// large icons stay sharp.
QImage ApplicationIcon(int size = 32) {
  QImage image = NewCanvas(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // Cable.
  p.setPen(QPen(kSteelDark, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(13, 1), QPointF(13, 5));
  // Body.
  QLinearGradient body(QPointF(8, 0), QPointF(18, 0));
  body.setColorAt(0, kNavyLight);
  body.setColorAt(1, kNavy);
  p.setPen(QPen(kNavy, 1.0));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(8.5, 4.5, 9, 18), 2.5, 2.5);
  // Sensing cap.
  p.setBrush(kWater);
  p.drawRoundedRect(QRectF(9.5, 21.5, 7, 5), 1.5, 1.5);
  // Band on the body.
  p.setPen(Qt::NoPen);
  p.setBrush(kSteel);
  p.drawRect(QRectF(9, 9, 8, 1.5));
  // The drop.
  FillDrop(p, Drop(QPointF(24.5, 13.5), 10, 16));
  p.setPen(QPen(QColor(255, 255, 255, 200), 1.3, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(21.5, 22, 6, 5.5), 200 * 16, 70 * 16);
  return image;
}

// Icon 129: a plug on its cable, for the open-port button.
QImage OpenPortIcon() {
  QImage image = NewCanvas(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Cable from the lower left into the plug.
  QPainterPath cable(QPointF(2, 27));
  cable.cubicTo(QPointF(6, 27), QPointF(6, 16), QPointF(11, 16));
  p.setPen(QPen(kSteelDark, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(cable);
  // Pins.
  p.setPen(QPen(kNavy, 1.0));
  p.setBrush(kSteel);
  p.drawRect(QRectF(21.5, 10.5, 8, 3));
  p.drawRect(QRectF(21.5, 18.5, 8, 3));
  // Plug body.
  QLinearGradient body(QPointF(0, 7), QPointF(0, 25));
  body.setColorAt(0, kNavyLight);
  body.setColorAt(1, kNavy);
  p.setBrush(body);
  p.drawRoundedRect(QRectF(10.5, 7.5, 11, 17), 3, 3);
  // Grip ridges.
  p.setPen(QPen(kWaterLight, 1.0));
  p.drawLine(QPointF(14, 11), QPointF(14, 21));
  p.drawLine(QPointF(17, 11), QPointF(17, 21));
  return image;
}

// Icons 131 and 132: a status lamp, lit green (port open) or red (closed).
QImage LampIcon(const QColor& colour, const QColor& dark) {
  QImage image = NewCanvas(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Bezel.
  QLinearGradient bezel(QPointF(0, 2), QPointF(0, 30));
  bezel.setColorAt(0, kSteel);
  bezel.setColorAt(1, kSteelDark);
  p.setPen(QPen(kNavy, 1.0));
  p.setBrush(bezel);
  p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
  // Lamp.
  QRadialGradient glass(QPointF(13, 12), 13);
  glass.setColorAt(0, colour.lighter(150));
  glass.setColorAt(0.6, colour);
  glass.setColorAt(1, dark);
  p.setPen(QPen(dark, 1.0));
  p.setBrush(glass);
  p.drawEllipse(QRectF(6.5, 6.5, 19, 19));
  // Reflection.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 170));
  p.drawEllipse(QRectF(10, 9, 7, 4.5));
  return image;
}

// Bitmap 1056: the maker's logo, 637 x 88, on the transparent green.
QImage Logo() {
  const int w = 637;
  const int h = 88;
  QImage art = NewCanvas(w, h);
  {
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // The mark: a navy disc holding a drop over two waves.
    p.setPen(Qt::NoPen);
    p.setBrush(kNavy);
    p.drawEllipse(QRectF(8, 6, 76, 76));
    p.setBrush(Qt::white);
    p.drawPath(Drop(QPointF(46, 16), 30, 44));
    p.setPen(QPen(kWaterLight, 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
      const qreal y = 66 + i * 8;
      QPainterPath wave(QPointF(22, y));
      wave.cubicTo(QPointF(32, y - 6), QPointF(38, y + 6), QPointF(46, y));
      wave.cubicTo(QPointF(54, y - 6), QPointF(60, y + 6), QPointF(70, y));
      p.drawPath(wave);
    }
    // The name.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(62);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(font);
    p.setPen(kNavy);
    p.drawText(QRectF(104, 0, 380, h), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Korvanta"));
    // An accent rule and the line of business.
    p.setPen(Qt::NoPen);
    p.setBrush(kWater);
    p.drawRect(QRectF(420, 27, 5, 34));
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(24);
    p.setFont(small);
    p.setPen(kNavyLight);
    p.drawText(QRectF(438, 0, 195, h), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Water sensing"));
  }
  // Flatten onto the key colour without blending into it: pixels at least
  // half covered keep their colour (edges softened toward white), the rest
  // become exactly the key. No drawn pixel may be the key itself.
  QImage logo(w, h, QImage::Format_RGB32);
  const QImage straight = art.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
    auto* dst = reinterpret_cast<QRgb*>(logo.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const int a = qAlpha(src[x]);
      if (a < 128) {
        dst[x] = kLogoKey;
        continue;
      }
      auto over = [a](int c) { return (c * a + 255 * (255 - a)) / 255; };
      QRgb c = qRgb(over(qRed(src[x])), over(qGreen(src[x])), over(qBlue(src[x])));
      if ((c & 0xFFFFFFu) == (kLogoKey & 0xFFFFFFu)) c = qRgb(0, 254, 0);
      dst[x] = c;
    }
  }
  return logo;
}

bool Save(const QImage& image, const QString& path, const char* format) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  if (!image.save(path, format)) {
    std::fprintf(stderr, "make-images: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Drawing needs fonts but no screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  bool ok = true;
  // --app-icons DIR: the application icon in the desktop's standard sizes,
  // DIR/<n>x<n>/apps/sensortool.png, for installation. The build runs this.
  if (args.size() == 3 && args.at(1) == QLatin1String("--app-icons")) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
      ok &= Save(ApplicationIcon(size), QStringLiteral("%1/%2x%2/apps/sensortool.png").arg(args.at(2)).arg(size),
                 "PNG");
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
  }
  const QString out = args.size() > 1 ? args.at(1) : QStringLiteral(MAKE_IMAGES_DEFAULT_OUT);

  ok &= Save(ApplicationIcon(), out + "/icons/128.png", "PNG");
  ok &= Save(OpenPortIcon(), out + "/icons/129.png", "PNG");
  ok &= Save(LampIcon(kGreen, kGreenDark), out + "/icons/131.png", "PNG");
  ok &= Save(LampIcon(kRed, kRedDark), out + "/icons/132.png", "PNG");
  // 24-bit BMP: RGB888 has no alpha and no palette.
  ok &= Save(Logo().convertToFormat(QImage::Format_RGB888), out + "/bitmaps/1056.bmp", "BMP");
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
