#pragma once
// The network peers the tests put in front of a sensor: socat as a serial
// device server bridging TCP to the simulator's line, and the register block
// the MODBUS TCP gateway helpers serve.
#include <QString>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "protocol/registers.h"
#include "sim_process.h"

// socat listening on 127.0.0.1:`port` that bridges its one connection to
// `line`; null when it did not come to listen within `waitMs`.
inline std::unique_ptr<SimProcess> StartSocat(const char* socatPath, quint16 port, const QString& line, int waitMs) {
  auto socat = std::make_unique<SimProcess>(
      socatPath, std::vector<std::string>{"-d", "-d", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr",
                                          "FILE:" + line.toStdString() + ",rawer"});
  const bool listening =
      QTest::qWaitFor([&] { return socat->Stderr().find("listening on") != std::string::npos; }, waitMs);
  return listening ? std::move(socat) : nullptr;
}

// The sensor's block the gateways serve (address 9, DO 7.89, serial number
// 3000000000), one argument per register.
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
