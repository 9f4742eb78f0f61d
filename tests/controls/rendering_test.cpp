// What the button paints in each state: face, frame, caption, icon and
// transparent bitmap, read back from QWidget::grab().
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

#include "controls/image_button.h"
#include "pixels.h"

namespace {

using pixels::At;
using pixels::Near;
using pixels::Opaque;

constexpr ColourRef kHotBack = Rgb(250, 180, 120);
constexpr ColourRef kHotText = Rgb(0, 100, 0);
constexpr ColourRef kIdleBack = Rgb(200, 220, 240);
constexpr ColourRef kIdleText = Rgb(0, 0, 160);
constexpr ColourRef kFocusBack = Rgb(240, 230, 140);
constexpr ColourRef kFocusText = Rgb(150, 0, 0);
const QRgb kLight = qRgb(255, 255, 255) & 0xFFFFFFu;
const QRgb kDark = qRgb(90, 90, 90) & 0xFFFFFFu;
constexpr int kW = 160;
constexpr int kH = 48;

class Rendering : public ::testing::Test {
 protected:
  void SetUp() override {
    window.setPalette(pixels::TestPalette());
    window.resize(400, 120);
    button = MakeButton();
    other = new QLineEdit(&window);
    other->setGeometry(200, 20, 120, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The window gives its first control the focus; the tests start unfocused.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    ASSERT_FALSE(button->hasFocus());
  }

  CImageButton* MakeButton() {
    auto* b = new CImageButton(&window);
    b->setGeometry(20, 20, kW, kH);
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(18);
    b->setFont(font);
    b->SetStateColour(ColourHotBack, kHotBack);
    b->SetStateColour(ColourHotText, kHotText);
    b->SetStateColour(ColourIdleBack, kIdleBack);
    b->SetStateColour(ColourIdleText, kIdleText);
    b->SetStateColour(ColourFocusBack, kFocusBack);
    b->SetStateColour(ColourFocusText, kFocusText);
    return b;
  }

  void Hover() {
    pixels::Move(button, QPoint(kW / 2, kH / 2));
    ASSERT_TRUE(button->IsHovered());
  }
  void Unhover() {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    ASSERT_FALSE(button->IsHovered());
  }

  // Caption pixels: those of the interior far from the face colour.
  static QRect InkBox(const QImage& image, ColourRef face) {
    return pixels::BoxWhere(image, pixels::Interior(image),
                            [face](QRgb c) { return !Near(c, Opaque(face), 60); });
  }
  // The ink pixel farthest from the face: the caption's full colour.
  static QRgb DeepestInk(const QImage& image, ColourRef face) {
    QRgb best = Opaque(face);
    int bestDistance = 0;
    const QRect area = pixels::Interior(image);
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) {
        const QRgb c = At(image, x, y);
        const QRgb f = Opaque(face);
        const int d = std::abs(qRed(c) - qRed(f)) + std::abs(qGreen(c) - qGreen(f)) +
                      std::abs(qBlue(c) - qBlue(f));
        if (d > bestDistance) {
          bestDistance = d;
          best = c;
        }
      }
    return best;
  }
  static void ExpectFrame(const QImage& image, QRgb topLeft, QRgb bottomRight, QRgb face) {
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    EXPECT_EQ(At(image, 0, 0), topLeft);
    EXPECT_EQ(At(image, r - 1, 0), topLeft);
    EXPECT_EQ(At(image, 0, b - 1), topLeft);
    EXPECT_EQ(At(image, 40, 0), topLeft);
    EXPECT_EQ(At(image, 0, 20), topLeft);
    EXPECT_EQ(At(image, r, 0), bottomRight);
    EXPECT_EQ(At(image, 0, b), bottomRight);
    EXPECT_EQ(At(image, r, b), bottomRight);
    EXPECT_EQ(At(image, 40, b), bottomRight);
    EXPECT_EQ(At(image, r, 20), bottomRight);
    EXPECT_EQ(At(image, 1, 1), face);
    EXPECT_EQ(At(image, r - 1, b - 1), face);
  }
  static void ExpectNoFrame(const QImage& image, QRgb face) {
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    for (const QPoint& p : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b),
                            QPoint(40, 0), QPoint(40, b), QPoint(0, 20), QPoint(r, 20)})
      EXPECT_EQ(At(image, p.x(), p.y()), face) << p.x() << "," << p.y();
  }

  QWidget window;
  CImageButton* button = nullptr;
  QLineEdit* other = nullptr;
};

TEST_F(Rendering, EachStateShowsItsFaceFrameAndCaptionColours) {
  button->setText(QStringLiteral("打开"));

  // Idle.
  QImage image = pixels::Grab(*button);
  ExpectNoFrame(image, Opaque(kIdleBack));
  EXPECT_FALSE(InkBox(image, kIdleBack).isEmpty());
  EXPECT_TRUE(Near(DeepestInk(image, kIdleBack), Opaque(kIdleText), 40));

  // Focused.
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  image = pixels::Grab(*button);
  ExpectNoFrame(image, Opaque(kFocusBack));
  EXPECT_TRUE(Near(DeepestInk(image, kFocusBack), Opaque(kFocusText), 40));

  // Hovered (and focused): hot colours win, raised frame.
  Hover();
  image = pixels::Grab(*button);
  ExpectFrame(image, kLight, kDark, Opaque(kHotBack));
  EXPECT_TRUE(Near(DeepestInk(image, kHotBack), Opaque(kHotText), 40));

  // Pressed without hover: hot colours, sunken frame.
  Unhover();
  button->setDown(true);
  image = pixels::Grab(*button);
  ExpectFrame(image, kDark, kLight, Opaque(kHotBack));
  EXPECT_TRUE(Near(DeepestInk(image, kHotBack), Opaque(kHotText), 40));
  button->setDown(false);

  // Disabled: the focus has moved on, the face is idle, and the caption is
  // embossed in the highlight and shadow colours, never in a text colour.
  button->setEnabled(false);
  EXPECT_FALSE(button->hasFocus());
  image = pixels::Grab(*button);
  ExpectNoFrame(image, Opaque(kIdleBack));
  const QRect area = pixels::Interior(image);
  // Pixels darker than the face hold shadow ink, lighter ones highlight ink;
  // the highlight copy lies one pixel down and right of the shadow copy.
  const QRgb face = Opaque(kIdleBack);
  const QRect dark = pixels::BoxWhere(image, area, [face](QRgb c) {
    return qRed(c) < qRed(face) - 1 && qGreen(c) < qGreen(face) - 1 && qBlue(c) < qBlue(face) - 1;
  });
  const QRect light = pixels::BoxWhere(image, area, [face](QRgb c) {
    return qRed(c) > qRed(face) + 1 && qGreen(c) > qGreen(face) + 1 && qBlue(c) > qBlue(face) + 1;
  });
  ASSERT_FALSE(dark.isEmpty());
  ASSERT_FALSE(light.isEmpty());
  EXPECT_EQ(light.bottomRight(), dark.bottomRight() + QPoint(1, 1));
  EXPECT_GT(pixels::CountWhere(image, area, [](QRgb c) { return Near(c, kDark, 8); }), 10);
  EXPECT_GT(pixels::CountWhere(image, area, [](QRgb c) { return Near(c, kLight, 8); }), 10);
  EXPECT_EQ(pixels::CountWhere(image, area,
                               [](QRgb c) { return Near(c, Opaque(kIdleText), 60); }),
            0);
}

TEST_F(Rendering, CaptionIsCentredAndMovesByThePressShift) {
  const QString text = QStringLiteral("传感器配置");
  button->setText(text);
  Hover();
  const QRect hovered = InkBox(pixels::Grab(*button), kHotBack);
  ASSERT_FALSE(hovered.isEmpty());

  // Centred in the button: the ink lies within the measured text block
  // placed in the middle.
  const QFontMetrics metrics(button->font());
  const QRect block = metrics.boundingRect(QRect(0, 0, kW, 10000),
                                           Qt::TextWordWrap | Qt::AlignHCenter, text);
  const QRect expected((kW - block.width()) / 2, (kH - block.height()) / 2, block.width(),
                       block.height());
  EXPECT_TRUE(expected.adjusted(-1, -1, 1, 1).contains(hovered))
      << hovered.x() << "," << hovered.y() << " " << hovered.width() << "x" << hovered.height();
  EXPECT_LE(std::abs(hovered.center().x() - kW / 2), 2);
  EXPECT_GT(hovered.width(), block.width() * 3 / 4);

  button->setDown(true);
  EXPECT_EQ(InkBox(pixels::Grab(*button), kHotBack), hovered.translated(1, 1));
  button->m_pressShift = QPoint(3, 2);
  EXPECT_EQ(InkBox(pixels::Grab(*button), kHotBack), hovered.translated(3, 2));
  button->setDown(false);
  EXPECT_EQ(InkBox(pixels::Grab(*button), kHotBack), hovered);

  // A caption too wide for one line wraps into a taller block.
  button->setText(QStringLiteral("传感器 配置 传感器 配置 传感器 配置"));
  const QRect wrapped = InkBox(pixels::Grab(*button), kHotBack);
  EXPECT_GT(wrapped.height(), hovered.height() * 3 / 2);
}

QIcon SolidIcon(int size, const QColor& colour) {
  QPixmap pixmap(size, size);
  pixmap.fill(colour);
  return QIcon(pixmap);
}

TEST_F(Rendering, IconsAreCentredOrPlacedBeforeTheCaption) {
  const QRgb red = qRgb(255, 0, 0) & 0xFFFFFFu;
  const QRgb cyan = qRgb(0, 255, 255) & 0xFFFFFFu;
  auto box = [](const QImage& image, QRgb colour) {
    return pixels::BoxWhere(image, image.rect(), [colour](QRgb c) { return c == colour; });
  };

  // Without a caption the icon is centred both ways.
  ASSERT_EQ(button->AttachIcons(SolidIcon(10, Qt::red)), ButtonResult::Done);
  EXPECT_EQ(box(pixels::Grab(*button), red), QRect((kW - 10) / 2, (kH - 10) / 2, 10, 10));
  button->setDown(true);
  EXPECT_EQ(box(pixels::Grab(*button), red), QRect((kW - 10) / 2 + 1, (kH - 10) / 2 + 1, 10, 10));
  button->setDown(false);

  // With a caption it sits m_imageMargin.x from the left and the caption is
  // centred in the room to its right.
  button->setText(QStringLiteral("打开"));
  QImage image = pixels::Grab(*button);
  EXPECT_EQ(box(image, red), QRect(3, (kH - 10) / 2, 10, 10));
  const QRect ink = pixels::BoxWhere(image, pixels::Interior(image), [](QRgb c) {
    return Near(c, Opaque(kIdleText), 60);
  });
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GT(ink.left(), 13);
  EXPECT_LE(std::abs(2 * ink.center().x() - (13 + kW)), 5);
  button->m_imageMargin = QPoint(8, 3);
  EXPECT_EQ(box(pixels::Grab(*button), red), QRect(8, (kH - 10) / 2, 10, 10));
  button->m_imageMargin = QPoint(3, 3);

  // Two icons: the second in the normal state, the first when hot.
  ASSERT_EQ(button->AttachIcons(SolidIcon(10, Qt::red), SolidIcon(12, Qt::cyan)), ButtonResult::Done);
  image = pixels::Grab(*button);
  EXPECT_EQ(box(image, cyan), QRect(3, (kH - 12) / 2, 12, 12));
  EXPECT_TRUE(box(image, red).isEmpty());
  Hover();
  image = pixels::Grab(*button);
  EXPECT_EQ(box(image, red), QRect(3, (kH - 10) / 2, 10, 10));
  EXPECT_TRUE(box(image, cyan).isEmpty());
  Unhover();

  // Disabled: embossed in shadow and highlight, no icon colour.
  button->setText(QString());
  ASSERT_EQ(button->AttachIcons(SolidIcon(10, Qt::red)), ButtonResult::Done);
  button->setEnabled(false);
  image = pixels::Grab(*button);
  EXPECT_TRUE(box(image, red).isEmpty());
  EXPECT_EQ(box(image, kDark), QRect((kW - 10) / 2, (kH - 10) / 2, 10, 10));
  EXPECT_EQ(box(image, kLight), QRect((kW - 10) / 2 + 1, (kH - 10) / 2 + 1, 10, 10));
  EXPECT_EQ(pixels::CountWhere(image, image.rect(), [](QRgb c) { return c == kLight; }), 19);
}

// A keyed bitmap: pure green ground, a block of `colour`, and one pixel one
// step off the key in its top-left corner.
QImage KeyedBitmap(const QColor& colour) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(qRgb(0, 255, 0));
  for (int y = 8; y < 22; ++y)
    for (int x = 10; x < 30; ++x) image.setPixel(x, y, colour.rgb());
  image.setPixel(0, 0, qRgb(0, 254, 0));
  return image;
}

TEST_F(Rendering, TransparentBitmapsShowTheFaceWhereTheKeyWas) {
  constexpr ColourRef key = Rgb(0, 255, 0);
  const QRgb blue = qRgb(0, 0, 255) & 0xFFFFFFu;
  const QRgb yellow = qRgb(255, 255, 0) & 0xFFFFFFu;
  const QRgb red = qRgb(255, 0, 0) & 0xFFFFFFu;
  ASSERT_EQ(button->AttachBitmaps(KeyedBitmap(Qt::red), key, KeyedBitmap(Qt::blue), key,
                                  KeyedBitmap(Qt::yellow), key),
            ButtonResult::Done);
  const QPoint at((kW - 40) / 2, (kH - 30) / 2);
  auto blockColour = [&](const QImage& image) { return At(image, at.x() + 20, at.y() + 15); };

  QImage image = pixels::Grab(*button);
  EXPECT_EQ(blockColour(image), yellow);  // normal state: slot 1
  EXPECT_EQ(At(image, at.x() + 3, at.y() + 3), Opaque(kIdleBack));
  EXPECT_EQ(At(image, at.x() + 39, at.y() + 29), Opaque(kIdleBack));
  EXPECT_EQ(At(image, at.x(), at.y()), qRgb(0, 254, 0) & 0xFFFFFFu);
  EXPECT_EQ(pixels::CountWhere(image, image.rect(), [](QRgb c) { return c == 0x00FF00u; }), 0);
  EXPECT_EQ(pixels::BoxWhere(image, image.rect(), [&](QRgb c) { return c == yellow; }),
            QRect(at.x() + 10, at.y() + 8, 20, 14));

  Hover();
  image = pixels::Grab(*button);
  EXPECT_EQ(blockColour(image), blue);  // hot: slot 0
  EXPECT_EQ(At(image, at.x() + 3, at.y() + 3), Opaque(kHotBack));
  button->setDown(true);
  image = pixels::Grab(*button);
  EXPECT_EQ(At(image, at.x() + 21, at.y() + 16), blue);
  EXPECT_EQ(At(image, at.x() + 1, at.y() + 1), qRgb(0, 254, 0) & 0xFFFFFFu);
  button->setDown(false);
  Unhover();

  button->setEnabled(false);
  image = pixels::Grab(*button);
  EXPECT_EQ(blockColour(image), red);  // disabled: slot 2
  EXPECT_EQ(At(image, at.x() + 3, at.y() + 3), Opaque(kIdleBack));
  button->m_useDisabledImage = false;
  EXPECT_EQ(blockColour(pixels::Grab(*button)), yellow);

  // With a caption the bitmap goes to the left margin.
  button->setEnabled(true);
  button->setText(QStringLiteral("标志"));
  image = pixels::Grab(*button);
  EXPECT_EQ(At(image, 3 + 20, at.y() + 15), yellow);
  EXPECT_EQ(At(image, 3 + 2, at.y() + 2), Opaque(kIdleBack));
}

// Records the drawing steps it is asked for, and replaces the face.
class RecordingButton : public CImageButton {
 public:
  using CImageButton::CImageButton;
  std::vector<std::string> steps;

 protected:
  void PaintFace(QPainter& p, const QRect& r) override {
    steps.push_back("face");
    p.fillRect(r, QColor(1, 2, 3));
  }
  void PaintFrame(QPainter& p, const QRect& r) override {
    steps.push_back("frame");
    CImageButton::PaintFrame(p, r);
  }
  void PaintIcon(QPainter& p, bool c, const QRect& i, QRect& q, bool pr, bool d) override {
    steps.push_back("icon");
    CImageButton::PaintIcon(p, c, i, q, pr, d);
  }
  void PaintBitmap(QPainter& p, bool c, const QRect& i, QRect& q, bool pr, bool d) override {
    steps.push_back("bitmap");
    CImageButton::PaintBitmap(p, c, i, q, pr, d);
  }
  void PaintCaption(QPainter& p, const QString& t, const QRect& i, QRect& q, bool pr,
                    bool d) override {
    steps.push_back("caption");
    CImageButton::PaintCaption(p, t, i, q, pr, d);
  }
};

TEST(ButtonPainting, StepsRunInOrderAndOnlyForWhatIsThere) {
  RecordingButton b;
  b.resize(100, 30);
  pixels::Grab(b);
  EXPECT_EQ(b.steps, (std::vector<std::string>{"face", "frame"}));

  b.setText(QStringLiteral("确定"));
  ASSERT_EQ(b.AttachIcons(SolidIcon(8, Qt::red)), ButtonResult::Done);
  b.steps.clear();
  const QImage image = pixels::Grab(b);
  EXPECT_EQ(b.steps, (std::vector<std::string>{"face", "frame", "icon", "caption"}));
  EXPECT_EQ(At(image, 1, 1), qRgb(1, 2, 3) & 0xFFFFFFu);  // the derived face

  QImage bitmap(6, 6, QImage::Format_RGB32);
  bitmap.fill(Qt::blue);
  ASSERT_EQ(b.AttachBitmaps(bitmap, Rgb(0, 255, 0), bitmap, Rgb(0, 255, 0)), ButtonResult::Done);
  b.steps.clear();
  pixels::Grab(b);
  EXPECT_EQ(b.steps, (std::vector<std::string>{"face", "frame", "bitmap", "caption"}));
}

}  // namespace
