#include "controls/image_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

// A one-pixel 3-D rectangle: top and left edges in topLeft, right and bottom
// edges (including both far corners) in bottomRight.
void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft,
                const QColor& bottomRight) {
  const int x = r.left();
  const int y = r.top();
  const int cx = r.width();
  const int cy = r.height();
  if (cx <= 0 || cy <= 0) return;
  painter.fillRect(x, y, cx - 1, 1, topLeft);
  painter.fillRect(x, y, 1, cy - 1, topLeft);
  painter.fillRect(x + cx - 1, y, 1, cy, bottomRight);
  painter.fillRect(x, y + cy - 1, cx, 1, bottomRight);
}

// The shape of an icon for the embossed look: every pixel that is not white
// once the icon is laid on a white ground, painted in one colour.
QImage ShapeInColour(const QImage& icon, const QColor& colour) {
  QImage onWhite(icon.size(), QImage::Format_RGB32);
  onWhite.fill(Qt::white);
  {
    QPainter p(&onWhite);
    p.drawImage(0, 0, icon);
  }
  QImage shape(icon.size(), QImage::Format_ARGB32);
  shape.fill(Qt::transparent);
  const QRgb ink = colour.rgb() | 0xFF000000u;
  for (int y = 0; y < onWhite.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(onWhite.constScanLine(y));
    auto* dst = reinterpret_cast<QRgb*>(shape.scanLine(y));
    for (int x = 0; x < onWhite.width(); ++x)
      if ((src[x] & 0x00FFFFFFu) != 0x00FFFFFFu) dst[x] = ink;
  }
  return shape;
}

// Size an icon is laid out with: its largest available size.
QSize IconLayoutSize(const QIcon& icon) {
  QSize best;
  for (const QSize& s : icon.availableSizes()) {
    if (!best.isValid() || s.width() * s.height() > best.width() * best.height()) best = s;
  }
  return best;
}

constexpr int kCaptionFlags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop |
                              Qt::TextShowMnemonic;

}  // namespace

CImageButton::CImageButton(QWidget* parent) : QPushButton(parent) {
  // Mouse moves without a button held drive the hover look.
  setMouseTracking(true);
  ResetColours();
  // Connected first, so the button holds the focus before any handler the
  // window connects to clicked() runs.
  connect(this, &QAbstractButton::clicked, this, [this] { setFocus(Qt::MouseFocusReason); });
}

CImageButton::~CImageButton() { ReleaseImages(true); }

// ---------------------------------------------------------------- images

ButtonResult CImageButton::LoadIcons(unsigned iconId, unsigned secondIconId) {
  const QIcon icon = button_images::LoadIconResource(iconId);
  const QIcon second = secondIconId != 0 ? button_images::LoadIconResource(secondIconId) : QIcon();
  return AttachIcons(icon, second);
}

ButtonResult CImageButton::AttachIcons(const QIcon& icon, const QIcon& second) {
  ReleaseImages(true);
  if (!icon.isNull()) {
    const QIcon* given[2] = {&icon, &second};
    for (int i = 0; i < 2; ++i) {
      if (i == 1 && second.isNull()) break;
      const QSize size = IconLayoutSize(*given[i]);
      if (!size.isValid() || size.isEmpty()) {
        ReleaseImages(true);
        update();
        return ButtonResult::ImageUnreadable;
      }
      m_icons[i].icon = *given[i];
      m_icons[i].width = size.width();
      m_icons[i].height = size.height();
    }
  }
  update();
  return ButtonResult::Done;
}

ButtonResult CImageButton::LoadBitmaps(unsigned disabledId, ColourRef disabledTransparent,
                                       unsigned bitmapId, ColourRef transparent,
                                       unsigned secondId, ColourRef secondTransparent) {
  const QImage disabled = button_images::LoadBitmapResource(disabledId);
  const QImage image = button_images::LoadBitmapResource(bitmapId);
  const QImage second = secondId != 0 ? button_images::LoadBitmapResource(secondId) : QImage();
  return AttachBitmaps(disabled, disabledTransparent, image, transparent, second,
                       secondTransparent);
}

bool CImageButton::LoadSlot(ButtonBitmapSlot& slot, const QImage& image, ColourRef transparent,
                            ButtonResult& failure) {
  QImage copy = image;
  const int w = copy.width();
  const int h = copy.height();
  if (copy.isNull() || w <= 0 || h <= 0) {
    failure = ButtonResult::ImageUnreadable;
    return false;
  }
  QImage mask = button_images::MakeMask(copy, w, h, transparent);
  if (mask.isNull()) {
    failure = ButtonResult::MaskNotCreated;
    return false;
  }
  slot.image = copy;
  slot.width = w;
  slot.height = h;
  slot.mask = mask;
  slot.transparent = transparent;
  return true;
}

ButtonResult CImageButton::AttachBitmaps(const QImage& disabled, ColourRef disabledTransparent,
                                         const QImage& image, ColourRef transparent,
                                         const QImage& second, ColourRef secondTransparent) {
  ReleaseImages(true);
  ButtonResult failure = ButtonResult::Done;
  auto fail = [this, &failure] {
    ReleaseImages(true);
    update();
    return failure;
  };
  if (!image.isNull()) {
    if (!LoadSlot(m_bitmaps[0], image, transparent, failure)) return fail();
    if (!second.isNull() && !LoadSlot(m_bitmaps[1], second, secondTransparent, failure))
      return fail();
  }
  // The disabled-state image is mandatory.
  if (!LoadSlot(m_bitmaps[2], disabled, disabledTransparent, failure)) return fail();
  update();
  return ButtonResult::Done;
}

void CImageButton::ReleaseImages(bool destroy) {
  // Qt images are values: dropping them frees them, so `destroy` only
  // documents that the slots' images are gone afterwards.
  Q_UNUSED(destroy);
  m_icons.fill(ButtonIconSlot{});
  m_bitmaps.fill(ButtonBitmapSlot{});
}

// ---------------------------------------------------------------- colours

ButtonResult CImageButton::ResetColours() {
  const QPalette pal = palette();
  const ColourRef back = FromQColor(pal.color(QPalette::Active, QPalette::Button));
  const ColourRef text = FromQColor(pal.color(QPalette::Active, QPalette::ButtonText));
  m_colours[ColourHotBack] = back;
  m_colours[ColourIdleBack] = back;
  m_colours[ColourFocusBack] = back;
  m_colours[ColourHotText] = text;
  m_colours[ColourIdleText] = text;
  m_colours[ColourFocusText] = text;
  update();
  return ButtonResult::Done;
}

ButtonResult CImageButton::SetStateColour(std::uint8_t index, ColourRef colour) {
  if (index > ColourFocusText) return ButtonResult::ColourIndexOutOfRange;
  m_colours[index] = colour;
  update();
  return ButtonResult::Done;
}

ButtonResult CImageButton::ShiftStateColour(std::uint8_t index, std::int16_t shade) {
  if (index > ColourFocusText) return ButtonResult::ColourIndexOutOfRange;
  if (shade < -255 || shade > 255) return ButtonResult::ShadeOutOfRange;
  const ColourRef old = m_colours[index];
  const int channels[3] = {RedOf(old), GreenOf(old), BlueOf(old)};
  int shift = shade;
  for (int c : channels) {
    if (shade > 0) {
      const int allowance = c + shade > 255 ? 255 - c : shade;
      shift = std::min(shift, allowance);
    } else {
      const int allowance = c + shade < 0 ? -c : shade;
      shift = std::max(shift, allowance);
    }
  }
  m_colours[index] = Rgb(channels[0] + shift, channels[1] + shift, channels[2] + shift);
  update();
  return ButtonResult::Done;
}

ColourRef CImageButton::StateColour(int index) const {
  if (index < 0 || index > ColourFocusText) return 0;
  return m_colours[static_cast<std::size_t>(index)];
}

QColor CImageButton::HighlightColour() const {
  return palette().color(QPalette::Active, QPalette::Light);
}

QColor CImageButton::ShadowColour() const {
  return palette().color(QPalette::Active, QPalette::Dark);
}

// ---------------------------------------------------------------- painting

void CImageButton::paintEvent(QPaintEvent*) {
  m_pressed = isDown();
  m_focused = hasFocus() ? 0x10 : 0;
  m_disabled = isEnabled() ? 0 : 4;
  m_isDefault = isDefault();

  QPainter painter(this);
  const QRect item = rect();
  PaintFace(painter, item);
  PaintFrame(painter, item);

  const QString caption = text();
  QRect captionRect = item;
  const bool hasCaption = !caption.isEmpty();
  if (m_icons[0].IsSet())
    PaintIcon(painter, hasCaption, item, captionRect, m_pressed, m_disabled != 0);
  if (m_bitmaps[0].IsSet())
    PaintBitmap(painter, hasCaption, item, captionRect, m_pressed, m_disabled != 0);
  if (hasCaption) PaintCaption(painter, caption, item, captionRect, m_pressed, m_disabled != 0);
  // The focus colours show the focus to a mouse user; someone moving with the
  // keyboard also needs to see where Space will go, as desktop systems show it.
  if (m_focused != 0 && m_keyboardFocusCue && m_disabled == 0) PaintFocusCue(painter, item);
}

void CImageButton::PaintFocusCue(QPainter& painter, const QRect& rect) {
  const QRect cue = rect.adjusted(3, 3, -4, -4);
  if (cue.width() <= 0 || cue.height() <= 0) return;
  const ColourRef ink = (m_hover || m_pressed) ? m_colours[ColourHotText] : m_colours[ColourFocusText];
  QPen pen(ToQColor(ink), 1, Qt::DotLine);
  painter.save();
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(cue);
  painter.restore();
}

void CImageButton::PaintFace(QPainter& painter, const QRect& rect) {
  ColourRef back = m_colours[ColourIdleBack];
  if (m_hover || m_pressed)
    back = m_colours[ColourHotBack];
  else if (m_focused != 0)
    back = m_colours[ColourFocusBack];
  painter.fillRect(rect, ToQColor(back));
}

void CImageButton::PaintFrame(QPainter& painter, const QRect& rect) {
  if (m_pressed)
    Draw3dRect(painter, rect, ShadowColour(), HighlightColour());
  else if (m_hover)
    Draw3dRect(painter, rect, HighlightColour(), ShadowColour());
}

QRect CImageButton::ComputeImageRect(bool hasCaption, const QRect& item, QRect& caption,
                                     bool pressed, int w, int h) const {
  QRect image = item;
  const int width = item.width();
  const int height = item.height();
  if (hasCaption) {
    image.setLeft(image.left() + m_imageMargin.x());
    caption.setLeft(caption.left() + w + m_imageMargin.x());
  } else {
    image.setLeft(image.left() + (width - w) / 2);
  }
  image.setTop(image.top() + (height - h) / 2);
  if (pressed) image.translate(m_pressShift);
  return image;
}

void CImageButton::PaintIcon(QPainter& painter, bool hasCaption, const QRect& item,
                             QRect& caption, bool pressed, bool disabled) {
  const int slot = (pressed || m_hover) ? 0 : (m_icons[1].IsSet() ? 1 : 0);
  const ButtonIconSlot& icon = m_icons[static_cast<std::size_t>(slot)];
  const QRect place =
      ComputeImageRect(hasCaption, item, caption, pressed, icon.width, icon.height);
  const QImage image =
      icon.icon.pixmap(QSize(icon.width, icon.height), 1.0).toImage().convertToFormat(
          QImage::Format_ARGB32_Premultiplied);

  painter.save();
  painter.setClipRect(place.intersected(item));
  if (disabled) {
    // Embossed: the icon's shape in the highlight colour one pixel down and
    // right, then in the shadow colour in place.
    painter.drawImage(place.topLeft() + QPoint(1, 1), ShapeInColour(image, HighlightColour()));
    painter.drawImage(place.topLeft(), ShapeInColour(image, ShadowColour()));
  } else {
    painter.drawImage(place.topLeft(), image);
  }
  painter.restore();
}

void CImageButton::PaintBitmap(QPainter& painter, bool hasCaption, const QRect& item,
                               QRect& caption, bool pressed, bool disabled) {
  int slot = (pressed || m_hover) ? 0 : (m_bitmaps[1].IsSet() ? 1 : 0);
  if (disabled && m_useDisabledImage) slot = 2;
  const ButtonBitmapSlot& bitmap = m_bitmaps[static_cast<std::size_t>(slot)];
  const QRect place =
      ComputeImageRect(hasCaption, item, caption, pressed, bitmap.width, bitmap.height);
  if (!bitmap.IsSet()) return;
  button_images::TransparentBlit(painter, place.topLeft(), bitmap.image, bitmap.mask,
                                 bitmap.width, bitmap.height);
}

void CImageButton::PaintCaption(QPainter& painter, const QString& text, const QRect& item,
                                QRect& caption, bool pressed, bool disabled) {
  Q_UNUSED(item);
  Q_UNUSED(pressed);
  Q_UNUSED(disabled);
  if (m_pressed) caption.translate(m_pressShift);

  // Measure the wrapped text block and centre it in the caption rectangle.
  const QRect room = caption;
  const QFontMetrics metrics(font());
  const QRect measured =
      metrics.boundingRect(QRect(0, 0, std::max(room.width(), 1), 100000), kCaptionFlags, text);
  caption = QRect(room.left() + (room.width() - measured.width()) / 2,
                  room.top() + (room.height() - measured.height()) / 2, measured.width(),
                  measured.height());

  painter.setFont(font());
  painter.setBackgroundMode(Qt::TransparentMode);
  if (m_disabled != 0) {
    painter.setPen(HighlightColour());
    painter.drawText(caption.translated(1, 1), kCaptionFlags, text);
    painter.setPen(ShadowColour());
    painter.drawText(caption, kCaptionFlags, text);
    return;
  }
  ColourRef ink = m_colours[ColourIdleText];
  if (m_hover || m_pressed)
    ink = m_colours[ColourHotText];
  else if (m_focused != 0)
    ink = m_colours[ColourFocusText];
  painter.setPen(ToQColor(ink));
  painter.drawText(caption, kCaptionFlags, text);
}

// ---------------------------------------------------------------- hover and events

void CImageButton::TrackHover(const QPoint& pos, bool leftButtonDown) {
  if (leftButtonDown && !m_hover) return;
  // Which widget of this window lies under the point?
  QWidget* top = window();
  const QPoint inWindow = mapTo(top, pos);
  QWidget* under = nullptr;
  if (top->rect().contains(inWindow)) {
    under = top->childAt(inWindow);
    if (under == nullptr) under = top;
  }
  if (under == this) {
    if (m_hover) return;
    m_hover = true;
    update();
    return;
  }
  CancelHover();
}

void CImageButton::CancelHover() {
  if (!m_hover) return;
  m_hover = false;
  update();
}

void CImageButton::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  TrackHover(event->position().toPoint(), (event->buttons() & Qt::LeftButton) != 0);
}

void CImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second click of a double click is an ordinary press, so a double
  // click gives two clicks.
  mousePressEvent(event);
}

void CImageButton::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  TrackHover(event->position().toPoint(),
             (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0);
}

void CImageButton::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  CancelHover();
}

void CImageButton::focusInEvent(QFocusEvent* event) {
  // Arrow keys move the focus between buttons with the Tab reason too.
  const Qt::FocusReason reason = event->reason();
  m_keyboardFocusCue = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
  QPushButton::focusInEvent(event);
}

void CImageButton::mousePressEvent(QMouseEvent* event) {
  // After a click the colours alone show the focus again.
  if (m_keyboardFocusCue) {
    m_keyboardFocusCue = false;
    update();
  }
  QPushButton::mousePressEvent(event);
}

void CImageButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  CancelHover();
}

void CImageButton::MoveFocusOnDisable() {
  // Only when the button itself was disabled (not through its parent) and its
  // window is on screen; the focus goes to the next tab stop after it, or to
  // the window when there is none.
  if (!testAttribute(Qt::WA_ForceDisabled) || !window()->isVisible()) return;
  QWidget* top = window();
  for (QWidget* w = nextInFocusChain(); w != nullptr && w != this; w = w->nextInFocusChain()) {
    if (w->window() == top && w != top && w->isEnabled() && w->isVisible() &&
        (w->focusPolicy() & Qt::TabFocus) != 0) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  top->setFocus(Qt::OtherFocusReason);
}

void CImageButton::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::EnabledChange:
      if (!isEnabled()) {
        MoveFocusOnDisable();
        CancelHover();
      }
      break;
    case QEvent::ActivationChange:
      if (!isActiveWindow()) CancelHover();
      break;
    case QEvent::PaletteChange:
      // The palette stands for the system colours: whatever the window set
      // is replaced by them.
      ResetColours();
      break;
    default:
      break;
  }
}

bool CImageButton::event(QEvent* event) {
  const bool result = QPushButton::event(event);
  switch (event->type()) {
    case QEvent::WindowDeactivate:
      CancelHover();
      break;
    case QEvent::ApplicationPaletteChange:
      // A new application palette: same as a palette change of the button.
      ResetColours();
      break;
    default:
      break;
  }
  return result;
}
