#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "comma_locale.h"
#include "protocol/device_table.h"

using namespace protocol;

TEST(ScanWalk, AsksEveryAddressOnceAndEndsWithinFortySeconds) {
  ScanWalk walk;
  int asked = 0;
  for (std::uint8_t expected = kScanFirstAddress; !walk.Done(); walk.Advance(), ++expected, ++asked)
    ASSERT_EQ(walk.Current(), expected);
  EXPECT_EQ(asked, 247);
  EXPECT_EQ(walk.Asked(), walk.Total());
  EXPECT_LT(walk.Total() * kScanWaitMs, 40000);
}

TEST(DeviceTable, KeepsOneEntryPerAddressInOrderAndDescribesAReply) {
  RegisterBlock block;
  block.SetU32(SerialNumber, 20251464);
  block.SetFloat(SoftwareVersion, 1.5f);
  block.SetFloat(DoValue, 8.25f);
  block.regs[Unit] = 1;
  const RtuFrame reply = block.PollReply(7);

  DeviceTable table;
  table.Put(DescribeSensor(reply.data(), 7, "2026-12-09T10:00:00+08:00"));
  table.Put({12, 3, 1.0f, 0, 0, "t"});
  table.Put({3, 1, 1.0f, 0, 0, "t"});
  table.Put({12, 4, 2.0f, 0, 0, "later"});  // found again: replaces

  ASSERT_EQ(table.Entries().size(), 3u);
  EXPECT_EQ(table.Entries()[0].address, 3);
  EXPECT_EQ(table.Entries()[2].serialNumber, 4u);
  const DeviceEntry* seven = table.Find(7);
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven->serialNumber, 20251464u);
  EXPECT_FLOAT_EQ(seven->softwareVersion, 1.5f);
  EXPECT_FLOAT_EQ(seven->doValue, 8.25f);
  EXPECT_EQ(seven->unit, 1);
  EXPECT_TRUE(table.Remove(3));
  EXPECT_FALSE(table.Remove(3));
  EXPECT_EQ(table.Find(3), nullptr);
}

// The saved file is the plant's record and the next run's table: what is
// written must come back whole, whatever the process locale, and a damaged
// line must be left out rather than misread.
TEST(DeviceTable, TextRoundTripsAndSkipsDamagedLines) {
  DeviceTable table;
  table.Put({7, 20251464, 1.5f, 0, 0, "2026-12-09T10:00:00+08:00"});
  table.Put({247, 4294967295u, 12.25f, 0, 0, "2026-12-09T10:00:01+08:00"});
  const bool comma = SetCommaLocale();
  const std::string text = table.ToText();
  EXPECT_EQ(text,
            "address\tserial_number\tsoftware_version\tfound_at\n"
            "7\t20251464\t1.5\t2026-12-09T10:00:00+08:00\n"
            "247\t4294967295\t12.25\t2026-12-09T10:00:01+08:00\n");
  const auto back = DeviceTable::FromText(text + "0\t1\t1\tt\n" + "9\t1\t1,5\tt\n" + "9\t-1\t1\tt\n" + "300\t1\t1\tt\n" +
                                          "8\t1\t1\n" + "5\t99\t2");
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->Entries().size(), 2u) << (comma ? "" : "(no comma locale here)");
  EXPECT_EQ(back->Entries()[0].softwareVersion, 1.5f);
  EXPECT_EQ(back->Entries()[1].serialNumber, 4294967295u);
  EXPECT_EQ(back->Entries()[1].foundAt, "2026-12-09T10:00:01+08:00");
  EXPECT_FALSE(DeviceTable::FromText("serial,address\n1,2\n").has_value());
  EXPECT_TRUE(DeviceTable::FromText(std::string("address\tserial_number\tsoftware_version\tfound_at\r\n")).has_value());
}
