// Both TCP transports against an in-process peer that misbehaves the way a
// network does: replies cut into segments, replies to old transactions, a
// malformed header, a connection that goes away.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

#include "link_probe.h"
#include "protocol/mbap_frame.h"
#include "sim_bus.h"
#include "transports/modbus_tcp_transport.h"
#include "transports/rtu_over_tcp_transport.h"
#include "transports/transport_factory.h"

namespace {

using protocol::LinkEventKind;
using protocol::RtuFrame;

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<int>(v.size()));
}

// One client at a time; `onData` gets what the client sent and the socket.
class Peer {
 public:
  std::function<void(QTcpSocket&, const QByteArray&)> onData;

  Peer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      client_ = server_.nextPendingConnection();
      QObject::connect(client_, &QTcpSocket::readyRead, [this, c = client_] { onData(*c, c->readAll()); });
    });
  }
  quint16 Port() const { return server_.serverPort(); }
  bool Connected() const { return client_ && client_->state() == QAbstractSocket::ConnectedState; }
  void Hangup() {
    if (client_) client_->disconnectFromHost();
  }

 private:
  QTcpServer server_;
  QTcpSocket* client_ = nullptr;
};

// Sends `bytes` in pieces cut at `cuts`, a few milliseconds apart.
void SendInPieces(QTcpSocket& socket, const QByteArray& bytes, std::vector<qsizetype> cuts) {
  cuts.push_back(bytes.size());
  qsizetype from = 0;
  int delay = 0;
  for (qsizetype cut : cuts) {
    const QByteArray piece = bytes.mid(from, cut - from);
    QTimer::singleShot(delay, &socket, [&socket, piece] {
      socket.write(piece);
      socket.flush();
    });
    from = cut;
    delay += 4;
  }
}

sim::SimOptions Sensor(int address) {
  sim::SimOptions o;
  o.address = address;
  o.addresses = {address};
  o.steady = true;
  return o;
}

template <typename T>
std::unique_ptr<sensorlink::Transport> Make(quint16 port) {
  return std::make_unique<T>(QStringLiteral("127.0.0.1"), port);
}

}  // namespace

TEST(RtuOverTcp, RepliesCutIntoSegmentsStillReachTheLinkWhole) {
  sim::SimBus bus(Sensor(5));
  Peer peer;
  peer.onData = [&](QTcpSocket& socket, const QByteArray& request) {
    for (const sim::Bytes& frame : sim::SplitFrames(sim::Bytes(request.begin(), request.end()))) {
      const QByteArray reply = Bytes(bus.HandleFrame(frame));
      // Cuts inside the header, the data and the CRC.
      if (!reply.isEmpty()) SendInPieces(socket, reply, {1, 3, reply.size() / 2, reply.size() - 1});
    }
  };
  LinkProbe probe(Make<transports::RtuOverTcpTransport>(peer.Port()));
  ASSERT_TRUE(probe.link.Open()) << probe.transport->LastError().toStdString();
  probe.link.ConnectTo(5);
  ASSERT_TRUE(probe.AwaitReply(5));
  ASSERT_TRUE(probe.WriteFilterAndReadBack(5, 21));
  EXPECT_GT(probe.arrivals, static_cast<int>(probe.replies.size())) << "the replies did come in pieces";
  EXPECT_EQ(probe.Count(LinkEventKind::CrcError), 0u);
}

TEST(ModbusTcp, OnlyTheLatestTransactionsReplyReachesTheLinkAsAnRtuFrame) {
  sim::SimBus bus(Sensor(9));
  Peer peer;
  protocol::MbapReader reader;
  std::vector<protocol::MbapAdu> requests;
  peer.onData = [&](QTcpSocket& socket, const QByteArray& data) {
    reader.Append(reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size()));
    protocol::MbapAdu adu;
    while (reader.Next(&adu) == protocol::MbapReader::Status::Frame) {
      requests.push_back(adu);
      const RtuFrame reply = bus.HandleFrame(protocol::RtuFromMbap(adu));
      const QByteArray mbap = Bytes(protocol::MbapFromRtu(reply, adu.transactionId));
      switch (requests.size() % 4) {
        case 0: {
          // An old transaction's reply first, with a filter no poll reply carries.
          RtuFrame old = protocol::BuildReadReply(9, bus.Model(0).Registers().regs.data(), protocol::kRegisterCount);
          old[3 + 2 * protocol::Filter + 1] = 99;
          protocol::SealFrame(old);
          socket.write(Bytes(protocol::MbapFromRtu(old, static_cast<std::uint16_t>(adu.transactionId - 1))));
          socket.write(mbap);
          break;
        }
        case 1:
          SendInPieces(socket, mbap, {2, 5, 8, mbap.size() - 1});  // cut inside the header and the PDU
          break;
        case 2:
          if (requests.size() == 2) {
            socket.write(QByteArray::fromHex("000100000000"));  // a length of nothing
            break;
          }
          [[fallthrough]];
        default:
          socket.write(mbap);
      }
    }
  };
  LinkProbe probe(Make<transports::ModbusTcpTransport>(peer.Port()));
  auto& transport = static_cast<transports::ModbusTcpTransport&>(*probe.transport);
  ASSERT_TRUE(probe.link.Open()) << probe.transport->LastError().toStdString();
  probe.link.ConnectTo(9);
  ASSERT_TRUE(probe.WriteFilterAndReadBack(9, 27));
  ASSERT_TRUE(QTest::qWaitFor([&] { return probe.replies.size() >= 6; }, kWaitMs));

  EXPECT_EQ(transport.MalformedStreams(), 1);
  EXPECT_GE(transport.StaleReplies(), 1);
  for (const QByteArray& reply : probe.replies)
    EXPECT_NE(protocol::DecodeU16(reinterpret_cast<const std::uint8_t*>(reply.constData()), protocol::Filter), 99);
  EXPECT_EQ(probe.Count(LinkEventKind::CrcError), 0u) << "the CRC the transport adds is the line's";
  // What the gateway got is what the link sent, transaction ids one up each time.
  ASSERT_GE(requests.size(), 6u);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(protocol::RtuFromMbap(requests[i]), probe.sent[i]);
    EXPECT_EQ(requests[i].unit, 9);
    if (i > 0) {
      EXPECT_EQ(requests[i].transactionId, static_cast<std::uint16_t>(requests[i - 1].transactionId + 1));
    }
  }
}

TEST(TcpTransports, RefusedUnknownAndDroppedConnectionsAreToldInTheOperatorsWords) {
  using Factory = std::unique_ptr<sensorlink::Transport> (*)(quint16);
  const struct {
    const char* name;
    Factory make;
  } kinds[] = {{"RTU over TCP", &Make<transports::RtuOverTcpTransport>},
               {"MODBUS TCP", &Make<transports::ModbusTcpTransport>}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const quint16 closed = FreePort();
    auto refused = kind.make(closed);
    EXPECT_FALSE(refused->Open());
    EXPECT_FALSE(refused->IsOpen());
    EXPECT_EQ(refused->LastError(), QStringLiteral("无法连接 127.0.0.1:%1：连接被拒绝").arg(closed));

    transports::RtuOverTcpTransport unknown(QStringLiteral("no-such-host.invalid"), 502);
    EXPECT_FALSE(unknown.Open());
    EXPECT_TRUE(unknown.LastError().startsWith(QStringLiteral("无法连接 no-such-host.invalid:502："))) << unknown.LastError().toStdString();

    // The peer hangs up: the link is told, resets the transport and comes back.
    Peer peer;
    peer.onData = [](QTcpSocket&, const QByteArray&) {};
    LinkProbe probe(kind.make(peer.Port()));
    ASSERT_TRUE(probe.link.Open());
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.Connected(); }, kWaitMs));
    peer.Hangup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.reopened == 1; }, kWaitMs));
    EXPECT_EQ(probe.lost, QStringList{QStringLiteral("与 127.0.0.1:%1 的连接已断开").arg(peer.Port())});
    EXPECT_TRUE(probe.transport->IsOpen());
    // Closing it ourselves is no loss.
    probe.link.Close();
    QTest::qWait(100);
    EXPECT_EQ(probe.lost.size(), 1);
  }
}

TEST(TransportFactory, MakesTheTransportASpecNames) {
  const struct {
    const char* spec;
    const char* className;
  } cases[] = {
      {"tcp://127.0.0.1:502", "transports::ModbusTcpTransport"},
      {"rtu+tcp://127.0.0.1:4001", "transports::RtuOverTcpTransport"},
      {"COM4", "sensorlink::SerialTransport"},
      {"/dev/ttyUSB7", "sensorlink::SerialTransport"},
  };
  for (const auto& c : cases) {
    const auto parsed = transports::ParsePortSpec(c.spec);
    ASSERT_EQ(parsed.error, transports::PortSpecError::None) << c.spec;
    const auto transport = transports::MakeTransport(parsed.spec);
    EXPECT_STREQ(transport->metaObject()->className(), c.className) << c.spec;
  }
  // A serial address that cannot open says why in the serial layer's words.
  const auto missing = transports::MakeTransport(transports::ParsePortSpec("/nonexistent/ttyX").spec);
  EXPECT_FALSE(missing->Open());
  EXPECT_TRUE(missing->LastError().contains(QStringLiteral("/nonexistent/ttyX"))) << missing->LastError().toStdString();
}
