#include "views/views_hub.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QMenu>
#include <QWidget>
#include <memory>

#include "dialogs/dialog_support.h"
#include "protocol/registers.h"
#include "views/traffic_window.h"
#include "views/trend_window.h"

namespace views {

namespace {

constexpr int kTickMs = 250;
// After the last sign of life on the line the tick keeps going this long, so
// a frame still open, a poll without reply or a port reset is still seen.
constexpr qint64 kLineLingerMs = 5000;

const std::uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const std::uint8_t*>(a.constData()); }

}  // namespace

ViewsHub::ViewsHub(QWidget* mainWindow, protocol::AppState& state, QMenu* windowMenu, Hooks hooks)
    : QObject(mainWindow),
      m_mainWindow(mainWindow),
      m_state(state),
      m_hooks(std::move(hooks)),
      m_trendPoints(static_cast<std::size_t>(TrendWindow::kMaxPoints)) {
  setObjectName(QStringLiteral("viewsHub"));
  if (!m_hooks.clockMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    m_hooks.clockMs = [clock] { return clock->elapsed(); };
  }
  if (!m_hooks.portResetRunning) m_hooks.portResetRunning = [] { return false; };
  m_epochOffsetMs = QDateTime::currentMSecsSinceEpoch() - m_hooks.clockMs();
  m_log.FollowLink(&m_state.link);

  m_choosePath = [this] {
    const QString suggested = QDir::home().filePath(
        tr("溶解氧记录-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    return QFileDialog::getSaveFileName(m_mainWindow, tr("选择记录文件"), suggested,
                                        tr("CSV 文件 (*.csv);;所有文件 (*)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };

  if (mainWindow) {
    connect(mainWindow, SIGNAL(FrameSent(QByteArray, qint64)), this, SLOT(OnFrameSent(QByteArray, qint64)));
    connect(mainWindow, SIGNAL(BytesArrived(QByteArray, qint64)), this, SLOT(OnBytesArrived(QByteArray, qint64)));
    connect(mainWindow, SIGNAL(ReplyAccepted(QByteArray, qint64)), this, SLOT(OnReplyAccepted(QByteArray, qint64)));
    connect(mainWindow, SIGNAL(BytesHandled()), this, SLOT(OnBytesHandled()));
  }

  if (windowMenu) {
    // After the window commands, before the separator of the About entry.
    QAction* before = nullptr;
    for (QAction* a : windowMenu->actions())
      if (a->isSeparator()) {
        before = a;
        break;
      }
    auto add = [&](const QString& text, const char* name) {
      auto* action = new QAction(text, windowMenu);
      action->setObjectName(QLatin1String(name));
      windowMenu->insertAction(before, action);
      return action;
    };
    windowMenu->insertSeparator(before);
    m_trendAction = add(QString(), "trendAction");
    m_trafficAction = add(QString(), "trafficAction");
    m_recordAction = add(QString(), "recordAction");
    RetranslateMenu();
    connect(m_trendAction, &QAction::triggered, this, &ViewsHub::ShowTrend);
    connect(m_trafficAction, &QAction::triggered, this, &ViewsHub::ShowTraffic);
    connect(m_recordAction, &QAction::triggered, this, &ViewsHub::ToggleRecording);
  }

  connect(&m_recorder, &ReplyRecorder::RecordingChanged, this, &ViewsHub::ShowRecordingState);
  connect(&m_recorder, &ReplyRecorder::RecordingChanged, this, &ViewsHub::UpdateTicking);
  connect(&m_recorder, &ReplyRecorder::Failed, this, [this](const QString& reason) {
    ReportLater(tr("记录已停止，无法写入记录文件：\n%1\n%2").arg(QDir::toNativeSeparators(m_recorder.Path()), reason));
  });

  m_tick.setObjectName(QStringLiteral("viewsTick"));
  m_tick.setInterval(kTickMs);
  connect(&m_tick, &QTimer::timeout, this, &ViewsHub::Tick);
}

ViewsHub::~ViewsHub() {
  // The main window is going: close the file without touching its menu.
  disconnect(&m_recorder, nullptr, this, nullptr);
  m_recorder.Stop();
  delete m_trend;
  delete m_traffic;
}

TrendWindow* ViewsHub::Trend() {
  if (!m_trend) {
    // A top-level window without a parent: it stays up while the main window
    // hides behind a sensor window. The hub deletes it.
    m_trend = new TrendWindow(m_trendPoints);
    if (m_mainWindow) m_trend->setWindowIcon(m_mainWindow->windowIcon());
    // Hidden it is not fed; when it shows again it takes up the tick.
    m_trend->installEventFilter(this);
  }
  m_trend->CatchUp();
  if (!m_newestReply.isEmpty()) m_trend->ShowReply(m_newestReply);
  m_trend->ShowStability(m_state.stability.Latest(), m_state.stability.WindowMs());
  return m_trend;
}

TrafficWindow* ViewsHub::Traffic() {
  if (!m_traffic) {
    m_traffic = new TrafficWindow(m_log, m_epochOffsetMs);
    if (m_mainWindow) m_traffic->setWindowIcon(m_mainWindow->windowIcon());
    m_traffic->installEventFilter(this);
  }
  m_traffic->Refresh();
  return m_traffic;
}

bool ViewsHub::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == m_trend || watched == m_traffic) && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
    QMetaObject::invokeMethod(this, &ViewsHub::UpdateTicking, Qt::QueuedConnection);
  return QObject::eventFilter(watched, event);
}

bool ViewsHub::TrendShown() const { return m_trend && m_trend->isVisible(); }
bool ViewsHub::TrafficShown() const { return m_traffic && m_traffic->isVisible(); }

void ViewsHub::ShowTrend() {
  TrendWindow* trend = Trend();
  trend->show();
  trend->raise();
  trend->activateWindow();
  UpdateTicking();
}

void ViewsHub::ShowTraffic() {
  TrafficWindow* traffic = Traffic();
  traffic->show();
  traffic->Refresh();
  traffic->raise();
  traffic->activateWindow();
  UpdateTicking();
}

void ViewsHub::ToggleRecording() {
  if (m_recorder.IsRecording()) {
    StopRecording();
    return;
  }
  const QString path = m_choosePath ? m_choosePath() : QString();
  if (path.isEmpty()) return;  // the operator cancelled
  StartRecording(path);
}

bool ViewsHub::StartRecording(const QString& path) {
  QString reason;
  if (m_recorder.Start(path, &reason)) return true;
  ui::ShowMessage(m_mainWindow, tr("无法写入记录文件：\n%1\n%2").arg(QDir::toNativeSeparators(path), reason));
  return false;
}

void ViewsHub::StopRecording() { m_recorder.Stop(); }

void ViewsHub::RetranslateMenu() {
  if (m_trendAction) m_trendAction->setText(tr("趋势图"));
  if (m_trafficAction) m_trafficAction->setText(tr("通信监视"));
  SetRecordActionText();
}

void ViewsHub::SetRecordActionText() {
  if (!m_recordAction) return;
  m_recordAction->setText(m_recorder.IsRecording() ? tr("停止记录 (%1)").arg(QFileInfo(m_recorder.Path()).fileName())
                                                   : tr("开始记录"));
}

void ViewsHub::ShowRecordingState() {
  SetRecordActionText();
  emit RecordingChanged(m_recorder.IsRecording(), m_recorder.Path(), m_recorder.RowsWritten());
}

void ViewsHub::ReportLater(const QString& text) {
  // Outside the signal that brought the reply, so the receive path is not
  // re-entered under a modal box.
  QTimer::singleShot(0, this, [this, text] { ui::ShowMessage(m_mainWindow, text); });
}

void ViewsHub::OnFrameSent(const QByteArray& frame, qint64 ms) {
  m_log.OnSent(Bytes(frame), static_cast<std::size_t>(frame.size()), ms);
  if (TrafficShown()) m_traffic->Refresh();
  NoteLineActivity();
}

void ViewsHub::OnBytesArrived(const QByteArray& bytes, qint64 ms) {
  m_log.OnReceived(Bytes(bytes), static_cast<std::size_t>(bytes.size()), ms);
  if (TrafficShown()) m_traffic->Refresh();
  NoteLineActivity();
}

void ViewsHub::OnReplyAccepted(const QByteArray& reply, qint64 ms) {
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return;
  const protocol::SensorReading r = protocol::DecodePollReply(Bytes(reply));
  const auto address = static_cast<std::uint8_t>(reply.at(0));
  // Another sensor's water says nothing about whether the last one has settled.
  if (!m_newestReply.isEmpty() && m_newestReply.at(0) != reply.at(0)) m_state.stability.Clear();
  m_state.stability.AddSample(ms, r.doValue, r.unit, r.phaseDiff);
  TrendPoint point = TrendPointOf(r, m_epochOffsetMs + ms);
  point.address = address;
  m_trendPoints.Add(point);
  m_newestReply = reply;
  if (TrendShown()) {
    m_trend->CatchUp();
    m_trend->ShowReply(reply);
    m_trend->ShowStability(m_state.stability.Latest(), m_state.stability.WindowMs());
  }
  if (m_recorder.IsRecording() && m_recorder.Record(reply, QDateTime::fromMSecsSinceEpoch(m_epochOffsetMs + ms)))
    emit RecordingChanged(true, m_recorder.Path(), m_recorder.RowsWritten());
  NoteLineActivity();
}

void ViewsHub::OnBytesHandled() {
  CheckPortReset(m_hooks.clockMs());
  NoteLineActivity();
}

void ViewsHub::NoteLineActivity() {
  m_lastLineMs = m_hooks.clockMs();
  m_lineEverActive = true;
  if (!m_tick.isActive()) m_tick.start();
}

void ViewsHub::CheckPortReset(qint64 ms) {
  const bool running = m_hooks.portResetRunning();
  if (running && !m_resetRunning) {
    m_log.OnPortReset(ms);
    if (TrafficShown()) m_traffic->Refresh();
  }
  m_resetRunning = running;
}

bool ViewsHub::TickHasWork() const {
  const qint64 now = m_hooks.clockMs();
  return TrendShown() || TrafficShown() || m_recorder.IsRecording() || m_log.PendingBytes() > 0 || m_resetRunning ||
         m_state.stability.Latest().stable ||  // must turn once the readings stop
         (m_lineEverActive && now - m_lastLineMs < kLineLingerMs);
}

void ViewsHub::UpdateTicking() {
  if (TickHasWork()) {
    if (!m_tick.isActive()) m_tick.start();
  } else {
    m_tick.stop();
  }
}

void ViewsHub::Tick() {
  const qint64 now = m_hooks.clockMs();
  const std::uint64_t before = m_log.TotalEntries();
  m_log.Flush(now);
  CheckPortReset(now);
  if (m_log.TotalEntries() != before && TrafficShown()) m_traffic->Refresh();
  if (m_state.stability.HasEverBeenFed()) {
    m_state.stability.Tick(now);
    if (TrendShown()) m_trend->ShowStability(m_state.stability.Latest(), m_state.stability.WindowMs());
  }
  UpdateTicking();
}

}  // namespace views
