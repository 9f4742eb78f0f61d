#pragma once
// The independent peers the network tests run against, started as child
// processes: socat as a serial device server in front of sensor-sim's line,
// and libmodbus's and pymodbus's MODBUS TCP servers as gateways. Their paths
// come from the build (empty when the peer is not installed).
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "network_peers.h"
#include "sim_process.h"

// Generous deadlines on conditions, so a loaded machine with sanitizers only
// makes the tests slower.
constexpr int kWaitMs = 20000;

inline bool Installed(const char* path) { return *path && QFileInfo(QString::fromUtf8(path)).isExecutable(); }

// A port nobody listens on now (the kernel's choice, then released).
inline quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// socat listening on `port` that bridges its one connection to `line`.
inline std::unique_ptr<SimProcess> StartSocat(quint16 port, const QString& line) {
  auto socat = StartSocat(SOCAT_PATH, port, line, kWaitMs);
  EXPECT_TRUE(socat) << "socat did not come to listen on " << port;
  return socat;
}

// Until something accepts connections on `port`.
inline bool AwaitListener(quint16 port, SimProcess& server) {
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

// The libmodbus gateway on a port of the kernel's choice; 0 when it did not start.
inline quint16 StartLibmodbusGateway(std::unique_ptr<SimProcess>& gateway) {
  gateway = std::make_unique<SimProcess>(LIBMODBUS_GATEWAY_PATH, GatewayRegisters());
  const std::string port = gateway->WaitReady(kWaitMs);
  EXPECT_FALSE(port.empty()) << gateway->Stderr();
  return port.empty() ? 0 : static_cast<quint16>(std::stoi(port));
}

inline bool PymodbusInstalled() {
  return Installed(PYTHON3_PATH) && RunToEnd(PYTHON3_PATH, {"-c", "import pymodbus.server"}).exitCode == 0;
}

// The pymodbus gateway; 0 when it did not start.
inline quint16 StartPymodbusGateway(std::unique_ptr<SimProcess>& gateway) {
  const quint16 port = FreePort();
  std::vector<std::string> args = {PYMODBUS_GATEWAY_SCRIPT, std::to_string(port)};
  for (const std::string& reg : GatewayRegisters()) args.push_back(reg);
  gateway = std::make_unique<SimProcess>(PYTHON3_PATH, args);
  const bool listening = AwaitListener(port, *gateway);
  EXPECT_TRUE(listening) << gateway->Stderr();
  return listening ? port : 0;
}
