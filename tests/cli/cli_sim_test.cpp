// sensortool-cli as a program against the simulated sensor on a
// pseudo-terminal: the search walk, read, every set with its echo and read
// back, refused values, calibration commands, watch, and failures.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QVariant>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_process.h"
#include "protocol/device_table.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "serial/port_naming.h"
#include "sensortool_version.h"
#include "pg_test_server.h"
#include "sim_process.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const QString& text) {
  Bytes bytes;
  for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    bytes.push_back(static_cast<std::uint8_t>(part.toUInt(nullptr, 16)));
  return bytes;
}

QString Hex(const Bytes& bytes) { return HexText(bytes); }

QJsonObject JsonOf(const CliRun& run) {
  return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

class CliAgainstSim : public ::testing::Test {
 protected:
  void StartSim(const QStringList& extra, const QString& link = QString()) {
    link_ = link.isEmpty() ? dir_.filePath(QStringLiteral("line")) : link;
    ASSERT_TRUE(sim_.Start(link_, extra)) << sim_.Error().toStdString();
  }
  // The client on the simulator's line, given as a device path.
  CliRun Cli(const QStringList& args, const QByteArray& input = QByteArray()) {
    return RunCli(QStringList{QStringLiteral("--port"), link_} + args, input);
  }
  // Write requests the simulator received, in order.
  QStringList WritesReceived() const {
    QStringList writes;
    for (const QString& frame : sim_.ReceivedFrames())
      if (frame.mid(3, 2) == QLatin1String("10")) writes << frame;
    return writes;
  }
  QStringList PollsReceived() const {
    QStringList polls;
    for (const QString& frame : sim_.ReceivedFrames())
      if (frame.mid(3, 2) == QLatin1String("03")) polls << frame;
    return polls;
  }
  // The last poll reply the simulator sent, decoded.
  protocol::SensorReading LastReplySent() const {
    const QStringList sent = sim_.SentFrames();
    for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
      const Bytes bytes = FromHex(*it);
      if (bytes.size() == protocol::kPollReplyLength) return protocol::DecodePollReply(bytes.data());
    }
    ADD_FAILURE() << "the simulator sent no poll reply";
    return {};
  }

  QTemporaryDir dir_;
  SimProcess sim_;
  QString link_;
};

TEST_F(CliAgainstSim, SearchWalksTheAddressesAndFindsFive) {
  StartSim({"--address", "5", "--steady"});
  const CliRun run = Cli({"search"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_EQ(run.out, QStringLiteral("5\n"));
  for (int a = 0; a <= 5; ++a)
    EXPECT_TRUE(run.err.contains(QStringLiteral("searching: polling address %1\n").arg(a))) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("found the sensor at address 5"))) << Describe(run);

  // The walk: polls of 0, 1, ... 5, one per step, and none after the answer.
  const QStringList polls = PollsReceived();
  ASSERT_EQ(polls.size(), 6) << polls.join(QLatin1Char('\n')).toStdString();
  for (int a = 0; a <= 5; ++a) EXPECT_EQ(polls[a], Hex(protocol::PollBlock(static_cast<std::uint8_t>(a))));
  EXPECT_EQ(polls[5], QStringLiteral("05 03 00 00 00 24 44 55"));
}

// search --all: every address asked once, each sensor listed with its
// serial number and kept in the device table the window shares; Ctrl-C
// ends the scan with what was found so far.
TEST_F(CliAgainstSim, SearchAllListsEverySensorAndKeepsThemInTheDeviceTable) {
  StartSim({"--address", "3,7,12", "--serial", "5000", "--steady"});
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  // The user's own device table stays out of reach of the child, however the test ends.
  struct DataHome {
    QByteArray old = qgetenv("XDG_DATA_HOME");
    ~DataHome() { old.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", old); }
  } dataHome;
  qputenv("XDG_DATA_HOME", home.path().toUtf8());
  const QString tableFile = home.filePath(QStringLiteral("sensortool/devices.tsv"));
  // Address and serial number of each entry of the device table file.
  auto tableHolds = [&] {
    QFile file(tableFile);
    QStringList rows;
    if (!file.open(QIODevice::ReadOnly)) return rows;
    const auto table = protocol::DeviceTable::FromText(file.readAll().toStdString());
    if (table)
      for (const protocol::DeviceEntry& e : table->Entries()) rows << QStringLiteral("%1 %2").arg(e.address).arg(e.serialNumber);
    return rows;
  };
  const QStringList expected{"3 5000", "7 5004", "12 5009"};

  // The whole line, as JSON.
  QElapsedTimer clock;
  clock.start();
  CliRun run = Cli({"search", "--all", "--json"});
  const qint64 scanMs = clock.elapsed();
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  std::printf("search --all over addresses 1..247 took %.1f s\n", scanMs / 1000.0);
  // The wait of 150 ms per silent address, not the search walk's 600 ms step.
  EXPECT_LT(scanMs, 90000);
  QJsonParseError error{};
  const QJsonArray list = QJsonDocument::fromJson(run.out.toUtf8(), &error).array();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << Describe(run);
  QStringList listed;
  for (const QJsonValue& v : list) {
    const QJsonObject o = v.toObject();
    listed << QStringLiteral("%1 %2").arg(o["address"].toInt()).arg(o["serial_number"].toInteger());
    EXPECT_EQ(o["unit_text"].toString(), QStringLiteral("mg/L"));
    EXPECT_DOUBLE_EQ(o["software_version"].toDouble(), 1.11);
    EXPECT_TRUE(o["do_value"].isDouble());
    EXPECT_TRUE(QDateTime::fromString(o["found_at"].toString(), Qt::ISODateWithMs).isValid()) << Describe(run);
  }
  EXPECT_EQ(listed, expected) << Describe(run);
  EXPECT_EQ(tableHolds(), expected);
  // Off a terminal the progress is sparse: addresses 1, 26, ... 226 and the last.
  EXPECT_EQ(run.err.count(QStringLiteral("scanning: address")), 11) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("scanning: address 247 (247/247)\n"))) << Describe(run);
  // Each address asked once.
  const QStringList polls = PollsReceived();
  EXPECT_EQ(polls.size(), 247);
  EXPECT_EQ(polls.first(), Hex(protocol::PollBlock(1)));
  EXPECT_EQ(polls.last(), Hex(protocol::PollBlock(247)));

  // The text table over a shorter line; the table file keeps its entries.
  run = Cli({"search", "--all", "--last-address", "7"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << Describe(run);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("address"))) << Describe(run);
  for (int i = 1; i < 3; ++i)
    EXPECT_EQ(lines[i].simplified().section(QLatin1Char(' '), 0, 1), expected[i - 1]) << Describe(run);
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" mg/L"))) << Describe(run);
  EXPECT_EQ(PollsReceived().size(), 247 + 7);
  EXPECT_EQ(tableHolds(), expected);

  // A table that cannot be saved is a warning, not a failed scan.
  const QString blocked = home.filePath(QStringLiteral("not-a-folder"));
  {
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  qputenv("XDG_DATA_HOME", blocked.toUtf8());
  run = Cli({"search", "--all", "--last-address", "3"});
  qputenv("XDG_DATA_HOME", home.path().toUtf8());
  EXPECT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("warning: the device table was not saved"))) << Describe(run);
  EXPECT_EQ(run.out.count(QLatin1Char('\n')), 2) << Describe(run);

  // Ctrl-C mid-scan: the sensors found so far are printed and kept.
  QFile::remove(tableFile);
  QProcess scan;
  scan.start(QStringLiteral(SENSORTOOL_CLI_PATH), {"--port", link_, "search", "--all", "--json"});
  ASSERT_TRUE(scan.waitForStarted(10000));
  QString err;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        err += QString::fromUtf8(scan.readAllStandardError());
        return err.contains(QStringLiteral("found the sensor at address 7"));
      },
      30000))
      << err.toStdString();
  ::kill(static_cast<pid_t>(scan.processId()), SIGINT);
  ASSERT_TRUE(scan.waitForFinished(10000));
  err += QString::fromUtf8(scan.readAllStandardError());
  EXPECT_EQ(scan.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(scan.exitCode(), 130) << err.toStdString();
  QStringList found;
  for (const QJsonValue& v : QJsonDocument::fromJson(scan.readAllStandardOutput()).array())
    found << QStringLiteral("%1 %2").arg(v.toObject()["address"].toInt()).arg(v.toObject()["serial_number"].toInteger());
  // What was found before the signal: 3 and 7, perhaps 12 on a slow machine.
  ASSERT_GE(found.size(), 2) << err.toStdString();
  EXPECT_EQ(found, expected.mid(0, found.size()));
  EXPECT_EQ(err.count(QStringLiteral("found the sensor at address")), found.size()) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("cancelled"))) << err.toStdString();
  EXPECT_EQ(tableHolds(), found);
  EXPECT_LT(PollsReceived().size(), 2 * 247 + 7 + 3);
}

TEST_F(CliAgainstSim, ReadShowsTheSimulatorsValuesThroughTheDisplayRules) {
  StartSim({"--address", "5", "--steady", "--do-value", "8.276", "--temperature", "-3.456", "--unit", "0",
            "--filter", "17", "--pressure", "99.8", "--serial", "3000000000", "--status", "1", "--zero-cal",
            "12.34567", "--air-cal", "12.34567", "--sw-version", "2.5"});
  const CliRun run = Cli({"read", "--json", "--address", "5"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  const QJsonObject o = JsonOf(run);
  ASSERT_EQ(o.size(), 35) << Describe(run);
  EXPECT_EQ(o["address"].toInt(), 5);
  EXPECT_EQ(o["do_value"].toDouble(), 8.27);
  EXPECT_EQ(o["temperature"].toDouble(), -3.45);
  EXPECT_EQ(o["unit"].toString(), QStringLiteral("%"));
  EXPECT_EQ(o["status"].toString(), QStringLiteral("异常"));
  EXPECT_EQ(o["filter"].toInt(), 17);
  EXPECT_EQ(o["pressure"].toDouble(), 99.8);
  EXPECT_EQ(o["serial_number"].toDouble(), -1294967296.0);
  EXPECT_EQ(o["zero_cal_value"].toDouble(), 12.34);
  EXPECT_EQ(o["air_cal_value"].toDouble(), 12.345);
  EXPECT_EQ(o["software_version"].toDouble(), 2.51);
  EXPECT_EQ(o["device_address"].toInt(), 5);

  // Every other field is what the reply the simulator sent shows.
  const protocol::ShownReading s = protocol::ShowReading(LastReplySent());
  const std::vector<std::pair<const char*, std::string>> shown = {
      {"phase_diff", s.phaseDiff},         {"red_phase", s.redPhase},   {"green_phase", s.greenPhase},
      {"red_amplitude", s.redAmplitude},   {"red_gain", s.redGain},     {"green_amplitude", s.greenAmplitude},
      {"green_gain", s.greenGain},         {"factory_zero_cal", s.factoryZeroCal},
      {"factory_air_cal", s.factoryAirCal}};
  for (const auto& [key, text] : shown)
    EXPECT_EQ(o[key].toDouble(), QString::fromStdString(text).toDouble()) << key << " shown " << text;

  // One poll to the given address, no search.
  EXPECT_EQ(PollsReceived(), QStringList{Hex(protocol::PollBlock(5))});

  const CliRun text = Cli({"read", "--address", "5"});
  ASSERT_EQ(text.exitCode, 0) << Describe(text);
  EXPECT_TRUE(text.out.contains(QStringLiteral("溶解氧值 (do_value)                8.27 %\n"))) << Describe(text);
  EXPECT_TRUE(text.out.contains(QStringLiteral("温度 (temperature)                 -3.45 ℃\n"))) << Describe(text);
  EXPECT_TRUE(text.out.contains(QStringLiteral("状态 (status)                      异常\n"))) << Describe(text);
  EXPECT_EQ(text.out.count(QLatin1Char('\n')), 21);
}

TEST_F(CliAgainstSim, EachSetIsEchoedAndReadBack) {
  StartSim({"--address", "5", "--steady", "--unit", "1"});
  struct Case {
    QStringList args;
    Bytes frame;
    std::uint16_t reg, count;
    const char* key;
    QVariant expected;
    QString readBack;
  };
  const std::vector<Case> cases = {
      {{"filter", "42"}, protocol::WriteFilter(5, 42), 19, 1, "filter", 42, "滤波 (filter) = 42"},
      {{"pressure", "99.5"}, protocol::WritePressure(5, 99.5f), 20, 2, "pressure", 99.5, "大气压强 (pressure) = 99.5"},
      {{"unit", "%"}, protocol::WriteUnit(5, 0), 18, 1, "unit", "%", "单位 (unit) = %"},
      {{"unit", "toggle"}, protocol::WriteUnit(5, 1), 18, 1, "unit", "mg/L", "单位 (unit) = mg/L"},
      {{"zero", "61.5"}, protocol::WriteZeroCalValue(5, 61.5f), 22, 2, "zero_cal_value", 61.5,
       "零点标定 (zero_cal_value) = 61.5"},
      {{"air", "27.125"}, protocol::WriteAirCalValue(5, 27.125f), 24, 2, "air_cal_value", 27.125,
       "空气标定 (air_cal_value) = 27.125"},
      {{"factory-zero", "62"}, protocol::WriteFactoryZeroCal(5, 62.0f), 26, 2, "factory_zero_cal", 62,
       "厂家零点标定 (factory_zero_cal) = 62"},
      {{"factory-air", "12.34567"}, protocol::WriteFactoryAirCal(5, 12.34567f), 28, 2, "factory_air_cal", 12.345,
       "厂家空气标定 (factory_air_cal) = 12.345"},
      {{"serial", "3000000000"}, protocol::WriteSerialNumber(5, 3000000000u), 30, 2, "serial_number",
       -1294967296.0, "传感器序列号 (serial_number) = -1294967296"},
  };
  int writes = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    const CliRun run = Cli(QStringList{"set"} + c.args + QStringList{"--address", "5"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_EQ(run.out, QStringLiteral("Operation successful\n") + c.readBack + QLatin1Char('\n'));
    // Sent as built by the protocol core, echoed by the sensor.
    const QStringList received = WritesReceived();
    ASSERT_GT(received.size(), writes);
    EXPECT_EQ(received.last(), Hex(c.frame));
    writes = static_cast<int>(received.size());
    EXPECT_TRUE(sim_.SentFrames().contains(Hex(protocol::BuildWriteEcho(5, c.reg, c.count))));

    const CliRun read = Cli({"read", "--json", "--address", "5"});
    ASSERT_EQ(read.exitCode, 0) << Describe(read);
    const QJsonValue got = JsonOf(read)[QLatin1String(c.key)];
    if (c.expected.typeId() == QMetaType::QString)
      EXPECT_EQ(got.toString(), c.expected.toString()) << Describe(read);
    else
      EXPECT_EQ(got.toDouble(), c.expected.toDouble()) << Describe(read);
  }

  // A new bus address is read back at that address, and the sensor then
  // answers there only.
  const CliRun moved = Cli({"set", "address", "7", "--address", "5"});
  ASSERT_EQ(moved.exitCode, 0) << Describe(moved);
  EXPECT_EQ(moved.out, QStringLiteral("Operation successful\n设备地址 (device_address) = 7\n"));
  EXPECT_EQ(WritesReceived().last(), Hex(protocol::WriteDeviceAddress(5, 7)));
  EXPECT_EQ(PollsReceived().last(), Hex(protocol::PollBlock(7)));
  const CliRun at7 = Cli({"read", "--json", "--address", "7"});
  ASSERT_EQ(at7.exitCode, 0) << Describe(at7);
  EXPECT_EQ(JsonOf(at7)["address"].toInt(), 7);
  EXPECT_EQ(JsonOf(at7)["device_address"].toInt(), 7);
  const CliRun at5 = Cli({"read", "--address", "5", "--timeout", "1.5"});
  EXPECT_EQ(at5.exitCode, 1) << Describe(at5);
  EXPECT_TRUE(at5.err.contains(QStringLiteral("no reply from the sensor at address 5"))) << Describe(at5);
}

TEST_F(CliAgainstSim, AWriteIsRepeatedEvery900MsUntilEchoed) {
  // The poll is answered, then the sensor ignores two requests: the first
  // two transmissions of the write go unanswered, the third is echoed.
  StartSim({"--address", "5", "--steady", "--silent-after", "1", "--silent-polls", "2"});
  const CliRun run = Cli({"set", "filter", "33", "--address", "5"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_EQ(run.out, QStringLiteral("Operation successful\n滤波 (filter) = 33\n"));
  const QString frame = Hex(protocol::WriteFilter(5, 33));
  EXPECT_EQ(WritesReceived(), (QStringList{frame, frame, frame}));
}

TEST_F(CliAgainstSim, AWriteNeverEchoedFailsAfterTheTimeout) {
  StartSim({"--address", "5", "--steady", "--silent-after", "1", "--silent-polls", "1000"});
  const CliRun run = Cli({"set", "pressure", "88", "--address", "5", "--timeout", "3"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_FALSE(run.out.contains(QStringLiteral("Operation successful"))) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("the sensor did not echo the write within 3 s"))) << Describe(run);
  // Sent every 900 ms, as the window sends it: 0.9, 1.8 and 2.7 s.
  const QStringList writes = WritesReceived();
  EXPECT_GE(writes.size(), 3);
  EXPECT_LE(writes.size(), 5);
  for (const QString& w : writes) EXPECT_EQ(w, Hex(protocol::WritePressure(5, 88.0f)));
}

TEST_F(CliAgainstSim, RefusedValuesExitWithTheEntryWindowsMessageAndSendNothing) {
  StartSim({"--address", "5", "--steady"});
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{"filter", "100"}, "Enter a value from 1 to 99."},
      {{"filter", "0"}, "Enter a value from 1 to 99."},
      {{"address", "255"}, "Enter a value from 1 to 254."},
      {{"pressure", "49.99"}, "Enter a value from 50 to 200."},
      {{"pressure", "200.01"}, "Enter a value from 50 to 200."},
      {{"zero", "20000.5"}, "Enter a value from 0 to 20000."},
      {{"factory-air", "-0.5"}, "Enter a value from 0 to 20000."},
      {{"filter", "-5"}, "\"Please enter a positive integer.\""},
      {{"serial", "abc"}, "\"Please enter a positive integer.\""},
      {{"air", ".0"}, "Please type a number."},
  };
  for (const auto& [args, message] : cases) {
    const CliRun run = Cli(QStringList{"set"} + args + QStringList{"--address", "5"});
    EXPECT_EQ(run.exitCode, 2) << Describe(run);
    EXPECT_TRUE(run.err.contains(message)) << Describe(run);
    EXPECT_TRUE(run.out.isEmpty()) << Describe(run);
  }
  EXPECT_TRUE(sim_.ReceivedFrames().isEmpty()) << sim_.ReceivedFrames().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CliAgainstSim, CalibrateSendsCommandsToRegister34AfterConfirmation) {
  StartSim({"--address", "5", "--steady"});
  const std::vector<std::pair<QString, Bytes>> commands = {
      {"zero", protocol::StartZeroCal(5)}, {"air", protocol::StartAirCal(5)}, {"restore", protocol::RestoreFactoryCal(5)}};
  QStringList expected;
  for (const auto& [name, frame] : commands) {
    const CliRun run = Cli({"calibrate", name, "--yes", "--address", "5"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_EQ(run.out, QStringLiteral("Operation successful\n"));
    expected << Hex(frame);
  }
  EXPECT_EQ(WritesReceived(), expected);
  // Register 34 (0x22), data words 1, 2 and 3.
  EXPECT_TRUE(expected[0].startsWith(QStringLiteral("05 10 00 22 00 01 02 00 01 ")));
  EXPECT_TRUE(expected[1].startsWith(QStringLiteral("05 10 00 22 00 01 02 00 02 ")));
  EXPECT_TRUE(expected[2].startsWith(QStringLiteral("05 10 00 22 00 01 02 00 03 ")));
  EXPECT_TRUE(sim_.SentFrames().contains(Hex(protocol::BuildWriteEcho(5, 34, 1))));

  // Declined: the prompt shows the calibration's own texts, nothing is sent.
  CliRun run = Cli({"calibrate", "zero", "--address", "5"}, "n\n");
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Make sure the sensor is in oxygen-free water"))) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Waiting for the calibration reading to settle"))) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("cancelled: nothing was sent"))) << Describe(run);
  run = Cli({"calibrate", "air", "--address", "5"});  // no answer at all
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Make sure the sensor is in air"))) << Describe(run);
  EXPECT_EQ(WritesReceived(), expected);

  run = Cli({"calibrate", "restore", "--address", "5"}, "y\n");
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Restore the factory settings?"))) << Describe(run);
  expected << Hex(protocol::RestoreFactoryCal(5));
  EXPECT_EQ(WritesReceived(), expected);
}

// What the client does on the line is recorded like the window records it:
// the calibration with its values before and after and the verdict, the
// write with its confirmed outcome, the readings; into an SQLite file and
// onto a PostgreSQL server alike. A database that cannot be opened is a
// warning and the measurement stands; --no-record keeps nothing.
TEST_F(CliAgainstSim, CalibrationAndWriteAreRecordedInEitherDatabase) {
  StartSim({"--address", "5", "--steady"});
  struct Target {
    const char* name;
    QString url;
  };
  std::vector<Target> targets{{"SQLite", dir_.filePath(QStringLiteral("records.sqlite"))}};
  PgTestServer server;
  if (PgTestServer::BinDir().isEmpty()) {
    std::printf("[  NOTE    ] PostgreSQL server binaries (Debian package postgresql) not installed: SQLite only\n");
  } else if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
    std::printf("[  NOTE    ] Qt PostgreSQL driver (libqt6sql6-psql) not installed: SQLite only\n");
  } else {
    QString error;
    ASSERT_TRUE(server.Create(&error)) << error.toStdString();
    targets.push_back({"PostgreSQL", server.Url()});
  }

  for (const Target& target : targets) {
    SCOPED_TRACE(target.name);
    const QStringList db{QStringLiteral("--db"), target.url};
    CliRun run = Cli(QStringList{"calibrate", "zero", "--yes", "--address", "5"} + db);
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_EQ(run.out, QStringLiteral("Operation successful\n"));
    EXPECT_TRUE(run.err.contains(QStringLiteral("reading after the calibration"))) << Describe(run);
    run = Cli(QStringList{"set", "filter", "20", "--address", "5"} + db);
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    const protocol::SensorReading sent = LastReplySent();

    run = RunCli(QStringList{"history", "calibrations", "--json"} + db);
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    const QJsonArray calibrations = QJsonDocument::fromJson(run.out.toUtf8()).array();
    ASSERT_EQ(calibrations.size(), 1) << Describe(run);
    const QJsonObject c = calibrations[0].toObject();
    EXPECT_EQ(c[QStringLiteral("kind")].toString(), QStringLiteral("zero"));
    EXPECT_EQ(c[QStringLiteral("address")].toInt(), 5);
    EXPECT_EQ(c[QStringLiteral("serial")].toInteger(), protocol::SerialShown(sent.serialNumber));
    // One reading before the command cannot cover the stability window.
    EXPECT_FALSE(c[QStringLiteral("stable")].toBool(true));
    EXPECT_FALSE(c[QStringLiteral("stability")].toString().isEmpty()) << Describe(run);
    for (const char* side : {"before", "after"}) {
      const QJsonObject values = c[QLatin1String(side)].toObject();
      EXPECT_NEAR(values[QStringLiteral("temperature")].toDouble(-1000), sent.temperature, 0.01) << side;
      EXPECT_NEAR(values[QStringLiteral("pressure")].toDouble(-1000), sent.pressure, 0.01) << side;
    }

    run = RunCli(QStringList{"history", "writes", "--json"} + db);
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    const QJsonArray writes = QJsonDocument::fromJson(run.out.toUtf8()).array();
    ASSERT_EQ(writes.size(), 2) << Describe(run);
    const struct {
      int reg;
      const char* value;
    } expected[] = {{protocol::Command, "1"}, {protocol::Filter, "20"}};
    for (int i = 0; i < 2; ++i) {
      const QJsonObject w = writes[i].toObject();
      EXPECT_EQ(w[QStringLiteral("register")].toInt(), expected[i].reg) << Describe(run);
      EXPECT_EQ(w[QStringLiteral("value")].toString(), QLatin1String(expected[i].value)) << Describe(run);
      EXPECT_EQ(w[QStringLiteral("outcome")].toString(), QStringLiteral("confirmed")) << Describe(run);
      EXPECT_TRUE(w[QStringLiteral("finished")].isString()) << Describe(run);
    }
    // The readings of both runs: connect, settle, connect, read back.
    run = RunCli(QStringList{"history", "readings", "--json"} + db);
    EXPECT_GE(QJsonDocument::fromJson(run.out.toUtf8()).array().size(), 4) << Describe(run);
  }

  // A database that cannot be made: warned about, and the reading stands.
  CliRun run = Cli({"read", "--json", "--address", "5", "--db", "/proc/no-such/records.sqlite"});
  EXPECT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_FALSE(JsonOf(run).isEmpty()) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Warning"))) << Describe(run);
  const QString untouched = dir_.filePath(QStringLiteral("untouched.sqlite"));
  run = Cli({"read", "--address", "5", "--no-record", "--db", untouched});
  EXPECT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_FALSE(QFile::exists(untouched));
}

TEST_F(CliAgainstSim, WatchPrintsOneRowPerPollEveryTwoSeconds) {
  StartSim({"--address", "5", "--steady", "--do-value", "6.789", "--temperature", "18.5"});
  const CliRun run = Cli({"watch", "--csv", "--count", "3", "--address", "5"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4) << Describe(run);
  EXPECT_EQ(lines[0], QStringLiteral("time,address,stale,do_value,do_value_raw,unit,unit_code,temperature,"
                                     "temperature_raw,status,status_code,phase_diff,phase_diff_raw,red_phase,"
                                     "red_phase_raw,green_phase,green_phase_raw,red_amplitude,red_gain,"
                                     "green_amplitude,green_gain"));
  const protocol::ShownReading s = protocol::ShowReading(LastReplySent());
  QDateTime previous;
  for (int i = 1; i < 4; ++i) {
    const QStringList cells = lines[i].split(QLatin1Char(','));
    ASSERT_EQ(cells.size(), 21) << lines[i].toStdString();
    const QDateTime time = QDateTime::fromString(cells[0], Qt::ISODateWithMs);
    ASSERT_TRUE(time.isValid()) << cells[0].toStdString();
    if (previous.isValid()) {
      EXPECT_GE(previous.msecsTo(time), 1500) << lines[i].toStdString();
    }
    previous = time;
    // Shown as the window shows it, and beside it what the sensor sent.
    EXPECT_EQ(cells.mid(1, 10),
              (QStringList{"5", "0", "6.78", "6.789", "mg/L", "1", "18.5", "18.5", "正常", "0"}));
    EXPECT_EQ((QStringList{cells[11], cells[13], cells[15], cells[17], cells[18], cells[19], cells[20]}),
              (QStringList{QString::fromStdString(s.phaseDiff), QString::fromStdString(s.redPhase),
                           QString::fromStdString(s.greenPhase), QString::fromStdString(s.redAmplitude),
                           QString::fromStdString(s.redGain), QString::fromStdString(s.greenAmplitude),
                           QString::fromStdString(s.greenGain)}));
  }
  EXPECT_EQ(PollsReceived().size(), 3);

  const CliRun line = Cli({"watch", "--count", "1", "--address", "5"});
  ASSERT_EQ(line.exitCode, 0) << Describe(line);
  EXPECT_TRUE(line.out.endsWith(QStringLiteral("  地址 5  溶解氧值 6.78 mg/L  温度 18.5 ℃  状态 正常  相位差值 ") +
                                QString::fromStdString(s.phaseDiff) + QStringLiteral(" deg\n")))
      << Describe(line);
}

TEST_F(CliAgainstSim, WatchReportsPollsWithoutAReplyAndGoesOn) {
  // One answer, then two polls ignored, then answers again.
  StartSim({"--address", "5", "--steady", "--silent-after", "1", "--silent-polls", "2"});
  const CliRun run = Cli({"watch", "--count", "2", "--address", "5"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  // Two readings and, between them, a row for each silent period instead of
  // the old values.
  EXPECT_EQ(run.out.count(QLatin1Char('\n')), 4) << Describe(run);
  EXPECT_EQ(run.out.count(QStringLiteral("  地址 5  无应答\n")), 2) << Describe(run);
  EXPECT_EQ(run.err.count(QStringLiteral("no valid reply to the poll of address 5")), 2) << Describe(run);
  EXPECT_EQ(PollsReceived().size(), 4);

}

TEST_F(CliAgainstSim, AGivenAddressIsHeldAgainstRepliesFromAnotherSlave) {
  // Every reply comes back from address 6: the write must not follow it there.
  StartSim({"--address", "5", "--steady", "--foreign-address-every", "1"});
  const CliRun run = Cli({"set", "filter", "33", "--address", "5", "--timeout", "3"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(WritesReceived().isEmpty()) << WritesReceived().join(QLatin1Char(' ')).toStdString();
  for (const QString& poll : PollsReceived()) EXPECT_TRUE(poll.startsWith(QLatin1String("05"))) << poll.toStdString();
}

// A result that never reached its reader is a failure: a full disk and a
// closed standard output exit 1 with the reason; a reader that has gone ends
// `watch` even when SIGPIPE is ignored.
TEST_F(CliAgainstSim, OutputThatCannotBeWrittenFailsTheRun) {
  StartSim({"--address", "5", "--steady"});
  struct Case {
    const char* script;
    QStringList args;
    const char* message;  // on stderr; empty: ends quietly
  };
  const Case cases[] = {
      {R"("$0" "$@" > /dev/full)", {"read", "--json"}, "No space left on device"},
      {R"("$0" "$@" > /dev/full)", {"watch", "--csv"}, "No space left on device"},
      {R"("$0" "$@" >&-)", {"read"}, "standard output is closed"},
      {R"(trap '' PIPE; "$0" "$@" | head -n 1 > /dev/null; exit "${PIPESTATUS[0]}")", {"watch", "--csv"}, ""},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCliInShell(c.script, c.args + QStringList{"--port", link_, "--address", "5"});
    ASSERT_TRUE(run.finished) << c.script;
    EXPECT_EQ(run.exitCode, 1) << c.script << "\n" << Describe(run);
    if (*c.message) {
      EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << c.script << "\n" << Describe(run);
    } else {
      EXPECT_TRUE(run.err.isEmpty()) << c.script << "\n" << Describe(run);
    }
  }
}

TEST_F(CliAgainstSim, ARunEndedByASignalLeavesNothingBehindAndKeepsItsRecords) {
  StartSim({"--address", "5", "--steady"});
  // The shell's status says whether the private temp folder is empty after
  // `watch` was ended by SIGTERM mid-run.
  const CliRun run = RunCliInShell(
      R"sh(export TMPDIR="$(mktemp -d)"; "$0" "$@" > /dev/null & pid=$!; sleep 3; kill -TERM $pid; wait $pid;
         left="$(ls -A "$TMPDIR")"; rm -rf "$TMPDIR"; echo "left: $left"; [ -z "$left" ])sh",
      {"watch", "--port", link_, "--address", "5"});
  ASSERT_TRUE(run.finished) << Describe(run);
  EXPECT_EQ(run.exitCode, 0) << Describe(run);

  // Ended by the signal, it still writes what it recorded first (as many
  // readings as lines printed, the last one too) and ends by that signal.
  const QString db = dir_.filePath(QStringLiteral("watch.sqlite")), lines = dir_.filePath(QStringLiteral("watch.out"));
  const CliRun watched = RunCliInShell(
      R"sh(out="$1"; shift; "$0" "$@" > "$out" & pid=$!
         for i in $(seq 200); do [ "$(wc -l < "$out")" -ge 2 ] && break; sleep 0.05; done  # killed just after a reading
         kill -TERM $pid; wait $pid; echo "status $?")sh",
      {lines, "watch", "--port", link_, "--address", "5", "--db", db});
  EXPECT_EQ(watched.out, QStringLiteral("status 143\n")) << Describe(watched);
  QFile printed(lines);
  ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
  const int printedLines = QString::fromUtf8(printed.readAll()).count(QLatin1Char('\n'));
  EXPECT_EQ(printedLines, 2);
  const CliRun history = RunCli({"history", "readings", "--json", "--db", db});
  EXPECT_EQ(QJsonDocument::fromJson(history.out.toUtf8()).array().size(), printedLines) << Describe(history);
}

TEST_F(CliAgainstSim, CorruptRepliesAreRefusedLikeTheToolDoes) {
  StartSim({"--address", "5", "--steady", "--flip-bit-every", "1"});
  const CliRun run = Cli({"read", "--address", "5", "--timeout", "2"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.out.isEmpty()) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("no reply from the sensor at address 5"))) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("Check error"))) << Describe(run);
  EXPECT_GE(PollsReceived().size(), 2);  // polled again at 600 ms steps
}

TEST_F(CliAgainstSim, PortByComNameAndPortFailures) {
  const QString directory = PortDirectory();
  ASSERT_FALSE(directory.isEmpty());
  StartSim({"--address", "5", "--steady"}, PortLinkPath(directory, 4));
  CliRun run = RunCli({"--port", "com4", "read", "--json", "--address", "5"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_EQ(JsonOf(run)["device_address"].toInt(), 5);

  run = RunCli({"--port", "COM12", "read", "--address", "5"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("COM12"))) << Describe(run);
  run = RunCli({"--port", dir_.filePath(QStringLiteral("missing")), "read", "--address", "5"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("does not exist"))) << Describe(run);
  run = RunCli({"--port", "com4", "read", "--address", "6", "--timeout", "1"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("no reply from the sensor at address 6 on COM4 within 1 s")))
      << Describe(run);
}

TEST(CliProgram, HelpAndBadArguments) {
  for (const char* command : {"search", "read", "set", "calibrate", "watch", "history"}) {
    const CliRun run = RunCli({command, "--help"});
    EXPECT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: sensortool-cli ") + command)) << Describe(run);
  }
  CliRun run = RunCli({});
  EXPECT_EQ(run.exitCode, 2) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("no command given"))) << Describe(run);
  run = RunCli({"read", "--count", "3"});
  EXPECT_EQ(run.exitCode, 2) << Describe(run);
  EXPECT_EQ(run.err, QStringLiteral("sensortool-cli: option '--count' does not apply to 'read'\n"
                                    "Try 'sensortool-cli read --help'.\n"));
  run = RunCli({"set", "unit", "kg"});
  EXPECT_EQ(run.exitCode, 2) << Describe(run);
  EXPECT_TRUE(run.err.contains(QStringLiteral("invalid unit 'kg'"))) << Describe(run);
  run = RunCli({"frobnicate"});
  EXPECT_EQ(run.exitCode, 2) << Describe(run);
  EXPECT_TRUE(run.out.isEmpty());
  run = RunCli({"--version"});
  EXPECT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_EQ(run.out, QStringLiteral("sensortool-cli " SENSORTOOL_VERSION "\n"));
}

// Messages follow the window's language rule: English where the environment
// names English, Chinese otherwise. "C" names no language, so it is Chinese as
// in the window, and a refusal from the entry rules reads as it always has.
TEST(CliProgram, MessagesInTheEnvironmentsLanguage) {
  const QString missing = QStringLiteral("/nonexistent/ttyUSB9");
  struct Case {
    const char* environment;
    QStringList args;
    int exitCode;
    QString err;
  };
  const QStringList refused{"set", "filter", "0"};
  const QStringList absent{"read", "--port", missing};
  const Case cases[] = {
      {"LANGUAGE=en", refused, 2, "sensortool-cli: set filter 0: Enter a value from 1 to 99.\n"},
      {"LANG=zh_CN.UTF-8", refused, 2, "sensortool-cli: set filter 0: 只能输入1到99之间的数值。\n"},
      {"LANG=C.UTF-8", refused, 2, "sensortool-cli: set filter 0: 只能输入1到99之间的数值。\n"},
      {"LC_ALL=en_GB.UTF-8 LANG=zh_CN.UTF-8", refused, 2,
       "sensortool-cli: set filter 0: Enter a value from 1 to 99.\n"},
      {"LANGUAGE=en", absent, 1, "sensortool-cli: " + missing + " does not exist\n"},
      {"LANG=zh_CN.UTF-8", absent, 1, "sensortool-cli: " + missing + " 不存在\n"},
      {"LANGUAGE=zh_CN:en LANG=en_US.UTF-8", absent, 1, "sensortool-cli: " + missing + " 不存在\n"},
  };
  for (const Case& c : cases) {
    // Only the variables of the case: the test's own LANGUAGE must not leak in.
    const CliRun run = RunCliInShell(
        QStringLiteral(R"(env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG %1 "$0" "$@")").arg(c.environment), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.environment << "\n" << Describe(run);
    EXPECT_EQ(run.err, c.err) << c.environment << "\n" << Describe(run);
  }
}

// history reads the records without a line. Where no records exist it says
// so and fails, and it never creates the default database by looking; an
// empty database gives empty, well-formed output.
TEST(CliProgram, HistoryOnAMissingOrEmptyDatabase) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  // The user's own data and settings stay out of reach of the child.
  const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
  const QString defaultFile = home.filePath(QStringLiteral("data/sensortool/records.sqlite"));
  CliRun run = RunCli({"history", "calibrations"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_TRUE(run.out.isEmpty()) << Describe(run);
  EXPECT_TRUE(run.err.contains(defaultFile)) << Describe(run);
  EXPECT_FALSE(QFile::exists(defaultFile));

  const QString empty = home.filePath(QStringLiteral("empty.sqlite"));
  {
    QFile file(empty);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const struct {
    QStringList args;
    QString out;
  } cases[] = {
      {{"history", "calibrations", "--json", "--db", empty}, QStringLiteral("[\n]\n")},
      {{"history", "writes", "--csv", "--db", empty},
       QStringLiteral("queued,serial,address,register,value,outcome,finished,reason\r\n")},
      {{"history", "readings", "--serial", "7", "--since", "2026-01-01", "--db", empty}, QString()},
  };
  for (const auto& c : cases) {
    run = RunCli(c.args);
    EXPECT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_TRUE(run.err.isEmpty()) << Describe(run);
    if (!c.out.isEmpty()) EXPECT_EQ(run.out, c.out) << Describe(run);
    else EXPECT_TRUE(run.out.startsWith(QStringLiteral("time"))) << Describe(run);  // the header, no rows
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), c.args.contains(QStringLiteral("--json")) ? 2 : 1) << Describe(run);
  }
  for (const auto& [name, old] : {std::pair{"XDG_DATA_HOME", oldData}, std::pair{"XDG_CONFIG_HOME", oldConfig}})
    old.isNull() ? qunsetenv(name) : qputenv(name, old);
}

}  // namespace
