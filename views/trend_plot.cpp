#include "views/trend_plot.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace views {

namespace {

constexpr int kTimeTicks = 6;
constexpr int kValueTicks = 5;
constexpr double kMarkRadius = 4.0;
const QColor kGridColour(225, 225, 225);
const QColor kFrameColour(150, 150, 150);

QString ValueLabel(double v) { return QString::number(v, 'f', 2); }

}  // namespace

TrendPlot::TrendPlot(QWidget* parent) : QWidget(parent) {
  setMinimumSize(300, 200);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
}

void TrendPlot::SetLine(Side side, const QString& name, const QColor& colour) {
  m_lines[side].name = name;
  m_lines[side].colour = colour;
  update();
}

void TrendPlot::SetMarkLegend(const QString& text, const QColor& colour) {
  m_markLegend = text;
  m_markColour = colour;
  update();
}

void TrendPlot::SetAxisTitle(Side side, const QString& title) {
  if (m_lines[side].title == title) return;
  m_lines[side].title = title;
  update();
}

void TrendPlot::SetValueRange(Side side, double lo, double hi) {
  if (!(hi > lo)) hi = lo + 1;
  Line& line = m_lines[side];
  if (line.lo == lo && line.hi == hi) return;
  line.lo = lo;
  line.hi = hi;
  update();
}

void TrendPlot::SetTimeRange(qint64 from, qint64 to) {
  if (to <= from) to = from + 1;
  if (m_from == from && m_to == to) return;
  m_from = from;
  m_to = to;
  update();
}

QRect TrendPlot::PlotArea() const {
  const QFontMetrics fm = fontMetrics();
  const int side = fm.horizontalAdvance(QStringLiteral("-0000.00")) + 10;
  const int top = fm.height() + 8;
  const int bottom = 2 * fm.height() + 16;
  return QRect(side, top, std::max(1, width() - 2 * side), std::max(1, height() - top - bottom));
}

double TrendPlot::XOf(double ms, const QRect& area) const {
  return area.left() + (ms - static_cast<double>(m_from)) * area.width() / static_cast<double>(m_to - m_from);
}

double TrendPlot::MsOf(int x) const {
  const QRect area = PlotArea();
  return static_cast<double>(m_from) +
         static_cast<double>(x - area.left()) * static_cast<double>(m_to - m_from) / area.width();
}

QPointF TrendPlot::PositionOf(Side side, const QPointF& point) const {
  const QRect area = PlotArea();
  const Line& line = m_lines[side];
  const double y = area.bottom() - (point.y() - line.lo) * area.height() / (line.hi - line.lo);
  return QPointF(XOf(point.x(), area), y);
}

QString TrendPlot::MarkTextAt(const QPoint& pos) const {
  // The nearest mark within a few pixels, so a crowded stretch still tells
  // about the one under the pointer.
  const QString* best = nullptr;
  double bestDistance = 2 * kMarkRadius + 2;
  for (const Mark& m : m_marks) {
    const QPointF at = PositionOf(Left, m.at);
    const double d = std::hypot(at.x() - pos.x(), at.y() - pos.y());
    if (d <= bestDistance) {
      bestDistance = d;
      best = &m.text;
    }
  }
  return best ? *best : QString();
}

void TrendPlot::PaintAxes(QPainter& painter, const QRect& area) const {
  const QFontMetrics fm = painter.fontMetrics();
  // Grid and frame as one-pixel fills: the same pixels as lines drawn with a
  // one-pixel pen, but written a span at a time rather than pixel by pixel
  // (twelve grid lines were a tenth of a repaint).
  for (int i = 0; i <= kValueTicks; ++i) {
    const int y = area.bottom() - i * area.height() / kValueTicks;
    painter.fillRect(QRect(area.left(), y, area.width(), 1), kGridColour);
  }
  for (int i = 0; i < kTimeTicks; ++i) {
    const int x = area.left() + i * area.width() / (kTimeTicks - 1);
    painter.fillRect(QRect(x, area.top(), 1, area.height()), kGridColour);
  }
  painter.fillRect(QRect(area.left(), area.top(), area.width(), 1), kFrameColour);
  painter.fillRect(QRect(area.left(), area.bottom(), area.width(), 1), kFrameColour);
  painter.fillRect(QRect(area.left(), area.top(), 1, area.height()), kFrameColour);
  painter.fillRect(QRect(area.right(), area.top(), 1, area.height()), kFrameColour);

  // Value labels in each line's colour, on its own side.
  for (int s = 0; s < 2; ++s) {
    const Line& line = m_lines[s];
    painter.setPen(line.colour);
    for (int i = 0; i <= kValueTicks; ++i) {
      const int y = area.bottom() - i * area.height() / kValueTicks;
      const QString label = ValueLabel(line.lo + (line.hi - line.lo) * i / kValueTicks);
      const QRect box = s == Left ? QRect(0, y - fm.height() / 2, area.left() - 5, fm.height())
                                  : QRect(area.right() + 5, y - fm.height() / 2, width() - area.right() - 5, fm.height());
      DrawLabel(painter, box, s == Left ? Qt::AlignRight : Qt::AlignLeft, label);
    }
    const QRect titleBox = s == Left ? QRect(4, 2, width() / 2 - 4, fm.height())
                                     : QRect(width() / 2, 2, width() / 2 - 4, fm.height());
    DrawLabel(painter, titleBox, s == Left ? Qt::AlignLeft : Qt::AlignRight, line.title);
  }

  // Time labels; a span beyond a day needs the date as well.
  const QString format = m_to - m_from > 24LL * 3600 * 1000 ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("HH:mm:ss");
  painter.setPen(palette().color(QPalette::WindowText));
  for (int i = 0; i < kTimeTicks; ++i) {
    const int x = area.left() + i * area.width() / (kTimeTicks - 1);
    const qint64 ms = m_from + (m_to - m_from) * i / (kTimeTicks - 1);
    const QString label = QDateTime::fromMSecsSinceEpoch(ms).toString(format);
    const int w = fm.horizontalAdvance(label);
    DrawLabel(painter, QRect(x - w / 2 - 2, area.bottom() + 4, w + 4, fm.height()), Qt::AlignHCenter, label);
  }
}

void TrendPlot::DrawLabel(QPainter& painter, const QRect& box, Qt::Alignment alignment, const QString& text) const {
  // Laying a text out (itemizing, shaping) each time was a fifth of a repaint;
  // the value labels, titles and legend repeat until the range or language
  // changes. Time labels change as the run moves on, so the store is emptied
  // when it grows past what one range needs many times over.
  if (m_labelsFont != painter.font() || m_labels.size() > 256) {
    m_labels.clear();
    m_labelsFont = painter.font();
  }
  auto found = m_labels.find(text);
  if (found == m_labels.end()) {
    QStaticText laidOut(text);
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.prepare(painter.transform(), painter.font());
    found = m_labels.insert(text, laidOut);
  }
  const QSizeF size = found->size();
  double x = box.left();
  if (alignment & Qt::AlignRight)
    x = box.left() + box.width() - size.width();
  else if (alignment & Qt::AlignHCenter)
    x = box.left() + (box.width() - size.width()) / 2;
  const double y = box.top() + (box.height() - size.height()) / 2;
  painter.drawStaticText(QPointF(x, y), *found);
}

void TrendPlot::PaintLegend(QPainter& painter, const QRect& area) const {
  const QFontMetrics fm = painter.fontMetrics();
  const int y = area.bottom() + 8 + fm.height();
  const int h = fm.height();
  int x = area.left();
  for (const Line& line : m_lines) {
    painter.setPen(QPen(line.colour, 2));
    painter.drawLine(x, y + h / 2, x + 18, y + h / 2);
    painter.setPen(palette().color(QPalette::WindowText));
    const int w = fm.horizontalAdvance(line.name);
    DrawLabel(painter, QRect(x + 22, y, w + 2, h), Qt::AlignLeft, line.name);
    x += 22 + w + 20;
  }
  if (m_marks.isEmpty() || m_markLegend.isEmpty()) return;
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::white);
  painter.setBrush(m_markColour);
  painter.drawEllipse(QPointF(x + 9, y + h / 2.0), kMarkRadius, kMarkRadius);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(m_markColour);
  DrawLabel(painter, QRect(x + 22, y, fm.horizontalAdvance(m_markLegend) + 2, h), Qt::AlignLeft, m_markLegend);
}

void TrendPlot::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect area = PlotArea();
  // Each pixel filled once: the margins, then the plot area.
  const QColor window = palette().color(QPalette::Window);
  painter.fillRect(QRect(0, 0, width(), area.top()), window);
  painter.fillRect(QRect(0, area.bottom() + 1, width(), height() - area.bottom() - 1), window);
  painter.fillRect(QRect(0, area.top(), area.left(), area.height()), window);
  painter.fillRect(QRect(area.right() + 1, area.top(), width() - area.right() - 1, area.height()), window);
  painter.fillRect(area, palette().color(QPalette::Base));
  PaintAxes(painter, area);

  painter.save();
  painter.setClipRect(area);
  QPolygonF polyline;
  bool layerUsed = false;
  for (int s = 0; s < 2; ++s) {
    const Line& line = m_lines[s];
    polyline.resize(line.points.size());
    const double scaleX = area.width() / static_cast<double>(m_to - m_from);
    const double scaleY = area.height() / (line.hi - line.lo);
    qsizetype n = 0;
    for (const QPointF& p : line.points) {
      if (!std::isfinite(p.y())) continue;  // no value: the line bridges it
      polyline[n++] = QPointF(area.left() + (p.x() - static_cast<double>(m_from)) * scaleX,
                              area.bottom() - (p.y() - line.lo) * scaleY);
    }
    polyline.resize(n);
    QPen pen(line.colour, 0);  // cosmetic: the raster engine's fast line stroker
    pen.setCosmetic(true);
    painter.setPen(pen);
    if (n < area.width()) {
      // Sparse points: a smooth line through each.
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.drawPolyline(polyline);
      continue;
    }
    // Several points per pixel column: the line there covers the column from
    // its lowest to its highest point, then steps on to the next column.
    // Stroking every point would ink the same pixels up and down again, and
    // the raster engine writes a near-vertical line one span per pixel row;
    // so the spans are written straight into a layer image, and only steps
    // that are not between neighbouring columns are left to the painter.
    if (m_layer.size() != area.size()) m_layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (!layerUsed) m_layer.fill(Qt::transparent);
    layerUsed = true;
    const QRgb colour = qPremultiply(line.colour.rgba());
    const int w = m_layer.width(), h = m_layer.height();
    const qsizetype stride = m_layer.bytesPerLine() / 4;
    QRgb* bits = reinterpret_cast<QRgb*>(m_layer.bits());
    const auto span = [&](int column, double y0, double y1) {
      if (column < 0 || column >= w) return;
      const int top = std::clamp(static_cast<int>(std::floor(std::min(y0, y1))) - area.top(), 0, h - 1);
      const int bottom = std::clamp(static_cast<int>(std::ceil(std::max(y0, y1))) - area.top(), 0, h - 1);
      for (int y = top; y <= bottom; ++y) bits[y * stride + column] = colour;
    };
    QVector<QLineF> steps;
    qsizetype i = 0;
    int previousColumn = 0;
    const QPointF* previousLast = nullptr;
    while (i < n) {
      const int column = static_cast<int>(std::floor(polyline[i].x())) - area.left();
      double lo = polyline[i].y(), hi = lo;
      qsizetype j = i + 1;
      while (j < n && static_cast<int>(std::floor(polyline[j].x())) - area.left() == column) {
        lo = std::min(lo, polyline[j].y());
        hi = std::max(hi, polyline[j].y());
        ++j;
      }
      if (previousLast) {
        if (column == previousColumn + 1 && column > 0 && column < w) {
          const double middle = (previousLast->y() + polyline[i].y()) / 2;
          span(previousColumn, previousLast->y(), middle);
          span(column, middle, polyline[i].y());
        } else {
          steps.append(QLineF(*previousLast, polyline[i]));
        }
      }
      span(column, lo, hi);
      previousColumn = column;
      previousLast = &polyline[j - 1];
      i = j;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawLines(steps);
  }
  if (layerUsed) painter.drawImage(area.topLeft(), m_layer);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(m_markColour);
  for (const Mark& m : m_marks) painter.drawEllipse(PositionOf(Left, m.at), kMarkRadius, kMarkRadius);
  painter.restore();

  if (m_bandFrom >= 0) {
    const int l = std::min(m_bandFrom, m_bandTo), r = std::max(m_bandFrom, m_bandTo);
    QColor band = palette().color(QPalette::Highlight);
    band.setAlpha(60);
    painter.fillRect(QRect(l, area.top(), r - l, area.height()), band);
  }
  PaintLegend(painter, area);
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
  const QRect area = PlotArea();
  const int x = static_cast<int>(event->position().x());
  if (event->button() == Qt::RightButton) {
    emit ZoomOutAsked();
    return;
  }
  if (event->button() == Qt::LeftButton && area.contains(event->position().toPoint())) {
    m_bandFrom = m_bandTo = x;
    update();
  }
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
  if (m_bandFrom < 0) return;
  const QRect area = PlotArea();
  m_bandTo = std::clamp(static_cast<int>(event->position().x()), area.left(), area.right());
  update();
}

void TrendPlot::mouseReleaseEvent(QMouseEvent* event) {
  if (m_bandFrom < 0 || event->button() != Qt::LeftButton) return;
  const int l = std::min(m_bandFrom, m_bandTo), r = std::max(m_bandFrom, m_bandTo);
  m_bandFrom = m_bandTo = -1;
  update();
  if (r - l >= 4) emit RangeChosen(static_cast<qint64>(MsOf(l)), static_cast<qint64>(MsOf(r)));
}

bool TrendPlot::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = MarkTextAt(help->pos());
    if (text.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), text, this);
    return true;
  }
  return QWidget::event(event);
}

}  // namespace views
