// The link over the network transports against peers that are not ours:
// socat as a serial device server in front of sensor-sim's line, and
// libmodbus's and pymodbus's MODBUS TCP servers as gateways. A peer that is
// not installed skips its test (bootstrap installs them all).
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

#include "link_probe.h"
#include "sim_process.h"
#include "tcp_peers.h"
#include "transports/transport_factory.h"

namespace {

bool Installed(const char* path) { return *path && QFileInfo(QString::fromUtf8(path)).isExecutable(); }

std::unique_ptr<sensorlink::Transport> TransportFor(const std::string& spec) {
  const auto parsed = transports::ParsePortSpec(spec);
  EXPECT_EQ(parsed.error, transports::PortSpecError::None) << spec;
  return transports::MakeTransport(parsed.spec);
}

// socat listening on `port` that bridges its one connection to `line`.
std::unique_ptr<SimProcess> StartSocat(quint16 port, const QString& line) {
  auto socat = ::StartSocat(SOCAT_PATH, port, line, kWaitMs);
  EXPECT_TRUE(socat) << "socat did not come to listen on " << port;
  return socat;
}

// Until something accepts connections on `port`.
bool AwaitListener(quint16 port, SimProcess& server) {
  return QTest::qWaitFor(
      [&] {
        if (server.Process().state() == QProcess::NotRunning) return true;
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        return probe.waitForConnected(500);
      },
      kWaitMs) &&
         server.Process().state() != QProcess::NotRunning;
}

// Reads the sensor's block through a gateway, writes the filter setting and
// reads it back.
void ReadWriteReadBack(quint16 port) {
  LinkProbe probe(TransportFor("tcp://127.0.0.1:" + std::to_string(port)));
  ASSERT_TRUE(probe.link.Open()) << probe.transport->LastError().toStdString();
  probe.link.ConnectTo(9);
  ASSERT_TRUE(probe.AwaitReply(9));
  EXPECT_EQ(probe.LastRegister(protocol::DeviceType), protocol::kSensorDeviceType);
  EXPECT_EQ(protocol::DecodeU32(reinterpret_cast<const std::uint8_t*>(probe.replies.back().constData()),
                                protocol::SerialNumber),
            3000000000u);
  ASSERT_NE(probe.LastRegister(protocol::Filter), 55);
  EXPECT_TRUE(probe.WriteFilterAndReadBack(9, 55));
  EXPECT_EQ(probe.Count(protocol::LinkEventKind::CrcError), 0u);
}

}  // namespace

TEST(RtuOverTcpPeers, SocatInFrontOfTheSimulatedLineCarriesTheLinkAndItsLoss) {
  if (!Installed(SOCAT_PATH)) GTEST_SKIP() << "socat is not installed (apt-get install socat): no device server to bridge";
  QTemporaryDir dir;
  const QString line = dir.filePath(QStringLiteral("line"));
  SimProcess sim;
  ASSERT_TRUE(sim.Start(line, {QStringLiteral("--address"), QStringLiteral("3,7"), QStringLiteral("--serial"),
                               QStringLiteral("5000"), QStringLiteral("--steady")}))
      << sim.Error().toStdString();
  const quint16 port = FreePort();
  auto socat = StartSocat(port, line);

  LinkProbe probe(TransportFor("rtu+tcp://127.0.0.1:" + std::to_string(port)));
  ASSERT_TRUE(probe.link.Open()) << probe.transport->LastError().toStdString();
  probe.link.ConnectTo(7);
  ASSERT_TRUE(probe.AwaitReply(7));
  EXPECT_EQ(protocol::DecodeU32(reinterpret_cast<const std::uint8_t*>(probe.replies.back().constData()),
                                protocol::SerialNumber),
            5004u)
      << "the second sensor on the line, serial number from its address";
  ASSERT_TRUE(probe.WriteFilterAndReadBack(7, 42));

  // The device server goes away: the link is told; it comes back: the link reopens and reads again.
  socat.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !probe.lost.isEmpty(); }, kWaitMs));
  EXPECT_EQ(probe.reopened, 0);
  socat = StartSocat(port, line);
  ASSERT_TRUE(QTest::qWaitFor([&] { return probe.reopened == 1; }, kWaitMs));
  EXPECT_TRUE(probe.AwaitReply(7));
  EXPECT_EQ(probe.LastRegister(protocol::Filter), 42);
}

TEST(ModbusTcpPeers, ThroughLibmodbus) {
  if (!Installed(LIBMODBUS_GATEWAY_PATH))
    GTEST_SKIP() << "libmodbus-dev was missing at configure time: no libmodbus MODBUS TCP server was built";
  SimProcess gateway(LIBMODBUS_GATEWAY_PATH, GatewayRegisters());
  const std::string port = gateway.WaitReady(kWaitMs);
  ASSERT_FALSE(port.empty()) << gateway.Stderr();
  ReadWriteReadBack(static_cast<quint16>(std::stoi(port)));
}

TEST(ModbusTcpPeers, ThroughPymodbus) {
  if (!Installed(PYTHON3_PATH) || RunToEnd(PYTHON3_PATH, {"-c", "import pymodbus.server"}).exitCode != 0)
    GTEST_SKIP() << "python3-pymodbus (with python3-serial-asyncio) is not installed: no pymodbus server to test against";
  const quint16 port = FreePort();
  std::vector<std::string> args = {PYMODBUS_GATEWAY_SCRIPT, std::to_string(port)};
  for (const std::string& reg : GatewayRegisters()) args.push_back(reg);
  SimProcess gateway(PYTHON3_PATH, args);
  ASSERT_TRUE(AwaitListener(port, gateway)) << gateway.Stderr();
  ReadWriteReadBack(port);
}
