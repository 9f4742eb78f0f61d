#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "protocol/device_table.h"

namespace sensorlink {

class SensorLink;

// Asks every address of the line in turn for the register block and lists
// the sensors that answer. It drives the one link (its transport, receive
// path and counters), so a scan looks on the line like any other poll: the
// next address is asked as soon as the one before has answered, or after
// the wait. The link is left idle at the end; the face decides what to
// connect to then.
class BusScan : public QObject {
  Q_OBJECT

 public:
  // `timeText` stamps each sensor found (the faces use the records' clock text).
  BusScan(SensorLink& link, std::function<QString()> timeText, QObject* parent = nullptr);

  // False (and nothing sent) while a write waits for its echo: the scan
  // would move the address that write's echo is checked against.
  bool Start(std::uint8_t first = protocol::kScanFirstAddress, std::uint8_t last = protocol::kScanLastAddress,
             int waitMs = protocol::kScanWaitMs);
  void Cancel();
  bool Running() const { return m_running; }
  const std::vector<protocol::DeviceEntry>& Found() const { return m_found; }

 signals:
  void Progress(int asked, int total, std::uint8_t address);
  void SensorFound(const protocol::DeviceEntry& entry);
  void Finished(bool cancelled);

 private:
  void AskCurrent();
  void Next();
  void OnReply(const QByteArray& reply);
  void Stop(bool cancelled);

  SensorLink& m_link;
  std::function<QString()> m_timeText;
  protocol::ScanWalk m_walk;
  std::vector<protocol::DeviceEntry> m_found;
  QTimer m_wait;
  bool m_running = false;
};

}  // namespace sensorlink
