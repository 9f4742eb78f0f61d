#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

#include "protocol/rtu_frame.h"

namespace sensorlink {

// Where the link's bytes go and come from: a serial port today, a TCP socket
// or an in-memory pipe as well. The link's state machine sees only this.
class Transport : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~Transport() override = default;

  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Why the last Open failed, in the operator's words.
  virtual QString LastError() const = 0;
  virtual void Send(const protocol::RtuFrame& frame) = 0;

 signals:
  void BytesArrived(const QByteArray& bytes);
  // The transport closed by itself (device unplugged, peer gone).
  void Lost(const QString& reason);
};

}  // namespace sensorlink
