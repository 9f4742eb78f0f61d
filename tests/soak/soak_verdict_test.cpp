// The soak's verdict: every check that must hold turns a result that breaks
// it into a failure, and a run that met no faults proves nothing.
#include <gtest/gtest.h>

#include <functional>

#include "soak_engine.h"

namespace {

soak::SoakConfig Config() {
  soak::SoakConfig c;
  c.cycles = 360;
  c.pollMs = 150;
  c.displayMs = 75;
  c.unplugMinCycles = 90;
  c.unplugMaxCycles = 130;
  return c;
}

// A run that met every kind of fault and passed every check.
soak::SoakResult Healthy() {
  soak::SoakResult r;
  r.started = true;
  r.cycles = 360;
  r.unplugs = 2;
  r.portLossShown = 2;
  r.silences = 3;
  r.portResets = 3;
  r.repliesFaultedOnLine = 4;
  r.noiseBursts = 5;
  r.checkErrorsShown = 9;
  r.unknownDeviceShown = 2;
  r.writesQueued = 8;
  r.writesConfirmed = 7;
  r.portMessageBoxes = 2;
  r.mostPortMessagesOpen = 1;
  r.longestRecoveryMs = 1200;
  r.longestStallMs = 12;
  return r;
}

}  // namespace

TEST(SoakVerdict, EachBrokenCheckFailsAndAHealthyRunPasses) {
  const soak::SoakConfig config = Config();
  const int limit = soak::RecoveryLimitMs(config);
  EXPECT_EQ(limit, 2000 + 2 * 150 + 2 * 75 + 1000);
  EXPECT_TRUE(soak::Failures(config, Healthy(), limit).empty());

  const std::vector<std::pair<const char*, std::function<void(soak::SoakResult&)>>> breaks = {
      {"set-up error", [](auto& r) { r.setupError = "no pty"; }},
      {"never started", [](auto& r) { r.started = false; }},
      {"timed out", [](auto& r) { r.timedOut = true; }},
      {"too few cycles", [](auto& r) { r.cycles = 359; }},
      {"unexplained value", [](auto& r) { r.valuesUnexplained = 1; }},
      {"unexplained rxBuf", [](auto& r) { r.rxBufUnexplained = 1; }},
      {"wrong write", [](auto& r) { r.writesWrong = 1; }},
      {"broken request", [](auto& r) { r.requestsBadCrc = 1; }},
      {"confirmation without a write", [](auto& r) { r.writesConfirmed = r.writesQueued + 1; }},
      {"failure without a write", [](auto& r) { r.writesFailedShown = r.writesQueued - r.writesConfirmed + 1; }},
      {"unplug not shown", [](auto& r) { r.portLossShown = 1; }},
      {"message storm", [](auto& r) { r.portMessageBoxes = 3; }},
      {"messages piled up", [](auto& r) { r.mostPortMessagesOpen = 2; }},
      {"unexpected message", [](auto& r) { r.otherMessages.push_back("未搜索到设备。"); }},
      {"slow recovery", [limit](auto& r) { r.longestRecoveryMs = limit + 1; }},
      {"stall", [](auto& r) { r.longestStallMs = 100; }},
      {"no check error met", [](auto& r) { r.checkErrorsShown = 0; }},
      {"no foreign type met", [](auto& r) { r.unknownDeviceShown = 0; }},
      {"no silence met", [](auto& r) { r.silences = 0; }},
      {"no line noise met", [](auto& r) { r.noiseBursts = 0; }},
      {"no unplug met", [](auto& r) { r.unplugs = r.portLossShown = r.portMessageBoxes = 0; }},
      {"no write confirmed", [](auto& r) { r.writesConfirmed = 0; }},
  };
  for (const auto& [what, change] : breaks) {
    soak::SoakResult r = Healthy();
    change(r);
    EXPECT_FALSE(soak::Failures(config, r, limit).empty()) << what;
  }

  // Limits themselves pass: a recovery of exactly the limit, a stall of 99 ms.
  soak::SoakResult edge = Healthy();
  edge.longestRecoveryMs = limit;
  edge.longestStallMs = 99;
  EXPECT_TRUE(soak::Failures(config, edge, limit).empty());

  // A run too short to reach its first unplug need not have one.
  soak::SoakConfig shortRun = config;
  shortRun.cycles = 100;
  soak::SoakResult early = Healthy();
  early.cycles = 100;
  early.unplugs = early.portLossShown = early.portMessageBoxes = 0;
  EXPECT_TRUE(soak::Failures(shortRun, early, limit).empty());
}

TEST(SoakVerdict, ReportCarriesTheFigures) {
  soak::SoakResult r = Healthy();
  r.repliesAccepted = 321;
  r.repliesRejected = 17;
  r.pollRepliesSent = 345;
  const std::string text = soak::Report(Config(), r);
  for (const char* figure : {"poll cycles run                360", "321 / 17", "incomplete, never judged: 7",
                             "1200 ms", "12 ms"})
    EXPECT_NE(text.find(figure), std::string::npos) << figure << "\n" << text;
}
