// The link over the network transports against peers that are not ours:
// socat as a serial device server in front of sensor-sim's line, and
// libmodbus's and pymodbus's MODBUS TCP servers as gateways. A peer that is
// not installed skips its test (bootstrap installs them all).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "link_probe.h"
#include "tcp_peers.h"
#include "transports/transport_factory.h"

namespace {

std::unique_ptr<sensorlink::Transport> TransportFor(const std::string& spec) {
  const auto parsed = transports::ParsePortSpec(spec);
  EXPECT_EQ(parsed.error, transports::PortSpecError::None) << spec;
  return transports::MakeTransport(parsed.spec);
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
  std::unique_ptr<SimProcess> gateway;
  const quint16 port = StartLibmodbusGateway(gateway);
  ASSERT_NE(port, 0);
  ReadWriteReadBack(port);
}

TEST(ModbusTcpPeers, ThroughPymodbus) {
  if (!PymodbusInstalled())
    GTEST_SKIP() << "python3-pymodbus (with python3-serial-asyncio) is not installed: no pymodbus server to test against";
  std::unique_ptr<SimProcess> gateway;
  const quint16 port = StartPymodbusGateway(gateway);
  ASSERT_NE(port, 0);
  ReadWriteReadBack(port);
}
