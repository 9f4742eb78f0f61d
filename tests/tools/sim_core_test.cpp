// The simulated sensor without a line: options, physics, registers and faults.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <set>

#include "protocol/oxygen_physics.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "sensor_model.h"
#include "sim_bus.h"
#include "sim_options.h"
#include "sim_slave.h"

namespace {

using sim::Bytes;
using namespace protocol;
using protocol::Plausibility;

sim::SimOptions Steady(double saturation = 95.0) {
  sim::SimOptions o;
  o.steady = true;
  o.saturation = saturation;
  return o;
}

sim::SimOptions Parse(std::vector<std::string> args) {
  sim::SimOptions o;
  std::string error;
  EXPECT_EQ(sim::ParseSimOptions(args, &o, &error), sim::ParseResult::Ok) << error;
  return o;
}

TEST(SimOptions, ParseValuesDefaultsAndMistakes) {
  sim::SimOptions o = Parse({});
  EXPECT_EQ(o.com, 1);
  EXPECT_EQ(o.address, 1);
  EXPECT_EQ(o.addresses, std::vector<int>{1});
  EXPECT_EQ(o.deviceType, 2);
  EXPECT_EQ(o.seed, 1u);

  o = Parse({"--link", "/tmp/x", "--address=7", "--serial", "4294967295", "--pressure", "88.5",
             "--do-value", "8.5", "--temperature=25.25", "--paced", "--steady", "--status", "1",
             "--drop-byte-every", "3", "--silent-after=4", "--silent-polls", "2"});
  EXPECT_EQ(o.com, 0);
  EXPECT_EQ(o.link, "/tmp/x");
  EXPECT_EQ(o.address, 7);
  EXPECT_EQ(o.addresses, std::vector<int>{7});
  EXPECT_EQ(o.serial, 4294967295u);
  EXPECT_FLOAT_EQ(o.pressure, 88.5f);
  ASSERT_TRUE(o.doValue.has_value());
  EXPECT_FLOAT_EQ(*o.doValue, 8.5f);
  EXPECT_FLOAT_EQ(*o.temperature, 25.25f);
  EXPECT_TRUE(o.paced);
  EXPECT_TRUE(o.steady);
  EXPECT_EQ(*o.status, 1);
  EXPECT_EQ(o.dropByteEvery, 3);
  EXPECT_EQ(o.silentAfter, 4);
  EXPECT_EQ(o.silentPolls, 2);

  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},           {"--address"},           {"--address", "0"},     {"--address", "255"},
      {"--filter", "100"},   {"--pressure", "49"},    {"--pressure", "1,5"},  {"--com", "16"},
      {"--com", "2", "--link", "/tmp/y"},             {"--serial", "-1"},     {"--paced=yes"},
      {"--factory-zero", "20", "--factory-air", "30"}, {"--drop-byte-every", "0"}, {"stray"},
      {"--sw-version", "x"}, {"--steady=1"},  {"--address", "3,3"},   {"--address", "3,"},
      {"--address", ",3"},   {"--address", "3,255"},
  };
  for (const auto& args : bad) {
    sim::SimOptions unused;
    std::string error;
    EXPECT_EQ(sim::ParseSimOptions(args, &unused, &error), sim::ParseResult::Error) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
  sim::SimOptions h;
  std::string error;
  EXPECT_EQ(sim::ParseSimOptions({"--address", "3", "--help"}, &h, &error), sim::ParseResult::Help);
  EXPECT_EQ(sim::ParseSimOptions({"--version"}, &h, &error), sim::ParseResult::Version);
  EXPECT_FLOAT_EQ(Parse({"--sw-version", "2.5"}).version, 2.5f);
  o = Parse({"--address", "12,3,7"});
  EXPECT_EQ(o.addresses, (std::vector<int>{12, 3, 7}));
  EXPECT_EQ(o.address, 12);

  const std::string help = sim::HelpText();
  for (const char* name : {"--com", "--link", "--device", "--paced", "--log", "--address", "--serial",
                           "--version", "--sw-version", "--unit", "--filter", "--pressure", "--status", "--device-type",
                           "--do-value", "--temperature", "--seed", "--drop-byte-every", "--flip-bit-every",
                           "--noise-every", "--silent-polls", "--silent-after", "--foreign-address-every",
                           "--foreign-type-every", "--saturation", "--steady", "--frame-gap", "--help"}) {
    EXPECT_NE(help.find(std::string("  ") + name + " "), std::string::npos) << name;
  }
}

TEST(OxygenPhysics, SolubilityMatchesPublishedTablesAndScalesWithPressure) {
  // Air-saturated fresh water at one standard atmosphere, mg/L (USGS tables
  // built on Benson & Krause).
  const struct { double t, mgL; } table[] = {{0, 14.62}, {10, 11.29}, {20, 9.09}, {25, 8.26}, {30, 7.56}, {40, 6.41}};
  for (const auto& row : table) EXPECT_NEAR(protocol::OxygenSolubility(row.t, 101.325), row.mgL, 0.01) << row.t;
  // Half the pressure: about half the oxygen, less the share of water vapour.
  const double pwv = protocol::WaterVapourPressureAtm(20);
  EXPECT_NEAR(pwv, 0.0231, 0.0005);
  EXPECT_NEAR(protocol::OxygenSolubility(20, 101.325 / 2) / protocol::OxygenSolubility(20, 101.325),
              (0.5 - pwv) / (1 - pwv), 0.002);
  EXPECT_GT(protocol::OxygenSolubility(20, 110), protocol::OxygenSolubility(20, 101.325));

  // Stern-Volmer anchored on the two calibration phases.
  EXPECT_NEAR(protocol::SaturationFromPhase(62.35, 62.35, 27.812), 0.0, 1e-9);
  EXPECT_NEAR(protocol::SaturationFromPhase(27.812, 62.35, 27.812), 100.0, 1e-9);
  for (double s : {0.0, 12.5, 50.0, 100.0, 180.0})
    EXPECT_NEAR(protocol::SaturationFromPhase(protocol::PhaseFromSaturation(s, 62.35, 27.812), 62.35, 27.812), s, 1e-6);
  EXPECT_LT(protocol::PhaseFromSaturation(150, 62.35, 27.812), 27.812);  // more oxygen, shorter phase
  EXPECT_TRUE(std::isnan(protocol::SaturationFromPhase(30, 27.0, 27.0)));
  EXPECT_TRUE(std::isnan(protocol::SaturationFromPhase(30, 25.0, 40.0)));
}

TEST(OxygenPhysics, ReadingsJudgedAgainstTheirOwnPhaseAndRange) {
  // Each reading is the simulated sensor's poll reply, decoded as the tool
  // decodes it, so the check sees the same fields a real sensor sends.
  const double sol25 = protocol::OxygenSolubility(25.0, 101.3);
  struct Case {
    const char* name;
    int unit;
    double saturation;                 // of the water
    std::optional<float> doValue;      // a sensor that reports something else
    std::optional<float> airCal;       // a calibration that makes the phase useless
    Plausibility verdict;
    double mgPerL, percent;            // expected, both units (NaN: do not compare)
  } cases[] = {
      {"mg/L, true", 1, 95.0, {}, {}, Plausibility::Plausible, 0.95 * sol25, 95.0},
      {"%, true", 0, 95.0, {}, {}, Plausibility::Plausible, 0.95 * sol25, 95.0},
      {"4 points above, inside", 0, 95.0, 99.0f, {}, Plausibility::Plausible, 0.99 * sol25, 99.0},
      {"6 points above", 0, 95.0, 101.0f, {}, Plausibility::UnitsDisagree, 1.01 * sol25, 101.0},
      {"6 points below", 0, 95.0, 89.0f, {}, Plausibility::UnitsDisagree, 0.89 * sol25, 89.0},
      {"mg/L far off", 1, 95.0, 2.0f, {}, Plausibility::UnitsDisagree, 2.0, 200.0 / sol25},
      {"above 300 %", 0, 320.0, {}, {}, Plausibility::SaturationOutOfRange, 3.2 * sol25, 320.0},
      {"negative", 1, 95.0, -0.5f, {}, Plausibility::SaturationOutOfRange, -0.5, -50.0 / sol25},
      {"unusable calibration", 0, 95.0, 140.0f, 62.35f, Plausibility::Plausible, 1.4 * sol25, 140.0},
  };
  for (const Case& c : cases) {
    sim::SimOptions o = Steady(c.saturation);
    o.temperature = 25.0f;
    o.unit = c.unit;
    o.doValue = c.doValue;
    o.airCal = c.airCal;
    const sim::SensorModel model(o);
    const RtuFrame reply = model.Registers().PollReply(1);
    const protocol::OxygenCheck check = protocol::CheckOxygen(DecodePollReply(reply.data()));
    EXPECT_EQ(check.verdict, c.verdict) << c.name;
    EXPECT_NEAR(check.reported.mgPerL, c.mgPerL, 1e-3) << c.name;
    EXPECT_NEAR(check.reported.saturation, c.percent, 1e-2) << c.name;
  }
  // No solubility where the fit does not reach: nothing to judge by.
  SensorReading hot;
  hot.doValue = 5.0f;
  hot.unit = 1;
  hot.temperature = 85.0f;
  hot.pressure = 101.3f;
  EXPECT_EQ(protocol::CheckOxygen(hot).verdict, Plausibility::NotCheckable);
  EXPECT_TRUE(std::isnan(protocol::CheckOxygen(hot).reported.saturation));
  hot.temperature = 20.0f;
  hot.pressure = 2.0f;  // below the vapour pressure of the water itself
  EXPECT_EQ(protocol::CheckOxygen(hot).verdict, Plausibility::NotCheckable);
}

TEST(SensorModelRegisters, MeasurementIsConsistentAcrossFields) {
  sim::SimOptions o = Steady(95.0);
  o.temperature = 25.0f;
  sim::SensorModel model(o);
  const RegisterBlock& r = model.Registers();
  EXPECT_EQ(r.regs[DeviceType], 2);
  EXPECT_EQ(r.regs[DeviceAddress], 1);
  EXPECT_EQ(r.regs[Filter], 10);
  EXPECT_EQ(r.GetU32(SerialNumber), 20240001u);
  EXPECT_FLOAT_EQ(r.GetFloat(Pressure), 101.3f);
  EXPECT_FLOAT_EQ(r.GetFloat(Temperature), 25.0f);
  EXPECT_EQ(r.regs[Status], 0);
  // With the factory calibration the sensor reads the water's true oxygen.
  EXPECT_NEAR(model.MeasuredSaturation(), 95.0, 1e-3);
  EXPECT_NEAR(r.GetFloat(DoValue), 0.95 * protocol::OxygenSolubility(25.0, 101.3), 1e-4);
  EXPECT_NEAR(r.GetFloat(PhaseDiff), r.GetFloat(RedPhase) - r.GetFloat(GreenPhase), 1e-4);
  EXPECT_NEAR(r.GetFloat(PhaseDiff), protocol::PhaseFromSaturation(95, 62.35, 27.812), 1e-4);
  // The amplifier lifts both channels to at least 1000 mV.
  for (int amp : {RedAmplitude, GreenAmplitude}) {
    const int gain = r.regs[amp + 1];
    EXPECT_TRUE(gain == 16 || r.regs[amp] * gain >= 1000) << amp;
    EXPECT_TRUE(gain == 1 || r.regs[amp] * gain / 2 < 1000) << amp;
  }

  // Unit 0 reports % saturation; any other value mg/L.
  const std::uint16_t zero = 0;
  ASSERT_EQ(model.Write(Unit, &zero, 1), 0);
  EXPECT_NEAR(model.Registers().GetFloat(DoValue), 95.0, 1e-3);
  // Lower pressure: same saturation, less oxygen per litre.
  const std::uint16_t mgl = 0x0100;
  ASSERT_EQ(model.Write(Unit, &mgl, 1), 0);
  const float atSeaLevel = model.Registers().GetFloat(DoValue);
  std::uint8_t w[4];
  EncodeWord32(FloatBits(80.0f), w);
  const std::uint16_t p80[2] = {static_cast<std::uint16_t>(w[0] << 8 | w[1]), static_cast<std::uint16_t>(w[2] << 8 | w[3])};
  ASSERT_EQ(model.Write(Pressure, p80, 2), 0);
  EXPECT_NEAR(model.Registers().GetFloat(DoValue), 0.95 * protocol::OxygenSolubility(25.0, 80.0), 1e-4);
  EXPECT_LT(model.Registers().GetFloat(DoValue), atSeaLevel);

  // More oxygen quenches more light: the red amplitude falls.
  sim::SensorModel rich(Steady(150.0));
  sim::SensorModel poor(Steady(10.0));
  EXPECT_LT(rich.Registers().regs[RedAmplitude], poor.Registers().regs[RedAmplitude]);
  EXPECT_LT(rich.Registers().GetFloat(PhaseDiff), poor.Registers().GetFloat(PhaseDiff));

  // A phase no working head produces raises the status; --status forces it.
  sim::SensorModel broken(Steady(1500.0));
  EXPECT_LT(broken.Phase(), sim::kMinPlausiblePhase);
  EXPECT_EQ(broken.Registers().regs[Status], 1);
  sim::SimOptions forced = Steady();
  forced.status = 7;
  EXPECT_EQ(sim::SensorModel(forced).Registers().regs[Status], 7);
  sim::SimOptions fixed = Steady();
  fixed.doValue = 8.276f;
  EXPECT_EQ(sim::SensorModel(fixed).Registers().GetFloat(DoValue), 8.276f);

  // Without --steady the readings move: temperature drifts with time.
  sim::SimOptions live;
  sim::SensorModel drifting(live);
  drifting.Update(225.0);  // a quarter of the temperature swing
  EXPECT_NEAR(drifting.Temperature(), 20.8, 0.1);
}

TEST(SensorModelWrites, CalibrationCommandsRangesAndAtomicity) {
  sim::SensorModel model(Steady(0.0));  // zero-oxygen solution
  const float phaseAtZero = static_cast<float>(model.Phase());
  // Miscalibrate first so the zero calibration has something to fix.
  std::uint8_t w[4];
  auto pair = [&](float v) {
    EncodeWord32(FloatBits(v), w);
    return std::array<std::uint16_t, 2>{static_cast<std::uint16_t>(w[0] << 8 | w[1]),
                                        static_cast<std::uint16_t>(w[2] << 8 | w[3])};
  };
  auto z = pair(70.0f);
  ASSERT_EQ(model.Write(ZeroCalValue, z.data(), 2), 0);
  EXPECT_GT(model.MeasuredSaturation(), 5.0);
  const std::uint16_t zeroCmd = CommandZeroCal;
  ASSERT_EQ(model.Write(Command, &zeroCmd, 1), 0);
  EXPECT_EQ(model.Registers().GetFloat(ZeroCalValue), phaseAtZero);
  EXPECT_NEAR(model.MeasuredSaturation(), 0.0, 1e-3);
  EXPECT_EQ(model.Registers().regs[Command], CommandZeroCal);

  sim::SensorModel inAir(Steady(100.0));
  auto a = pair(35.0f);
  ASSERT_EQ(inAir.Write(AirCalValue, a.data(), 2), 0);
  EXPECT_GT(std::fabs(inAir.MeasuredSaturation() - 100.0), 10.0);
  const std::uint16_t airCmd = CommandAirCal;
  ASSERT_EQ(inAir.Write(Command, &airCmd, 1), 0);
  EXPECT_EQ(inAir.Registers().GetFloat(AirCalValue), static_cast<float>(inAir.Phase()));
  EXPECT_NEAR(inAir.MeasuredSaturation(), 100.0, 1e-3);

  // Restore copies the factory values back, whatever they are now.
  auto f = pair(61.0f);
  ASSERT_EQ(inAir.Write(FactoryZeroCal, f.data(), 2), 0);
  const std::uint16_t restore = CommandRestoreFactoryCal;
  ASSERT_EQ(inAir.Write(Command, &restore, 1), 0);
  EXPECT_EQ(inAir.Registers().GetFloat(ZeroCalValue), 61.0f);
  EXPECT_EQ(inAir.Registers().GetFloat(AirCalValue), 27.812f);

  // Refused writes, and the code a real slave gives.
  const std::uint16_t v0 = 0, v100 = 100, v255 = 255, v4 = 4;
  EXPECT_EQ(model.Write(Filter, &v0, 1), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(Filter, &v100, 1), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(DeviceAddress, &v0, 1), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(DeviceAddress, &v255, 1), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(Command, &v4, 1), sim::kIllegalDataValue);
  auto low = pair(49.9f), nan = pair(std::nanf("")), big = pair(20000.5f);
  EXPECT_EQ(model.Write(Pressure, low.data(), 2), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(AirCalValue, nan.data(), 2), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(FactoryAirCal, big.data(), 2), sim::kIllegalDataValue);
  EXPECT_EQ(model.Write(DoValue, &v4, 1), sim::kIllegalDataAddress);     // measured, read-only
  EXPECT_EQ(model.Write(DeviceType, &v4, 1), sim::kIllegalDataAddress);
  EXPECT_EQ(model.Write(33, &v4, 1), sim::kIllegalDataAddress);
  EXPECT_EQ(model.Write(Pressure, &v4, 1), sim::kIllegalDataAddress);    // half a float
  EXPECT_EQ(model.Write(Pressure + 1, &v4, 1), sim::kIllegalDataAddress);
  EXPECT_EQ(model.Write(35, low.data(), 2), sim::kIllegalDataAddress);   // past the block

  // A write of two fields is all or nothing.
  const std::uint16_t filterThenBadPressure[3] = {42, low[0], low[1]};
  EXPECT_EQ(model.Write(Filter, filterThenBadPressure, 3), sim::kIllegalDataValue);
  EXPECT_EQ(model.Registers().regs[Filter], 10);
  const std::uint16_t unitAndFilter[2] = {0, 42};
  EXPECT_EQ(model.Write(Unit, unitAndFilter, 2), 0);
  EXPECT_EQ(model.Registers().regs[Filter], 42);
  EXPECT_EQ(model.Registers().regs[Unit], 0);

  // A new address waits until committed.
  const std::uint16_t v9 = 9;
  ASSERT_EQ(model.Write(DeviceAddress, &v9, 1), 0);
  EXPECT_EQ(model.Address(), 1);
  model.CommitAddress();
  EXPECT_EQ(model.Address(), 9);
  EXPECT_EQ(model.Registers().regs[DeviceAddress], 9);
}

TEST(SimSlaveFrames, ReadsWritesExceptionsAndAddressing) {
  sim::SimOptions o = Steady();
  o.address = 5;
  sim::SensorModel model(o);
  sim::SimSlave slave(model, o);

  EXPECT_EQ(slave.HandleFrame(PollBlock(5)), model.Registers().PollReply(5));
  // Any range inside the block.
  for (auto [first, count] : {std::pair<int, int>{0, 1}, {16, 2}, {30, 6}, {35, 1}, {10, 26}}) {
    const Bytes reply = slave.HandleFrame(BuildReadRequest(5, first, count));
    EXPECT_EQ(reply, BuildReadReply(5, model.Registers().regs.data() + first, count)) << first;
  }
  auto exception = [](std::uint8_t addr, std::uint8_t fn, std::uint8_t code) {
    Bytes e = {addr, static_cast<std::uint8_t>(fn | 0x80), code, 0, 0};
    SealFrame(e);
    return e;
  };
  EXPECT_EQ(slave.HandleFrame(BuildReadRequest(5, 30, 7)), exception(5, 3, 2));
  EXPECT_EQ(slave.HandleFrame(BuildReadRequest(5, 36, 1)), exception(5, 3, 2));
  EXPECT_EQ(slave.HandleFrame(BuildReadRequest(5, 0, 0)), exception(5, 3, 3));
  Bytes fn6 = {5, 6, 0, 19, 0, 10, 0, 0};
  SealFrame(fn6);
  EXPECT_EQ(slave.HandleFrame(fn6), exception(5, 6, 1));
  Bytes fn4 = {5, 4, 0, 0, 0, 1, 0, 0};
  SealFrame(fn4);
  EXPECT_EQ(slave.HandleFrame(fn4), exception(5, 4, 1));
  EXPECT_EQ(slave.HandleFrame(WriteFilter(5, 100)), exception(5, 16, 3));
  EXPECT_EQ(slave.HandleFrame(WriteDeviceAddress(5, 255)), exception(5, 16, 3));
  Bytes badCount = WriteFilter(5, 10);
  badCount[6] = 4;  // byte count does not match the register count
  SealFrame(badCount);
  EXPECT_EQ(slave.HandleFrame(badCount), exception(5, 16, 3));

  // Writes echo and change the block.
  EXPECT_EQ(slave.HandleFrame(WriteFilter(5, 33)), BuildWriteEcho(5, Filter, 1));
  EXPECT_EQ(model.Registers().regs[Filter], 33);
  EXPECT_EQ(slave.HandleFrame(WriteSerialNumber(5, 12345678)), BuildWriteEcho(5, SerialNumber, 2));
  EXPECT_EQ(model.Registers().GetU32(SerialNumber), 12345678u);

  // Not ours, broken, or broadcast: no answer. A broadcast write still acts.
  EXPECT_TRUE(slave.HandleFrame(PollBlock(1)).empty());
  Bytes corrupt = PollBlock(5);
  corrupt[7] ^= 0x01;
  EXPECT_TRUE(slave.HandleFrame(corrupt).empty());
  EXPECT_TRUE(slave.HandleFrame({5, 3}).empty());
  EXPECT_TRUE(slave.HandleFrame(PollBlock(0)).empty());
  EXPECT_TRUE(slave.HandleFrame(WriteFilter(0, 44)).empty());
  EXPECT_EQ(model.Registers().regs[Filter], 44);

  // A new address: the echo leaves from the old one, then only the new one answers.
  EXPECT_EQ(slave.HandleFrame(WriteDeviceAddress(5, 200)), BuildWriteEcho(5, DeviceAddress, 1));
  EXPECT_TRUE(slave.HandleFrame(PollBlock(5)).empty());
  const Bytes fromNew = slave.HandleFrame(PollBlock(200));
  ASSERT_EQ(fromNew.size(), kPollReplyLength);
  EXPECT_EQ(DecodeU16(fromNew.data(), DeviceAddress), 200);

  // Two requests written back to back are served one after the other.
  Bytes both = WriteFilter(200, 12);
  const Bytes poll = PollBlock(200);
  both.insert(both.end(), poll.begin(), poll.end());
  const std::vector<Bytes> frames = sim::SplitFrames(both);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], WriteFilter(200, 12));
  EXPECT_EQ(frames[1], poll);
  // Garbage stays one frame, to be dropped for its CRC.
  EXPECT_EQ(sim::SplitFrames({1, 2, 3, 4, 5}).size(), 1u);
}

TEST(SimBus, EachSensorAnswersItsOwnAddressWithItsOwnIdentity) {
  sim::SimOptions o = Parse({"--address", "3,7,12", "--serial", "1000", "--temperature", "20"});
  sim::SimBus bus(o);
  ASSERT_EQ(bus.Size(), 3u);
  bus.Update(10.0);
  const std::uint8_t addresses[] = {3, 7, 12};
  std::set<std::uint32_t> zeroCals;
  std::set<std::uint32_t> doValues;
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(addresses[i]);
    const Bytes reply = bus.HandleFrame(PollBlock(addresses[i]));
    ASSERT_EQ(reply.size(), kPollReplyLength) << "one sensor answers, alone";
    EXPECT_EQ(reply[0], addresses[i]);
    EXPECT_EQ(DecodeU16(reply.data(), DeviceAddress), addresses[i]);
    EXPECT_EQ(DecodeU32(reply.data(), SerialNumber), 1000u + addresses[i] - 3u);
    EXPECT_EQ(DecodeU16(reply.data(), DeviceType), kSensorDeviceType);
    zeroCals.insert(DecodeU32(reply.data(), FactoryZeroCal));
    zeroCals.insert(DecodeU32(reply.data(), ZeroCalValue));
    doValues.insert(DecodeU32(reply.data(), DoValue));
  }
  EXPECT_EQ(zeroCals.size(), 3u) << "every sensor its own calibration, factory and current alike";
  EXPECT_EQ(doValues.size(), 3u);
  for (std::uint8_t nobody : {1, 4, 13}) EXPECT_TRUE(bus.HandleFrame(PollBlock(nobody)).empty()) << int{nobody};

  // A write reaches only its sensor; a broadcast reaches all, answered by none.
  EXPECT_EQ(bus.HandleFrame(WriteFilter(7, 33)), BuildWriteEcho(7, Filter, 1));
  EXPECT_EQ(bus.Model(0).Registers().regs[Filter], 10);
  EXPECT_EQ(bus.Model(1).Registers().regs[Filter], 33);
  EXPECT_TRUE(bus.HandleFrame(WriteFilter(0, 44)).empty());
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(bus.Model(i).Registers().regs[Filter], 44);

  // One address is the single sensor it always was, reply for reply.
  sim::SimOptions one = Parse({"--address", "5", "--seed", "9"});
  sim::SimBus single(one);
  sim::SensorModel model(one);
  sim::SimSlave slave(model, one);
  for (double t : {0.0, 3.0, 6.5}) {
    single.Update(t);
    model.Update(t);
    EXPECT_EQ(single.HandleFrame(PollBlock(5)), slave.HandleFrame(PollBlock(5))) << t;
  }
}

TEST(SimSlaveFaults, EachFaultHitsItsRepliesAndRepeatsWithTheSeed) {
  auto run = [](sim::SimOptions o, int polls) {
    sim::SensorModel model(o);
    sim::SimSlave slave(model, o);
    std::vector<Bytes> replies;
    for (int i = 0; i < polls; ++i) replies.push_back(slave.HandleFrame(PollBlock(1)));
    return replies;
  };
  const Bytes clean = run(Steady(), 1)[0];
  ASSERT_EQ(clean.size(), kPollReplyLength);

  sim::SimOptions o = Steady();
  o.dropByteEvery = 3;
  auto r = run(o, 6);
  for (int i = 0; i < 6; ++i) {
    const bool hit = (i + 1) % 3 == 0;
    EXPECT_EQ(r[i].size(), hit ? kPollReplyLength - 1 : kPollReplyLength) << i;
    if (!hit) {
      EXPECT_EQ(r[i], clean);
    }
  }

  o = Steady();
  o.flipBitEvery = 2;
  r = run(o, 4);
  EXPECT_EQ(r[0], clean);
  for (int i : {1, 3}) {
    ASSERT_EQ(r[i].size(), clean.size());
    int bits = 0;
    for (std::size_t k = 0; k < clean.size(); ++k) bits += __builtin_popcount(r[i][k] ^ clean[k]);
    EXPECT_EQ(bits, 1) << i;
    EXPECT_FALSE(HasValidCrc(r[i].data(), r[i].size()));
  }

  o = Steady();
  o.noiseEvery = 1;
  r = run(o, 3);
  for (const Bytes& reply : r) {
    ASSERT_GT(reply.size(), clean.size());
    ASSERT_LE(reply.size(), clean.size() + 3);
    EXPECT_EQ(Bytes(reply.end() - kPollReplyLength, reply.end()), clean);
  }

  o = Steady();
  o.foreignAddressEvery = 2;
  r = run(o, 2);
  EXPECT_EQ(r[0], clean);
  EXPECT_NE(r[1][0], 1);
  EXPECT_TRUE(HasValidCrc(r[1].data(), r[1].size()));
  EXPECT_EQ(Bytes(r[1].begin() + 1, r[1].end() - 2), Bytes(clean.begin() + 1, clean.end() - 2));

  o = Steady();
  o.foreignTypeEvery = 1;
  r = run(o, 1);
  EXPECT_TRUE(HasValidCrc(r[0].data(), r[0].size()));
  EXPECT_NE(r[0][kDeviceTypeOffset], kSensorDeviceType);
  // Only replies that carry the device type are changed.
  {
    sim::SensorModel model(o);
    sim::SimSlave slave(model, o);
    EXPECT_EQ(slave.HandleFrame(BuildReadRequest(1, 18, 2)), BuildReadReply(1, model.Registers().regs.data() + 18, 2));
  }

  o = Steady();
  o.silentAfter = 2;
  o.silentPolls = 3;
  r = run(o, 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(r[i].empty(), i >= 2 && i < 5) << i;

  // The same seed gives the same faults; the faults are not all alike.
  o = sim::SimOptions();
  o.dropByteEvery = 2;
  o.flipBitEvery = 3;
  o.noiseEvery = 5;
  o.seed = 77;
  const auto first = run(o, 30);
  EXPECT_EQ(run(o, 30), first);
  std::set<Bytes> distinct(first.begin(), first.end());
  EXPECT_GT(distinct.size(), 10u);
}

}  // namespace

// A sender that never pauses cannot make a request longer than one frame:
// the buffer stays at its capacity however much arrives, and the overrun is
// not answered; after the next silence requests are served again.
TEST(SimRequestBuffer, GaplessStreamsStayBoundedAndAreNotAnswered) {
  sim::RequestBuffer buffer;
  const std::vector<std::uint8_t> chunk(4096, 0x55);
  for (int i = 0; i < 4096; ++i) buffer.Append(chunk.data(), chunk.size());  // 16 MiB without a gap
  EXPECT_EQ(buffer.Size(), sim::RequestBuffer::kCapacity);
  EXPECT_TRUE(buffer.Overrun());
  const protocol::RtuFrame poll = protocol::PollBlock(1);
  buffer.Append(poll.data(), poll.size());  // a request at the end of the stream is part of the overrun
  sim::Bytes overrun;
  EXPECT_TRUE(buffer.TakeFrames(&overrun).empty());
  EXPECT_EQ(overrun.size(), sim::RequestBuffer::kCapacity);
  EXPECT_TRUE(buffer.Empty());
  EXPECT_FALSE(buffer.Overrun());

  // Two requests back to back within one frame's room are both served.
  buffer.Append(poll.data(), poll.size());
  buffer.Append(poll.data(), poll.size());
  overrun.clear();
  const std::vector<sim::Bytes> frames = buffer.TakeFrames(&overrun);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], sim::Bytes(poll.begin(), poll.end()));
  EXPECT_TRUE(overrun.empty());
}
