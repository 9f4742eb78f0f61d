#include "records/link_recording.h"

#include <QDateTime>

#include <algorithm>
#include <array>

#include "link/sensor_link.h"
#include "protocol/registers.h"
#include "records/record_format.h"
#include "records/recorder.h"
#include "uitexts/link_texts.h"

namespace records {
namespace {

bool IsFloatRegister(int reg) {
  return reg == protocol::Pressure || reg == protocol::ZeroCalValue || reg == protocol::AirCalValue ||
         reg == protocol::FactoryZeroCal || reg == protocol::FactoryAirCal;
}

}  // namespace

LinkRecording::LinkRecording(sensorlink::SensorLink& link, protocol::LinkState& state, Recorder& recorder,
                             QObject* parent)
    : LinkRecording(state, recorder, nullptr, parent) {
  connect(&link, &sensorlink::SensorLink::ReplyAccepted, this,
          [this](const QByteArray& reply) { OnReplyAccepted(reply); });
  connect(&link, &sensorlink::SensorLink::Event, this, &LinkRecording::OnLinkEvent);
}

LinkRecording::LinkRecording(protocol::LinkState& state, Recorder& recorder,
                             const protocol::StabilityMonitor* stability, QObject* parent)
    : QObject(parent), m_state(state), m_recorder(recorder), m_sharedStability(stability) {
  m_clock.start();
  m_state.writeQueued = [this](const protocol::RtuFrame& frame, std::uint8_t reg) { OnWriteQueued(frame, reg); };
}

LinkRecording::~LinkRecording() {
  m_state.writeQueued = nullptr;
  FailOutstanding(QStringLiteral("记录结束时仍未确认"));
}

protocol::StabilityVerdict LinkRecording::Verdict() const {
  if (m_sharedStability) return m_sharedStability->Latest();
  if (!m_ownStability.HasEverBeenFed()) return protocol::StabilityVerdict{};
  return m_ownStability.Evaluate(m_clock.elapsed());
}

QString LinkRecording::WriteValueText(const protocol::RtuFrame& frame, int reg) {
  // A write of n registers: address, 16, register (2), n (2), bytes, data, CRC.
  constexpr std::size_t kData = 7;
  if (frame.size() < kData + 2 + 2) return QString();
  const std::size_t bytes = frame[6];
  if (frame.size() < kData + bytes + 2 || protocol::RegisterOffset(reg) + bytes > protocol::kPollReplyLength)
    return QString();
  // Laid out as in a poll reply, so the reply's decoders read it.
  std::array<std::uint8_t, protocol::kPollReplyLength> block{};
  std::copy_n(frame.begin() + kData, bytes, block.begin() + protocol::RegisterOffset(reg));
  const auto r = static_cast<protocol::Register>(reg);
  if (bytes >= 4 && reg == protocol::SerialNumber) return QString::number(protocol::DecodeU32(block.data(), r));
  if (bytes >= 4 && IsFloatRegister(reg)) return NumberText(protocol::DecodeFloat(block.data(), r));
  return QString::number(protocol::DecodeU16(block.data(), r));
}

void LinkRecording::OnWriteQueued(const protocol::RtuFrame& frame, std::uint8_t reg) {
  if (frame.empty()) return;
  // The slot holds one write: one still waiting is replaced, never sent again.
  FailOutstanding(QStringLiteral("被新的写入取代，未确认"));
  const QDateTime now = QDateTime::currentDateTime();
  Outstanding w{frame[0], reg, WriteValueText(frame, reg)};
  m_recorder.OnWriteQueued(w.address, w.reg, w.value, now);
  if (reg == protocol::Command) {
    const uint value = w.value.toUInt();
    if (value >= protocol::CommandZeroCal && value <= protocol::CommandRestoreFactoryCal)
      m_recorder.OnCalibration(w.address, static_cast<protocol::CommandValue>(value), Recorder::CurrentOperator(),
                               Verdict(), now);
  }
  m_outstanding = w;
}

void LinkRecording::FailOutstanding(const QString& why) {
  if (!m_outstanding) return;
  m_recorder.OnWriteFailed(m_outstanding->address, m_outstanding->reg, m_outstanding->value, why,
                           QDateTime::currentDateTime());
  m_outstanding.reset();
}

void LinkRecording::OnReplyAccepted(const QByteArray& reply) {
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return;
  if (!m_sharedStability) {
    const protocol::SensorReading r =
        protocol::DecodePollReply(reinterpret_cast<const std::uint8_t*>(reply.constData()));
    m_ownStability.AddSample(m_clock.elapsed(), r.doValue, r.unit, r.phaseDiff);
  }
  m_recorder.OnReading(reply, static_cast<std::uint8_t>(reply[0]), QDateTime::currentDateTime());
}

void LinkRecording::OnLinkEvent(const protocol::LinkEvent& event) {
  using protocol::LinkEventKind;
  if (!m_outstanding) return;
  switch (event.kind) {
    case LinkEventKind::WriteConfirmed:
      m_recorder.OnWriteConfirmed(m_outstanding->address, m_outstanding->reg, m_outstanding->value,
                                  QDateTime::currentDateTime());
      m_outstanding.reset();
      break;
    case LinkEventKind::WriteRefused:
    case LinkEventKind::WriteUnanswered: {
      QString why = QString::fromStdString(ui_texts::MessageText(event));
      if (why.isEmpty()) why = event.kind == LinkEventKind::WriteRefused ? QStringLiteral("传感器拒绝写入")
                                                                       : QStringLiteral("传感器无应答");
      FailOutstanding(why);
      break;
    }
    default:
      break;
  }
}

}  // namespace records
