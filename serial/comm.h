#pragma once
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <vector>

// Line settings in the communications control's notation: "baud,parity,data,stop",
// e.g. "9600,n,8,1". Parity n/e/o/m/s; data bits 5..8; stop bits 1, 1.5 or 2.
struct LineSettings {
  qint32 baudRate = 9600;
  QSerialPort::Parity parity = QSerialPort::NoParity;
  QSerialPort::DataBits dataBits = QSerialPort::Data8;
  QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Parses `text` into `out`; false (and `out` untouched) on malformed text.
bool ParseLineSettings(const QString& text, LineSettings* out);

// The message shown when opening COM`portNumber` (`device`) failed with
// `error`. `systemText` is the port's own error string; it is appended when it
// says more than Qt's generic texts. `accessible` tells, for a permission
// failure, whether this user may read and write the device at all (then the
// port is held by another program).
QString OpenErrorText(QSerialPort::SerialPortError error, int portNumber, const QString& device,
                      const QString& systemText, bool accessible);

// The serial port component: every byte to and from the sensor passes here.
// Properties and the OnComm event follow the communications control the tool
// was designed around; everything runs on the thread that owns the object.
class CMSComm : public QObject {
  Q_OBJECT

 public:
  static constexpr short kCommEventReceive = 2;

  explicit CMSComm(QObject* parent = nullptr);
  ~CMSComm() override;

  // 1..15 (COMn). Refused (LastError set) while the port is open.
  void SetCommPort(short port);
  short CommPort() const;
  // Opens this device instead of the one COMn resolves to (a path given on a
  // command line); empty = resolve the number. Refused while the port is open.
  void SetDevice(const QString& device);

  // "9600,n,8,1". Malformed text is refused: the settings stay as they were
  // and LastError says why. Applied at once when the port is open.
  void SetSettings(const QString& settings);
  QString Settings() const;

  // Receive buffer size in bytes: bytes beyond it wait in the system's buffer
  // until Input() makes room, so nothing is lost.
  void SetInBufferSize(short n);
  short InBufferSize() const;
  // Largest number of bytes a single Output may have pending; a frame that
  // does not fit is refused (LastError set).
  void SetOutBufferSize(short n);
  short OutBufferSize() const;
  // 0: Input() returns everything buffered; n > 0: at most n bytes per read.
  void SetInputLen(short n);
  short InputLen() const;
  // 0 text, 1 binary. Input() hands over raw bytes in both modes; the mode is
  // kept for callers that read it back.
  void SetInputMode(int mode);
  int InputMode() const;
  // 0: no receive events; n > 0: OnComm once at least n bytes are waiting.
  void SetRThreshold(short n);
  short RThreshold() const;

  // Opens or closes the port. Opening resolves CommPort to a device
  // (ResolvePortName), applies the settings and clears nothing else. On
  // failure returns false, stays closed with every property unchanged, and
  // LastError() holds the message for the operator.
  bool SetPortOpen(bool open);
  bool PortOpen() const;
  QString LastError() const;

  // Queues the whole frame for sending and returns at once; ignored when closed.
  void SetOutput(const std::vector<std::uint8_t>& frame);
  // Everything received so far (at most InputLen bytes when that is set), in
  // arrival order; what is returned is removed from the buffer.
  std::vector<std::uint8_t> Input();
  // The reason of the latest OnComm: 2 = data received.
  short CommEvent() const;
  // The device CommPort resolves to now (the open device while open).
  QString DeviceName() const;

 signals:
  // Bytes arrived (CommEvent() == 2), on the owning thread.
  void OnComm();
  // The open port failed (e.g. the USB adapter was unplugged). Emitted once;
  // the component is closed by then and can be opened again later.
  void PortFailed(const QString& text);

 private:
  void HandleReadyRead();
  void HandleError(QSerialPort::SerialPortError error);
  void FailOpenPort(const QString& text);

  QSerialPort* port_;
  short commPort_ = 1;
  QString device_;  // set by SetDevice: opened as it is, no port number lookup
  LineSettings settings_;
  QString settingsText_ = QStringLiteral("9600,n,8,1");
  short inBufferSize_ = 1024;
  short outBufferSize_ = 512;
  short inputLen_ = 0;
  int inputMode_ = 0;
  short rThreshold_ = 0;
  short commEvent_ = 0;
  QString openDevice_;
  QString lastError_;
  bool failing_ = false;
};
