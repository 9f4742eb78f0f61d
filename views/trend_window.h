#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "protocol/stability.h"
#include "records/database_url.h"
#include "views/trend_plot.h"
#include "views/trend_store.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;

namespace views {

// "趋势图": dissolved oxygen and temperature of every accepted poll reply of
// this run over time, with the stability of the reading. A modeless window;
// it never sends anything. The oxygen is shown in the sensor's unit, in mg/L
// or in % saturation; a reading physics does not believe is marked. A past
// span of one sensor can be opened from the records database instead.
//
// The points live in a TrendStore that is fed whether or not this window is
// up; the window plots from it. Taking one new point costs the same at any
// length of the run: the plot holds only the points of the time range on
// screen, and when those are more than the plot has pixel columns, per column
// only its first, lowest, highest and last point (all a line of that width
// can show); the axes move only when the range they cover changes.
class TrendWindow : public QWidget {
  Q_OBJECT

 public:
  // About a day of replies at one every 2 s; older points drop out.
  static constexpr int kMaxPoints = 43200;

  // The unit of the oxygen line, in the order of its list.
  enum class OxygenUnit { AsSent = 0, MgPerL = 1, Saturation = 2 };

  explicit TrendWindow(const TrendStore& store, QWidget* parent = nullptr);
  ~TrendWindow() override;

  // Takes the points added to the store since the last call.
  void CatchUp();
  // The header line and the unit of the oxygen axis, from the newest reply.
  void ShowReply(const QByteArray& reply);
  // The stability verdict over the last `windowMs`.
  void ShowStability(const protocol::StabilityVerdict& verdict, qint64 windowMs);

  int PointCount() const;
  // (time in ms since 1970, value shown) of each point, oldest first.
  QList<QPointF> OxygenPoints() const;
  QList<QPointF> TemperaturePoints() const;
  // What the plot holds: the points of the range on screen (and one either
  // side), or per pixel column its first, lowest, highest and last of them.
  QList<QPointF> PlottedOxygen() const;
  QList<QPointF> PlottedTemperature() const;
  QString StabilityShown() const;
  QString OxygenAxisTitle() const;
  void SetOxygenUnit(OxygenUnit unit);
  // Where the plot marks implausible readings (time, value shown), oldest
  // first, and what each mark's tooltip says.
  QList<QPointF> ImplausibleMarks() const;
  QString ImplausibleText(int index) const;

  // The records database the past spans come from; the one chosen in
  // "记录设置" unless set.
  void SetHistoryDatabase(const records::DatabaseTarget& target);
  // Reads the serial numbers of the history into the list, off this thread.
  void RefreshHistorySerials();
  // Reads the readings of `serial` from `from` to `to` off this thread and
  // shows them in place of this run's; ShowLive() goes back.
  void OpenHistory(quint32 serial, const QDateTime& from, const QDateTime& to);
  void ShowLive();
  bool ShowingHistory() const { return m_store != &m_live; }
  bool HistoryBusy() const;

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
  void showEvent(QShowEvent* event) override;

 private:
  // One line of the plot fed from one value of the store's points.
  struct Line {
    TrendPlot::Side side = TrendPlot::Left;
    double TrendPoint::*value = nullptr;
    qint64 bucketMs = 0;  // width of a pixel column; 0 plots every point
    qint64 bucket = 0;    // column of the newest point plotted
    std::uint64_t bucketFirstSeq = 0;
    int bucketPlotted = 0;  // points plotted for that column
    // Store sequences of candidates for the lowest and highest value on
    // screen, so the axis follows a moving range without a rescan.
    std::deque<std::uint64_t> lows, highs;
  };

  QList<QPointF> ColumnPoints(const Line& line, std::uint64_t first, std::uint64_t end) const;
  void Plot(Line& line, std::uint64_t fromSeq, std::uint64_t toSeq, qint64 bucketMs);
  void Append(Line& line, QList<QPointF>& points, std::uint64_t seq);
  void TrimBefore(const Line& line, QList<QPointF>& points, double ms) const;
  void TrackExtremes(Line& line, std::uint64_t seq);
  void MarkIfImplausible(std::uint64_t seq);
  QString MarkText(const TrendPoint& point) const;
  // The operator chose a time range (zoom, band): stop following, plot it.
  void ViewRange(double from, double to);
  void ShowHistory(const std::vector<TrendPoint>& points, bool cut, const QString& error);
  void ShowSerials(const QList<quint32>& serials, const QString& error);
  void UpdateOxygenTitle();
  // Re-plots the store over the time axis range.
  void Replot();
  // The time range the newest points call for, when following.
  bool FollowRange(double* from, double* to) const;
  // Moves the time axis to the newest points and the value axes to what is
  // on screen; with `replot` the plot is rebuilt for the new range.
  void UpdateRanges(bool replot);
  void UpdateValueAxes(std::uint64_t fromSeq);
  int PlotColumns() const;
  bool Following() const;

  const TrendStore& m_live;
  const TrendStore* m_store;   // m_live, or the past span on screen
  std::unique_ptr<TrendStore> m_history;
  class TrendHistory* m_historyReader = nullptr;
  QDateTime m_historyFrom, m_historyTo;
  std::uint64_t m_taken = 0;  // EndSeq() of the store when last caught up
  Line m_oxygenLine;
  Line m_temperatureLine;
  bool m_replotQueued = false;

  TrendPlot* m_plot = nullptr;
  // The oxygen axis title in the sensor's own unit, live and in the past span.
  QString m_liveUnitTitle, m_historyUnitTitle;
  QComboBox* m_unit = nullptr;
  QComboBox* m_historySerial = nullptr;
  QDateTimeEdit* m_historyFromEdit = nullptr;
  QDateTimeEdit* m_historyToEdit = nullptr;
  QPushButton* m_historyOpen = nullptr;
  QPushButton* m_liveButton = nullptr;
  QLabel* m_historyStatus = nullptr;
  QLabel* m_valueLabel = nullptr;
  QLabel* m_stabilityLabel = nullptr;
  QLabel* m_stabilityDetail = nullptr;
  QComboBox* m_span = nullptr;
  QPushButton* m_pause = nullptr;
  QPushButton* m_resetZoom = nullptr;
  bool m_following = true;   // cleared by a zoom, set again by ResetZoom
};

}  // namespace views
