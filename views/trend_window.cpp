#include "views/trend_window.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <iterator>
#include <cmath>
#include <limits>

#include "dialogs/dialog_support.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"

namespace views {

namespace {

// Spans of the "显示范围" list, in ms; 0 shows the whole run.
constexpr qint64 kSpans[] = {5 * 60 * 1000, 30 * 60 * 1000, 2 * 3600 * 1000, 0};
constexpr int kDefaultSpan = 0;

const QColor kOxygenColour(27, 87, 177);
const QColor kTemperatureColour(200, 90, 20);
const QColor kStableColour(18, 118, 18);
const QColor kUnstableColour(200, 17, 17);

QString Text(const std::string& s) { return QString::fromStdString(s); }

QString ReasonText(protocol::StabilityVerdict::Reason reason) {
  using R = protocol::StabilityVerdict::Reason;
  switch (reason) {
    case R::Stable: return {};
    case R::NoData: return TrendWindow::tr("无数据");
    case R::TooShort: return TrendWindow::tr("数据不足");
    case R::Gap: return TrendWindow::tr("数据中断");
    case R::UnitChanged: return TrendWindow::tr("单位已改变");
    case R::DoMoving: return TrendWindow::tr("溶解氧仍在变化");
    case R::PhaseMoving: return TrendWindow::tr("相位差仍在变化");
  }
  return {};
}

void SetPaddedRange(QValueAxis* axis, double lo, double hi, double minSpan) {
  double pad = (hi - lo) * 0.1;
  if (hi - lo < minSpan) pad = (minSpan - (hi - lo)) / 2;
  if (axis->min() != lo - pad || axis->max() != hi + pad) axis->setRange(lo - pad, hi + pad);
}

// Column of a time in a plot of columns `bucketMs` wide; columns are counted
// from 1970 so that a column keeps its number as the plot moves.
qint64 Bucket(std::int64_t ms, qint64 bucketMs) {
  return ms >= 0 ? ms / bucketMs : (ms - bucketMs + 1) / bucketMs;
}

// A plot rebuilds itself once it holds this many points per pixel column
// (a rebuild leaves at most four), which bounds what each new point costs
// the chart.
constexpr int kMaxPlottedPerColumn = 6;
// More new points than this at once (the window was hidden) are plotted by a
// rebuild from the store rather than one by one.
constexpr std::uint64_t kMaxAppendedAtOnce = 256;

}  // namespace

TrendWindow::TrendWindow(const TrendStore& store, QWidget* parent) : QWidget(parent, Qt::Window), m_store(store) {
  setObjectName(QStringLiteral("trendWindow"));
  setWindowTitle(tr("趋势图"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(820, 520);

  m_oxygen = new QLineSeries;
  m_oxygen->setName(tr("溶解氧"));
  m_oxygen->setColor(kOxygenColour);
  m_temperature = new QLineSeries;
  m_temperature->setName(tr("温度"));
  m_temperature->setColor(kTemperatureColour);

  m_oxygenLine.series = m_oxygen;
  m_oxygenLine.value = &TrendPoint::oxygen;
  m_temperatureLine.series = m_temperature;
  m_temperatureLine.value = &TrendPoint::temperature;

  m_chart = new QChart;
  m_chart->addSeries(m_oxygen);
  m_chart->addSeries(m_temperature);
  m_chart->legend()->setAlignment(Qt::AlignBottom);

  m_timeAxis = new QDateTimeAxis;
  m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
  m_timeAxis->setTitleText(tr("时间"));
  m_timeAxis->setTickCount(6);
  m_oxygenAxis = new QValueAxis;
  m_oxygenAxis->setTitleText(tr("溶解氧 (mg/L)"));
  m_oxygenAxis->setLabelsColor(kOxygenColour);
  m_oxygenAxis->setLabelFormat(QStringLiteral("%.2f"));
  m_temperatureAxis = new QValueAxis;
  m_temperatureAxis->setTitleText(tr("温度 (℃)"));
  m_temperatureAxis->setLabelsColor(kTemperatureColour);
  m_temperatureAxis->setLabelFormat(QStringLiteral("%.2f"));
  m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
  m_chart->addAxis(m_oxygenAxis, Qt::AlignLeft);
  m_chart->addAxis(m_temperatureAxis, Qt::AlignRight);
  m_oxygen->attachAxis(m_timeAxis);
  m_oxygen->attachAxis(m_oxygenAxis);
  m_temperature->attachAxis(m_timeAxis);
  m_temperature->attachAxis(m_temperatureAxis);
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(now - 60000), QDateTime::fromMSecsSinceEpoch(now));
  m_oxygenAxis->setRange(0, 10);
  m_temperatureAxis->setRange(0, 40);

  m_view = new QChartView(m_chart, this);
  m_view->setObjectName(QStringLiteral("chartView"));
  m_view->setRenderHint(QPainter::Antialiasing);
  // Dragging a band zooms into that time span; the right button zooms out.
  m_view->setRubberBand(QChartView::HorizontalRubberBand);
  m_view->viewport()->installEventFilter(this);
  // A zoom by the operator: stop following and plot the new range once the
  // zoom is done.
  connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, [this] {
    if (m_settingRange) return;
    m_following = false;
    if (m_replotQueued) return;
    m_replotQueued = true;
    QMetaObject::invokeMethod(this, [this] {
      m_replotQueued = false;
      Replot();
    }, Qt::QueuedConnection);
  });

  m_valueLabel = new QLabel(tr("溶解氧: -   温度: -"), this);
  m_valueLabel->setObjectName(QStringLiteral("valueLabel"));
  m_stabilityLabel = new QLabel(tr("未稳定"), this);
  m_stabilityLabel->setObjectName(QStringLiteral("stabilityLabel"));
  QFont strong = m_stabilityLabel->font();
  strong.setBold(true);
  strong.setPointSizeF(strong.pointSizeF() * 1.3);
  m_stabilityLabel->setFont(strong);
  m_stabilityDetail = new QLabel(this);
  m_stabilityDetail->setObjectName(QStringLiteral("stabilityDetail"));

  m_span = new QComboBox(this);
  m_span->setObjectName(QStringLiteral("spanList"));
  m_span->addItems({tr("5 分钟"), tr("30 分钟"), tr("2 小时"),
                    tr("全部")});
  m_span->setCurrentIndex(kDefaultSpan);
  m_pause = new QPushButton(tr("暂停"), this);
  m_pause->setObjectName(QStringLiteral("pauseButton"));
  m_pause->setCheckable(true);
  m_resetZoom = new QPushButton(tr("复位缩放"), this);
  m_resetZoom->setObjectName(QStringLiteral("resetZoomButton"));
  connect(m_pause, &QPushButton::toggled, this, [this](bool on) {
    m_pause->setText(on ? tr("继续") : tr("暂停"));
    if (!on) UpdateRanges(true);
  });
  connect(m_resetZoom, &QPushButton::clicked, this, &TrendWindow::ResetZoom);
  connect(m_span, &QComboBox::currentIndexChanged, this, [this] { ResetZoom(); });

  auto* top = new QHBoxLayout;
  top->addWidget(m_valueLabel, 1);
  top->addWidget(new QLabel(tr("稳定性:"), this));
  top->addWidget(m_stabilityLabel);
  auto* controls = new QHBoxLayout;
  controls->addWidget(m_stabilityDetail, 1);
  controls->addWidget(new QLabel(tr("显示范围:"), this));
  controls->addWidget(m_span);
  controls->addWidget(m_pause);
  controls->addWidget(m_resetZoom);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(controls);
  layout->addWidget(m_view, 1);

  ShowStability(protocol::StabilityVerdict{}, protocol::StabilityMonitor::kDefaultWindowMs);
}

void TrendWindow::ShowReply(const QByteArray& reply) {
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  const protocol::SensorReading r = protocol::DecodePollReply(bytes);
  const protocol::ShownReading s = protocol::ShowReading(r);
  m_oxygenAxis->setTitleText(tr("溶解氧 (%1)").arg(QString::fromUtf8(protocol::UnitText(r.unit))));
  m_valueLabel->setText(tr("溶解氧: %1 %2   温度: %3 ℃   相位差: %4°   状态: %5")
                            .arg(Text(s.doValue), Text(s.unit), Text(s.temperature), Text(s.phaseDiff),
                                 Text(s.status)));
}

void TrendWindow::ShowStability(const protocol::StabilityVerdict& verdict, qint64 windowMs) {
  m_stabilityLabel->setText(ui::SensorText(protocol::StabilityText(verdict)));
  QPalette palette = m_stabilityLabel->palette();
  palette.setColor(QPalette::WindowText, verdict.stable ? kStableColour : kUnstableColour);
  m_stabilityLabel->setPalette(palette);
  const QString unit = QString::fromUtf8(protocol::UnitText(verdict.unit));
  QString detail = tr("近 %1 秒: ").arg(windowMs / 1000);
  if (verdict.samples == 0) {
    detail += ReasonText(verdict.reason);
  } else {
    detail += tr("溶解氧波动 %1 %2, 相位差波动 %3°")
                  .arg(QString::number(verdict.doSpread, 'f', 3), unit, QString::number(verdict.phaseSpread, 'f', 3));
    if (!verdict.stable) detail += QStringLiteral(" (%1)").arg(ReasonText(verdict.reason));
  }
  m_stabilityDetail->setText(detail);
}

void TrendWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  CatchUp();
}

bool TrendWindow::Following() const { return m_following && !m_pause->isChecked(); }

int TrendWindow::PlotColumns() const {
  // Before the first layout the view has no width of its own yet.
  const int width = m_chart->plotArea().width() > 0 ? static_cast<int>(m_chart->plotArea().width()) : m_view->width();
  return std::max(width, 400);
}

void TrendWindow::CatchUp() {
  const std::uint64_t end = m_store.EndSeq();
  if (end == m_taken) return;
  const bool following = Following();
  if (end - m_taken > kMaxAppendedAtOnce || m_taken < m_store.FirstSeq()) {
    m_taken = end;
    UpdateRanges(true);
    if (!following) Replot();
    return;
  }
  // Points beyond the right edge of a still view stay in the store until the
  // view moves; a following view takes every one. Each line is edited as a
  // list and handed to the chart once: every change the chart sees costs it
  // a pass over all the points it holds.
  const double shownTo = static_cast<double>(m_timeAxis->max().toMSecsSinceEpoch());
  QList<QPointF> oxygen = m_oxygen->points();
  QList<QPointF> temperature = m_temperature->points();
  for (std::uint64_t seq = m_taken; seq < end; ++seq) {
    const double ms = static_cast<double>(m_store.AtSeq(seq).ms);
    if (following || ms <= shownTo) {
      Append(m_oxygenLine, oxygen, seq);
      Append(m_temperatureLine, temperature, seq);
    }
    TrackExtremes(m_oxygenLine, seq);
    TrackExtremes(m_temperatureLine, seq);
  }
  m_taken = end;
  // Points that dropped out of the store leave the plot too, and so do those
  // that scrolled off the left edge of a following view.
  double from = 0, to = 0;
  const bool moving = following && FollowRange(&from, &to);
  const double keepFrom = moving ? from : static_cast<double>(m_store.AtSeq(m_store.FirstSeq()).ms);
  TrimBefore(m_oxygenLine, oxygen, keepFrom);
  TrimBefore(m_temperatureLine, temperature, keepFrom);
  m_oxygen->replace(oxygen);
  m_temperature->replace(temperature);
  if (moving) UpdateRanges(false);
  const int most = kMaxPlottedPerColumn * PlotColumns();
  if (m_oxygen->count() > most || m_temperature->count() > most) Replot();
}

bool TrendWindow::FollowRange(double* from, double* to) const {
  if (m_store.Size() == 0) return false;
  const double newest = static_cast<double>(m_store.AtSeq(m_store.EndSeq() - 1).ms);
  const double oldest = static_cast<double>(m_store.AtSeq(m_store.FirstSeq()).ms);
  const qint64 span = kSpans[std::clamp(m_span->currentIndex(), 0, 3)];
  *from = span == 0 ? oldest : std::max(oldest, newest - static_cast<double>(span));
  *to = newest;
  if (*to - *from < 60000) *from = *to - 60000;  // at least a minute on screen
  return true;
}

void TrendWindow::UpdateRanges(bool replot) {
  double from = 0, to = 0;
  if (!Following() || !FollowRange(&from, &to)) return;
  m_settingRange = true;
  m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(from)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(to)));
  m_settingRange = false;
  if (replot) {
    Replot();
    return;
  }
  UpdateValueAxes(m_store.SeqAtOrAfter(static_cast<std::int64_t>(std::ceil(from))));
}

void TrendWindow::UpdateValueAxes(std::uint64_t fromSeq) {
  struct Axis {
    Line* line;
    QValueAxis* axis;
    double minSpan;
  };
  for (const Axis& a : {Axis{&m_oxygenLine, m_oxygenAxis, 0.1}, Axis{&m_temperatureLine, m_temperatureAxis, 0.5}}) {
    Line& line = *a.line;
    while (!line.lows.empty() && line.lows.front() < fromSeq) line.lows.pop_front();
    while (!line.highs.empty() && line.highs.front() < fromSeq) line.highs.pop_front();
    if (line.lows.empty()) continue;
    SetPaddedRange(a.axis, m_store.AtSeq(line.lows.front()).*line.value, m_store.AtSeq(line.highs.front()).*line.value,
                   a.minSpan);
  }
}

void TrendWindow::TrackExtremes(Line& line, std::uint64_t seq) {
  // Candidates that dropped out of the store go first: their slots now hold newer points.
  while (!line.lows.empty() && line.lows.front() < m_store.FirstSeq()) line.lows.pop_front();
  while (!line.highs.empty() && line.highs.front() < m_store.FirstSeq()) line.highs.pop_front();
  const double v = m_store.AtSeq(seq).*line.value;
  if (!std::isfinite(v)) return;
  while (!line.lows.empty() && m_store.AtSeq(line.lows.back()).*line.value >= v) line.lows.pop_back();
  line.lows.push_back(seq);
  while (!line.highs.empty() && m_store.AtSeq(line.highs.back()).*line.value <= v) line.highs.pop_back();
  line.highs.push_back(seq);
}

void TrendWindow::Replot() {
  m_taken = m_store.EndSeq();
  const double from = static_cast<double>(m_timeAxis->min().toMSecsSinceEpoch());
  const double to = static_cast<double>(m_timeAxis->max().toMSecsSinceEpoch());
  const int columns = PlotColumns();
  // One point beyond either edge, so the line runs to the edges of the plot.
  std::uint64_t first = m_store.SeqAtOrAfter(static_cast<std::int64_t>(std::ceil(from)));
  if (first > m_store.FirstSeq()) --first;
  std::uint64_t last = m_store.SeqAtOrAfter(static_cast<std::int64_t>(std::floor(to)) + 1);
  if (Following()) last = m_store.EndSeq();
  if (last < m_store.EndSeq()) ++last;
  const qint64 bucketMs =
      last - first > static_cast<std::uint64_t>(2 * columns) ? std::max<qint64>(1, static_cast<qint64>((to - from) / columns)) : 0;
  for (Line* line : {&m_oxygenLine, &m_temperatureLine}) {
    Plot(*line, first, last, bucketMs);
    line->lows.clear();
    line->highs.clear();
  }
  const std::uint64_t fromSeq = m_store.SeqAtOrAfter(static_cast<std::int64_t>(std::ceil(from)));
  for (std::uint64_t seq = fromSeq; seq < m_store.EndSeq(); ++seq) {
    TrackExtremes(m_oxygenLine, seq);
    TrackExtremes(m_temperatureLine, seq);
  }
  if (Following()) UpdateValueAxes(fromSeq);
}

// What a pixel column of the points numbered [first, end) shows: its first
// and last point (so the line runs on into the next column as it should) and
// its lowest and highest value, each point once, in time order.
QList<QPointF> TrendWindow::ColumnPoints(const Line& line, std::uint64_t first, std::uint64_t end) const {
  first = std::max(first, m_store.FirstSeq());
  std::uint64_t low = first, high = first;
  for (std::uint64_t s = first; s < end; ++s) {
    const double v = m_store.AtSeq(s).*line.value;
    if (!std::isfinite(v)) continue;
    const double lowValue = m_store.AtSeq(low).*line.value, highValue = m_store.AtSeq(high).*line.value;
    if (!std::isfinite(lowValue) || v < lowValue) low = s;
    if (!std::isfinite(highValue) || v > highValue) high = s;
  }
  std::uint64_t picked[] = {first, low, high, end - 1};
  std::sort(std::begin(picked), std::end(picked));
  QList<QPointF> column;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0 && picked[i] == picked[i - 1]) continue;
    const TrendPoint& q = m_store.AtSeq(picked[i]);
    column.append(QPointF(static_cast<double>(q.ms), q.*line.value));
  }
  return column;
}

void TrendWindow::Plot(Line& line, std::uint64_t fromSeq, std::uint64_t toSeq, qint64 bucketMs) {
  line.bucketMs = bucketMs;
  line.bucketPlotted = 0;
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(std::min<std::uint64_t>(toSeq - fromSeq, 4096)));
  if (bucketMs == 0) {
    for (std::uint64_t seq = fromSeq; seq < toSeq; ++seq) {
      const TrendPoint& p = m_store.AtSeq(seq);
      points.append(QPointF(static_cast<double>(p.ms), p.*line.value));
    }
  } else {
    std::uint64_t seq = fromSeq;
    while (seq < toSeq) {
      const qint64 bucket = Bucket(m_store.AtSeq(seq).ms, bucketMs);
      std::uint64_t end = seq + 1;
      while (end < toSeq && Bucket(m_store.AtSeq(end).ms, bucketMs) == bucket) ++end;
      const QList<QPointF> column = ColumnPoints(line, seq, end);
      points.append(column);
      line.bucket = bucket;
      line.bucketFirstSeq = seq;
      line.bucketPlotted = static_cast<int>(column.size());
      seq = end;
    }
  }
  line.series->replace(points);  // one change for the chart, not one per point
}

// Adds the point numbered `seq` (newer than every point plotted) to the
// plotted `points` of `line`: as it is, or into the pixel column it falls in.
void TrendWindow::Append(Line& line, QList<QPointF>& points, std::uint64_t seq) {
  const TrendPoint& p = m_store.AtSeq(seq);
  if (line.bucketMs == 0) {
    points.append(QPointF(static_cast<double>(p.ms), p.*line.value));
    return;
  }
  const qint64 bucket = Bucket(p.ms, line.bucketMs);
  if (line.bucketPlotted == 0 || bucket != line.bucket) {
    line.bucket = bucket;
    line.bucketFirstSeq = seq;
    line.bucketPlotted = 1;
    points.append(QPointF(static_cast<double>(p.ms), p.*line.value));
    return;
  }
  const QList<QPointF> column = ColumnPoints(line, line.bucketFirstSeq, seq + 1);
  points.remove(points.size() - line.bucketPlotted, line.bucketPlotted);
  points.append(column);
  line.bucketPlotted = static_cast<int>(column.size());
}

void TrendWindow::TrimBefore(const Line& line, QList<QPointF>& points, double ms) const {
  // Keeps the newest point before `ms`, so the line still enters from the edge,
  // unless that point has dropped out of the store.
  const double oldest = m_store.Size() ? static_cast<double>(m_store.AtSeq(m_store.FirstSeq()).ms) : 0;
  qsizetype drop = 0;
  const qsizetype count = points.size();
  while (drop < count) {
    const bool gone = points[drop].x() < oldest;
    const bool offLeft = drop + 1 < count && points[drop + 1].x() <= ms;
    if (!gone && !offLeft) break;
    ++drop;
  }
  // Never cut into the column still being filled.
  drop = std::min<qsizetype>(drop, count - line.bucketPlotted);
  if (drop > 0) points.remove(0, drop);
}

int TrendWindow::PointCount() const { return static_cast<int>(m_store.Size()); }

namespace {
QList<QPointF> StorePoints(const TrendStore& store, double TrendPoint::*value) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(store.Size()));
  for (std::uint64_t seq = store.FirstSeq(); seq < store.EndSeq(); ++seq)
    points.append(QPointF(static_cast<double>(store.AtSeq(seq).ms), store.AtSeq(seq).*value));
  return points;
}
}  // namespace

QList<QPointF> TrendWindow::OxygenPoints() const { return StorePoints(m_store, &TrendPoint::oxygen); }
QList<QPointF> TrendWindow::TemperaturePoints() const { return StorePoints(m_store, &TrendPoint::temperature); }
QList<QPointF> TrendWindow::PlottedOxygen() const { return m_oxygen->points(); }
QList<QPointF> TrendWindow::PlottedTemperature() const { return m_temperature->points(); }
QString TrendWindow::StabilityShown() const { return m_stabilityLabel->text(); }
QString TrendWindow::OxygenAxisTitle() const { return m_oxygenAxis->titleText(); }

bool TrendWindow::IsPaused() const { return m_pause->isChecked(); }
void TrendWindow::SetPaused(bool paused) { m_pause->setChecked(paused); }

void TrendWindow::ResetZoom() {
  m_following = true;
  UpdateRanges(true);
}

void TrendWindow::Zoom(double factor) {
  if (factor <= 0) return;
  const double from = static_cast<double>(m_timeAxis->min().toMSecsSinceEpoch());
  const double to = static_cast<double>(m_timeAxis->max().toMSecsSinceEpoch());
  const double middle = (from + to) / 2;
  const double half = std::max(500.0, (to - from) / 2 / factor);
  m_following = false;
  m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(middle - half)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(middle + half)));
}

bool TrendWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_view->viewport() && event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) Zoom(delta > 0 ? 1.25 : 0.8);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

QPair<qint64, qint64> TrendWindow::TimeRange() const {
  return {m_timeAxis->min().toMSecsSinceEpoch(), m_timeAxis->max().toMSecsSinceEpoch()};
}

}  // namespace views
