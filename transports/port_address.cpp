#include "transports/port_address.h"

#include <algorithm>
#include <cctype>

namespace transports {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

// Letters, digits, '-', '.' and '_' for a name or an IPv4 address; hex digits,
// ':' and '.' for an IPv6 address (a zone after '%' is left to the resolver).
bool ValidHost(const std::string& host, bool bracketed) {
  if (host.empty()) return false;
  for (unsigned char c : host) {
    const bool ok = std::isalnum(c) || c == '.' || (bracketed ? c == ':' || c == '%' : c == '-' || c == '_');
    if (!ok) return false;
  }
  return !bracketed || host.find(':') != std::string::npos;
}

PortSpecResult ParseHostPort(const std::string& rest, PortKind kind) {
  PortSpecResult r;
  std::string host;
  std::string portText;
  bool bracketed = false;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) return {PortSpecError::BadHost, {}};
    host = rest.substr(1, close - 1);
    bracketed = true;
    if (close + 1 == rest.size()) return {host.empty() ? PortSpecError::MissingHost : PortSpecError::MissingPort, {}};
    if (rest[close + 1] != ':') return {PortSpecError::BadHost, {}};
    portText = rest.substr(close + 2);
  } else {
    const std::size_t colon = rest.rfind(':');
    host = rest.substr(0, colon);
    if (colon == std::string::npos) return {host.empty() ? PortSpecError::MissingHost : PortSpecError::MissingPort, {}};
    portText = rest.substr(colon + 1);
  }
  if (host.empty()) return {PortSpecError::MissingHost, {}};
  if (!ValidHost(host, bracketed)) return {PortSpecError::BadHost, {}};
  if (portText.empty()) return {PortSpecError::MissingPort, {}};
  if (portText.size() > 5 || !std::all_of(portText.begin(), portText.end(), [](unsigned char c) { return std::isdigit(c); }))
    return {PortSpecError::BadPort, {}};
  const long port = std::stol(portText);
  if (port < 1 || port > 65535) return {PortSpecError::BadPort, {}};
  r.spec.kind = kind;
  r.spec.host = host;
  r.spec.port = static_cast<std::uint16_t>(port);
  return r;
}

// n of "COMn", else 0. Which numbers the serial layer can resolve is its own
// business: it refuses the others when asked to open them, in its own words.
int ComNumber(const std::string& text) {
  if (!StartsWith(text, "com") || text.size() < 4 || text.size() > 6) return 0;
  const std::string digits = text.substr(3);
  if (digits[0] == '0' || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
    return 0;
  const int n = std::stoi(digits);
  return n <= 255 ? n : 0;
}

}  // namespace

PortSpecResult ParsePortSpec(const std::string& text) {
  static const std::string kRtuOverTcp = "rtu+tcp://";
  static const std::string kModbusTcp = "tcp://";
  if (StartsWith(text, kRtuOverTcp)) return ParseHostPort(text.substr(kRtuOverTcp.size()), PortKind::RtuOverTcp);
  if (StartsWith(text, kModbusTcp)) return ParseHostPort(text.substr(kModbusTcp.size()), PortKind::ModbusTcp);
  if (text.empty()) return {PortSpecError::Empty, {}};
  PortSpecResult r;
  r.spec.kind = PortKind::Serial;
  r.spec.device = text;
  r.spec.comNumber = ComNumber(text);
  return r;
}

std::string PortSpecText(const PortSpec& spec) {
  if (spec.kind == PortKind::Serial) return spec.device;
  const std::string host = spec.host.find(':') != std::string::npos ? "[" + spec.host + "]" : spec.host;
  return std::string(spec.kind == PortKind::ModbusTcp ? "tcp://" : "rtu+tcp://") + host + ":" + std::to_string(spec.port);
}

}  // namespace transports
