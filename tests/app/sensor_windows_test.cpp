// Every change of the three sensor windows, end to end: real windows driven
// through their widgets, the simulated sensor on a pseudo-terminal, and the
// frames the sensor received checked byte for byte.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_dialog.h"
#include "app/records_hub.h"
#include "app/sensor_tool_app.h"
#include "controls/image_button.h"
#include "dialogs/factory_info_dialog.h"
#include "dialogs/sensor_config_dialog.h"
#include "dialogs/sensor_signal_dialog.h"
#include <QSignalSpy>
#include <cmath>
#include <functional>
#include <iterator>
#include <memory>
#include "dialogs/dialog_support.h"
#include "gui_helpers.h"
#include "protocol/registers.h"
#include "records/database_url.h"
#include "records/record_database.h"
#include "records/record_store.h"
#include "records/recorder.h"
#include "serial/port_naming.h"
#include "sim_process.h"

namespace {

constexpr int kTimeoutMs = 20000;

QString PortLink(int number) { return QDir(PortDirectory()).filePath(QStringLiteral("COM%1").arg(number)); }
QLineEdit* Box(QWidget* window, int id) { return ui::Control<QLineEdit>(window, id); }
QPushButton* Button(QWidget* window, int id) { return ui::Control<QPushButton>(window, id); }

// Presses `buttonId` of `window`, which opens an entry window; types `text`
// there and presses OK.
void EnterValue(QWidget* window, int buttonId, const QString& text) {
  WhenModalShows(
      [text](QWidget* entry) {
        QLineEdit* box = Box(entry, 1029);
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::mouseClick(Button(entry, 1), Qt::LeftButton);
      },
      window);
  QTest::mouseClick(Button(window, buttonId), Qt::LeftButton);
}

// Presses OK in each of the next `left` prompts, each opened by the OK before.
void ConfirmNextPrompts(QWidget* window, int left) {
  if (left == 0) return;
  WhenModalShows(
      [window, left](QWidget* prompt) {
        ConfirmNextPrompts(window, left - 1);
        QTest::mouseClick(Button(prompt, 1), Qt::LeftButton);
      },
      window);
}

// Presses `buttonId`, then OK in each prompt that follows (`prompts` of them).
void ConfirmPrompts(QWidget* window, int buttonId, int prompts) {
  ConfirmNextPrompts(window, prompts);
  QTest::mouseClick(Button(window, buttonId), Qt::LeftButton);
}

QString Frame(const protocol::RtuFrame& frame) { return HexText(frame); }

}  // namespace

class SensorWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void everyChangeReachesTheSensorAndShows();
  void keyboardReachesAndPressesAButtonAcrossRefreshes();
};

void SensorWindowsTest::keyboardReachesAndPressesAButtonAcrossRefreshes() {
  const std::pair<const char*, std::function<CSensorWindow*(protocol::AppState&)>> windows[] = {
      {"configuration", [](protocol::AppState& s) { return new CSensorConfigDlg(s); }},
      {"signal", [](protocol::AppState& s) { return new CSensorSignalDlg(s); }},
      {"factory information", [](protocol::AppState& s) { return new CFactoryInfoDlg(s); }}};
  for (const auto& [name, make] : windows) {
    protocol::AppState state;
    std::unique_ptr<CSensorWindow> window(make(state));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    // Every window fits a 1366x768 screen above a 40-pixel task bar.
    QVERIFY2(window->frameGeometry().width() <= 1366 && window->frameGeometry().height() <= 728, name);

    // A caret in a value box still goes to the title label at the next refresh.
    auto* box = window->findChild<QLineEdit*>();
    QVERIFY2(box, name);
    box->setFocus(Qt::MouseFocusReason);
    QSignalSpy first(&window->RefreshTimer(), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(first.count() >= 1, 10 * CSensorWindow::kRefreshPeriodMs);
    QVERIFY2(qobject_cast<QLabel*>(QApplication::focusWidget()), name);

    // Tab walks to "返回" as an operator would.
    QWidget* back = ui::FindControl(window.get(), 58112);
    QVERIFY2(back, name);
    for (int i = 0; i < 40 && QApplication::focusWidget() != back; ++i)
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(), Qt::Key_Tab);
    QVERIFY2(QApplication::focusWidget() == back, name);

    QSignalSpy refreshes(&window->RefreshTimer(), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(refreshes.count() >= 3, 10 * CSensorWindow::kRefreshPeriodMs);
    QVERIFY2(QApplication::focusWidget() == back, name);

    QTest::keyClick(back, Qt::Key_Space);
    QTRY_VERIFY2(!window->isVisible(), name);
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QCOMPARE(state.childDialogState, protocol::kChildDialogEnded);
  }
}

void SensorWindowsTest::everyChangeReachesTheSensorAndShows() {
  const QDateTime started = QDateTime::currentDateTime();
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--steady", "--unit", "1", "--filter", "20"}),
           qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QTest::mouseClick(Button(&window, 1026), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.sensorConnected, kTimeoutMs);

  // Waits until the sensor received `frame`, echoed it, and the tool said so.
  auto roundTrip = [&](const protocol::RtuFrame& frame) {
    const QString expected = Frame(frame);
    QTRY_VERIFY_WITH_TIMEOUT(sim.ReceivedFrames().contains(expected), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(sim.SentFrames().contains(Frame(protocol::BuildWriteEcho(
                                 frame[0], frame[3], frame[5]))),
                             kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(answers.texts.count(QStringLiteral("操作成功")), 1, kTimeoutMs);
    answers.texts.clear();
    QVERIFY(state.link.pendingWriteReg == 0);
  };
  auto writesReceived = [&] {
    int n = 0;
    for (const QString& f : sim.ReceivedFrames())
      if (f.mid(3, 2) == QStringLiteral("10")) ++n;
    return n;
  };

  // ---- configuration window ----
  bool configDone = false;
  QString zeroBefore, zeroAfter, airAfter;
  WhenModalShows([&](QWidget* config) {
    // A failed check must not leave the window open and the test waiting.
    const auto closeOnFailure = qScopeGuard([&] {
      if (!configDone) QMetaObject::invokeMethod(config, "reject", Qt::QueuedConnection);
    });
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1030)->text(), QStringLiteral("20"), kTimeoutMs);

    EnterValue(config, 1027, QStringLiteral("10"));
    roundTrip(protocol::WriteFilter(1, 10));
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1030)->text(), QStringLiteral("10"), kTimeoutMs);

    EnterValue(config, 1028, QStringLiteral("95.5"));
    roundTrip(protocol::WritePressure(1, 95.5f));
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1031)->text(), QStringLiteral("95.5"), kTimeoutMs);

    QCOMPARE(Box(config, 1029)->text(), QStringLiteral("mg/L"));
    QTest::mouseClick(Button(config, 1026), Qt::LeftButton);
    roundTrip(protocol::WriteUnit(1, 0));
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1029)->text(), QStringLiteral("%"), kTimeoutMs);

    zeroBefore = Box(config, 1032)->text();
    ConfirmPrompts(config, 1044, 2);
    roundTrip(protocol::StartZeroCal(1));
    QTRY_VERIFY_WITH_TIMEOUT(Box(config, 1032)->text() != zeroBefore, kTimeoutMs);
    zeroAfter = Box(config, 1032)->text();

    const QString airBefore = Box(config, 1033)->text();
    ConfirmPrompts(config, 1047, 2);
    roundTrip(protocol::StartAirCal(1));
    QTRY_VERIFY_WITH_TIMEOUT(Box(config, 1033)->text() != airBefore, kTimeoutMs);
    airAfter = Box(config, 1033)->text();

    ConfirmPrompts(config, 1048, 1);
    roundTrip(protocol::RestoreFactoryCal(1));
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1032)->text(), zeroBefore, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1033)->text(), airBefore, kTimeoutMs);

    EnterValue(config, 1043, QStringLiteral("60"));
    roundTrip(protocol::WriteZeroCalValue(1, 60.0f));
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1032)->text(), QStringLiteral("60"), kTimeoutMs);

    EnterValue(config, 1045, QStringLiteral("28.125"));
    roundTrip(protocol::WriteAirCalValue(1, 28.125f));
    QTRY_COMPARE_WITH_TIMEOUT(Box(config, 1033)->text(), QStringLiteral("28.125"), kTimeoutMs);

    // A refused entry sends nothing.
    const int writes = writesReceived();
    WhenModalShows([](QWidget* entry) {
      QLineEdit* box = Box(entry, 1029);
      box->selectAll();
      QTest::keyClicks(box, QStringLiteral("100"));
      QTest::mouseClick(Button(entry, 1), Qt::LeftButton);  // refused: the entry stays open
      QTRY_VERIFY(entry->isVisible());
      QTest::mouseClick(Button(entry, 2), Qt::LeftButton);
    }, config);
    QTest::mouseClick(Button(config, 1027), Qt::LeftButton);
    QTRY_COMPARE(answers.texts, QStringList{QStringLiteral("只能输入1到99之间的数值。")});
    answers.texts.clear();
    QTest::qWait(2000);
    QCOMPARE(writesReceived(), writes);

    // The address change drops the connection once the sensor confirmed it.
    EnterValue(config, 1042, QStringLiteral("7"));
    QVERIFY(!state.link.sensorConnected);
    roundTrip(protocol::WriteDeviceAddress(1, 7));
    QTest::keyClick(config, Qt::Key_Escape);
    configDone = true;
  });
  QTest::mouseClick(Button(&window, 1036), Qt::LeftButton);
  QVERIFY(configDone);
  QTRY_VERIFY(window.isVisible());
  // Back in the main window the return check rests; the write timer goes on.
  QVERIFY(!window.findChild<QTimer*>(QStringLiteral("returnTimer"))->isActive());
  QVERIFY(window.findChild<QTimer*>(QStringLiteral("writeTimer"))->isActive());
  QCOMPARE(state.childDialogState, 0);
  QCOMPARE(Box(&window, 1018)->text(), QStringLiteral("未连接"));
  QCOMPARE(Box(&window, 1031)->text(), QStringLiteral("无连接"));
  QVERIFY(!state.link.sensorConnected);

  // A new search finds the sensor at its new address.
  QTest::mouseClick(Button(&window, 1026), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("通信中"), kTimeoutMs);
  QCOMPARE(state.link.currentAddress, 7);
  QCOMPARE(Box(&window, 1044)->text(), QStringLiteral("7"));

  // ---- factory information window ----
  bool factoryDone = false;
  WhenModalShows([&](QWidget* factory) {
    // A failed check must not leave the window open and the test waiting.
    const auto closeOnFailure = qScopeGuard([&] {
      if (!factoryDone) QMetaObject::invokeMethod(factory, "reject", Qt::QueuedConnection);
    });
    EnterValue(factory, 1026, QStringLiteral("12345678"));
    roundTrip(protocol::WriteSerialNumber(7, 12345678u));
    QTRY_COMPARE_WITH_TIMEOUT(Box(factory, 1030)->text(), QStringLiteral("12345678"), kTimeoutMs);

    EnterValue(factory, 1027, QStringLiteral("61.5"));
    roundTrip(protocol::WriteFactoryZeroCal(7, 61.5f));
    QTRY_COMPARE_WITH_TIMEOUT(Box(factory, 1031)->text(), QStringLiteral("61.5"), kTimeoutMs);

    EnterValue(factory, 1028, QStringLiteral("28.25"));
    roundTrip(protocol::WriteFactoryAirCal(7, 28.25f));
    QTRY_COMPARE_WITH_TIMEOUT(Box(factory, 1032)->text(), QStringLiteral("28.25"), kTimeoutMs);
    QTest::mouseClick(Button(factory, 58112), Qt::LeftButton);
    factoryDone = true;
  });
  QTest::mouseClick(Button(&window, 1037), Qt::LeftButton);
  QVERIFY(factoryDone);
  QTRY_VERIFY(window.isVisible());

  // ---- signal window: read-only, shows the sensor's optics ----
  bool signalDone = false;
  WhenModalShows([&](QWidget* signal) {
    // A failed check must not leave the window open and the test waiting.
    const auto closeOnFailure = qScopeGuard([&] {
      if (!signalDone) QMetaObject::invokeMethod(signal, "reject", Qt::QueuedConnection);
    });
    QVERIFY(!Box(signal, 1029)->text().isEmpty());
    QVERIFY(Box(signal, 1032)->text().toUInt() > 0);
    QTest::keyClick(signal, Qt::Key_Escape);
    signalDone = true;
  });
  const int writes = writesReceived();
  QTest::mouseClick(Button(&window, 1038), Qt::LeftButton);
  QVERIFY(signalDone);
  QTRY_VERIFY(window.isVisible());
  QCOMPARE(writesReceived(), writes);
  QVERIFY(answers.texts.isEmpty());

  // ---- the records: every write confirmed, every calibration with its operator ----
  auto* records = window.findChild<RecordsHub*>();
  QVERIFY(records && records->Store());
  QVERIFY(records->Store()->WaitUntilWritten(30000));
  records::DatabaseTarget target;
  QString error;
  QVERIFY2(records::ParseDatabaseUrl(QString(), &target, &error), qPrintable(error));
  QVERIFY2(target.file.startsWith(qEnvironmentVariable("XDG_DATA_HOME")), qPrintable(target.file));
  records::RecordDatabase db;
  QVERIFY2(db.Open(target, &error), qPrintable(error));
  records::RecordFilter since;
  since.since = started;
  const QList<records::WriteRecord> written = db.Writes(since, &error);
  QVERIFY2(error.isEmpty(), qPrintable(error));
  const struct {
    int address;
    int reg;
    const char* value;
  } expectedWrites[] = {
      {1, protocol::Filter, "10"},         {1, protocol::Pressure, "95.5"},       {1, protocol::Unit, "0"},
      {1, protocol::Command, "1"},         {1, protocol::Command, "2"},           {1, protocol::Command, "3"},
      {1, protocol::ZeroCalValue, "60"},   {1, protocol::AirCalValue, "28.125"},  {1, protocol::DeviceAddress, "7"},
      {7, protocol::SerialNumber, "12345678"}, {7, protocol::FactoryZeroCal, "61.5"},
      {7, protocol::FactoryAirCal, "28.25"},
  };
  QCOMPARE(written.size(), int(std::size(expectedWrites)));
  for (int i = 0; i < written.size(); ++i) {
    const records::WriteRecord& w = written[i];
    const QString where = QStringLiteral("write %1 (register %2)").arg(i).arg(w.reg);
    QCOMPARE(w.address, expectedWrites[i].address);
    QCOMPARE(w.reg, expectedWrites[i].reg);
    QCOMPARE(w.value, QString::fromLatin1(expectedWrites[i].value));
    QVERIFY2(w.outcome == records::WriteRecord::Confirmed, qPrintable(where + QStringLiteral(": ") + w.reason));
    QVERIFY2(w.finished.isValid() && w.finished >= w.queued, qPrintable(where));
  }
  // A calibration is written once a reading after it shows its effect.
  auto calibrations = [&] {
    records->Store()->WaitUntilWritten(5000);
    return db.Calibrations(since, &error);
  };
  QTRY_COMPARE_WITH_TIMEOUT(calibrations().size(), 3, kTimeoutMs);
  const QList<records::CalibrationRecord> calibrated = calibrations();
  const char* const kinds[] = {"zero", "air", "factory"};
  for (int i = 0; i < 3; ++i) {
    const records::CalibrationRecord& c = calibrated[i];
    QCOMPARE(c.kind, QString::fromLatin1(kinds[i]));
    QCOMPARE(c.address, 1);
    QCOMPARE(c.operatorName, records::Recorder::CurrentOperator());
    QVERIFY2(!c.stabilityText.isEmpty(), kinds[i]);
    QVERIFY2(!std::isnan(c.before.zeroCal) && !std::isnan(c.before.airCal), kinds[i]);
  }
  // The next command came before the sensor settled: no "after". The zero
  // point written right after the factory restore is not taken as that
  // restore's "after" either: it is unknown unless a settled reading came
  // before that write.
  QVERIFY(std::isnan(calibrated[0].after.zeroCal));
  QVERIFY2(std::isnan(calibrated[2].after.zeroCal) || qAbs(calibrated[2].after.zeroCal - 60.0) > 1e-3,
           qPrintable(QString::number(calibrated[2].after.zeroCal)));
  QVERIFY(db.Readings(since, &error).size() >= 3);
}

int main(int argc, char* argv[]) {
  static QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  // The main window keeps records and reads their settings: in folders of
  // this run, never the user's.
  static QTemporaryDir userDir;
  qputenv("XDG_DATA_HOME", (userDir.path() + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (userDir.path() + QStringLiteral("/config")).toLocal8Bit());
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);
  SensorWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "sensor_windows_test.moc"
