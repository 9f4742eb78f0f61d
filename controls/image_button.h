// CImageButton: the flat, owner-drawn push button every window of the tool
// uses. It paints itself in state colours (idle, focused, hot), shows a thin
// raised frame under the mouse pointer and a sunken one while pressed, and
// draws an icon or a transparent bitmap left of (or instead of) its caption.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

#include "controls/button_images.h"

class QPainter;

// Indices into CImageButton::m_colours.
enum ButtonColour {
  ColourHotBack = 0,    // background while hovered or pressed
  ColourHotText = 1,
  ColourIdleBack = 2,   // background otherwise
  ColourIdleText = 3,
  ColourFocusBack = 4,  // background while focused and neither hovered nor pressed
  ColourFocusText = 5,
};

// Results of the setters, scoped so that "Done" names nothing outside them.
// There is deliberately no code 4.
enum class ButtonResult {
  Done = 0,
  ImageUnreadable = 1,
  MaskNotCreated = 2,
  ColourIndexOutOfRange = 3,
  ShadeOutOfRange = 5,
};

// An icon and the size it is laid out with.
struct ButtonIconSlot {
  QIcon icon;
  int width = 0;
  int height = 0;
  bool IsSet() const { return !icon.isNull(); }
};

// A bitmap whose transparent pixels have been turned black, its size, its
// monochrome mask (1 = transparent) and the transparent colour it was made with.
struct ButtonBitmapSlot {
  QImage image;
  int width = 0;
  int height = 0;
  QImage mask;
  ColourRef transparent = 0;
  bool IsSet() const { return !image.isNull(); }
};

class CImageButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CImageButton(QWidget* parent = nullptr);
  ~CImageButton() override;

  // Loads icon resources (":/icons/<id>.png", low 16 bits of the id) at their
  // own size, then AttachIcons. secondIconId 0 means no normal-state icon.
  ButtonResult LoadIcons(unsigned iconId, unsigned secondIconId = 0);
  // Slot 0 = icon (hot, and every state when slot 1 is empty), slot 1 = second
  // (normal state). Drops every image the button held before.
  ButtonResult AttachIcons(const QIcon& icon, const QIcon& second = QIcon());
  // Loads bitmap resources (":/bitmaps/<id>.bmp") at their own size, then
  // AttachBitmaps with the images in the same order. secondId 0 means none.
  ButtonResult LoadBitmaps(unsigned disabledId, ColourRef disabledTransparent, unsigned bitmapId,
                           ColourRef transparent, unsigned secondId = 0,
                           ColourRef secondTransparent = 0);
  // Slot 0 = image (hot), slot 1 = second (normal), slot 2 = disabled (mandatory).
  // Drops every image the button held before.
  ButtonResult AttachBitmaps(const QImage& disabled, ColourRef disabledTransparent,
                             const QImage& image, ColourRef transparent,
                             const QImage& second = QImage(), ColourRef secondTransparent = 0);
  // Back and text colours from the palette's Button and ButtonText roles.
  ButtonResult ResetColours();
  ButtonResult SetStateColour(std::uint8_t index, ColourRef colour);
  // Moves all three channels of a colour by the same amount, as far as the
  // channel nearest its limit allows. shade must lie in -255..255.
  ButtonResult ShiftStateColour(std::uint8_t index, std::int16_t shade);
  // The colour at index, 0 when the index is out of range.
  ColourRef StateColour(int index) const;

  // Drops every icon, bitmap and mask.
  void ReleaseImages(bool destroy = true);

  // Configuration, written directly by the windows.
  bool m_useDisabledImage = true;     // disabled button draws bitmap slot 2
  QPoint m_imageMargin{3, 3};         // image distance from the left edge beside a caption
  QPoint m_pressShift{1, 1};          // offset of image and caption while pressed

  // What the button shows: the pointer over it, and the images it holds.
  bool IsHovered() const { return m_hover; }
  const std::array<ButtonIconSlot, 2>& Icons() const { return m_icons; }
  const std::array<ButtonBitmapSlot, 3>& Bitmaps() const { return m_bitmaps; }

 protected:
  // The five drawing steps, called in this order by paintEvent. `caption` is
  // the rectangle the caption is laid out in; the image steps narrow it.
  virtual void PaintFace(QPainter& painter, const QRect& rect);
  virtual void PaintFrame(QPainter& painter, const QRect& rect);
  virtual void PaintIcon(QPainter& painter, bool hasCaption, const QRect& item, QRect& caption,
                         bool pressed, bool disabled);
  virtual void PaintBitmap(QPainter& painter, bool hasCaption, const QRect& item, QRect& caption,
                           bool pressed, bool disabled);
  virtual void PaintCaption(QPainter& painter, const QString& text, const QRect& item,
                            QRect& caption, bool pressed, bool disabled);

  // Where an image of w x h goes; narrows the caption rectangle beside it.
  QRect ComputeImageRect(bool hasCaption, const QRect& item, QRect& caption, bool pressed, int w,
                         int h) const;
  void CancelHover();

  // Colours of the 3-D frame and of the embossed (disabled) look.
  QColor HighlightColour() const;
  QColor ShadowColour() const;

  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // A dotted rectangle inside the face while the focus came from the keyboard.
  void PaintFocusCue(QPainter& painter, const QRect& rect);
  void TrackHover(const QPoint& pos, bool leftButtonDown);
  void MoveFocusOnDisable();
  bool LoadSlot(ButtonBitmapSlot& slot, const QImage& image, ColourRef transparent,
                ButtonResult& failure);

  // State. m_pressed, m_focused and m_disabled are recomputed at every paint.
  bool m_hover = false;
  bool m_pressed = false;
  int m_focused = 0;    // 0 or 0x10
  int m_disabled = 0;   // 0 or 4
  bool m_isDefault = false;

  std::array<ColourRef, 6> m_colours{};
  std::array<ButtonIconSlot, 2> m_icons;
  std::array<ButtonBitmapSlot, 3> m_bitmaps;

  // The focus arrived by Tab, Backtab or an arrow key and no mouse press came since.
  bool m_keyboardFocusCue = false;
};
