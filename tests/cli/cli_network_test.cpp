// sensortool-cli with its line through the network: read, set and watch
// through socat in front of the simulated line (RTU over TCP) and through
// libmodbus's and pymodbus's MODBUS TCP servers; a connection that drops
// while watching is told and reopened. A peer that is not installed skips
// its case with the reason.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "cli_process.h"
#include "tcp_peers.h"

namespace {

struct Peer {
  const char* name;
  const char* scheme;
  int address;
  quint32 serial;
  bool oneConnection;  // the peer ends with its connection: started again for each run
  // Why the peer cannot run here; empty when it can.
  std::function<std::string()> missing;
    // Starts the peer; its port, 0 on failure.
  std::function<quint16(std::unique_ptr<SimProcess>&, const QString& line)> start;
};

const Peer kPeers[] = {
    {"socat in front of sensor-sim", "rtu+tcp", 7, 5004, true,
     [] { return Installed(SOCAT_PATH) ? std::string() : std::string("socat is not installed"); },
     [](std::unique_ptr<SimProcess>& peer, const QString& line) {
       const quint16 port = FreePort();
       peer = StartSocat(port, line);
       return port;
     }},
    {"libmodbus gateway", "tcp", 9, 3000000000u, false,
     [] { return Installed(LIBMODBUS_GATEWAY_PATH) ? std::string() : std::string("libmodbus-dev was missing"); },
     [](std::unique_ptr<SimProcess>& peer, const QString&) { return StartLibmodbusGateway(peer); }},
    {"pymodbus gateway", "tcp", 9, 3000000000u, false,
     [] { return PymodbusInstalled() ? std::string() : std::string("python3-pymodbus is not installed"); },
     [](std::unique_ptr<SimProcess>& peer, const QString&) { return StartPymodbusGateway(peer); }},
};

}  // namespace

TEST(CliOverTheNetwork, ReadSetAndWatchThroughEachPeer) {
  QTemporaryDir dir;
  const QString line = dir.filePath(QStringLiteral("line"));
  SimProcess sim;
  ASSERT_TRUE(sim.Start(line, {"--address", "3,7", "--serial", "5000", "--steady"})) << sim.Error().toStdString();
  for (const Peer& peer : kPeers) {
    SCOPED_TRACE(peer.name);
    if (const std::string why = peer.missing(); !why.empty()) {
      std::printf("[ SKIPPED ] %s: %s\n", peer.name, why.c_str());
      continue;
    }
    std::unique_ptr<SimProcess> server;
    quint16 port = 0;
    auto runCli = [&](const QStringList& args) {
      if (!server || peer.oneConnection) {
        server.reset();
        port = peer.start(server, line);
      }
      return RunCli(args + QStringList{"--port", QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(peer.scheme)).arg(port),
                                       "--address", QString::number(peer.address)});
    };

    CliRun run = runCli({"read", "--json"});
    ASSERT_NE(port, 0);
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    const QJsonObject read = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(read["serial_number"].toInteger(), static_cast<qint64>(static_cast<qint32>(peer.serial)))
        << Describe(run);
    EXPECT_NE(read["filter"].toInt(), 42) << Describe(run);

    // Echoed and read back: the value went through the peer and came back.
    run = runCli({"set", "filter", "42"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    EXPECT_TRUE(run.out.endsWith(QStringLiteral("= 42\n"))) << Describe(run);

    run = runCli({"watch", "--csv", "--count", "2"});
    ASSERT_EQ(run.exitCode, 0) << Describe(run);
    const QStringList rows = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3) << Describe(run);
    EXPECT_EQ(rows[2].section(QLatin1Char(','), 1, 2), QStringLiteral("%1,0").arg(peer.address)) << Describe(run);
  }
}

TEST(CliOverTheNetwork, ADroppedConnectionWhileWatchingIsToldAndReopened) {
  if (!Installed(SOCAT_PATH)) GTEST_SKIP() << "socat is not installed (apt-get install socat)";
  QTemporaryDir dir;
  const QString line = dir.filePath(QStringLiteral("line"));
  SimProcess sim;
  ASSERT_TRUE(sim.Start(line, {"--address", "7", "--steady"})) << sim.Error().toStdString();
  const quint16 port = FreePort();
  auto socat = StartSocat(port, line);

  QProcess watch;
  watch.start(QStringLiteral(SENSORTOOL_CLI_PATH), {"watch", "--count", "3", "--address", "7", "--port",
                                                    QStringLiteral("rtu+tcp://127.0.0.1:%1").arg(port)});
  ASSERT_TRUE(watch.waitForStarted(10000));
  QString out, err;
  auto collect = [&] {
    out += QString::fromUtf8(watch.readAllStandardOutput());
    err += QString::fromUtf8(watch.readAllStandardError());
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return collect(), out.contains(QStringLiteral("溶解氧值")); }, kWaitMs))
      << err.toStdString();
  // The device server goes away, and comes back a little later.
  socat.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return collect(), err.contains(QStringLiteral("was lost")); }, kWaitMs))
      << err.toStdString();
  EXPECT_EQ(watch.state(), QProcess::Running) << err.toStdString();
  socat = StartSocat(port, line);
  ASSERT_TRUE(watch.waitForFinished(60000)) << err.toStdString();
  collect();
  EXPECT_EQ(watch.exitCode(), 0) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("reopened rtu+tcp://127.0.0.1:%1").arg(port))) << err.toStdString();
  // Three readings, the polls while the line was away marked as such.
  EXPECT_EQ(out.count(QStringLiteral("  地址 7  溶解氧值 ")), 3) << out.toStdString();
}
