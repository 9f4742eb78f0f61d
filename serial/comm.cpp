#include "serial/comm.h"

#include <QFile>
#include <QStringList>
#include <QtGlobal>

#include "serial/port_naming.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

bool ParseLineSettings(const QString& text, LineSettings* out) {
  const QStringList parts = text.trimmed().split(QLatin1Char(','));
  if (parts.size() != 4) return false;
  LineSettings parsed;

  bool ok = false;
  const qint64 baud = parts[0].trimmed().toLongLong(&ok);
  if (!ok || baud < 50 || baud > 4000000) return false;
  parsed.baudRate = static_cast<qint32>(baud);

  const QString parity = parts[1].trimmed().toLower();
  if (parity == QLatin1String("n")) parsed.parity = QSerialPort::NoParity;
  else if (parity == QLatin1String("e")) parsed.parity = QSerialPort::EvenParity;
  else if (parity == QLatin1String("o")) parsed.parity = QSerialPort::OddParity;
  else if (parity == QLatin1String("m")) parsed.parity = QSerialPort::MarkParity;
  else if (parity == QLatin1String("s")) parsed.parity = QSerialPort::SpaceParity;
  else return false;

  const QString data = parts[2].trimmed();
  if (data == QLatin1String("5")) parsed.dataBits = QSerialPort::Data5;
  else if (data == QLatin1String("6")) parsed.dataBits = QSerialPort::Data6;
  else if (data == QLatin1String("7")) parsed.dataBits = QSerialPort::Data7;
  else if (data == QLatin1String("8")) parsed.dataBits = QSerialPort::Data8;
  else return false;

  const QString stop = parts[3].trimmed();
  if (stop == QLatin1String("1")) parsed.stopBits = QSerialPort::OneStop;
  else if (stop == QLatin1String("1.5")) parsed.stopBits = QSerialPort::OneAndHalfStop;
  else if (stop == QLatin1String("2")) parsed.stopBits = QSerialPort::TwoStop;
  else return false;

  *out = parsed;
  return true;
}

QString OpenErrorText(QSerialPort::SerialPortError error, int portNumber, const QString& device,
                      const QString& systemText, bool accessible) {
  const QString port = device.isEmpty() || device == QStringLiteral("COM%1").arg(portNumber)
                           ? QStringLiteral("COM%1").arg(portNumber)
                           : QStringLiteral("COM%1（%2）").arg(portNumber).arg(device);
  QString text;
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      text = CMSComm::tr("串口 %1 不存在，或设备已被拔出。").arg(port);
      break;
    case QSerialPort::PermissionError:
      text = accessible ? CMSComm::tr("串口 %1 已被其他程序占用，请先关闭占用该端口的程序。").arg(port)
                        : CMSComm::tr("没有访问串口 %1 的权限：设备属于 dialout 组。请执行\n"
                                         "sudo usermod -aG dialout $USER\n然后注销并重新登录。").arg(port);
      break;
    case QSerialPort::OpenError:
      text = CMSComm::tr("串口 %1 已经打开。").arg(port);
      break;
    case QSerialPort::UnsupportedOperationError:
      text = CMSComm::tr("串口 %1 不支持所需的通信参数。").arg(port);
      break;
    case QSerialPort::ResourceError:
      text = CMSComm::tr("串口 %1 不可用：设备已断开或出现故障。").arg(port);
      break;
    default:
      text = CMSComm::tr("无法打开串口 %1。").arg(port);
      break;
  }
  // Qt's own texts such as "Unknown error" add nothing for the operator.
  const QString detail = systemText.trimmed();
  static const char* const kVague[] = {"Unknown error", "No error", ""};
  bool vague = false;
  for (const char* v : kVague) vague = vague || detail.compare(QLatin1String(v), Qt::CaseInsensitive) == 0;
  if (!vague) text += CMSComm::tr("\n系统信息：%1").arg(detail);
  return text;
}

CMSComm::CMSComm(QObject* parent) : QObject(parent), port_(new QSerialPort(this)) {
  ParseLineSettings(settingsText_, &settings_);
  connect(port_, &QSerialPort::readyRead, this, &CMSComm::HandleReadyRead);
  connect(port_, &QSerialPort::errorOccurred, this, &CMSComm::HandleError);
}

CMSComm::~CMSComm() {
  if (port_->isOpen()) port_->close();
}

void CMSComm::SetCommPort(short port) {
  if (port_->isOpen()) {
    lastError_ = tr("串口已经打开，不能更改端口号。");
    return;
  }
  if (port < kFirstPortNumber || port > kLastPortNumber) {
    lastError_ = tr("端口号 %1 无效，应为 %2 到 %3。").arg(port).arg(kFirstPortNumber).arg(kLastPortNumber);
    return;
  }
  commPort_ = port;
}

short CMSComm::CommPort() const { return commPort_; }

void CMSComm::SetDevice(const QString& device) {
  if (port_->isOpen()) {
    lastError_ = QStringLiteral("串口已经打开，不能更改端口号。");
    return;
  }
  device_ = device;
}

void CMSComm::SetSettings(const QString& settings) {
  LineSettings parsed;
  if (!ParseLineSettings(settings, &parsed)) {
    lastError_ = tr("通信参数“%1”无效，格式应为“9600,n,8,1”。").arg(settings);
    return;
  }
  if (port_->isOpen()) {
    const bool applied = port_->setBaudRate(parsed.baudRate) && port_->setParity(parsed.parity) &&
                         port_->setDataBits(parsed.dataBits) && port_->setStopBits(parsed.stopBits);
    if (!applied) {
      // Put the previous settings back so the line matches Settings().
      port_->setBaudRate(settings_.baudRate);
      port_->setParity(settings_.parity);
      port_->setDataBits(settings_.dataBits);
      port_->setStopBits(settings_.stopBits);
      lastError_ = tr("串口不支持通信参数“%1”。").arg(settings);
      return;
    }
  }
  settings_ = parsed;
  settingsText_ = settings.trimmed();
}

QString CMSComm::Settings() const { return settingsText_; }

void CMSComm::SetInBufferSize(short n) {
  if (n <= 0) return;
  inBufferSize_ = n;
  port_->setReadBufferSize(n);
}
short CMSComm::InBufferSize() const { return inBufferSize_; }

void CMSComm::SetOutBufferSize(short n) {
  if (n > 0) outBufferSize_ = n;
}
short CMSComm::OutBufferSize() const { return outBufferSize_; }

void CMSComm::SetInputLen(short n) {
  if (n >= 0) inputLen_ = n;
}
short CMSComm::InputLen() const { return inputLen_; }

void CMSComm::SetInputMode(int mode) {
  if (mode == 0 || mode == 1) inputMode_ = mode;
}
int CMSComm::InputMode() const { return inputMode_; }

void CMSComm::SetRThreshold(short n) {
  if (n < 0) return;
  rThreshold_ = n;
  // Bytes already waiting count against the new threshold at once.
  if (port_->isOpen() && rThreshold_ > 0 && port_->bytesAvailable() >= rThreshold_) {
    QMetaObject::invokeMethod(this, &CMSComm::HandleReadyRead, Qt::QueuedConnection);
  }
}
short CMSComm::RThreshold() const { return rThreshold_; }

bool CMSComm::SetPortOpen(bool open) {
  if (!open) {
    if (port_->isOpen()) port_->close();
    openDevice_.clear();
    return true;
  }
  if (port_->isOpen()) return true;

  const QString device = device_.isEmpty() ? ResolvePortName(commPort_) : device_;
  if (device.isEmpty()) {
    lastError_ = tr("串口 COM%1 不存在：系统中没有与之对应的串口设备。").arg(commPort_);
    return false;
  }
  port_->setPortName(device);
  port_->setReadBufferSize(inBufferSize_);
  if (!port_->open(QIODevice::ReadWrite)) {
    bool accessible = true;
#ifndef Q_OS_WIN
    accessible = ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#endif
    lastError_ = OpenErrorText(port_->error(), commPort_, device, port_->errorString(), accessible);
    port_->clearError();
    return false;
  }
  const bool applied = port_->setBaudRate(settings_.baudRate) && port_->setParity(settings_.parity) &&
                       port_->setDataBits(settings_.dataBits) && port_->setStopBits(settings_.stopBits) &&
                       port_->setFlowControl(QSerialPort::NoFlowControl);
  if (!applied) {
    const QString text = OpenErrorText(QSerialPort::UnsupportedOperationError, commPort_, device,
                                       port_->errorString(), true);
    port_->close();
    port_->clearError();
    lastError_ = text;
    return false;
  }
  openDevice_ = device;
  failing_ = false;
  commEvent_ = 0;
  return true;
}

bool CMSComm::PortOpen() const { return port_->isOpen(); }

QString CMSComm::LastError() const { return lastError_; }

void CMSComm::SetOutput(const std::vector<std::uint8_t>& frame) {
  if (!port_->isOpen() || frame.empty()) return;
  if (port_->bytesToWrite() + static_cast<qint64>(frame.size()) > outBufferSize_) {
    lastError_ = tr("发送缓冲区已满，数据未发送。");
    return;
  }
  port_->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
}

std::vector<std::uint8_t> CMSComm::Input() {
  if (!port_->isOpen()) return {};
  const QByteArray bytes = inputLen_ > 0 ? port_->read(inputLen_) : port_->readAll();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

short CMSComm::CommEvent() const { return commEvent_; }

QString CMSComm::DeviceName() const {
  if (port_->isOpen()) return openDevice_;
  return device_.isEmpty() ? ResolvePortName(commPort_) : device_;
}

void CMSComm::HandleReadyRead() {
  if (!port_->isOpen() || rThreshold_ <= 0) return;
  if (port_->bytesAvailable() < rThreshold_) return;
  commEvent_ = kCommEventReceive;
  emit OnComm();
}

void CMSComm::HandleError(QSerialPort::SerialPortError error) {
  // Only a failure of the device under an open port matters here; errors of
  // open() itself are reported by SetPortOpen's result. A device that went
  // away shows up as a resource error, or (a hung-up line, whose reads return
  // nothing) as read errors that repeat on every turn of the event loop:
  // either way the port is closed once and reported once.
  const bool fatal = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                     error == QSerialPort::WriteError;
  if (!fatal || !port_->isOpen() || failing_) return;
  failing_ = true;
  const QString text = tr("串口 COM%1（%2）出现故障或已被拔出，端口已关闭。\n系统信息：%3")
                           .arg(commPort_)
                           .arg(openDevice_)
                           .arg(port_->errorString());
  // Close outside the port's own notification handler.
  QMetaObject::invokeMethod(this, [this, text] { FailOpenPort(text); }, Qt::QueuedConnection);
}

void CMSComm::FailOpenPort(const QString& text) {
  if (!port_->isOpen()) {
    failing_ = false;
    return;
  }
  port_->close();
  port_->clearError();
  openDevice_.clear();
  lastError_ = text;
  failing_ = false;
  emit PortFailed(text);
}
