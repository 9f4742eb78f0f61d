// MODBUS TCP framing against byte vectors: what a gateway receives for each
// RTU request, what the link is handed back, and a stream cut anywhere.
#include <gtest/gtest.h>

#include "hex.h"
#include "protocol/mbap_frame.h"

using namespace protocol;

namespace {

struct Golden {
  const char* what;
  const char* rtu;
  std::uint16_t transactionId;
  const char* mbap;
};

const Golden kGolden[] = {
    {"read of three registers", "11 03 00 6B 00 03 76 87", 0x0001, "00 01 00 00 00 06 11 03 00 6B 00 03"},
    {"high transaction id", "01 03 00 00 00 0A C5 CD", 0xABCD, "AB CD 00 00 00 06 01 03 00 00 00 0A"},
    {"exception reply", "01 83 02 C0 F1", 0x0007, "00 07 00 00 00 03 01 83 02"},
};

}  // namespace

TEST(MbapFrame, ConvertsBothWaysByteForByte) {
  for (const Golden& g : kGolden) {
    SCOPED_TRACE(g.what);
    EXPECT_EQ(ToHex(MbapFromRtu(Hex(g.rtu), g.transactionId)), g.mbap);
    MbapReader reader;
    const auto mbap = Hex(g.mbap);
    reader.Append(mbap.data(), mbap.size());
    MbapAdu adu;
    ASSERT_EQ(reader.Next(&adu), MbapReader::Status::Frame);
    EXPECT_EQ(adu.transactionId, g.transactionId);
    EXPECT_EQ(ToHex(RtuFromMbap(adu)), g.rtu) << "the CRC is the one the line would carry";
    EXPECT_EQ(reader.Buffered(), 0u);
  }
}

TEST(MbapFrame, RefusesWhatIsNoRtuFrame) {
  const struct {
    const char* what;
    std::vector<std::uint8_t> frame;
  } cases[] = {
      {"wrong CRC", Hex("01 03 00 00 00 0A C5 CE")},
      {"address and function only", Hex("01 03")},
      {"nothing", {}},
      {"longer than a PDU", [] {
         RtuFrame f(1 + kMaxPduLength + 1 + 2, 0x11);
         SealFrame(f);
         return f;
       }()},
  };
  for (const auto& c : cases) EXPECT_TRUE(MbapFromRtu(c.frame, 1).empty()) << c.what;
}

TEST(MbapFrame, ReassemblesFramesCutAtEveryByte) {
  const auto stream = Hex("00 05 00 00 00 03 09 83 02  00 06 00 00 00 06 09 10 00 13 00 01");
  MbapReader reader;
  std::vector<std::pair<std::size_t, MbapAdu>> frames;  // (bytes fed when complete, frame)
  for (std::size_t i = 0; i < stream.size(); ++i) {
    reader.Append(&stream[i], 1);
    MbapAdu adu;
    while (reader.Next(&adu) == MbapReader::Status::Frame) frames.emplace_back(i + 1, adu);
  }
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].first, 9u);
  EXPECT_EQ(frames[0].second.transactionId, 5);
  EXPECT_EQ(ToHex(frames[0].second.pdu), "83 02");
  EXPECT_EQ(frames[1].first, stream.size());
  EXPECT_EQ(frames[1].second.unit, 9);
  EXPECT_EQ(ToHex(frames[1].second.pdu), "10 00 13 00 01");
}

TEST(MbapFrame, AMalformedHeaderDropsTheBufferAndTheNextFrameStillReads) {
  const struct {
    const char* what;
    const char* bytes;
  } cases[] = {
      {"protocol id not 0", "00 01 00 01 00 06 01 03 00 00 00 0A"},
      {"length without a function code", "00 01 00 00 00 01 01"},
      {"length of nothing", "00 01 00 00 00 00"},
      {"length beyond any PDU", "00 01 00 00 00 FF 01 03"},
      {"length of 64 KiB", "00 01 00 00 FF FF 01 03"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MbapReader reader;
    const auto bad = Hex(c.bytes);
    reader.Append(bad.data(), bad.size());
    MbapAdu adu;
    EXPECT_EQ(reader.Next(&adu), MbapReader::Status::Malformed);
    EXPECT_EQ(reader.Buffered(), 0u);
    const auto good = MbapFromRtu(Hex("01 03 00 00 00 0A C5 CD"), 2);
    reader.Append(good.data(), good.size());
    ASSERT_EQ(reader.Next(&adu), MbapReader::Status::Frame);
    EXPECT_EQ(ToHex(RtuFromMbap(adu)), "01 03 00 00 00 0A C5 CD");
  }
  MbapReader reader;
  MbapAdu adu;
  reader.Append(Hex("00 01 00 00 00").data(), 5);
  EXPECT_EQ(reader.Next(&adu), MbapReader::Status::NeedMore) << "half a header is no verdict yet";
}
