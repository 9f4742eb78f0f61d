#pragma once
#include <memory>
#include <string>

#include "link/serial_transport.h"
#include "transports/port_address.h"

class CMSComm;

// The main window's one transport: its serial component, or the network
// connection a COM number is bound to ("tcp://HOST:PORT", "rtu+tcp://HOST:PORT").
// The link keeps one transport for its whole life; this one changes what it
// leads to between opens, so a network binding runs through the same link,
// its reset and its reopen as a serial adapter does.
class WindowTransport : public sensorlink::Transport {
  Q_OBJECT

 public:
  explicit WindowTransport(CMSComm& comm, QObject* parent = nullptr);
  ~WindowTransport() override;

  // Only while closed: an open connection keeps its way until it is closed.
  void UseSerial();
  void UseNetwork(const transports::PortSpec& spec);
  bool OnNetwork() const { return m_network != nullptr; }

  bool Open() override;
  void Close() override;
  bool IsOpen() const override;
  QString LastError() const override;
  void Send(const protocol::RtuFrame& frame) override;

 private:
  Transport& Active() const;

  mutable sensorlink::SerialTransport m_serial;  // Active() hands it out from const members
  std::unique_ptr<sensorlink::Transport> m_network;
  std::string m_networkText;  // the address m_network was made for: a reopen keeps it
};
