#include "views/views_hub.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
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

const std::uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const std::uint8_t*>(a.constData()); }

}  // namespace

ViewsHub::ViewsHub(QWidget* mainWindow, protocol::AppState& state, QMenu* windowMenu, Hooks hooks)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_state(state), m_hooks(std::move(hooks)) {
  setObjectName(QStringLiteral("viewsHub"));
  if (!m_hooks.clockMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    m_hooks.clockMs = [clock] { return clock->elapsed(); };
  }
  if (!m_hooks.portResetRunning) m_hooks.portResetRunning = [] { return false; };
  m_epochOffsetMs = QDateTime::currentMSecsSinceEpoch() - m_hooks.clockMs();

  // Top-level windows without a parent: they stay up while the main window
  // hides behind a sensor window. The hub deletes them.
  m_trend = new TrendWindow;
  m_traffic = new TrafficWindow(m_log, m_epochOffsetMs);
  for (QWidget* w : {static_cast<QWidget*>(m_trend), static_cast<QWidget*>(m_traffic)})
    if (mainWindow) w->setWindowIcon(mainWindow->windowIcon());

  m_choosePath = [this] {
    const QString suggested = QDir::home().filePath(
        QStringLiteral("溶解氧记录-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    return QFileDialog::getSaveFileName(m_mainWindow, QStringLiteral("选择记录文件"), suggested,
                                        QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"), nullptr,
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
    m_trendAction = add(QStringLiteral("趋势图"), "trendAction");
    m_trafficAction = add(QStringLiteral("通信监视"), "trafficAction");
    m_recordAction = add(QStringLiteral("开始记录"), "recordAction");
    connect(m_trendAction, &QAction::triggered, this, &ViewsHub::ShowTrend);
    connect(m_trafficAction, &QAction::triggered, this, &ViewsHub::ShowTraffic);
    connect(m_recordAction, &QAction::triggered, this, &ViewsHub::ToggleRecording);
  }

  connect(&m_recorder, &ReplyRecorder::RecordingChanged, this, &ViewsHub::ShowRecordingState);
  connect(&m_recorder, &ReplyRecorder::Failed, this, [this](const QString& reason) {
    ReportLater(QStringLiteral("记录已停止，无法写入记录文件：\n%1\n%2").arg(QDir::toNativeSeparators(m_recorder.Path()), reason));
  });

  m_tick.setObjectName(QStringLiteral("viewsTick"));
  connect(&m_tick, &QTimer::timeout, this, &ViewsHub::Tick);
  m_tick.start(kTickMs);
}

ViewsHub::~ViewsHub() {
  // The main window is going: close the file without touching its menu.
  disconnect(&m_recorder, nullptr, this, nullptr);
  m_recorder.Stop();
  delete m_trend;
  delete m_traffic;
}

void ViewsHub::ShowTrend() {
  m_trend->show();
  m_trend->raise();
  m_trend->activateWindow();
}

void ViewsHub::ShowTraffic() {
  m_traffic->show();
  m_traffic->Refresh();
  m_traffic->raise();
  m_traffic->activateWindow();
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
  ui::ShowMessage(m_mainWindow, QStringLiteral("无法写入记录文件：\n%1\n%2").arg(QDir::toNativeSeparators(path), reason));
  return false;
}

void ViewsHub::StopRecording() { m_recorder.Stop(); }

void ViewsHub::ShowRecordingState() {
  const bool recording = m_recorder.IsRecording();
  if (m_recordAction)
    m_recordAction->setText(recording ? QStringLiteral("停止记录 (%1)").arg(QFileInfo(m_recorder.Path()).fileName())
                                      : QStringLiteral("开始记录"));
  emit RecordingChanged(recording, m_recorder.Path(), m_recorder.RowsWritten());
}

void ViewsHub::ReportLater(const QString& text) {
  // Outside the signal that brought the reply, so the receive path is not
  // re-entered under a modal box.
  QTimer::singleShot(0, this, [this, text] { ui::ShowMessage(m_mainWindow, text); });
}

void ViewsHub::OnFrameSent(const QByteArray& frame, qint64 ms) {
  m_log.OnSent(Bytes(frame), static_cast<std::size_t>(frame.size()), ms);
  m_traffic->Refresh();
}

void ViewsHub::OnBytesArrived(const QByteArray& bytes, qint64 ms) {
  m_log.OnReceived(Bytes(bytes), static_cast<std::size_t>(bytes.size()), ms);
  m_traffic->Refresh();
}

void ViewsHub::OnReplyAccepted(const QByteArray& reply, qint64 ms) {
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return;
  const protocol::SensorReading r = protocol::DecodePollReply(Bytes(reply));
  m_state.stability.AddSample(ms, r.doValue, r.unit, r.phaseDiff);
  m_trend->AddReply(reply, m_epochOffsetMs + ms);
  m_trend->ShowStability(m_state.stability.Latest(), m_state.stability.WindowMs());
  if (m_recorder.IsRecording() && m_recorder.Record(reply, QDateTime::fromMSecsSinceEpoch(m_epochOffsetMs + ms)))
    emit RecordingChanged(true, m_recorder.Path(), m_recorder.RowsWritten());
}

void ViewsHub::OnBytesHandled() { CheckPortReset(m_hooks.clockMs()); }

void ViewsHub::CheckPortReset(qint64 ms) {
  const bool running = m_hooks.portResetRunning();
  if (running && !m_resetRunning) {
    m_log.OnPortReset(ms);
    m_traffic->Refresh();
  }
  m_resetRunning = running;
}

void ViewsHub::Tick() {
  const qint64 now = m_hooks.clockMs();
  const std::uint64_t before = m_log.TotalEntries();
  m_log.Flush(now);
  CheckPortReset(now);
  if (m_log.TotalEntries() != before) m_traffic->Refresh();
  if (m_state.stability.HasEverBeenFed()) {
    m_state.stability.Tick(now);
    m_trend->ShowStability(m_state.stability.Latest(), m_state.stability.WindowMs());
  }
}

}  // namespace views
