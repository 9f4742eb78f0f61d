#pragma once
#include "link/transport.h"

class CMSComm;

namespace sensorlink {

// The serial line as a link transport: the communications component opened
// with the line settings the sensor speaks (9600 baud, 8N1, binary input,
// one event per received batch). Which device it opens is the owner's
// choice, made on the component before Open.
class SerialTransport : public Transport {
  Q_OBJECT

 public:
  explicit SerialTransport(CMSComm& comm, QObject* parent = nullptr);

  bool Open() override;
  void Close() override;
  bool IsOpen() const override;
  QString LastError() const override;
  void Send(const protocol::RtuFrame& frame) override;

  CMSComm& Comm() { return m_comm; }

 private:
  void OnComm();

  CMSComm& m_comm;
};

}  // namespace sensorlink
