#pragma once
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "protocol/app_state.h"
#include "views/reply_recorder.h"
#include "views/traffic_log.h"
#include "views/trend_store.h"

class QAction;
class QMenu;
class QWidget;

namespace views {

class TrafficWindow;
class TrendWindow;

// Joins the trend window, the traffic window and the recording to the main
// window: takes its line-traffic signals, feeds the program-wide stability
// monitor, and puts "趋势图", "通信监视" and "开始记录"/"停止记录" into its
// window menu before the About entry. The two windows are modeless top-level
// windows of their own, so hiding the main window (while a sensor window is
// up) leaves them on screen.
//
// Nothing here costs before it is used: the windows are made when first
// asked for, and while hidden they are not fed (the hub keeps the trend's
// points and the traffic log; a window takes them up when it shows). The
// tick runs only while it has work, so an idle program with the port closed
// does not wake up.
class ViewsHub : public QObject {
  Q_OBJECT

 public:
  struct Hooks {
    std::function<qint64()> clockMs;            // the clock of the signals' time stamps
    std::function<bool()> portResetRunning;     // true while the port is being reopened
  };

  // `mainWindow` must carry the signals FrameSent(QByteArray,qint64),
  // BytesArrived(QByteArray,qint64), ReplyAccepted(QByteArray,qint64) and
  // BytesHandled(). The hub becomes its child.
  ViewsHub(QWidget* mainWindow, protocol::AppState& state, QMenu* windowMenu, Hooks hooks);
  ~ViewsHub() override;

  // The windows, made on first use and brought up to date.
  TrendWindow* Trend();
  TrafficWindow* Traffic();
  const TrendStore& TrendPoints() const { return m_trendPoints; }
  // True while the tick is running.
  bool Ticking() const { return m_tick.isActive(); }
  ReplyRecorder& Recorder() { return m_recorder; }
  // Puts the hub's window-menu entries into the language in use.
  void RetranslateMenu();
  const TrafficLog& Log() const { return m_log; }
  QAction* TrendAction() const { return m_trendAction.data(); }
  QAction* TrafficAction() const { return m_trafficAction.data(); }
  QAction* RecordAction() const { return m_recordAction.data(); }
  // ms since 1970 at the signals' clock reading 0.
  qint64 EpochOffsetMs() const { return m_epochOffsetMs; }

  void ShowTrend();
  void ShowTraffic();
  // The menu entry: asks for a file and starts, or stops.
  void ToggleRecording();
  // Starts recording into `path`; on failure tells the operator and returns false.
  bool StartRecording(const QString& path);
  void StopRecording();
  // Replaces the file dialog that asks where to record (tests).
  void SetPathChooser(std::function<QString()> chooser) { m_choosePath = std::move(chooser); }

 signals:
  // Recording started or stopped, or one more row written.
  void RecordingChanged(bool recording, const QString& path, qint64 rows);

 public slots:
  void OnFrameSent(const QByteArray& frame, qint64 ms);
  void OnBytesArrived(const QByteArray& bytes, qint64 ms);
  void OnReplyAccepted(const QByteArray& reply, qint64 ms);
  void OnBytesHandled();
  // Closes frames after line silence, ages the stability verdict, notices port resets.
  void Tick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CheckPortReset(qint64 ms);
  // Starts the tick when it has work, stops it when not.
  void UpdateTicking();
  bool TickHasWork() const;
  // The line moved: the tick runs for a while to close frames and notice resets.
  void NoteLineActivity();
  bool TrendShown() const;
  bool TrafficShown() const;
  void ShowRecordingState();
  void SetRecordActionText();
  void ReportLater(const QString& text);

  QPointer<QWidget> m_mainWindow;
  protocol::AppState& m_state;
  Hooks m_hooks;
  qint64 m_epochOffsetMs = 0;
  TrafficLog m_log;
  TrendStore m_trendPoints;
  QByteArray m_newestReply;
  qint64 m_lastLineMs = 0;  // clock of the last signal from the line
  bool m_lineEverActive = false;
  ReplyRecorder m_recorder;
  TrendWindow* m_trend = nullptr;
  TrafficWindow* m_traffic = nullptr;
  // The menu belongs to the main window and may go before the hub does.
  QPointer<QAction> m_trendAction;
  QPointer<QAction> m_trafficAction;
  QPointer<QAction> m_recordAction;
  QTimer m_tick;
  bool m_resetRunning = false;
  std::function<QString()> m_choosePath;
};

}  // namespace views
