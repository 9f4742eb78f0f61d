#pragma once
#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QWidget>
#include <cstdint>

#include "protocol/stability.h"

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace views {

// "趋势图": dissolved oxygen and temperature of every accepted poll reply of
// this run over time, with the stability of the reading. A modeless window;
// it never sends anything.
class TrendWindow : public QWidget {
  Q_OBJECT

 public:
  // About a day of replies at one every 2 s; older points drop out.
  static constexpr int kMaxPoints = 43200;

  explicit TrendWindow(QWidget* parent = nullptr);

  // One accepted 77-byte reply, received at `epochMs` (ms since 1970, UTC).
  void AddReply(const QByteArray& reply, qint64 epochMs);
  // The stability verdict over the last `windowMs`.
  void ShowStability(const protocol::StabilityVerdict& verdict, qint64 windowMs);

  int PointCount() const;
  // (time in ms since 1970, value shown) of each point, oldest first.
  QList<QPointF> OxygenPoints() const;
  QList<QPointF> TemperaturePoints() const;
  QString StabilityShown() const;
  QString OxygenAxisTitle() const;

  // While paused the plot keeps its range; points keep coming in.
  bool IsPaused() const;
  void SetPaused(bool paused);
  // Back to following the newest points over the chosen span.
  void ResetZoom();
  // Horizontal zoom by `factor` (> 1 zooms in) around the middle of the view.
  void Zoom(double factor);
  // The time range on screen, ms since 1970.
  QPair<qint64, qint64> TimeRange() const;

 protected:
  // The mouse wheel over the plot zooms the time axis.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateRanges();
  void UpdateHeader(const QByteArray& reply);

  QChart* m_chart = nullptr;
  QChartView* m_view = nullptr;
  QLineSeries* m_oxygen = nullptr;
  QLineSeries* m_temperature = nullptr;
  QDateTimeAxis* m_timeAxis = nullptr;
  QValueAxis* m_oxygenAxis = nullptr;
  QValueAxis* m_temperatureAxis = nullptr;
  QLabel* m_valueLabel = nullptr;
  QLabel* m_stabilityLabel = nullptr;
  QLabel* m_stabilityDetail = nullptr;
  QComboBox* m_span = nullptr;
  QPushButton* m_pause = nullptr;
  QPushButton* m_resetZoom = nullptr;
  bool m_following = true;   // cleared by a zoom, set again by ResetZoom
  bool m_settingRange = false;
};

}  // namespace views
