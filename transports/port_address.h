#pragma once
#include <cstdint>
#include <string>

namespace transports {

// How the sensor's line is reached, as the operator names it: a serial
// device or COMn, a serial device server that passes RTU frames through a
// TCP connection, or a MODBUS TCP gateway.
enum class PortKind { Serial, RtuOverTcp, ModbusTcp };

struct PortSpec {
  PortKind kind = PortKind::Serial;
  std::string host;        // TCP kinds: a name, an IPv4 address or an IPv6 address (without brackets)
  std::uint16_t port = 0;  // TCP kinds: 1..65535
  std::string device;      // Serial: a device path, or the COMn text as given
  int comNumber = 0;       // Serial: n of COMn (1..255), 0 for a device path
};

enum class PortSpecError { None, Empty, MissingHost, BadHost, MissingPort, BadPort };

struct PortSpecResult {
  PortSpecError error = PortSpecError::None;
  PortSpec spec;  // meaningful when error is None
};

// "tcp://HOST:PORT" is MODBUS TCP, "rtu+tcp://HOST:PORT" RTU over TCP (the
// schemes in any letter case, an IPv6 host in brackets); anything else names
// a serial device, "COMn" included.
PortSpecResult ParsePortSpec(const std::string& text);

// The address written back the way ParsePortSpec reads it.
std::string PortSpecText(const PortSpec& spec);

}  // namespace transports
