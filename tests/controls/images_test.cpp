// Image work: masks, the transparent blit, the program's resources and the
// rules of the attach calls.
#include <QFile>
#include <QFileInfo>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "controls/button_images.h"
#include "controls/image_button.h"
#include "pixels.h"

namespace {

using button_images::LoadBitmapResource;
using button_images::LoadIconResource;
using button_images::MakeMask;
using button_images::TransparentBlit;
using pixels::At;

constexpr ColourRef kKey = Rgb(0, 255, 0);
constexpr QRgb kKeyRgb = 0x0000FF00u;

// A 6 x 4 test card: key colour, colours one step off the key, and others.
QImage TestCard() {
  QImage image(6, 4, QImage::Format_RGB32);
  image.fill(qRgb(200, 30, 40));
  image.setPixel(0, 0, qRgb(0, 255, 0));
  image.setPixel(1, 0, qRgb(1, 255, 0));
  image.setPixel(2, 0, qRgb(0, 254, 0));
  image.setPixel(3, 0, qRgb(0, 255, 1));
  image.setPixel(4, 1, qRgb(0, 255, 0));
  image.setPixel(5, 3, qRgb(0, 255, 0));  // outside a 5 x 3 mask
  image.setPixel(2, 2, qRgb(0, 0, 0));    // opaque black
  return image;
}

TEST(ButtonImages, MakeMaskMarksExactlyTheKeyColour) {
  QImage bitmap = TestCard();
  const QImage original = bitmap;
  const QImage mask = MakeMask(bitmap, 6, 4, kKey);
  ASSERT_FALSE(mask.isNull());
  ASSERT_EQ(mask.size(), QSize(6, 4));
  EXPECT_EQ(mask.depth(), 1);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool key = At(original, x, y) == kKeyRgb;
      EXPECT_EQ(mask.pixelIndex(x, y), key ? 1 : 0) << x << "," << y;
      EXPECT_EQ(At(bitmap, x, y), key ? 0u : At(original, x, y)) << x << "," << y;
    }
  }
  // The mask's 1 is white and its 0 black, the operand of the AND blit.
  EXPECT_EQ(mask.pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(mask.pixel(1, 0) & 0xFFFFFFu, 0u);

  // Only the w x h corner is masked and changed.
  QImage part = TestCard();
  const QImage small = MakeMask(part, 5, 3, kKey);
  ASSERT_EQ(small.size(), QSize(5, 3));
  EXPECT_EQ(small.pixelIndex(4, 1), 1);
  EXPECT_EQ(At(part, 5, 3), kKeyRgb);

  // Another key colour.
  QImage magenta = TestCard();
  magenta.setPixel(3, 3, qRgb(255, 0, 255));
  const QImage m2 = MakeMask(magenta, 6, 4, Rgb(255, 0, 255));
  EXPECT_EQ(m2.pixelIndex(3, 3), 1);
  EXPECT_EQ(m2.pixelIndex(0, 0), 0);
  EXPECT_EQ(At(magenta, 0, 0), kKeyRgb);

  // No mask for an empty or oversized area or a null bitmap; the bitmap stays.
  QImage untouched = TestCard();
  EXPECT_TRUE(MakeMask(untouched, 0, 4, kKey).isNull());
  EXPECT_TRUE(MakeMask(untouched, 7, 4, kKey).isNull());
  EXPECT_TRUE(MakeMask(untouched, 6, 5, kKey).isNull());
  EXPECT_EQ(At(untouched, 0, 0), kKeyRgb);
  QImage null;
  EXPECT_TRUE(MakeMask(null, 1, 1, kKey).isNull());
}

TEST(ButtonImages, TransparentBlitLeavesTheTargetWhereTheKeyWas) {
  QImage bitmap = TestCard();
  const QImage original = bitmap;
  const QImage mask = MakeMask(bitmap, 6, 4, kKey);

  // A target with a different colour at every pixel.
  QImage target(12, 9, QImage::Format_RGB32);
  for (int y = 0; y < target.height(); ++y)
    for (int x = 0; x < target.width(); ++x) target.setPixel(x, y, qRgb(x * 20, y * 25, 90));
  const QImage before = target;
  {
    QPainter p(&target);
    TransparentBlit(p, QPoint(3, 2), bitmap, mask, 6, 4);
  }
  for (int y = 0; y < target.height(); ++y) {
    for (int x = 0; x < target.width(); ++x) {
      const QPoint src(x - 3, y - 2);
      const bool inside = QRect(0, 0, 6, 4).contains(src);
      QRgb expected = At(before, x, y);
      if (inside && At(original, src.x(), src.y()) != kKeyRgb)
        expected = At(original, src.x(), src.y());
      EXPECT_EQ(At(target, x, y), expected) << x << "," << y;
    }
  }

  // The same through a widget-style ARGB target.
  QImage argb(8, 6, QImage::Format_ARGB32_Premultiplied);
  argb.fill(qRgb(10, 20, 30));
  {
    QPainter p(&argb);
    TransparentBlit(p, QPoint(1, 1), bitmap, mask, 6, 4);
  }
  EXPECT_EQ(At(argb, 1, 1), qRgb(10, 20, 30) & 0xFFFFFFu);  // key pixel (0, 0)
  EXPECT_EQ(At(argb, 2, 1), qRgb(1, 255, 0) & 0xFFFFFFu);   // one step off the key
  EXPECT_EQ(At(argb, 3, 3), 0u);                             // opaque black stays black
  EXPECT_EQ(qAlpha(argb.pixel(1, 1)), 255);
}

TEST(ButtonImages, ResourcesLoadByIdAndMissingIdsGiveNothing) {
  for (unsigned id : {128u, 129u, 131u, 132u}) {
    const QIcon icon = LoadIconResource(id);
    ASSERT_FALSE(icon.isNull()) << id;
    const QImage image = icon.pixmap(QSize(32, 32), 1.0).toImage();
    EXPECT_EQ(image.size(), QSize(32, 32)) << id;
    // Drawn on a transparent ground: corners clear, centre drawn.
    EXPECT_TRUE(image.hasAlphaChannel()) << id;
    EXPECT_EQ(qAlpha(image.pixel(0, 31)), 0) << id;
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) opaque += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
    EXPECT_GT(opaque, 150) << id;
  }
  // Only the low 16 bits of an id count.
  const QImage direct(":/icons/128.png");
  const QImage high = LoadIconResource(0x10080u).pixmap(QSize(32, 32), 1.0).toImage();
  EXPECT_EQ(high.convertToFormat(QImage::Format_ARGB32),
            direct.convertToFormat(QImage::Format_ARGB32));
  EXPECT_EQ(button_images::ResourcePath(0x20420u, button_images::ImageKind::Bitmap),
            QStringLiteral(":/bitmaps/1056.bmp"));
  EXPECT_TRUE(LoadIconResource(130).isNull());
  EXPECT_TRUE(LoadIconResource(0).isNull());
  EXPECT_TRUE(LoadBitmapResource(1057).isNull());
  EXPECT_TRUE(LoadBitmapResource(128).isNull());  // an icon id is not a bitmap

  // The logo: 637 x 88, 24 bits per pixel, on the pure green key.
  const QImage logo = LoadBitmapResource(1056);
  ASSERT_EQ(logo.size(), QSize(637, 88));
  EXPECT_EQ(At(logo, 0, 0), kKeyRgb);
  EXPECT_EQ(At(logo, 636, 87), kKeyRgb);
  const int drawn = pixels::CountWhere(logo, logo.rect(), [](QRgb c) { return c != kKeyRgb; });
  EXPECT_GT(drawn, 637 * 88 / 20);
  EXPECT_LT(drawn, 637 * 88 / 2);
  // No drawn pixel blends into the key (that would leave a green fringe).
  EXPECT_EQ(pixels::CountWhere(logo, logo.rect(),
                               [](QRgb c) {
                                 return c != kKeyRgb && qGreen(c) > 200 && qRed(c) < 60 &&
                                        qBlue(c) < 60;
                               }),
            0);
  QFile raw(":/bitmaps/1056.bmp");
  ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
  const QByteArray header = raw.read(30);
  ASSERT_EQ(header.size(), 30);
  EXPECT_EQ(header.left(2), QByteArray("BM"));
  EXPECT_EQ(static_cast<unsigned char>(header[28]) | (static_cast<unsigned char>(header[29]) << 8),
            24);
}

TEST(ButtonImages, DesignerResourceListMatchesTheCompiledResources) {
  QFile qrc(QStringLiteral(IMAGES_QRC));
  ASSERT_TRUE(qrc.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString text = QString::fromUtf8(qrc.readAll());
  const QRegularExpression entry(QStringLiteral("alias=\"([^\"]+)\">([^<]+)<"));
  int entries = 0;
  for (auto it = entry.globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    ++entries;
    QFile compiled(QStringLiteral(":/") + match.captured(1));
    QFile source(QFileInfo(qrc).absolutePath() + "/" + match.captured(2));
    ASSERT_TRUE(compiled.open(QIODevice::ReadOnly)) << match.captured(1).toStdString();
    ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << match.captured(2).toStdString();
    EXPECT_EQ(compiled.readAll(), source.readAll()) << match.captured(1).toStdString();
  }
  EXPECT_EQ(entries, 5);
}

// An icon that can paint but reports no size: its information is unreadable.
class SizelessEngine : public QIconEngine {
 public:
  void paint(QPainter* p, const QRect& r, QIcon::Mode, QIcon::State) override {
    p->fillRect(r, Qt::red);
  }
  QIconEngine* clone() const override { return new SizelessEngine; }
};

QIcon SolidIcon(int size, const QColor& colour) {
  QPixmap pixmap(size, size);
  pixmap.fill(colour);
  return QIcon(pixmap);
}

QImage KeyedBitmap(int w, int h, const QColor& colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(qRgb(0, 255, 0));
  for (int y = h / 4; y < h - h / 4; ++y)
    for (int x = w / 4; x < w - w / 4; ++x) image.setPixel(x, y, colour.rgb());
  return image;
}

bool NoImages(const CImageButton& b) {
  for (const auto& s : b.Icons())
    if (s.IsSet()) return false;
  for (const auto& s : b.Bitmaps())
    if (s.IsSet() || !s.mask.isNull()) return false;
  return true;
}

TEST(ButtonImages, AttachCallsReplaceImagesAndReportFailures) {
  CImageButton b;
  const QImage bitmap = KeyedBitmap(20, 12, Qt::blue);

  // Bitmaps, then icons: the bitmaps are gone.
  ASSERT_EQ(b.AttachBitmaps(bitmap, kKey, bitmap, kKey, bitmap, kKey), ButtonResult::Done);
  for (const auto& s : b.Bitmaps()) {
    EXPECT_TRUE(s.IsSet());
    EXPECT_EQ(QSize(s.width, s.height), QSize(20, 12));
    EXPECT_EQ(s.transparent, kKey);
    EXPECT_EQ(s.mask.pixelIndex(0, 0), 1);
    EXPECT_EQ(At(s.image, 0, 0), 0u);  // key turned black in the slot's copy
  }
  EXPECT_EQ(At(bitmap, 0, 0), kKeyRgb);  // the caller's image is not changed
  ASSERT_EQ(b.AttachIcons(SolidIcon(10, Qt::red)), ButtonResult::Done);
  for (const auto& s : b.Bitmaps()) EXPECT_FALSE(s.IsSet());
  EXPECT_TRUE(b.Icons()[0].IsSet());
  EXPECT_EQ(QSize(b.Icons()[0].width, b.Icons()[0].height), QSize(10, 10));
  EXPECT_FALSE(b.Icons()[1].IsSet());

  // Icons, then bitmaps: the icons are gone.
  ASSERT_EQ(b.AttachBitmaps(bitmap, kKey, bitmap, kKey), ButtonResult::Done);
  EXPECT_FALSE(b.Icons()[0].IsSet());
  EXPECT_TRUE(b.Bitmaps()[0].IsSet());
  EXPECT_FALSE(b.Bitmaps()[1].IsSet());
  EXPECT_TRUE(b.Bitmaps()[2].IsSet());

  // The disabled-state bitmap is mandatory.
  ASSERT_EQ(b.AttachIcons(SolidIcon(10, Qt::red)), ButtonResult::Done);
  EXPECT_EQ(b.AttachBitmaps(QImage(), kKey, bitmap, kKey), ButtonResult::ImageUnreadable);
  EXPECT_TRUE(NoImages(b));
  EXPECT_EQ(b.LoadBitmaps(4242, kKey, 1056, kKey), ButtonResult::ImageUnreadable);
  EXPECT_TRUE(NoImages(b));

  // A missing main bitmap leaves the button without image but succeeds.
  EXPECT_EQ(b.LoadBitmaps(1056, kKey, 4242, kKey), ButtonResult::Done);
  EXPECT_FALSE(b.Bitmaps()[0].IsSet());
  EXPECT_TRUE(b.Bitmaps()[2].IsSet());
  // A missing second bitmap leaves slot 1 empty.
  EXPECT_EQ(b.LoadBitmaps(1056, kKey, 1056, kKey, 4242, kKey), ButtonResult::Done);
  EXPECT_TRUE(b.Bitmaps()[0].IsSet());
  EXPECT_FALSE(b.Bitmaps()[1].IsSet());
  EXPECT_EQ(QSize(b.Bitmaps()[0].width, b.Bitmaps()[0].height), QSize(637, 88));

  // Icons from the resources at their own size.
  EXPECT_EQ(b.LoadIcons(129, 0), ButtonResult::Done);
  EXPECT_EQ(QSize(b.Icons()[0].width, b.Icons()[0].height), QSize(32, 32));
  EXPECT_FALSE(b.Icons()[1].IsSet());
  EXPECT_FALSE(b.Bitmaps()[0].IsSet());
  EXPECT_EQ(b.LoadIcons(131, 132), ButtonResult::Done);
  EXPECT_TRUE(b.Icons()[1].IsSet());
  EXPECT_EQ(b.LoadIcons(131, 4242), ButtonResult::Done);
  EXPECT_TRUE(b.Icons()[0].IsSet());
  EXPECT_FALSE(b.Icons()[1].IsSet());
  // Without a first icon the second is ignored.
  EXPECT_EQ(b.LoadIcons(4242, 131), ButtonResult::Done);
  EXPECT_TRUE(NoImages(b));

  // Unreadable icon information: everything released, ButtonResult::ImageUnreadable.
  const QIcon sizeless(new SizelessEngine);
  ASSERT_FALSE(sizeless.isNull());
  ASSERT_EQ(b.AttachBitmaps(bitmap, kKey, bitmap, kKey), ButtonResult::Done);
  EXPECT_EQ(b.AttachIcons(sizeless), ButtonResult::ImageUnreadable);
  EXPECT_TRUE(NoImages(b));
  EXPECT_EQ(b.AttachIcons(SolidIcon(8, Qt::red), sizeless), ButtonResult::ImageUnreadable);
  EXPECT_TRUE(NoImages(b));

  b.LoadIcons(128, 0);
  b.ReleaseImages(true);
  EXPECT_TRUE(NoImages(b));
}

}  // namespace
