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

#include "protocol/registers.h"
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
  auto socat = std::make_unique<SimProcess>(
      SOCAT_PATH, std::vector<std::string>{"-d", "-d", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr",
                                           "FILE:" + line.toStdString() + ",rawer"});
  const bool listening =
      QTest::qWaitFor([&] { return socat->Stderr().find("listening on") != std::string::npos; }, kWaitMs);
  EXPECT_TRUE(listening) << socat->Stderr();
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

// The sensor's block the gateways serve, one argument per register: device
// address 9, serial number 3000000000, filter 17.
inline std::vector<std::string> GatewayRegisters() {
  protocol::RegisterBlock block;
  block.SetFloat(protocol::DoValue, 7.89f);
  block.SetFloat(protocol::Temperature, 21.5f);
  block.regs[protocol::DeviceType] = protocol::kSensorDeviceType;
  block.regs[protocol::Filter] = 17;
  block.SetU32(protocol::SerialNumber, 3000000000u);
  block.regs[protocol::DeviceAddress] = 9;
  std::vector<std::string> args;
  for (std::uint16_t reg : block.regs) args.push_back(std::to_string(reg));
  return args;
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
