#pragma once
// A SensorLink over a given transport with everything it reports collected,
// and the waits the transport tests share: generous deadlines on conditions,
// so a loaded machine with sanitizers only makes them slower.
#include <QObject>
#include <QTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "link/sensor_link.h"
#include "protocol/registers.h"
#include "tcp_peers.h"

struct LinkProbe {
  explicit LinkProbe(std::unique_ptr<sensorlink::Transport> t) : transport(std::move(t)), link(*transport, state) {
    link.SetPeriods({100, 150, 200, 100, 200});
    QObject::connect(&link, &sensorlink::SensorLink::Event, [this](const protocol::LinkEvent& e) { events.push_back(e.kind); });
    QObject::connect(&link, &sensorlink::SensorLink::ReplyAccepted,
                     [this](const QByteArray& r, qint64) { replies.push_back(r); });
    QObject::connect(&link, &sensorlink::SensorLink::BytesArrived, [this](const QByteArray&, qint64) { ++arrivals; });
    QObject::connect(&link, &sensorlink::SensorLink::FrameSent,
                     [this](const QByteArray& f, qint64) { sent.emplace_back(f.begin(), f.end()); });
    QObject::connect(&link, &sensorlink::SensorLink::PortLost, [this](const QString& why) { lost << why; });
    QObject::connect(&link, &sensorlink::SensorLink::PortReopened, [this] { ++reopened; });
  }

  std::size_t Count(protocol::LinkEventKind kind) const {
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), kind));
  }
  std::uint16_t LastRegister(protocol::Register reg) const {
    return protocol::DecodeU16(reinterpret_cast<const std::uint8_t*>(replies.back().constData()), reg);
  }
  // Waits for a poll reply from `address`, accepted after this call.
  bool AwaitReply(std::uint8_t address, int timeoutMs = kWaitMs) {
    const std::size_t before = replies.size();
    return QTest::qWaitFor([&] { return replies.size() > before && static_cast<std::uint8_t>(replies.back()[0]) == address; },
                           timeoutMs);
  }
  // Writes the filter setting and waits for its echo, then for a poll reply
  // that shows it: the value went through the peer and came back.
  bool WriteFilterAndReadBack(std::uint8_t address, std::uint16_t filter) {
    const std::size_t confirmed = Count(protocol::LinkEventKind::WriteConfirmed);
    link.QueueWrite(protocol::WriteFilter(address, filter), protocol::Filter);
    if (!QTest::qWaitFor([&] { return Count(protocol::LinkEventKind::WriteConfirmed) > confirmed; }, kWaitMs)) return false;
    return QTest::qWaitFor([&] { return AwaitReply(address, 1000) && LastRegister(protocol::Filter) == filter; }, kWaitMs);
  }

  std::unique_ptr<sensorlink::Transport> transport;
  protocol::LinkState state;
  sensorlink::SensorLink link;
  std::vector<protocol::LinkEventKind> events;
  std::vector<QByteArray> replies;
  std::vector<protocol::RtuFrame> sent;
  QStringList lost;
  int arrivals = 0;
  int reopened = 0;
};
