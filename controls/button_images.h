// Image work behind the image button: colour values, loading icons and
// bitmaps from the program's resources, transparency masks and the
// transparent (AND mask, OR image) blit.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPoint>

#include <cstdint>

class QPainter;

// A colour as 0x00BBGGRR: red in the low byte, then green, then blue.
using ColourRef = std::uint32_t;

constexpr ColourRef Rgb(int r, int g, int b) {
  return static_cast<ColourRef>(r & 0xFF) | (static_cast<ColourRef>(g & 0xFF) << 8) |
         (static_cast<ColourRef>(b & 0xFF) << 16);
}
constexpr int RedOf(ColourRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColourRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColourRef c) { return static_cast<int>((c >> 16) & 0xFF); }

inline QColor ToQColor(ColourRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
inline ColourRef FromQColor(const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); }

namespace button_images {

enum class ImageKind { Icon, Bitmap };

// Resource path of an image id: only the low 16 bits of the id are used.
// Icons live at ":/icons/<id>.png", bitmaps at ":/bitmaps/<id>.bmp".
QString ResourcePath(unsigned id, ImageKind kind);

// Loads an icon from the program's resources at its own size; a null icon
// when the resource does not exist or cannot be decoded.
QIcon LoadIconResource(unsigned id);
// Loads a bitmap from the program's resources at its own size, as a 32-bit
// opaque image; a null image when the resource does not exist.
QImage LoadBitmapResource(unsigned id);

// Builds the monochrome mask of the w x h top-left part of `bitmap`: a pixel
// exactly equal to `transparent` becomes 1 (white) in the mask, any other 0
// (black). In `bitmap` those transparent pixels are turned black, so that the
// image can later be ORed onto the target. Returns a null image (and leaves
// the bitmap alone) when the size is empty or larger than the bitmap, or the
// mask cannot be allocated. The bitmap is converted to a 32-bit opaque
// format if it had another one.
QImage MakeMask(QImage& bitmap, int w, int h, ColourRef transparent);

// Draws image (w x h) transparently at `at`: the target is ANDed with the
// mask (white where transparent, black elsewhere) and then ORed with the
// image (black where transparent). Where the source had the transparent
// colour the target is left as it was.
void TransparentBlit(QPainter& painter, const QPoint& at, const QImage& image, const QImage& mask,
                     int w, int h);

}  // namespace button_images
