// Port addresses as the operator types them: which transport, which host and port,
// and the typed refusal of an address that names none.
#include <gtest/gtest.h>

#include "transports/port_address.h"

using transports::ParsePortSpec;
using transports::PortKind;
using transports::PortSpecError;

TEST(PortSpec, TellsTheTransportAndItsAddress) {
  const struct {
    const char* text;
    PortKind kind;
    const char* host;
    int port;
    const char* device;
    int com;
  } cases[] = {
      {"tcp://192.168.1.20:502", PortKind::ModbusTcp, "192.168.1.20", 502, "", 0},
      {"TCP://gateway.local:1502", PortKind::ModbusTcp, "gateway.local", 1502, "", 0},
      {"rtu+tcp://moxa-1:4001", PortKind::RtuOverTcp, "moxa-1", 4001, "", 0},
      {"rtu+tcp://[::1]:65535", PortKind::RtuOverTcp, "::1", 65535, "", 0},
      {"tcp://[fe80::1%eth0]:1", PortKind::ModbusTcp, "fe80::1%eth0", 1, "", 0},
      {"COM3", PortKind::Serial, "", 0, "COM3", 3},
      {"com15", PortKind::Serial, "", 0, "com15", 15},
      {"COM0", PortKind::Serial, "", 0, "COM0", 0},
      {"COM03", PortKind::Serial, "", 0, "COM03", 0},
      {"/dev/ttyUSB0", PortKind::Serial, "", 0, "/dev/ttyUSB0", 0},
      {"udp://host:1", PortKind::Serial, "", 0, "udp://host:1", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = ParsePortSpec(c.text);
    ASSERT_EQ(r.error, PortSpecError::None);
    EXPECT_EQ(r.spec.kind, c.kind);
    EXPECT_EQ(r.spec.host, c.host);
    EXPECT_EQ(r.spec.port, c.port);
    EXPECT_EQ(r.spec.device, c.device);
    EXPECT_EQ(r.spec.comNumber, c.com);
    if (c.kind != PortKind::Serial) {
      const auto again = ParsePortSpec(transports::PortSpecText(r.spec));
      EXPECT_EQ(again.spec.host, c.host) << "written back, it reads the same";
      EXPECT_EQ(again.spec.port, c.port);
      EXPECT_EQ(again.spec.kind, c.kind);
    }
  }
}

TEST(PortSpec, RefusesWhatNamesNoEndpoint) {
  const struct {
    const char* text;
    PortSpecError error;
  } cases[] = {
      {"", PortSpecError::Empty},
      {"tcp://", PortSpecError::MissingHost},
      {"tcp://:502", PortSpecError::MissingHost},
      {"rtu+tcp://[]:502", PortSpecError::MissingHost},
      {"tcp://host", PortSpecError::MissingPort},
      {"tcp://host:", PortSpecError::MissingPort},
      {"tcp://[::1]", PortSpecError::MissingPort},
      {"tcp://host:0", PortSpecError::BadPort},
      {"tcp://host:65536", PortSpecError::BadPort},
      {"tcp://host:502x", PortSpecError::BadPort},
      {"tcp://host:-1", PortSpecError::BadPort},
      {"tcp://host:1234567", PortSpecError::BadPort},
      {"tcp://::1:502", PortSpecError::BadHost},
      {"tcp://[::1:502", PortSpecError::BadHost},
      {"tcp://[::1]502", PortSpecError::BadHost},
      {"tcp://bad host:502", PortSpecError::BadHost},
      {"tcp://user@host:502", PortSpecError::BadHost},
      {"rtu+tcp://host/path:502", PortSpecError::BadHost},
  };
  for (const auto& c : cases) EXPECT_EQ(ParsePortSpec(c.text).error, c.error) << '"' << c.text << '"';
}
