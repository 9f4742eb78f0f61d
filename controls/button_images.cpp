#include "controls/button_images.h"

#include <QPainter>
#include <QPixmap>

namespace button_images {

QString ResourcePath(unsigned id, ImageKind kind) {
  const unsigned number = id & 0xFFFFu;
  return kind == ImageKind::Icon ? QStringLiteral(":/icons/%1.png").arg(number)
                                 : QStringLiteral(":/bitmaps/%1.bmp").arg(number);
}

QIcon LoadIconResource(unsigned id) {
  const QImage image(ResourcePath(id, ImageKind::Icon));
  if (image.isNull()) return QIcon();
  return QIcon(QPixmap::fromImage(image));
}

QImage LoadBitmapResource(unsigned id) {
  const QImage image(ResourcePath(id, ImageKind::Bitmap));
  if (image.isNull()) return QImage();
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage MakeMask(QImage& bitmap, int w, int h, ColourRef transparent) {
  if (bitmap.isNull() || w <= 0 || h <= 0 || w > bitmap.width() || h > bitmap.height())
    return QImage();
  QImage mask(w, h, QImage::Format_Mono);
  if (mask.isNull()) return QImage();
  // Index 0 = black = opaque, index 1 = white = transparent; converting the
  // mask to colour therefore gives exactly the AND operand of the blit.
  mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  mask.fill(0);

  if (bitmap.format() != QImage::Format_RGB32)
    bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
  if (bitmap.isNull()) return QImage();

  const QRgb key = qRgb(RedOf(transparent), GreenOf(transparent), BlueOf(transparent));
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
    for (int x = 0; x < w; ++x) {
      if ((line[x] & 0x00FFFFFFu) == (key & 0x00FFFFFFu)) {
        mask.setPixel(x, y, 1);
        line[x] = qRgb(0, 0, 0);
      }
    }
  }
  return mask;
}

void TransparentBlit(QPainter& painter, const QPoint& at, const QImage& image, const QImage& mask,
                     int w, int h) {
  if (image.isNull() || mask.isNull() || w <= 0 || h <= 0) return;
  const QRect source(0, 0, w, h);
  // Raster operations on the target: widgets, pixmaps and images all paint
  // through Qt's raster engine, which supports them.
  const QImage andOperand = mask.convertToFormat(QImage::Format_RGB32);
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  painter.drawImage(at, andOperand, source);
  painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
  painter.drawImage(at, image, source);
  painter.restore();
}

}  // namespace button_images
