// The trend window, the traffic window and the recording, joined to the real
// main window and driven against the simulated sensor on a pseudo-terminal,
// or fed a scripted line through the same signals.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QPushButton>
#include <QSignalSpy>
#include <QDir>
#include <QDateTimeEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_dialog.h"
#include "app/records_hub.h"
#include "app/sensor_tool_app.h"
#include "controls/image_button.h"
#include "dialogs/calibration_prompts.h"
#include "dialogs/dialog_support.h"
#include "gui_helpers.h"
#include "protocol/display_rules.h"
#include "protocol/oxygen_physics.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "records/calibration_records_window.h"
#include "records/database_url.h"
#include "records/record_settings_dialog.h"
#include "records/record_store.h"
#include "serial/comm.h"
#include "serial/port_naming.h"
#include "sim_process.h"
#include "views/reply_recorder.h"
#include "views/traffic_window.h"
#include "views/trend_window.h"
#include "views/views_hub.h"

namespace {

constexpr int kLinkTimeoutMs = 20000;

QString PortLink(int number) { return QDir(PortDirectory()).filePath(QStringLiteral("COM%1").arg(number)); }

void OpenAndConnect(CMainDlg& window, int port = 1) {
  ui::Control<QComboBox>(&window, 1000)->setCurrentIndex(port - 1);
  QTest::mouseClick(ui::Control<QPushButton>(&window, 1002), Qt::LeftButton);
  QTest::mouseClick(ui::Control<QPushButton>(&window, 1026), Qt::LeftButton);
}

views::ViewsHub* Hub(CMainDlg& window) { return window.findChild<views::ViewsHub*>(); }

QByteArray Bytes(const protocol::RtuFrame& f) {
  return QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<int>(f.size()));
}

protocol::RtuFrame FromHex(const QString& hex) {
  protocol::RtuFrame f;
  for (const QString& cell : hex.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    f.push_back(static_cast<std::uint8_t>(cell.toUInt(nullptr, 16)));
  return f;
}

// The replies the simulator sent that pass the check a receiver makes.
std::vector<protocol::RtuFrame> GoodReplies(const SimProcess& sim) {
  std::vector<protocol::RtuFrame> good;
  for (const QString& line : sim.SentFrames()) {
    const protocol::RtuFrame f = FromHex(line);
    if (f.size() == protocol::kPollReplyLength && protocol::HasValidCrc(f.data(), f.size()) &&
        f[protocol::kDeviceTypeOffset] == protocol::kSensorDeviceType)
      good.push_back(f);
  }
  return good;
}

QStringList CsvRows(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  if (!lines.isEmpty()) lines.removeFirst();  // header
  return lines;
}

}  // namespace

// Stands in for the main window: the same signals, emitted by the test.
class ScriptedLine : public QWidget {
  Q_OBJECT

 signals:
  void FrameSent(const QByteArray& frame, qint64 ms);
  void BytesArrived(const QByteArray& bytes, qint64 ms);
  void ReplyAccepted(const QByteArray& reply, qint64 ms);
  void BytesHandled();
};

class ViewsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void menuEntriesOpenModelessWindowsAndToggleRecording();
  void trafficWindowClassifiesAScriptedLineAndStaysBounded();
  void trendAndRecordingGetExactlyTheAcceptedReplies();
  void trafficCountersMatchTheReceivePathUnderFaults();
  void stabilityIndicatorSettlesWithASteadySensor();
  void dayLongTrendIsPlottedFromTheStoreWithinThePlotsWidth();
  void trendShowsBothUnitsMarksImplausibleReadingsAndOpensThePast();
  void viewsTickOnlyWhileTheyHaveWork();
  void recordsDatabaseTroubleIsToldOnce();
};

// A records database that cannot be written is told once, not at every retry.
void ViewsWindowTest::recordsDatabaseTroubleIsToldOnce() {
  QTemporaryDir dir;
  const QString blocker = dir.filePath(QStringLiteral("blocker"));
  {
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  const QString unreachable = blocker + QStringLiteral("/records.sqlite");  // under a file: no folder can be made
  records::SaveDatabaseUrl(unreachable);
  const auto restore = qScopeGuard([] { records::SaveDatabaseUrl(QString()); });
  MessageBoxAnswerer answers;
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  protocol::QueueWrite(state.link, protocol::WriteFilter(1, 20), protocol::Filter);  // a row to keep
  QTRY_COMPARE_WITH_TIMEOUT(answers.texts.size(), 1, 15000);
  QVERIFY2(answers.texts.first().startsWith(QStringLiteral("记录数据库 ")), qPrintable(answers.texts.first()));
  QVERIFY2(answers.texts.first().contains(unreachable), qPrintable(answers.texts.first()));
  // Retries come every few seconds; none of them is another message.
  QTest::qWait(8000);
  QCOMPARE(answers.texts.size(), 1);
}

void ViewsWindowTest::menuEntriesOpenModelessWindowsAndToggleRecording() {
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  MessageBoxAnswerer answers;

  // The entries sit after the window commands and before the About entry.
  QStringList texts;
  for (QAction* a : window.WindowMenu()->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  QCOMPARE(texts, (QStringList{QStringLiteral("移动(&M)"), QStringLiteral("最小化(&N)"), QStringLiteral("关闭(&C)"),
                               QStringLiteral("关闭串口"), QStringLiteral("串口设置…"), QStringLiteral("扫描总线"),
                               QStringLiteral("设备管理…"), QStringLiteral("-"), QStringLiteral("趋势图"), QStringLiteral("通信监视"),
                               QStringLiteral("开始记录"), QStringLiteral("-"), QStringLiteral("标定记录"),
                               QStringLiteral("记录设置…"), QStringLiteral("-"),
                               QStringLiteral("关于 Velloran(&A)...")}));

  // The records' entries open their windows: the calibrations modeless, the
  // settings window-modal without blocking; each is made once.
  auto* records = window.findChild<RecordsHub*>();
  QVERIFY(records);
  records->CalibrationsAction()->trigger();
  records::CalibrationRecordsWindow* calibrations = records->Calibrations();
  QVERIFY(calibrations);
  QVERIFY(QTest::qWaitForWindowExposed(calibrations));
  QCOMPARE(calibrations->windowTitle(), QStringLiteral("标定记录"));
  QVERIFY(!calibrations->isModal());
  records->CalibrationsAction()->trigger();
  QCOMPARE(records->Calibrations(), calibrations);
  records->SettingsAction()->trigger();
  QPointer<records::RecordSettingsDialog> settings = records->Settings();
  QVERIFY(settings);
  QVERIFY(QTest::qWaitForWindowExposed(settings));
  QCOMPARE(settings->windowTitle(), QStringLiteral("记录设置"));
  QCOMPARE(settings->windowModality(), Qt::WindowModal);
  records->SettingsAction()->trigger();
  QCOMPARE(records->Settings(), settings.data());
  settings->reject();
  QTRY_VERIFY(!settings);
  calibrations->close();

  views::ViewsHub* hub = Hub(window);
  QVERIFY(hub);
  // Modeless: the main window stays up and usable; hiding it (as a sensor
  // window does) leaves the views on screen.
  hub->TrendAction()->trigger();
  hub->TrafficAction()->trigger();
  QVERIFY(QTest::qWaitForWindowExposed(hub->Trend()));
  QVERIFY(QTest::qWaitForWindowExposed(hub->Traffic()));
  QCOMPARE(hub->Trend()->windowTitle(), QStringLiteral("趋势图"));
  QCOMPARE(hub->Traffic()->windowTitle(), QStringLiteral("通信监视"));
  QVERIFY(hub->Trend()->isWindow());
  QVERIFY(!QApplication::activeModalWidget());
  QVERIFY(window.isVisible());
  QTest::mouseClick(ui::Control<QPushButton>(&window, 1026), Qt::LeftButton);
  QTRY_COMPARE(answers.texts, QStringList{QStringLiteral("请先打开串口.")});
  window.hide();
  QVERIFY(hub->Trend()->isVisible());
  QVERIFY(hub->Traffic()->isVisible());
  window.show();
  QCOMPARE(hub->Trend()->StabilityShown(), QStringLiteral("未稳定"));

  // Recording: the operator's choice of file starts it, the entry then stops it.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("run.csv"));
  QString chosen;
  hub->SetPathChooser([&chosen] { return chosen; });
  hub->RecordAction()->trigger();  // the file dialog cancelled
  QVERIFY(!hub->Recorder().IsRecording());
  QCOMPARE(hub->RecordAction()->text(), QStringLiteral("开始记录"));
  chosen = path;
  hub->RecordAction()->trigger();
  QVERIFY(hub->Recorder().IsRecording());
  QCOMPARE(hub->RecordAction()->text(), QStringLiteral("停止记录 (run.csv)"));
  QVERIFY(QFile::exists(path));
  // While it runs, the main window shows it, with the file and its rows on the mark's tooltip.
  auto* mark = window.findChild<QLabel*>(QStringLiteral("recordingMark"));
  QVERIFY(mark);
  QVERIFY(mark->isVisible());
  QCOMPARE(mark->text(), QStringLiteral("● 记录中"));
  QVERIFY2(mark->toolTip().contains(QDir::toNativeSeparators(path)), qPrintable(mark->toolTip()));
  QVERIFY2(mark->toolTip().contains(QStringLiteral("0 行")), qPrintable(mark->toolTip()));
  hub->RecordAction()->trigger();
  QVERIFY(!hub->Recorder().IsRecording());
  QCOMPARE(hub->RecordAction()->text(), QStringLiteral("开始记录"));
  QVERIFY(!mark->isVisible());

  // A file that cannot be written is reported in a message box.
  answers.texts.clear();
  chosen = dir.filePath(QStringLiteral("no/such/folder/run.csv"));
  hub->RecordAction()->trigger();
  QTRY_COMPARE(answers.texts.size(), 1);
  QVERIFY2(answers.texts.first().startsWith(QStringLiteral("无法写入记录文件")), qPrintable(answers.texts.first()));
  QVERIFY(answers.texts.first().contains(QStringLiteral("run.csv")));
  QVERIFY(!hub->Recorder().IsRecording());
  QCOMPARE(hub->RecordAction()->text(), QStringLiteral("开始记录"));

  // The program ends while recording: the file is closed with what it holds.
  {
    protocol::AppState otherState;
    auto* other = new CMainDlg(otherState);
    views::ViewsHub* otherHub = Hub(*other);
    const QString otherPath = dir.filePath(QStringLiteral("last.csv"));
    QVERIFY(otherHub->StartRecording(otherPath));
    QPointer<QWidget> trend = otherHub->Trend();
    delete other;
    QVERIFY(trend.isNull());
    QFile written(otherPath);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().startsWith("time,address,stale,"));
  }
}

void ViewsWindowTest::trafficWindowClassifiesAScriptedLineAndStaysBounded() {
  protocol::AppState state;
  ScriptedLine line;
  qint64 clock = 0;
  views::ViewsHub hub(&line, state, nullptr, {[&clock] { return clock; }, nullptr});
  auto send = [&](const protocol::RtuFrame& f, qint64 ms) { clock = ms; emit line.FrameSent(Bytes(f), ms); };
  auto receive = [&](const protocol::RtuFrame& f, qint64 ms) { clock = ms; emit line.BytesArrived(Bytes(f), ms); };

  protocol::RegisterBlock block;
  block.regs[protocol::DeviceType] = 2;
  block.SetFloat(protocol::DoValue, 8.5f);
  const protocol::RtuFrame good = block.PollReply(3);
  protocol::RtuFrame corrupt = good;
  corrupt[20] ^= 0x10;
  block.regs[protocol::DeviceType] = 9;
  const protocol::RtuFrame foreign = block.PollReply(3);
  const protocol::RtuFrame echo = protocol::BuildWriteEcho(3, protocol::Pressure, 2);

  send(protocol::PollBlock(3), 1000);
  receive(good, 1075);
  emit line.ReplyAccepted(Bytes(good), 1075);
  send(protocol::PollBlock(3), 3000);
  receive(corrupt, 3075);
  send(protocol::PollBlock(3), 5000);
  receive(foreign, 5075);
  send(protocol::WritePressure(3, 98.5f), 5500);
  receive(echo, 5530);
  receive({0x7E}, 6000);
  clock = 6200;
  hub.Tick();  // the line has been silent: the stray byte is a frame of its own

  views::TrafficModel* model = hub.Traffic()->Model();
  QStringList verdicts, directions, addresses;
  for (int r = 0; r < model->rowCount(); ++r) {
    verdicts << model->index(r, views::TrafficModel::VerdictColumn).data().toString();
    directions << model->index(r, views::TrafficModel::DirectionColumn).data().toString();
    addresses << model->index(r, views::TrafficModel::AddressColumn).data().toString();
  }
  QCOMPARE(verdicts, (QStringList{"轮询请求", "应答已接受", "轮询请求", "校验错误", "轮询请求", "未知设备",
                                  "写入请求", "写入回显", "噪声"}));
  QCOMPARE(directions, (QStringList{"发送", "接收", "发送", "接收", "发送", "接收", "发送", "接收", "接收"}));
  // The first byte of each frame: the sensor asked or answering (the stray byte is its own).
  QCOMPARE(addresses, (QStringList{"3", "3", "3", "3", "3", "3", "3", "3", "126"}));
  QCOMPARE(model->index(1, views::TrafficModel::BytesColumn).data().toString(), HexText(good));
  // Time stamps to the millisecond on the wall clock.
  const QString t0 = model->index(0, views::TrafficModel::TimeColumn).data().toString();
  const QString t1 = model->index(1, views::TrafficModel::TimeColumn).data().toString();
  QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$")).match(t0).hasMatch());
  QCOMPARE(QTime::fromString(t0, QStringLiteral("HH:mm:ss.zzz")).msecsTo(QTime::fromString(t1, QStringLiteral("HH:mm:ss.zzz"))),
           75);
  // Only the reply that passed its check reached the trend.
  QCOMPARE(hub.Trend()->PointCount(), 1);
  QCOMPARE(hub.Trend()->OxygenPoints().first().y(), 8.5);

  const QString counters = hub.Traffic()->CountersText();
  QVERIFY2(counters.contains(QStringLiteral("轮询 3 ")) && counters.contains(QStringLiteral("应答 1 ")) &&
               counters.contains(QStringLiteral("校验错误 1 ")) && counters.contains(QStringLiteral("超时 0 ")),
           qPrintable(counters));

  // Copy to the clipboard: the counters, then one line per row.
  QApplication::clipboard()->clear();
  QTest::mouseClick(hub.Traffic()->findChild<QPushButton*>(QStringLiteral("copyButton")), Qt::LeftButton);
  const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(copied.size(), 1 + model->rowCount());
  QCOMPARE(copied.first(), counters);
  QVERIFY(copied.at(4).endsWith(QStringLiteral("\t校验错误")));
  QVERIFY(copied.at(4).contains(HexText(corrupt)));

  // Days of polls: the window holds the newest 5000, the counters all of them.
  // While hidden the window is not fed; asking for it brings it up to date.
  for (int i = 0; i < 6000; ++i) send(protocol::PollBlock(3), 10000 + i * 2000LL);
  QCOMPARE(hub.Traffic()->Model(), model);
  QCOMPARE(model->rowCount(), 5000);
  QCOMPARE(static_cast<int>(hub.Log().Entries().size()), 5000);
  QCOMPARE(hub.Log().Counters().polls, 6003u);
  QCOMPARE(hub.Log().Counters().timeouts, 5999u);
  const views::TrafficEntry* first = model->EntryAt(0);
  QVERIFY(first);
  QCOMPARE(first->seq, hub.Log().TotalEntries() - 5000);
  QCOMPARE(model->EntryAt(4999)->ms, 10000 + 5999 * 2000LL);
}

void ViewsWindowTest::trafficCountersMatchTheReceivePathUnderFaults() {
  // Replies from another slave and corrupted replies: the traffic monitor
  // must judge each one as the receive path did.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--steady", "--foreign-address-every", "3",
                                   "--flip-bit-every", "5", "--seed", "5"}),
           qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  views::ViewsHub* hub = Hub(window);
  OpenAndConnect(window);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.repliesAccepted >= 6 && hub->Log().Counters().foreignAddresses >= 2 &&
                               hub->Log().Counters().crcErrors >= 1,
                           6 * kLinkTimeoutMs);
  // A reply cut by a flipped header byte is framed by the following silence:
  // the counts agree once the line is quiet.
  auto agree = [&] {
    const views::TrafficCounters& c = hub->Log().Counters();
    return c.replies == state.link.repliesAccepted &&
           c.crcErrors + c.unknownDevices + c.foreignAddresses == state.link.repliesRejected;
  };
  QTRY_VERIFY_WITH_TIMEOUT(agree(), kLinkTimeoutMs);
}

void ViewsWindowTest::trendAndRecordingGetExactlyTheAcceptedReplies() {
  // Every third reply has a bit flipped; the physics wander, so every reply
  // carries values of its own.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--flip-bit-every", "3", "--seed", "5"}), qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  views::ViewsHub* hub = Hub(window);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("oxygen.csv"));
  QVERIFY(hub->StartRecording(path));

  OpenAndConnect(window);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.repliesAccepted >= 6 && state.link.repliesRejected >= 2, 4 * kLinkTimeoutMs);

  // One consistent look, with no event in between.
  const int points = hub->Trend()->PointCount();
  const QList<QPointF> oxygen = hub->Trend()->OxygenPoints();
  const QList<QPointF> temperature = hub->Trend()->TemperaturePoints();
  QCOMPARE(static_cast<std::uint64_t>(points), state.link.repliesAccepted);
  QCOMPARE(static_cast<std::uint64_t>(hub->Recorder().RowsWritten()), state.link.repliesAccepted);
  QCOMPARE(hub->Log().Counters().replies, state.link.repliesAccepted);
  QCOMPARE(hub->Log().Counters().crcErrors, state.link.repliesRejected);
  // The main window's mark counts the same rows.
  auto* mark = window.findChild<QLabel*>(QStringLiteral("recordingMark"));
  QVERIFY(mark && mark->isVisible());
  QVERIFY2(mark->toolTip().endsWith(QStringLiteral("\n%1 行").arg(hub->Recorder().RowsWritten())), qPrintable(mark->toolTip()));
  hub->StopRecording();

  // The points are the good replies the simulator sent, in order; none of
  // the corrupted ones (at most one good reply may still be on its way).
  const std::vector<protocol::RtuFrame> good = GoodReplies(sim);
  QVERIFY2(good.size() == static_cast<std::size_t>(points) || good.size() == static_cast<std::size_t>(points) + 1,
           qPrintable(QStringLiteral("%1 good replies sent, %2 points").arg(good.size()).arg(points)));
  const QStringList rows = CsvRows(path);
  QCOMPARE(rows.size(), points);
  for (int i = 0; i < points; ++i) {
    const protocol::SensorReading r = protocol::DecodePollReply(good[static_cast<std::size_t>(i)].data());
    QCOMPARE(oxygen[i].y(), static_cast<double>(protocol::DoValueShown(r.doValue)));
    QCOMPARE(temperature[i].y(), static_cast<double>(protocol::CutTo2Decimals(r.temperature)));
    if (i > 0) QVERIFY(oxygen[i].x() > oxygen[i - 1].x());
    const protocol::ShownReading s = protocol::ShowReading(r);
    const QStringList cells = rows[i].split(QLatin1Char(','));
    QCOMPARE(cells.size(), 21);
    QVERIFY(QDateTime::fromString(cells[0], Qt::ISODateWithMs).isValid());
    QCOMPARE(QDateTime::fromString(cells[0], Qt::ISODateWithMs).toMSecsSinceEpoch(), static_cast<qint64>(oxygen[i].x()));
    // address, stale, then the shown values (each float followed by the value sent).
    const QStringList shown{cells[1], cells[2], cells[3], cells[5], cells[7], cells[9], cells[11], cells[17], cells[19]};
    const QStringList expected{QStringLiteral("1"), QStringLiteral("0"), QString::fromStdString(s.doValue),
                               QString::fromStdString(s.unit), QString::fromStdString(s.temperature),
                               QString::fromStdString(s.status), QString::fromStdString(s.phaseDiff),
                               QString::fromStdString(s.redAmplitude), QString::fromStdString(s.greenAmplitude)};
    QCOMPARE(shown, expected);
  }
  QCOMPARE(hub->Trend()->OxygenAxisTitle(), QStringLiteral("溶解氧 (mg/L)"));

  // The traffic window saw the corrupted replies as check errors.
  views::TrafficModel* model = hub->Traffic()->Model();
  int crcRows = 0;
  for (int r = 0; r < model->rowCount(); ++r)
    if (model->index(r, views::TrafficModel::VerdictColumn).data().toString() == QStringLiteral("校验错误")) ++crcRows;
  QVERIFY(crcRows >= 2);

  // Once stopped nothing more is written.
  const int accepted = static_cast<int>(state.link.repliesAccepted);
  QTRY_VERIFY_WITH_TIMEOUT(static_cast<int>(state.link.repliesAccepted) > accepted, kLinkTimeoutMs);
  QCOMPARE(CsvRows(path).size(), points);
  QVERIFY(answers.texts.isEmpty());

  // Pause keeps the time range still while points come in; zoom narrows it.
  hub->Trend()->SetPaused(true);
  const auto range = hub->Trend()->TimeRange();
  const int before = hub->Trend()->PointCount();
  QTRY_VERIFY_WITH_TIMEOUT(hub->Trend()->PointCount() > before, kLinkTimeoutMs);
  QCOMPARE(hub->Trend()->TimeRange(), range);
  hub->Trend()->SetPaused(false);
  const auto following = hub->Trend()->TimeRange();
  QCOMPARE(following.second, static_cast<qint64>(hub->Trend()->OxygenPoints().last().x()));
  hub->Trend()->Zoom(4.0);
  const auto zoomed = hub->Trend()->TimeRange();
  QVERIFY(zoomed.second - zoomed.first < (following.second - following.first) / 3);
}

void ViewsWindowTest::stabilityIndicatorSettlesWithASteadySensor() {
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--steady"}), qPrintable(sim.Error()));
  protocol::AppState state;
  // A window of 8 s so the test need not wait a minute.
  state.stability = protocol::StabilityMonitor(8000);
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  views::ViewsHub* hub = Hub(window);

  // The calibration wait prompts show the same indicator under their message.
  CZeroCalWaitDlg zeroWait(state);
  CAirCalWaitDlg airWait(state);
  zeroWait.show();
  airWait.show();
  for (CCalibrationPrompt* prompt : {static_cast<CCalibrationPrompt*>(&zeroWait), static_cast<CCalibrationPrompt*>(&airWait)}) {
    QLabel* label = prompt->StabilityLabel();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("未稳定"));
    QLabel* message = prompt->findChild<QLabel*>(QStringLiteral("promptLabel"));
    QVERIFY(label->geometry().top() >= message->geometry().bottom());
    QVERIFY(label->geometry().bottom() <= prompt->OkButton()->geometry().top());
  }

  OpenAndConnect(window);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.repliesAccepted >= 1, kLinkTimeoutMs);
  QCOMPARE(hub->Trend()->StabilityShown(), QStringLiteral("未稳定"));  // one reading is not a trend
  QTRY_COMPARE_WITH_TIMEOUT(hub->Trend()->StabilityShown(), QStringLiteral("稳定"), 3 * kLinkTimeoutMs);
  QVERIFY(state.link.repliesAccepted >= std::uint64_t(protocol::StabilityMonitor::kMinSamples));
  QTRY_COMPARE(zeroWait.StabilityLabel()->text(), QStringLiteral("稳定"));
  QTRY_COMPARE(airWait.StabilityLabel()->text(), QStringLiteral("稳定"));

  // The sensor falls silent: the verdict goes back once the readings are stale.
  sim.Stop();
  QTRY_COMPARE_WITH_TIMEOUT(hub->Trend()->StabilityShown(), QStringLiteral("未稳定"), kLinkTimeoutMs);
  QTRY_COMPARE(zeroWait.StabilityLabel()->text(), QStringLiteral("未稳定"));
  // Nothing of this changed what the prompt does: OK still queues the command.
  QTest::mouseClick(zeroWait.OkButton(), Qt::LeftButton);
  QCOMPARE(state.link.pendingWriteReg, std::uint8_t(protocol::Command));
  QCOMPARE(state.link.pendingWrite, protocol::StartZeroCal(state.link.currentAddress));
}

namespace {

QByteArray Reply(float oxygen, float temperature) {
  protocol::RegisterBlock block;
  block.regs[protocol::DeviceType] = protocol::kSensorDeviceType;
  block.regs[protocol::Unit] = 1;
  block.SetFloat(protocol::Pressure, 101.325f);
  block.SetFloat(protocol::DoValue, oxygen);
  block.SetFloat(protocol::Temperature, temperature);
  return Bytes(block.PollReply(1));
}

bool TopLevelNamed(const QString& name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name) return true;
  return false;
}

}  // namespace

void ViewsWindowTest::dayLongTrendIsPlottedFromTheStoreWithinThePlotsWidth() {
  protocol::AppState state;
  ScriptedLine line;
  qint64 clock = 0;
  views::ViewsHub hub(&line, state, nullptr, {[&clock] { return clock; }, nullptr});

  // A day and a bit of replies at 2 s, a slow wave with a spike now and then,
  // while nobody looks: no window exists, the store keeps the newest day.
  const int total = views::TrendWindow::kMaxPoints + 500;
  const QByteArray replies[] = {Reply(8.0f, 20.0f), Reply(8.5f, 20.5f), Reply(9.0f, 21.0f), Reply(8.5f, 20.5f),
                                Reply(14.0f, 25.0f)};
  for (int i = 0; i < total; ++i) {
    clock = 2000LL * i;
    emit line.ReplyAccepted(replies[i % 97 == 0 ? 4 : (i / 50) % 4], clock);
  }
  QVERIFY(!TopLevelNamed(QStringLiteral("trendWindow")));
  QVERIFY(!TopLevelNamed(QStringLiteral("trafficWindow")));
  QCOMPARE(static_cast<int>(hub.TrendPoints().Size()), views::TrendWindow::kMaxPoints);

  hub.ShowTrend();
  views::TrendWindow* trend = hub.Trend();
  QVERIFY(QTest::qWaitForWindowExposed(trend));
  QCOMPARE(trend->PointCount(), views::TrendWindow::kMaxPoints);
  QCOMPARE(trend->OxygenPoints().first().x(), static_cast<double>(hub.EpochOffsetMs() + 2000LL * 500));

  // Every span: the plot holds at most a few points per pixel column, and
  // only points the sensor sent; the lowest and highest on screen and the
  // newest are there.
  auto* span = trend->findChild<QComboBox*>(QStringLiteral("spanList"));
  QVERIFY(span);
  struct Case {
    int spanIndex;
    bool everyPoint;  // short spans plot every point of the range
  };
  const Case cases[] = {{0, true}, {1, true}, {2, false}, {3, false}};
  for (const Case& c : cases) {
    span->setCurrentIndex(c.spanIndex);
    for (int more = 0; more < 3; ++more) {  // and after new replies while shown
      clock += 2000;
      emit line.ReplyAccepted(replies[more == 1 ? 4 : 0], clock);
      const auto [from, to] = trend->TimeRange();
      QCOMPARE(to, static_cast<qint64>(trend->OxygenPoints().last().x()));
      for (const QList<QPointF>& plotted : {trend->PlottedOxygen(), trend->PlottedTemperature()}) {
        QVERIFY2(plotted.size() <= 6 * std::max(400, trend->width()),
                 qPrintable(QStringLiteral("span %1: %2 points plotted").arg(c.spanIndex).arg(plotted.size())));
        QVERIFY2(plotted.last().x() == static_cast<double>(to), qPrintable(QStringLiteral("span %1").arg(c.spanIndex)));
      }
      const QList<QPointF> all = trend->OxygenPoints();
      const QList<QPointF> plotted = trend->PlottedOxygen();
      QList<QPointF> inRange;
      double lo = 1e9, hi = -1e9;
      for (const QPointF& p : all)
        if (p.x() >= from && p.x() <= to) {
          inRange << p;
          lo = std::min(lo, p.y());
          hi = std::max(hi, p.y());
        }
      bool sawLow = false, sawHigh = false;
      for (const QPointF& p : plotted) {
        QVERIFY2(all.contains(p), qPrintable(QStringLiteral("span %1: (%2, %3) was never received")
                                                 .arg(c.spanIndex).arg(p.x(), 0, 'f', 0).arg(p.y())));
        if (p.x() >= from && p.x() <= to) {
          sawLow = sawLow || p.y() == lo;
          sawHigh = sawHigh || p.y() == hi;
        }
      }
      QVERIFY2(sawLow && sawHigh, qPrintable(QStringLiteral("span %1").arg(c.spanIndex)));
      if (c.everyPoint)
        for (const QPointF& p : inRange) QVERIFY(plotted.contains(p));
      else
        QVERIFY(plotted.size() < inRange.size());
    }
  }

  // Hidden again it is not fed; shown, it takes up what came meanwhile.
  trend->hide();
  const QList<QPointF> before = trend->PlottedOxygen();
  for (int i = 0; i < 400; ++i) {
    clock += 2000;
    emit line.ReplyAccepted(replies[0], clock);
  }
  QCOMPARE(trend->PlottedOxygen(), before);
  hub.ShowTrend();
  QCOMPARE(trend->TimeRange().second, clock + hub.EpochOffsetMs());
  QCOMPARE(trend->PlottedOxygen().last(), QPointF(static_cast<double>(clock + hub.EpochOffsetMs()), 8.0));
}

// The oxygen in either unit with the implausible readings marked, live and
// in a past span read from the records.
void ViewsWindowTest::trendShowsBothUnitsMarksImplausibleReadingsAndOpensThePast() {
  protocol::AppState state;
  ScriptedLine line;
  qint64 clock = 0;
  views::ViewsHub hub(&line, state, nullptr, {[&clock] { return clock; }, nullptr});
  const double sol20 = protocol::OxygenSolubility(20.0, 101.325);
  // 40 mg/L at 20 deg is over 400 % saturation: beyond what physics allows.
  const float live[] = {8.0f, 8.5f, 40.0f, 8.25f};
  for (int i = 0; i < 4; ++i) {
    clock = 2000LL * i;
    emit line.ReplyAccepted(Reply(live[i], 20.0f), clock);
  }
  hub.ShowTrend();
  views::TrendWindow* trend = hub.Trend();
  QVERIFY(QTest::qWaitForWindowExposed(trend));
  const qint64 t0 = hub.EpochOffsetMs();
  QCOMPARE(trend->ImplausibleMarks(), (QList<QPointF>{QPointF(static_cast<double>(t0 + 4000), 40.0)}));
  QVERIFY2(trend->ImplausibleText(0).contains(QStringLiteral("饱和度超出范围")), qPrintable(trend->ImplausibleText(0)));
  // The tooltip over the mark tells why; away from it there is none.
  auto* plot = trend->findChild<views::TrendPlot*>();
  QVERIFY(plot);
  const QPoint markAt = plot->PositionOf(views::TrendPlot::Left, trend->ImplausibleMarks().first()).toPoint();
  QCOMPARE(plot->MarkTextAt(markAt + QPoint(2, 1)), trend->ImplausibleText(0));
  QVERIFY(plot->MarkTextAt(markAt - QPoint(30, 0)).isEmpty());

  auto* unit = trend->findChild<QComboBox*>(QStringLiteral("oxygenUnitList"));
  QVERIFY(unit);
  struct UnitCase {
    int index;
    QString title;
    double factor;  // shown value per mg/L
  };
  const UnitCase units[] = {{2, QStringLiteral("溶解氧 (%)"), 100.0 / sol20},
                            {1, QStringLiteral("溶解氧 (mg/L)"), 1.0},
                            {0, QStringLiteral("溶解氧 (mg/L)"), 1.0}};
  for (const UnitCase& u : units) {
    unit->setCurrentIndex(u.index);
    QCOMPARE(trend->OxygenAxisTitle(), u.title);
    const QList<QPointF> plotted = trend->PlottedOxygen();
    QCOMPARE(plotted.size(), 4);
    for (int i = 0; i < 4; ++i) QVERIFY(qAbs(plotted[i].y() - live[i] * u.factor) < 0.01 * u.factor);
    QCOMPARE(trend->ImplausibleMarks().size(), 1);
    QCOMPARE(trend->ImplausibleMarks().first().y(), plotted[2].y());
  }

  // The records of two sensors; the window lists both and opens a span of one.
  QTemporaryDir dir;
  records::DatabaseTarget target;
  target.file = dir.filePath(QStringLiteral("records.sqlite"));
  const QDateTime start(QDate(2026, 3, 1), QTime(10, 0, 0));
  {
    records::RecordStore store(target);
    for (int i = 0; i < 10; ++i) {
      records::ReadingRecord r;
      r.time = start.addSecs(2 * i);
      r.serial = 111;
      r.address = 1;
      r.doValue = 50.0 + i;  // in % saturation, as the sensor sent it
      r.unit = 0;
      r.temperature = 20.0;
      r.mgPerL = (50.0 + i) * sol20 / 100.0;
      r.saturation = 50.0 + i;
      r.plausibility = static_cast<int>(i == 5 ? protocol::Plausibility::UnitsDisagree : protocol::Plausibility::Plausible);
      store.AddReading(r);
      r.serial = 222;
      store.AddReading(r);
    }
    QVERIFY(store.WaitUntilWritten(30000));
  }
  QTRY_VERIFY(!trend->HistoryBusy());  // the look at the default records when the window came up
  trend->SetHistoryDatabase(target);
  trend->RefreshHistorySerials();
  auto* serials = trend->findChild<QComboBox*>(QStringLiteral("historySerialList"));
  QVERIFY(serials);
  QTRY_COMPARE(serials->count(), 2);
  QCOMPARE(serials->itemText(0), QStringLiteral("111"));
  QCOMPARE(serials->itemText(1), QStringLiteral("222"));
  serials->setCurrentIndex(0);
  trend->findChild<QDateTimeEdit*>(QStringLiteral("historyFrom"))->setDateTime(start.addSecs(4));
  trend->findChild<QDateTimeEdit*>(QStringLiteral("historyTo"))->setDateTime(start.addSecs(16));
  QTest::mouseClick(trend->findChild<QPushButton*>(QStringLiteral("historyOpenButton")), Qt::LeftButton);
  QTRY_VERIFY(trend->ShowingHistory());
  // Readings 2 to 8, in the sensor's unit; the one physics doubts is marked.
  QCOMPARE(trend->PointCount(), 7);
  QCOMPARE(trend->OxygenAxisTitle(), QStringLiteral("溶解氧 (%)"));
  QList<QPointF> expected;
  for (int i = 2; i <= 8; ++i) expected << QPointF(static_cast<double>(start.addSecs(2 * i).toMSecsSinceEpoch()), 50.0 + i);
  QCOMPARE(trend->PlottedOxygen(), expected);
  QCOMPARE(trend->ImplausibleMarks(), (QList<QPointF>{expected[3]}));
  QVERIFY2(trend->ImplausibleText(0).contains(QStringLiteral("单位换算不一致")), qPrintable(trend->ImplausibleText(0)));
  QCOMPARE(trend->TimeRange(), qMakePair(start.addSecs(4).toMSecsSinceEpoch(), start.addSecs(16).toMSecsSinceEpoch()));
  // Replies keep coming meanwhile; they do not enter the past span.
  clock += 2000;
  emit line.ReplyAccepted(Reply(8.0f, 20.0f), clock);
  QCOMPARE(trend->PointCount(), 7);

  // Back to this run, with the reply that came meanwhile.
  QTest::mouseClick(trend->findChild<QPushButton*>(QStringLiteral("liveButton")), Qt::LeftButton);
  QVERIFY(!trend->ShowingHistory());
  QCOMPARE(trend->PointCount(), 5);
  QCOMPARE(trend->PlottedOxygen().size(), 5);
  QCOMPARE(trend->ImplausibleMarks().size(), 1);
  QCOMPARE(trend->OxygenAxisTitle(), QStringLiteral("溶解氧 (mg/L)"));
}

void ViewsWindowTest::viewsTickOnlyWhileTheyHaveWork() {
  protocol::AppState state;
  ScriptedLine line;
  qint64 clock = 0;
  bool resetting = false;
  views::ViewsHub hub(&line, state, nullptr, {[&clock] { return clock; }, [&resetting] { return resetting; }});
  QTemporaryDir dir;
  const QByteArray reply = Reply(8.0f, 20.0f);
  // Each step leaves the line quiet for a while, then asks whether the tick
  // still runs after one more tick.
  struct Step {
    const char* what;
    std::function<void()> act;
    bool ticking;
  };
  const Step steps[] = {
      {"a new program, port closed", [] {}, false},
      {"a poll sent", [&] { emit line.FrameSent(Bytes(protocol::PollBlock(1)), clock); }, true},
      {"quiet long after the poll", [&] { clock += 10000; }, false},
      {"half a reply arrives", [&] { emit line.BytesArrived(reply.left(30), clock); }, true},
      {"quiet long after it: the tick closed it", [&] { clock += 10000; }, false},
      {"recording", [&] { QVERIFY(hub.StartRecording(dir.filePath(QStringLiteral("r.csv")))); }, true},
      {"recording stopped", [&] { hub.StopRecording(); }, false},
      {"the traffic window shown", [&] { hub.ShowTraffic(); }, true},
      {"the traffic window closed", [&] { hub.Traffic()->close(); }, false},
      {"the trend window shown", [&] { hub.ShowTrend(); }, true},
      {"the trend window closed", [&] { hub.Trend()->close(); }, false},
      {"a port reset running, quiet", [&] { resetting = true; emit line.BytesHandled(); clock += 10000; }, true},
      {"the reset over", [&] { resetting = false; }, false},
  };
  for (const Step& step : steps) {
    step.act();
    QCoreApplication::processEvents();  // windows shown or hidden report it queued
    hub.Tick();
    QCoreApplication::processEvents();
    QVERIFY2(hub.Ticking() == step.ticking, step.what);
  }
}

int main(int argc, char* argv[]) {
  // A private port directory, so COMn links made here never meet a real port.
  static QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  // The main window keeps records and reads the records settings: both in
  // folders of this run, never the user's own.
  static QTemporaryDir userDir;
  qputenv("XDG_DATA_HOME", QDir(userDir.path()).filePath(QStringLiteral("data")).toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", QDir(userDir.path()).filePath(QStringLiteral("config")).toLocal8Bit());
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);
  ViewsWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "views_window_test.moc"
