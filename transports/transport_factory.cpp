#include "transports/transport_factory.h"

#include <QCoreApplication>

#include "link/serial_transport.h"
#include "serial/comm.h"
#include "transports/modbus_tcp_transport.h"
#include "transports/rtu_over_tcp_transport.h"

namespace transports {

std::unique_ptr<sensorlink::Transport> MakeTransport(const PortSpec& spec, CMSComm* comm) {
  const QString host = QString::fromStdString(spec.host);
  switch (spec.kind) {
    case PortKind::ModbusTcp:
      return std::make_unique<ModbusTcpTransport>(host, spec.port);
    case PortKind::RtuOverTcp:
      return std::make_unique<RtuOverTcpTransport>(host, spec.port);
    case PortKind::Serial:
      break;
  }
  CMSComm* owned = comm ? nullptr : new CMSComm;
  CMSComm& line = comm ? *comm : *owned;
  if (spec.comNumber > 0) {
    line.SetDevice(QString());
    line.SetCommPort(static_cast<short>(spec.comNumber));
  } else {
    line.SetDevice(QString::fromStdString(spec.device));
  }
  auto transport = std::make_unique<sensorlink::SerialTransport>(line);
  // A child goes after the transport's own destructor: the reference held stays good to the end.
  if (owned) owned->setParent(transport.get());
  return transport;
}

QString PortSpecErrorText(PortSpecError error) {
  switch (error) {
    case PortSpecError::None:
      return QString();
    case PortSpecError::Empty:
      return QCoreApplication::translate("transports", "未指定端口");
    case PortSpecError::MissingHost:
      return QCoreApplication::translate("transports", "缺少主机名：应为 tcp://主机:端口 或 rtu+tcp://主机:端口");
    case PortSpecError::BadHost:
      return QCoreApplication::translate("transports", "主机名无效");
    case PortSpecError::MissingPort:
      return QCoreApplication::translate("transports", "缺少端口号：应为 tcp://主机:端口 或 rtu+tcp://主机:端口");
    case PortSpecError::BadPort:
      return QCoreApplication::translate("transports", "端口号无效：应为 1 到 65535");
  }
  return QString();
}

}  // namespace transports
