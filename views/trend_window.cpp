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
#include <cmath>
#include <limits>

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
    case R::NoData: return QStringLiteral("无数据");
    case R::TooShort: return QStringLiteral("数据不足");
    case R::Gap: return QStringLiteral("数据中断");
    case R::UnitChanged: return QStringLiteral("单位已改变");
    case R::DoMoving: return QStringLiteral("溶解氧仍在变化");
    case R::PhaseMoving: return QStringLiteral("相位差仍在变化");
  }
  return {};
}

// min and max of the y values of `points` with x in [from, to].
bool YRange(const QList<QPointF>& points, double from, double to, double* lo, double* hi) {
  bool any = false;
  for (const QPointF& p : points) {
    if (p.x() < from || p.x() > to || !std::isfinite(p.y())) continue;
    if (!any) *lo = *hi = p.y();
    *lo = std::min(*lo, p.y());
    *hi = std::max(*hi, p.y());
    any = true;
  }
  return any;
}

void SetPaddedRange(QValueAxis* axis, double lo, double hi, double minSpan) {
  double pad = (hi - lo) * 0.1;
  if (hi - lo < minSpan) pad = (minSpan - (hi - lo)) / 2;
  axis->setRange(lo - pad, hi + pad);
}

}  // namespace

TrendWindow::TrendWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("trendWindow"));
  setWindowTitle(QStringLiteral("趋势图"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(820, 520);

  m_oxygen = new QLineSeries;
  m_oxygen->setName(QStringLiteral("溶解氧"));
  m_oxygen->setColor(kOxygenColour);
  m_temperature = new QLineSeries;
  m_temperature->setName(QStringLiteral("温度"));
  m_temperature->setColor(kTemperatureColour);

  m_chart = new QChart;
  m_chart->addSeries(m_oxygen);
  m_chart->addSeries(m_temperature);
  m_chart->legend()->setAlignment(Qt::AlignBottom);

  m_timeAxis = new QDateTimeAxis;
  m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
  m_timeAxis->setTitleText(QStringLiteral("时间"));
  m_timeAxis->setTickCount(6);
  m_oxygenAxis = new QValueAxis;
  m_oxygenAxis->setTitleText(QStringLiteral("溶解氧 (mg/L)"));
  m_oxygenAxis->setLabelsColor(kOxygenColour);
  m_oxygenAxis->setLabelFormat(QStringLiteral("%.2f"));
  m_temperatureAxis = new QValueAxis;
  m_temperatureAxis->setTitleText(QStringLiteral("温度 (℃)"));
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
  connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, [this] {
    if (!m_settingRange) m_following = false;
  });

  m_valueLabel = new QLabel(QStringLiteral("溶解氧: -   温度: -"), this);
  m_valueLabel->setObjectName(QStringLiteral("valueLabel"));
  m_stabilityLabel = new QLabel(QStringLiteral("未稳定"), this);
  m_stabilityLabel->setObjectName(QStringLiteral("stabilityLabel"));
  QFont strong = m_stabilityLabel->font();
  strong.setBold(true);
  strong.setPointSizeF(strong.pointSizeF() * 1.3);
  m_stabilityLabel->setFont(strong);
  m_stabilityDetail = new QLabel(this);
  m_stabilityDetail->setObjectName(QStringLiteral("stabilityDetail"));

  m_span = new QComboBox(this);
  m_span->setObjectName(QStringLiteral("spanList"));
  m_span->addItems({QStringLiteral("5 分钟"), QStringLiteral("30 分钟"), QStringLiteral("2 小时"),
                    QStringLiteral("全部")});
  m_span->setCurrentIndex(kDefaultSpan);
  m_pause = new QPushButton(QStringLiteral("暂停"), this);
  m_pause->setObjectName(QStringLiteral("pauseButton"));
  m_pause->setCheckable(true);
  m_resetZoom = new QPushButton(QStringLiteral("复位缩放"), this);
  m_resetZoom->setObjectName(QStringLiteral("resetZoomButton"));
  connect(m_pause, &QPushButton::toggled, this, [this](bool on) {
    m_pause->setText(on ? QStringLiteral("继续") : QStringLiteral("暂停"));
    if (!on) UpdateRanges();
  });
  connect(m_resetZoom, &QPushButton::clicked, this, &TrendWindow::ResetZoom);
  connect(m_span, &QComboBox::currentIndexChanged, this, [this] { ResetZoom(); });

  auto* top = new QHBoxLayout;
  top->addWidget(m_valueLabel, 1);
  top->addWidget(new QLabel(QStringLiteral("稳定性:"), this));
  top->addWidget(m_stabilityLabel);
  auto* controls = new QHBoxLayout;
  controls->addWidget(m_stabilityDetail, 1);
  controls->addWidget(new QLabel(QStringLiteral("显示范围:"), this));
  controls->addWidget(m_span);
  controls->addWidget(m_pause);
  controls->addWidget(m_resetZoom);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(controls);
  layout->addWidget(m_view, 1);

  ShowStability(protocol::StabilityVerdict{}, protocol::StabilityMonitor::kDefaultWindowMs);
}

void TrendWindow::AddReply(const QByteArray& reply, qint64 epochMs) {
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  const protocol::SensorReading r = protocol::DecodePollReply(bytes);
  // The values as the main window shows them.
  const double x = static_cast<double>(epochMs);
  m_oxygen->append(x, protocol::DoValueShown(r.doValue));
  m_temperature->append(x, protocol::CutTo2Decimals(r.temperature));
  if (m_oxygen->count() > kMaxPoints) {
    const int drop = m_oxygen->count() - kMaxPoints;
    m_oxygen->removePoints(0, drop);
    m_temperature->removePoints(0, drop);
  }
  m_oxygenAxis->setTitleText(QStringLiteral("溶解氧 (%1)").arg(QString::fromUtf8(protocol::UnitText(r.unit))));
  UpdateHeader(reply);
  UpdateRanges();
}

void TrendWindow::UpdateHeader(const QByteArray& reply) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  const protocol::ShownReading s = protocol::ShowReading(protocol::DecodePollReply(bytes));
  m_valueLabel->setText(QStringLiteral("溶解氧: %1 %2   温度: %3 ℃   相位差: %4°   状态: %5")
                            .arg(Text(s.doValue), Text(s.unit), Text(s.temperature), Text(s.phaseDiff),
                                 Text(s.status)));
}

void TrendWindow::ShowStability(const protocol::StabilityVerdict& verdict, qint64 windowMs) {
  m_stabilityLabel->setText(QString::fromUtf8(protocol::StabilityText(verdict)));
  QPalette palette = m_stabilityLabel->palette();
  palette.setColor(QPalette::WindowText, verdict.stable ? kStableColour : kUnstableColour);
  m_stabilityLabel->setPalette(palette);
  const QString unit = QString::fromUtf8(protocol::UnitText(verdict.unit));
  QString detail = QStringLiteral("近 %1 秒: ").arg(windowMs / 1000);
  if (verdict.samples == 0) {
    detail += ReasonText(verdict.reason);
  } else {
    detail += QStringLiteral("溶解氧波动 %1 %2, 相位差波动 %3°")
                  .arg(QString::number(verdict.doSpread, 'f', 3), unit, QString::number(verdict.phaseSpread, 'f', 3));
    if (!verdict.stable) detail += QStringLiteral(" (%1)").arg(ReasonText(verdict.reason));
  }
  m_stabilityDetail->setText(detail);
}

void TrendWindow::UpdateRanges() {
  if (m_pause->isChecked() || !m_following || m_oxygen->count() == 0) return;
  const double newest = m_oxygen->at(m_oxygen->count() - 1).x();
  const double oldest = m_oxygen->at(0).x();
  const qint64 span = kSpans[std::clamp(m_span->currentIndex(), 0, 3)];
  double from = span == 0 ? oldest : std::max(oldest, newest - static_cast<double>(span));
  double to = newest;
  if (to - from < 60000) from = to - 60000;  // at least a minute on screen
  m_settingRange = true;
  m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(from)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(to)));
  m_settingRange = false;
  const QList<QPointF> oxygen = m_oxygen->points();
  const QList<QPointF> temperature = m_temperature->points();
  double lo = 0, hi = 0;
  if (YRange(oxygen, from, to, &lo, &hi)) SetPaddedRange(m_oxygenAxis, lo, hi, 0.1);
  if (YRange(temperature, from, to, &lo, &hi)) SetPaddedRange(m_temperatureAxis, lo, hi, 0.5);
}

int TrendWindow::PointCount() const { return m_oxygen->count(); }
QList<QPointF> TrendWindow::OxygenPoints() const { return m_oxygen->points(); }
QList<QPointF> TrendWindow::TemperaturePoints() const { return m_temperature->points(); }
QString TrendWindow::StabilityShown() const { return m_stabilityLabel->text(); }
QString TrendWindow::OxygenAxisTitle() const { return m_oxygenAxis->titleText(); }

bool TrendWindow::IsPaused() const { return m_pause->isChecked(); }
void TrendWindow::SetPaused(bool paused) { m_pause->setChecked(paused); }

void TrendWindow::ResetZoom() {
  m_following = true;
  UpdateRanges();
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
