#pragma once
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QStaticText>
#include <QString>
#include <QWidget>

namespace views {

// The drawing surface of the trend: a time axis below, a value axis on either
// side, one line per side and marks on the left line, with a legend. It is
// painted with QPainter straight from the points it holds, so a new reply
// costs one pass over the few thousand points on screen; a chart scene
// rebuilt on every change cost several milliseconds even for a short line.
class TrendPlot : public QWidget {
  Q_OBJECT

 public:
  enum Side { Left = 0, Right = 1 };
  // A point singled out on the left line, with what its tooltip says.
  struct Mark {
    QPointF at;
    QString text;
  };

  explicit TrendPlot(QWidget* parent = nullptr);

  void SetLine(Side side, const QString& name, const QColor& colour);
  // The points of a side's line (ms since 1970, value), oldest first. The
  // owner edits them in place and calls update().
  QList<QPointF>& Points(Side side) { return m_lines[side].points; }
  const QList<QPointF>& Points(Side side) const { return m_lines[side].points; }
  QList<Mark>& Marks() { return m_marks; }
  const QList<Mark>& Marks() const { return m_marks; }
  void SetMarkLegend(const QString& text, const QColor& colour);

  void SetAxisTitle(Side side, const QString& title);
  QString AxisTitle(Side side) const { return m_lines[side].title; }
  QString LineName(Side side) const { return m_lines[side].name; }
  QString MarkLegend() const { return m_markLegend; }
  void SetValueRange(Side side, double lo, double hi);
  void SetTimeRange(qint64 from, qint64 to);
  qint64 From() const { return m_from; }
  qint64 To() const { return m_to; }
  // Where the lines are drawn, in the widget's coordinates.
  QRect PlotArea() const;
  // Where a point of a side's line is drawn.
  QPointF PositionOf(Side side, const QPointF& point) const;
  // The tooltip of the mark drawn at or near `pos`; empty when none is there.
  QString MarkTextAt(const QPoint& pos) const;

 signals:
  // The operator dragged a band across the plot to see that time span.
  void RangeChosen(qint64 from, qint64 to);
  // The right button: show more time around the middle.
  void ZoomOutAsked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Line {
    QList<QPointF> points;
    QString name;
    QString title;
    QColor colour;
    double lo = 0, hi = 1;
  };
  void PaintAxes(class QPainter& painter, const QRect& area) const;
  void PaintLegend(QPainter& painter, const QRect& area) const;
  // Draws one line of text in `box` as QPainter::drawText would with
  // `alignment` (vertically centred), from a layout kept per string.
  void DrawLabel(QPainter& painter, const QRect& box, Qt::Alignment alignment, const QString& text) const;
  double XOf(double ms, const QRect& area) const;
  double MsOf(int x) const;

  Line m_lines[2];
  QList<Mark> m_marks;
  QString m_markLegend;
  QColor m_markColour;
  qint64 m_from = 0, m_to = 60000;
  QImage m_layer;  // the dense lines, written pixel by pixel
  // The labels laid out once: most repeat from one repaint to the next.
  mutable QHash<QString, QStaticText> m_labels;
  mutable QFont m_labelsFont;
  int m_bandFrom = -1, m_bandTo = -1;  // a band being dragged, x in pixels
};

}  // namespace views
