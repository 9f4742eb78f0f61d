#include "views/trend_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <cmath>
#include <limits>

#include "dialogs/dialog_support.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "views/trend_history.h"

namespace views {

namespace {

// Spans of the "显示范围" list, in ms; 0 shows the whole run.
constexpr qint64 kSpans[] = {5 * 60 * 1000, 30 * 60 * 1000, 2 * 3600 * 1000, 0};
constexpr int kDefaultSpan = 0;

const QColor kOxygenColour(27, 87, 177);
const QColor kTemperatureColour(200, 90, 20);
const QColor kStableColour(18, 118, 18);
const QColor kUnstableColour(200, 17, 17);
const QColor kImplausibleColour(220, 0, 160);

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

void SetPaddedRange(TrendPlot* plot, TrendPlot::Side side, double lo, double hi, double minSpan) {
  double pad = (hi - lo) * 0.1;
  if (hi - lo < minSpan) pad = (minSpan - (hi - lo)) / 2;
  plot->SetValueRange(side, lo - pad, hi + pad);
}

// A row of the window; `stretch` takes the width the others leave.
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, QWidget* stretch) {
  auto* row = new QHBoxLayout;
  for (QWidget* w : widgets) row->addWidget(w, w == stretch ? 1 : 0);
  return row;
}

// Column of a time in a plot of columns `bucketMs` wide; columns are counted
// from 1970 so that a column keeps its number as the plot moves.
qint64 Bucket(std::int64_t ms, qint64 bucketMs) {
  if (bucketMs <= 0) return ms;
  return ms >= 0 ? ms / bucketMs : (ms - bucketMs + 1) / bucketMs;
}

// A plot rebuilds itself once it holds this many points per pixel column
// (a rebuild leaves at most four), which bounds what each repaint costs.
constexpr int kMaxPlottedPerColumn = 6;
// More new points than this at once (the window was hidden) are plotted by a
// rebuild from the store rather than one by one.
constexpr std::uint64_t kMaxAppendedAtOnce = 256;

}  // namespace

TrendWindow::TrendWindow(const TrendStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_live(store), m_store(&store) {
  setObjectName(QStringLiteral("trendWindow"));
  setWindowTitle(tr("趋势图"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(820, 560);

  m_plot = new TrendPlot(this);
  m_plot->setObjectName(QStringLiteral("trendPlot"));
  m_plot->SetLine(TrendPlot::Left, tr("溶解氧"), kOxygenColour);
  m_plot->SetLine(TrendPlot::Right, tr("温度"), kTemperatureColour);
  m_plot->SetMarkLegend(tr("不可信读数"), kImplausibleColour);
  m_liveUnitTitle = tr("溶解氧 (mg/L)");
  m_plot->SetAxisTitle(TrendPlot::Left, m_liveUnitTitle);
  m_plot->SetAxisTitle(TrendPlot::Right, tr("温度 (℃)"));
  m_oxygenLine.side = TrendPlot::Left;
  m_oxygenLine.value = &TrendPoint::oxygen;
  m_temperatureLine.side = TrendPlot::Right;
  m_temperatureLine.value = &TrendPoint::temperature;
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  m_plot->SetTimeRange(now - 60000, now);
  m_plot->SetValueRange(TrendPlot::Left, 0, 10);
  m_plot->SetValueRange(TrendPlot::Right, 0, 40);
  // Dragging a band zooms into that time span; the right button zooms out.
  m_plot->installEventFilter(this);
  connect(m_plot, &TrendPlot::RangeChosen, this,
          [this](qint64 from, qint64 to) { ViewRange(static_cast<double>(from), static_cast<double>(to)); });
  connect(m_plot, &TrendPlot::ZoomOutAsked, this, [this] { Zoom(0.5); });

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
  m_unit = new QComboBox(this);
  m_unit->setObjectName(QStringLiteral("oxygenUnitList"));
  m_unit->addItems({tr("传感器单位"), tr("mg/L"), tr("% 饱和度")});
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
  connect(m_unit, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetOxygenUnit(static_cast<OxygenUnit>(index)); });

  // A past span of one sensor from the records.
  m_historyReader = new TrendHistory(this);
  SetHistoryDatabase(records::SavedDatabaseTarget());
  connect(m_historyReader, &TrendHistory::SerialsRead, this, &TrendWindow::ShowSerials);
  connect(m_historyReader, &TrendHistory::SpanRead, this, &TrendWindow::ShowHistory);
  m_historySerial = new QComboBox(this);
  m_historySerial->setObjectName(QStringLiteral("historySerialList"));
  m_historySerial->setMinimumContentsLength(10);
  const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
  m_historyFromEdit = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), this);
  m_historyFromEdit->setObjectName(QStringLiteral("historyFrom"));
  m_historyToEdit = new QDateTimeEdit(QDateTime::currentDateTime(), this);
  m_historyToEdit->setObjectName(QStringLiteral("historyTo"));
  for (QDateTimeEdit* edit : {m_historyFromEdit, m_historyToEdit}) {
    edit->setDisplayFormat(timeFormat);
    edit->setCalendarPopup(true);
  }
  m_historyOpen = new QPushButton(tr("打开"), this);
  m_historyOpen->setObjectName(QStringLiteral("historyOpenButton"));
  m_liveButton = new QPushButton(tr("实时"), this);
  m_liveButton->setObjectName(QStringLiteral("liveButton"));
  m_liveButton->setEnabled(false);
  m_historyStatus = new QLabel(this);
  m_historyStatus->setObjectName(QStringLiteral("historyStatus"));
  connect(m_historyOpen, &QPushButton::clicked, this, [this] {
    bool ok = false;
    const quint32 serial = m_historySerial->currentText().toUInt(&ok);
    if (!ok) {
      RefreshHistorySerials();
      return;
    }
    OpenHistory(serial, m_historyFromEdit->dateTime(), m_historyToEdit->dateTime());
  });
  connect(m_liveButton, &QPushButton::clicked, this, &TrendWindow::ShowLive);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(Row({m_valueLabel, new QLabel(tr("稳定性:"), this), m_stabilityLabel}, m_valueLabel));
  layout->addLayout(Row({m_stabilityDetail, new QLabel(tr("单位:"), this), m_unit, new QLabel(tr("显示范围:"), this),
                         m_span, m_pause, m_resetZoom},
                        m_stabilityDetail));
  layout->addLayout(Row({new QLabel(tr("历史: 序列号"), this), m_historySerial, new QLabel(tr("从"), this),
                         m_historyFromEdit, new QLabel(tr("到"), this), m_historyToEdit, m_historyOpen, m_liveButton,
                         m_historyStatus},
                        m_historyStatus));
  layout->addWidget(m_plot, 1);

  ShowStability(protocol::StabilityVerdict{}, protocol::StabilityMonitor::kDefaultWindowMs);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::ShowReply(const QByteArray& reply) {
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  const protocol::SensorReading r = protocol::DecodePollReply(bytes);
  const protocol::ShownReading s = protocol::ShowReading(r);
  m_liveUnitTitle = tr("溶解氧 (%1)").arg(QString::fromUtf8(protocol::UnitText(r.unit)));
  UpdateOxygenTitle();
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
  if (m_historySerial->count() == 0) RefreshHistorySerials();
}

bool TrendWindow::Following() const { return m_following && !m_pause->isChecked(); }

int TrendWindow::PlotColumns() const {
  return std::max(m_plot->PlotArea().width(), 400);
}

void TrendWindow::CatchUp() {
  if (ShowingHistory()) return;  // the live points are taken up on the way back
  const std::uint64_t end = m_store->EndSeq();
  if (end == m_taken) return;
  const bool following = Following();
  if (end - m_taken > kMaxAppendedAtOnce || m_taken < m_store->FirstSeq()) {
    m_taken = end;
    UpdateRanges(true);
    if (!following) Replot();
    return;
  }
  // Points beyond the right edge of a still view stay in the store until the
  // view moves; a following view takes every one. The plot's lists are
  // edited in place and painted once.
  const double shownTo = static_cast<double>(m_plot->To());
  QList<QPointF>& oxygen = m_plot->Points(TrendPlot::Left);
  QList<QPointF>& temperature = m_plot->Points(TrendPlot::Right);
  for (std::uint64_t seq = m_taken; seq < end; ++seq) {
    const double ms = static_cast<double>(m_store->AtSeq(seq).ms);
    if (following || ms <= shownTo) {
      Append(m_oxygenLine, oxygen, seq);
      Append(m_temperatureLine, temperature, seq);
      MarkIfImplausible(seq);
    }
    TrackExtremes(m_oxygenLine, seq);
    TrackExtremes(m_temperatureLine, seq);
  }
  m_taken = end;
  // Points that dropped out of the store leave the plot too, and so do those
  // that scrolled off the left edge of a following view.
  double from = 0, to = 0;
  const bool moving = following && FollowRange(&from, &to);
  const double keepFrom = moving ? from : static_cast<double>(m_store->AtSeq(m_store->FirstSeq()).ms);
  TrimBefore(m_oxygenLine, oxygen, keepFrom);
  TrimBefore(m_temperatureLine, temperature, keepFrom);
  QList<TrendPlot::Mark>& marks = m_plot->Marks();
  qsizetype gone = 0;
  while (gone < marks.size() && marks[gone].at.x() < keepFrom) ++gone;
  if (gone > 0) marks.remove(0, gone);
  m_plot->update();
  if (moving) UpdateRanges(false);
  const int most = kMaxPlottedPerColumn * PlotColumns();
  if (oxygen.size() > most || temperature.size() > most) Replot();
}

bool TrendWindow::FollowRange(double* from, double* to) const {
  if (m_store->Size() == 0) return false;
  const double newest = static_cast<double>(m_store->AtSeq(m_store->EndSeq() - 1).ms);
  const double oldest = static_cast<double>(m_store->AtSeq(m_store->FirstSeq()).ms);
  const qint64 span = kSpans[std::clamp(m_span->currentIndex(), 0, 3)];
  *from = span == 0 ? oldest : std::max(oldest, newest - static_cast<double>(span));
  *to = newest;
  if (*to - *from < 60000) *from = *to - 60000;  // at least a minute on screen
  return true;
}

void TrendWindow::UpdateRanges(bool replot) {
  double from = 0, to = 0;
  if (!Following() || !FollowRange(&from, &to)) return;
  m_plot->SetTimeRange(static_cast<qint64>(from), static_cast<qint64>(to));
  if (replot) {
    Replot();
    return;
  }
  UpdateValueAxes(m_store->SeqAtOrAfter(static_cast<std::int64_t>(std::ceil(from))));
}

void TrendWindow::UpdateValueAxes(std::uint64_t fromSeq) {
  struct Axis {
    Line* line;
    double minSpan;
  };
  for (const Axis& a : {Axis{&m_oxygenLine, 0.1}, Axis{&m_temperatureLine, 0.5}}) {
    Line& line = *a.line;
    while (!line.lows.empty() && line.lows.front() < fromSeq) line.lows.pop_front();
    while (!line.highs.empty() && line.highs.front() < fromSeq) line.highs.pop_front();
    if (line.lows.empty()) continue;
    SetPaddedRange(m_plot, line.side, m_store->AtSeq(line.lows.front()).*line.value, m_store->AtSeq(line.highs.front()).*line.value,
                   a.minSpan);
  }
}

void TrendWindow::TrackExtremes(Line& line, std::uint64_t seq) {
  // Candidates that dropped out of the store go first: their slots now hold newer points.
  while (!line.lows.empty() && line.lows.front() < m_store->FirstSeq()) line.lows.pop_front();
  while (!line.highs.empty() && line.highs.front() < m_store->FirstSeq()) line.highs.pop_front();
  const double v = m_store->AtSeq(seq).*line.value;
  if (!std::isfinite(v)) return;
  while (!line.lows.empty() && m_store->AtSeq(line.lows.back()).*line.value >= v) line.lows.pop_back();
  line.lows.push_back(seq);
  while (!line.highs.empty() && m_store->AtSeq(line.highs.back()).*line.value <= v) line.highs.pop_back();
  line.highs.push_back(seq);
}

void TrendWindow::Replot() {
  m_taken = m_store->EndSeq();
  const double from = static_cast<double>(m_plot->From());
  const double to = static_cast<double>(m_plot->To());
  const int columns = PlotColumns();
  // One point beyond either edge, so the line runs to the edges of the plot.
  std::uint64_t first = m_store->SeqAtOrAfter(static_cast<std::int64_t>(std::ceil(from)));
  if (first > m_store->FirstSeq()) --first;
  std::uint64_t last = m_store->SeqAtOrAfter(static_cast<std::int64_t>(std::floor(to)) + 1);
  if (Following()) last = m_store->EndSeq();
  if (last < m_store->EndSeq()) ++last;
  const qint64 bucketMs =
      last - first > static_cast<std::uint64_t>(2 * columns) ? std::max<qint64>(1, static_cast<qint64>((to - from) / columns)) : 0;
  for (Line* line : {&m_oxygenLine, &m_temperatureLine}) {
    Plot(*line, first, last, bucketMs);
    line->lows.clear();
    line->highs.clear();
  }
  m_plot->Marks().clear();
  for (std::uint64_t seq = first; seq < last; ++seq) MarkIfImplausible(seq);
  m_plot->update();
  const std::uint64_t fromSeq = m_store->SeqAtOrAfter(static_cast<std::int64_t>(std::ceil(from)));
  for (std::uint64_t seq = fromSeq; seq < m_store->EndSeq(); ++seq) {
    TrackExtremes(m_oxygenLine, seq);
    TrackExtremes(m_temperatureLine, seq);
  }
  if (Following()) UpdateValueAxes(fromSeq);
}

// What a pixel column of the points numbered [first, end) shows: its first
// and last point (so the line runs on into the next column as it should) and
// its lowest and highest value, each point once, in time order.
QList<QPointF> TrendWindow::ColumnPoints(const Line& line, std::uint64_t first, std::uint64_t end) const {
  first = std::max(first, m_store->FirstSeq());
  std::uint64_t low = first, high = first;
  for (std::uint64_t s = first; s < end; ++s) {
    const double v = m_store->AtSeq(s).*line.value;
    if (!std::isfinite(v)) continue;
    const double lowValue = m_store->AtSeq(low).*line.value, highValue = m_store->AtSeq(high).*line.value;
    if (!std::isfinite(lowValue) || v < lowValue) low = s;
    if (!std::isfinite(highValue) || v > highValue) high = s;
  }
  std::uint64_t picked[] = {first, low, high, end - 1};
  std::sort(std::begin(picked), std::end(picked));
  QList<QPointF> column;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0 && picked[i] == picked[i - 1]) continue;
    const TrendPoint& q = m_store->AtSeq(picked[i]);
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
      const TrendPoint& p = m_store->AtSeq(seq);
      points.append(QPointF(static_cast<double>(p.ms), p.*line.value));
    }
  } else {
    std::uint64_t seq = fromSeq;
    while (seq < toSeq) {
      const qint64 bucket = Bucket(m_store->AtSeq(seq).ms, bucketMs);
      std::uint64_t end = seq + 1;
      while (end < toSeq && Bucket(m_store->AtSeq(end).ms, bucketMs) == bucket) ++end;
      const QList<QPointF> column = ColumnPoints(line, seq, end);
      points.append(column);
      line.bucket = bucket;
      line.bucketFirstSeq = seq;
      line.bucketPlotted = static_cast<int>(column.size());
      seq = end;
    }
  }
  m_plot->Points(line.side) = std::move(points);
}

// Adds the point numbered `seq` (newer than every point plotted) to the
// plotted `points` of `line`: as it is, or into the pixel column it falls in.
void TrendWindow::Append(Line& line, QList<QPointF>& points, std::uint64_t seq) {
  const TrendPoint& p = m_store->AtSeq(seq);
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
  const double oldest = m_store->Size() ? static_cast<double>(m_store->AtSeq(m_store->FirstSeq()).ms) : 0;
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

int TrendWindow::PointCount() const { return static_cast<int>(m_store->Size()); }

namespace {
QList<QPointF> StorePoints(const TrendStore& store, double TrendPoint::*value) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(store.Size()));
  for (std::uint64_t seq = store.FirstSeq(); seq < store.EndSeq(); ++seq)
    points.append(QPointF(static_cast<double>(store.AtSeq(seq).ms), store.AtSeq(seq).*value));
  return points;
}
}  // namespace

QList<QPointF> TrendWindow::OxygenPoints() const { return StorePoints(*m_store, m_oxygenLine.value); }
QList<QPointF> TrendWindow::TemperaturePoints() const { return StorePoints(*m_store, &TrendPoint::temperature); }
QList<QPointF> TrendWindow::PlottedOxygen() const { return m_plot->Points(TrendPlot::Left); }
QList<QPointF> TrendWindow::PlottedTemperature() const { return m_plot->Points(TrendPlot::Right); }
QString TrendWindow::StabilityShown() const { return m_stabilityLabel->text(); }
QString TrendWindow::OxygenAxisTitle() const { return m_plot->AxisTitle(TrendPlot::Left); }

bool TrendWindow::IsPaused() const { return m_pause->isChecked(); }
void TrendWindow::SetPaused(bool paused) { m_pause->setChecked(paused); }

void TrendWindow::ResetZoom() {
  m_following = true;
  UpdateRanges(true);
}

void TrendWindow::Zoom(double factor) {
  if (factor <= 0) return;
  const double from = static_cast<double>(m_plot->From());
  const double to = static_cast<double>(m_plot->To());
  const double middle = (from + to) / 2;
  const double half = std::max(500.0, (to - from) / 2 / factor);
  ViewRange(middle - half, middle + half);
}

void TrendWindow::ViewRange(double from, double to) {
  m_following = false;
  m_plot->SetTimeRange(static_cast<qint64>(from), static_cast<qint64>(to));
  // Plotted once the zoom is done: a wheel turn sends several steps.
  if (m_replotQueued) return;
  m_replotQueued = true;
  QMetaObject::invokeMethod(this, [this] {
    m_replotQueued = false;
    Replot();
  }, Qt::QueuedConnection);
}

bool TrendWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_plot && event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta != 0) Zoom(delta > 0 ? 1.25 : 0.8);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

QPair<qint64, qint64> TrendWindow::TimeRange() const {
  return {m_plot->From(), m_plot->To()};
}

// ---- Both units and the implausible readings ----

void TrendWindow::MarkIfImplausible(std::uint64_t seq) {
  const TrendPoint& p = m_store->AtSeq(seq);
  if (!p.Implausible()) return;
  const double y = p.*m_oxygenLine.value;
  if (!std::isfinite(y)) return;
  QList<TrendPlot::Mark>& marks = m_plot->Marks();
  // One mark per pixel column: more could not be told apart on screen.
  const qint64 bucketMs = m_oxygenLine.bucketMs;
  if (bucketMs > 0 && !marks.isEmpty() &&
      Bucket(static_cast<std::int64_t>(marks.last().at.x()), bucketMs) == Bucket(p.ms, bucketMs))
    return;
  marks.append({QPointF(static_cast<double>(p.ms), y), MarkText(p)});
}

QString TrendWindow::MarkText(const TrendPoint& p) const {
  return tr("%1 不可信: %2\n%3 mg/L = %4 %")
      .arg(QDateTime::fromMSecsSinceEpoch(p.ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
           ui::SensorText(protocol::PlausibilityText(p.plausibility)), QString::number(p.mgPerL, 'f', 2),
           QString::number(p.saturation, 'f', 1));
}

QList<QPointF> TrendWindow::ImplausibleMarks() const {
  QList<QPointF> at;
  for (const TrendPlot::Mark& m : m_plot->Marks()) at.append(m.at);
  return at;
}

QString TrendWindow::ImplausibleText(int index) const {
  const QList<TrendPlot::Mark>& marks = m_plot->Marks();
  return index >= 0 && index < marks.size() ? marks[index].text : QString();
}

void TrendWindow::SetOxygenUnit(OxygenUnit unit) {
  if (m_unit->currentIndex() != static_cast<int>(unit)) {
    m_unit->setCurrentIndex(static_cast<int>(unit));  // comes back here through the list's signal
    return;
  }
  switch (unit) {
    case OxygenUnit::AsSent: m_oxygenLine.value = &TrendPoint::oxygen; break;
    case OxygenUnit::MgPerL: m_oxygenLine.value = &TrendPoint::mgPerL; break;
    case OxygenUnit::Saturation: m_oxygenLine.value = &TrendPoint::saturation; break;
  }
  UpdateOxygenTitle();
  Replot();
  // The values are new, so is their range, whether following or not.
  UpdateValueAxes(m_store->SeqAtOrAfter(m_plot->From()));
}

void TrendWindow::UpdateOxygenTitle() {
  switch (static_cast<OxygenUnit>(m_unit->currentIndex())) {
    case OxygenUnit::AsSent:
      m_plot->SetAxisTitle(TrendPlot::Left, ShowingHistory() ? m_historyUnitTitle : m_liveUnitTitle);
      break;
    case OxygenUnit::MgPerL:
      m_plot->SetAxisTitle(TrendPlot::Left, tr("溶解氧 (%1)").arg(QString::fromUtf8(protocol::UnitText(1))));
      break;
    case OxygenUnit::Saturation:
      m_plot->SetAxisTitle(TrendPlot::Left, tr("溶解氧 (%1)").arg(QString::fromUtf8(protocol::UnitText(0))));
      break;
  }
}

// ---- A past span from the records ----

void TrendWindow::SetHistoryDatabase(const records::DatabaseTarget& target) { m_historyReader->SetTarget(target); }

bool TrendWindow::HistoryBusy() const { return m_historyReader->Busy(); }

void TrendWindow::RefreshHistorySerials() {
  if (m_historyReader->Busy()) return;
  m_historyReader->AskSerials();
}

void TrendWindow::ShowSerials(const QList<quint32>& serials, const QString& error) {
  const QString chosen = m_historySerial->currentText();
  m_historySerial->clear();
  for (quint32 serial : serials) m_historySerial->addItem(QString::number(serial));
  const int again = m_historySerial->findText(chosen);
  if (again >= 0) m_historySerial->setCurrentIndex(again);
  if (!error.isEmpty()) m_historyStatus->setText(error);
}

void TrendWindow::OpenHistory(quint32 serial, const QDateTime& from, const QDateTime& to) {
  if (m_historyReader->Busy()) return;
  if (!(from < to)) {
    m_historyStatus->setText(tr("开始时间须早于结束时间"));
    return;
  }
  m_historyFrom = from;
  m_historyTo = to;
  m_historyOpen->setEnabled(false);
  m_historyStatus->setText(tr("正在读取序列号 %1 的记录…").arg(serial));
  m_historyReader->AskSpan(serial, from, to);
}

void TrendWindow::ShowHistory(const std::vector<TrendPoint>& points, bool cut, const QString& error) {
  m_historyOpen->setEnabled(true);
  if (!error.isEmpty()) {
    m_historyStatus->setText(error);
    return;
  }
  if (points.empty()) {
    m_historyStatus->setText(tr("这段时间没有读数"));
    return;
  }
  m_history = std::make_unique<TrendStore>(points.size());
  int implausible = 0;
  for (const TrendPoint& p : points) {
    m_history->Add(p);
    if (p.Implausible()) ++implausible;
  }
  m_store = m_history.get();
  m_liveButton->setEnabled(true);
  m_historyUnitTitle = tr("溶解氧 (%1)").arg(QString::fromUtf8(protocol::UnitText(points.back().unit)));
  UpdateOxygenTitle();
  QString status = tr("历史: %1 个读数, %2 个不可信").arg(points.size()).arg(implausible);
  if (cut) status += tr(" (只显示前 %1 个)").arg(points.size());
  m_historyStatus->setText(status);
  m_following = false;
  m_plot->SetTimeRange(m_historyFrom.toMSecsSinceEpoch(), m_historyTo.toMSecsSinceEpoch());
  Replot();
  UpdateValueAxes(m_store->FirstSeq());
}

void TrendWindow::ShowLive() {
  if (!ShowingHistory()) return;
  m_store = &m_live;
  m_history.reset();
  m_liveButton->setEnabled(false);
  m_historyStatus->clear();
  m_plot->Points(TrendPlot::Left).clear();
  m_plot->Points(TrendPlot::Right).clear();
  m_plot->Marks().clear();
  m_plot->update();
  m_taken = m_store->EndSeq();
  UpdateOxygenTitle();
  ResetZoom();
}

}  // namespace views
