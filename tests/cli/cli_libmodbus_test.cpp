// sensortool-cli against a MODBUS slave that is not ours: libmodbus serving a
// known register block on one end of a null-modem pair of pseudo-terminals.
#include <errno.h>
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <cstring>
#include <thread>

#include "cli_process.h"
#include "protocol/registers.h"
#include "libmodbus_slave.h"
#include "pty_helpers.h"

namespace {


TEST(CliAgainstLibmodbus, ReadDecodesAKnownBlockAndASetIsEchoed) {
  PtyBridge cable;
  LibmodbusSlave slave(cable.a().slavePath(), 9, KnownRegisterBlock());
  ASSERT_TRUE(slave.connected()) << modbus_strerror(errno);
  const QString port = QString::fromStdString(cable.b().slavePath());

  const CliRun run = RunCli({"read", "--json", "--port", port, "--address", "9"});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
  EXPECT_EQ(o["address"].toInt(), 9);
  EXPECT_EQ(o["do_value"].toDouble(), 7.88);  // 7.89f is 7.8899998...: cut, not rounded
  EXPECT_EQ(o["unit"].toString(), QStringLiteral("mg/L"));  // any nonzero unit register
  EXPECT_EQ(o["temperature"].toDouble(), -3.45);
  EXPECT_EQ(o["status"].toString(), QStringLiteral("异常"));
  EXPECT_EQ(o["phase_diff"].toDouble(), 31.25);
  EXPECT_EQ(o["red_phase"].toDouble(), 45.5);
  EXPECT_EQ(o["green_phase"].toDouble(), 14.25);
  EXPECT_EQ(o["red_amplitude"].toInt(), 1234);
  EXPECT_EQ(o["red_gain"].toInt(), 4);
  EXPECT_EQ(o["green_amplitude"].toInt(), 987);
  EXPECT_EQ(o["green_gain"].toInt(), 2);
  EXPECT_EQ(o["filter"].toInt(), 17);
  EXPECT_EQ(o["pressure"].toDouble(), 99.8);
  EXPECT_EQ(o["zero_cal_value"].toDouble(), 61.5);
  EXPECT_EQ(o["air_cal_value"].toDouble(), 1234.57);  // cut to 1234.567, six digits shown
  EXPECT_EQ(o["device_address"].toInt(), 9);
  EXPECT_EQ(o["software_version"].toDouble(), 1.24);  // 1.23 * 100 + 1, cut
  EXPECT_EQ(o["serial_number"].toDouble(), -1294967296.0);
  EXPECT_EQ(o["factory_zero_cal"].toDouble(), 62.0);
  EXPECT_EQ(o["factory_air_cal"].toDouble(), 12.345);

  // The whole search walk is not needed against this slave: a write at the
  // given address, echoed by libmodbus and read back.
  const CliRun set = RunCli({"set", "pressure", "120.25", "--port", port, "--address", "9"});
  ASSERT_EQ(set.exitCode, 0) << Describe(set);
  EXPECT_EQ(set.out, QStringLiteral("Operation successful\n大气压强 (pressure) = 120.25\n"));
  slave.Stop();
  protocol::RegisterBlock after;
  for (int i = 0; i < protocol::kRegisterCount; ++i) after.regs[i] = slave.Register(i);
  EXPECT_EQ(after.GetFloat(protocol::Pressure), 120.25f);
}

}  // namespace
