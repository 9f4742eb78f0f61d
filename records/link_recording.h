#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

#include "protocol/link_events.h"
#include "protocol/link_state.h"
#include "protocol/rtu_frame.h"
#include "protocol/stability.h"

namespace sensorlink {
class SensorLink;
}

namespace records {

class Recorder;

// Joins a sensor link to a Recorder: every accepted reply becomes a reading,
// every write placed in the link's pending slot a write row whose outcome
// follows from the link's events, and a calibration command a calibration
// with the stability verdict of that moment. One joiner for every front end,
// so the window and the CLI keep the same rows for the same happenings.
class LinkRecording : public QObject {
  Q_OBJECT

 public:
  // Listens to `link` and to the writes placed on `state` (the state the
  // link runs on). The verdict comes from the joiner's own stability
  // monitor, fed by the accepted replies.
  LinkRecording(sensorlink::SensorLink& link, protocol::LinkState& state, Recorder& recorder,
                QObject* parent = nullptr);
  // For a front end that drives the link itself and forwards its replies and
  // events: the verdict is the one `stability` holds (the monitor the
  // operator watches), or the joiner's own when null.
  LinkRecording(protocol::LinkState& state, Recorder& recorder, const protocol::StabilityMonitor* stability,
                QObject* parent = nullptr);
  // A write still without an outcome is recorded as failed: nobody saw it
  // confirmed, and the record must not say otherwise.
  ~LinkRecording() override;

  // An accepted poll reply, taken at the wall-clock time of the call.
  void OnReplyAccepted(const QByteArray& reply);
  // What the write cycle reported about the pending write.
  void OnLinkEvent(const protocol::LinkEvent& event);

  // The verdict a calibration sent now would be recorded with.
  protocol::StabilityVerdict Verdict() const;

  // The value a write frame carries, as the windows show it: a whole number,
  // the serial number unsigned, a float register's value as a number.
  static QString WriteValueText(const protocol::RtuFrame& frame, int reg);

 private:
  struct Outstanding {
    int address = 0;
    int reg = 0;
    QString value;
  };
  void OnWriteQueued(const protocol::RtuFrame& frame, std::uint8_t reg);
  void FailOutstanding(const QString& why);

  protocol::LinkState& m_state;
  Recorder& m_recorder;
  const protocol::StabilityMonitor* m_sharedStability = nullptr;
  protocol::StabilityMonitor m_ownStability;
  QElapsedTimer m_clock;  // the own monitor's time base
  std::optional<Outstanding> m_outstanding;  // the one write in the pending slot
};

}  // namespace records
